#include "colorprint.hpp"

#include "py/methods.hpp"
#include "py/module.hpp"

// Run in the module namespace, so the class and its instances are the module's own
// and their methods find _sys and the reset code there at each call. The class's
// documentation is assigned, not a docstring, so no host's compiler strips its indentation.
static const char colorprintSource[] = R"PY(
import sys as _sys

__PRINT_COLOR_RESET = "\x1b[0m"


class TerminalColor:
    __doc__ = """The TerminalColor class can be used in combination with a with statement.
    print statements inside a with-TerminalColor block are colored according
    to the given color.
    Available colors are: TERMINAL_RED, TERMINAL_GREEN, TERMINAL_YELLOW,
    TERMINAL_BLUE, TERMINAL_MAGENTA, TERMINAL_CYAN, TERMINAL_WHITE,
    TERMINAL_RED_BG, TERMINAL_GREEN_BG, TERMINAL_YELLOW_BG, TERMINAL_BLUE_BG,
    TERMINAL_MAGENTA_BG, TERMINAL_CYAN_BG and TERMINAL_WHITE_BG
    """

    def __init__(self, color):
        self.__color = color

    def __enter__(self):
        _sys.stdout.write(self.__color)
        _sys.stdout.flush()
        return self

    def __exit__(self, type, value, traceback):
        # Inside a class body the name would be mangled; the reset code is a module global.
        _sys.stdout.write(globals()["__PRINT_COLOR_RESET"])
        _sys.stdout.flush()


TERMINAL_RED = TerminalColor("\x1b[31m")
TERMINAL_GREEN = TerminalColor("\x1b[32m")
TERMINAL_YELLOW = TerminalColor("\x1b[33m")
TERMINAL_BLUE = TerminalColor("\x1b[34m")
TERMINAL_MAGENTA = TerminalColor("\x1b[35m")
TERMINAL_CYAN = TerminalColor("\x1b[36m")
TERMINAL_WHITE = TerminalColor("\x1b[37m")
TERMINAL_RED_BG = TerminalColor("\x1b[41m")
TERMINAL_GREEN_BG = TerminalColor("\x1b[42m")
TERMINAL_YELLOW_BG = TerminalColor("\x1b[43m")
TERMINAL_BLUE_BG = TerminalColor("\x1b[44m")
TERMINAL_MAGENTA_BG = TerminalColor("\x1b[45m")
TERMINAL_CYAN_BG = TerminalColor("\x1b[46m")
TERMINAL_WHITE_BG = TerminalColor("\x1b[47m")
)PY";

static PyObject* clearTerminal(PyObject*, PyObject*) {
    py::Ref code(PyUnicode_FromString("\x1b[2J"));
    return py::noneOrFailed(code && py::print(code.get()));
}

static PyMethodDef clearTerminalDef =
    py::noArgs<"clearTerminal", clearTerminal>(py::functionDoc<"Clears the terminal.">);

static bool colorprintStatements() {
    return py::runSource(colorprintSource, "colorprint") &&
           py::bind("clearTerminal", py::moduleFunction(&clearTerminalDef));
}

const py::Segment colorprintSegment{colorprintStatements};
