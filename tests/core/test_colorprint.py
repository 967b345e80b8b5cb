"""TerminalColor blocks, the fourteen colour constants and clearTerminal."""
import io
import sys
import types

import pytest

import quorvelin
from quorvelin import TERMINAL_BLUE_BG, TERMINAL_GREEN, TERMINAL_RED, TerminalColor
from test_exceptions import HOST_CLASS_ENTRIES

ESC = "\x1b"
RESET = ESC + "[0m"

COLOURS = [
    ("TERMINAL_RED", "[31m"), ("TERMINAL_GREEN", "[32m"), ("TERMINAL_YELLOW", "[33m"),
    ("TERMINAL_BLUE", "[34m"), ("TERMINAL_MAGENTA", "[35m"), ("TERMINAL_CYAN", "[36m"),
    ("TERMINAL_WHITE", "[37m"), ("TERMINAL_RED_BG", "[41m"), ("TERMINAL_GREEN_BG", "[42m"),
    ("TERMINAL_YELLOW_BG", "[43m"), ("TERMINAL_BLUE_BG", "[44m"), ("TERMINAL_MAGENTA_BG", "[45m"),
    ("TERMINAL_CYAN_BG", "[46m"), ("TERMINAL_WHITE_BG", "[47m"),
]

DOC = ("The TerminalColor class can be used in combination with a with statement.\n"
       "    print statements inside a with-TerminalColor block are colored according\n"
       "    to the given color.\n"
       "    Available colors are: TERMINAL_RED, TERMINAL_GREEN, TERMINAL_YELLOW,\n"
       "    TERMINAL_BLUE, TERMINAL_MAGENTA, TERMINAL_CYAN, TERMINAL_WHITE,\n"
       "    TERMINAL_RED_BG, TERMINAL_GREEN_BG, TERMINAL_YELLOW_BG, TERMINAL_BLUE_BG,\n"
       "    TERMINAL_MAGENTA_BG, TERMINAL_CYAN_BG and TERMINAL_WHITE_BG\n    ")


class Recorder:
    """A standard output that remembers every write and flush in order."""

    def __init__(self, failing=()):
        self.calls = []
        self.failing = failing

    def write(self, text):
        if text in self.failing:
            raise OSError("output closed")
        self.calls.append(text)
        return len(text)

    def flush(self):
        self.calls.append("<flush>")

    @property
    def text(self):
        return "".join(call for call in self.calls if call != "<flush>")


def record_stdout(monkeypatch, **options):
    """Replaces sys.stdout for the rest of the test body (pytest puts its own capture
    back between fixture set-up and the test call, so this cannot be a fixture)."""
    recorder = Recorder(**options)
    monkeypatch.setattr(sys, "stdout", recorder)
    return recorder


def test_constants_are_terminal_colours_in_binding_order():
    names = [name for name in vars(quorvelin) if name.startswith("TERMINAL_")]
    assert names == [name for name, _ in COLOURS]
    for name, code in COLOURS:
        colour = getattr(quorvelin, name)
        assert type(colour) is TerminalColor
        assert colour._TerminalColor__color == ESC + code
    assert getattr(quorvelin, "__PRINT_COLOR_RESET") == RESET


def test_terminal_color_is_a_plain_python_class():
    assert TerminalColor.__bases__ == (object,)
    assert TerminalColor.__module__ == "quorvelin"
    assert TerminalColor.__doc__ == DOC
    own = set(TerminalColor.__dict__) - HOST_CLASS_ENTRIES - {"__dict__"}
    assert own == {"__init__", "__enter__", "__exit__"}


def test_block_writes_colour_and_reset_around_its_output(monkeypatch):
    stdout = record_stdout(monkeypatch)
    with TERMINAL_GREEN as bound:
        print("ok")
    assert bound is TERMINAL_GREEN
    assert stdout.calls == [ESC + "[32m", "<flush>", "ok", "\n", RESET, "<flush>"]


def test_exception_in_block_resets_then_propagates(monkeypatch):
    stdout = record_stdout(monkeypatch)
    with pytest.raises(KeyError):
        with TERMINAL_RED:
            raise KeyError("inside")
    assert stdout.calls == [ESC + "[31m", "<flush>", RESET, "<flush>"]
    assert TERMINAL_RED.__exit__(None, None, None) is None


def test_inner_block_ends_the_outer_colour(monkeypatch):
    stdout = record_stdout(monkeypatch)
    with TERMINAL_RED:
        with TERMINAL_BLUE_BG:
            print("both")
        print("plain")
    assert stdout.text == f"{ESC}[31m{ESC}[44mboth\n{RESET}plain\n{RESET}"


@pytest.mark.parametrize("make", [lambda: TerminalColor(ESC + "[1m"),
                                  lambda: TerminalColor(color=ESC + "[1m")])
def test_any_escape_text_works_the_same_way(monkeypatch, make):
    stdout = record_stdout(monkeypatch)
    with make():
        print("bold")
    assert stdout.text == f"{ESC}[1mbold\n{RESET}"


@pytest.mark.parametrize("call", [lambda: TerminalColor(),
                                  lambda: TerminalColor("a", "b"),
                                  lambda: TerminalColor(colour="a"),
                                  lambda: TERMINAL_RED.__exit__(None, None),
                                  lambda: TERMINAL_RED.__enter__(None)])
def test_argument_errors(call):
    with pytest.raises(TypeError):
        call()


def test_write_failures_propagate(monkeypatch):
    # A colour that is not text fails in the stream's write.
    monkeypatch.setattr(sys, "stdout", io.StringIO())
    with pytest.raises(TypeError, match="string argument expected"):
        with TerminalColor(5):
            pass
    # A reset that cannot be written leaves the colour on.
    failing = record_stdout(monkeypatch, failing=(RESET,))
    with pytest.raises(OSError, match="output closed"):
        with TERMINAL_RED:
            print("x")
    assert failing.text == ESC + "[31mx\n"


def test_output_stream_and_reset_code_are_looked_up_at_each_call(monkeypatch):
    stdout = record_stdout(monkeypatch)
    other = Recorder()
    monkeypatch.setattr(quorvelin, "_sys", types.SimpleNamespace(stdout=other))
    monkeypatch.setattr(quorvelin, "__PRINT_COLOR_RESET", "<reset>")
    with TERMINAL_RED:
        pass
    assert other.text == ESC + "[31m<reset>"
    assert stdout.calls == []


def test_clear_terminal_prints_the_erase_code(capsys):
    assert quorvelin.clearTerminal() is None
    assert capsys.readouterr().out == ESC + "[2J\n"
    with pytest.raises(TypeError):
        quorvelin.clearTerminal(1)
