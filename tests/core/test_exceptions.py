"""The engine's exception classes: tree, attributes, string forms and SDL's error text."""
import ctypes
import pickle
import threading
import types

import pytest

import quorvelin
from quorvelin import EngineException, EngineSdlException, LevelFormatException

# What a class statement puts in every class's dictionary on each host: from 3.13 on
# also its first line and the attributes its methods set on self.
HOST_CLASS_ENTRIES = {"__module__", "__doc__", "__weakref__", "__firstlineno__",
                      "__static_attributes__"}

SDL = ctypes.CDLL("libSDL2-2.0.so.0")
SDL.SDL_SetError.argtypes = [ctypes.c_char_p, ctypes.c_char_p]


def set_sdl_error(text):
    SDL.SDL_SetError(b"%s", text)


@pytest.fixture
def sdl_error():
    """Sets SDL's error text of this thread, and clears it again afterwards."""
    yield set_sdl_error
    SDL.SDL_ClearError()


DOCS = {
    EngineException: "This is the base class for all quorvelin-specific exceptions.\n    ",
    EngineSdlException: "Since quorvelin's window and input handling is bsesd on SDL, it is\n"
                        "    possible that SDL errors occur. These errors are indicated by this "
                        "class.\n    ",
    LevelFormatException: "This type of exception is thrown if a level could not be loaded due "
                          "to\n    invalid file content / an invalid level format.\n    ",
}


@pytest.mark.parametrize("cls, base", [(EngineException, Exception),
                                       (EngineSdlException, EngineException),
                                       (LevelFormatException, EngineException)])
def test_classes_are_plain_python_exceptions(cls, base):
    assert cls.__bases__ == (base,)
    assert (cls.__module__, cls.__qualname__) == ("quorvelin", cls.__name__)
    assert cls.__doc__ == DOCS[cls]
    # Only the constructor and the string form are their own.
    assert {"__init__", "__str__"} == set(cls.__dict__) - HOST_CLASS_ENTRIES


def test_every_engine_failure_is_caught_as_engine_exception(sdl_error):
    for error in (EngineException("m"), EngineSdlException("m"), LevelFormatException("f", "m")):
        with pytest.raises(EngineException) as caught:
            raise error
        assert caught.value is error
        assert isinstance(error, Exception)


def test_attributes_are_stored_unchanged():
    message, filename = ["not", "a", "str"], object()
    assert EngineException(message).msg is message
    assert EngineException(msg="x").msg == "x"
    error = LevelFormatException(filename, message)
    assert error.filename is filename and error.msg is message
    keyword = LevelFormatException(msg="m", filename="f")
    assert (keyword.filename, keyword.msg) == ("f", "m")
    assert EngineSdlException(msg=5).msg == 5
    # Everything else is Exception's own: the arguments as given to the constructor.
    assert EngineException("x").args == ("x",)
    assert repr(LevelFormatException("f", "m")) == "LevelFormatException('f', 'm')"


@pytest.mark.parametrize("make", [
    lambda: EngineException(),
    lambda: EngineException("a", "b"),
    lambda: EngineException(message="a"),
    lambda: EngineSdlException(),
    lambda: LevelFormatException("f"),
    lambda: LevelFormatException(msg="m"),
    lambda: LevelFormatException("f", "m", "extra"),
])
def test_argument_errors(make):
    with pytest.raises(TypeError):
        make()


@pytest.mark.parametrize("error, text", [
    (EngineException("bad size"), 'EngineException("bad size")'),
    (EngineException(42), 'EngineException("42")'),
    (EngineException(("a",)), 'EngineException("a")'),
    (LevelFormatException("maps/a.lvl", "bad size"),
     "EngineException(Error while loading file 'maps/a.lvl': \"bad size\")"),
    (LevelFormatException(None, ("a", "b")),
     "EngineException(Error while loading file 'None': \"('a', 'b')\")"),
])
def test_string_forms(error, text):
    assert str(error) == text


def test_sdl_exception_records_sdl_error_text_as_bytes(sdl_error):
    sdl_error(b"oops")
    error = EngineSdlException("bad size")
    assert type(error.error) is bytes and error.error == b"oops"
    assert str(error) == 'EngineException<SDL Error>("bad size", "b\'oops\'")'
    # A copy, taken at construction; SDL's error state is left as it was.
    sdl_error(b"later")
    assert error.error == b"oops"
    assert EngineSdlException("m").error == b"later"


def test_sdl_exception_without_sdl_error(sdl_error):
    SDL.SDL_ClearError()
    error = EngineSdlException(("a", "b"))
    assert error.error == b""
    assert str(error).endswith('", "b\'\'")')
    assert str(error) == 'EngineException<SDL Error>("(\'a\', \'b\')", "b\'\'")'


def test_sdl_exception_reads_the_error_of_the_creating_thread(sdl_error):
    sdl_error(b"main thread")
    made = []
    worker = threading.Thread(target=lambda: made.append(EngineSdlException("m")))
    worker.start()
    worker.join()
    assert made[0].error == b""
    assert EngineSdlException("m").error == b"main thread"


def test_sdl_exception_calls_the_module_engine_exception_at_call_time(monkeypatch):
    calls = []

    def record(error, msg):
        calls.append(msg)
        error.msg = "recorded " + msg

    monkeypatch.setattr(quorvelin, "EngineException", types.SimpleNamespace(__init__=record))
    assert EngineSdlException("m").msg == "recorded m"
    assert LevelFormatException("f", "n").msg == "recorded n"
    assert calls == ["m", "n"]


def test_string_form_failures_propagate():
    with pytest.raises(TypeError):
        str(EngineException(("a", "b")))
    deleted = LevelFormatException("f", "m")
    del deleted.filename
    with pytest.raises(AttributeError):
        str(deleted)

    class Unprintable:
        def __str__(self):
            raise ValueError("no text")

    with pytest.raises(ValueError, match="no text"):
        str(EngineSdlException(Unprintable()))
    with pytest.raises(ValueError, match="no text"):
        str(LevelFormatException(Unprintable(), "m"))


def test_exceptions_pickle_as_exceptions_do(sdl_error):
    sdl_error(b"window")
    originals = [EngineException("x"), LevelFormatException("f", "m"), EngineSdlException("y")]
    sdl_error(b"other")
    for original in originals:
        copy = pickle.loads(pickle.dumps(original))
        assert type(copy) is type(original)
        assert str(copy) == str(original)
        assert copy.__dict__ == original.__dict__
