"""Importing quorvelin: the module namespace in binding order, the SDL start-up, its
failures, and importing more than once."""
import json
import math
import sys
import textwrap
import threading
import time
import types

import pytest

import quorvelin
from test_classes import CLASS_NAMES
from test_keys import KEYS

UNPICKLED_CLASSES = [
    "Event", "KeyEvent", "MouseClickEvent", "MouseWheelEvent", "FullscreenEvent",
    "JoystickAddedEvent", "SpriteAnimation", "Sprite", "SpriteComponent", "Entity",
    "PositionComponent", "VelocityComponent", "RotationComponent", "CollisionComponent", "Ecs",
    "AbstractSystem", "MusicStoppedEvent", "CollisionEvent", "CollisionBodySystem",
    "MovementSystem", "ButtonClickEvent", "SliderValueChangedEvent",
]
TERMINAL_COLOURS = ["RED", "GREEN", "YELLOW", "BLUE", "MAGENTA", "CYAN", "WHITE"]

# The names the import binds, segment by segment, in binding order. A name bound a
# second time (_json) keeps the place of its first binding.
SEGMENTS = [
    ("classes", CLASS_NAMES),
    ("quorvelin head", ["Timer", "time"]),
    ("keys", [name for name, _ in KEYS] + ["MOUSE_LEFT", "MOUSE_MIDDLE", "MOUSE_RIGHT"]),
    ("geometryMath", ["math"]),
    ("resources/components", ["_COMPONENTS", "component", "DummyComponent"]),
    ("resources/entity", ["BLENDMODE_BLEND", "BLENDMODE_ADD"]),
    ("resources/level", ["_json", "traceback", "os", "ASCII_CELLS", "TEXTURE_FLOOR",
                         "TEXTURE_CEILING", "TEXTURE_NORTH", "TEXTURE_EAST", "TEXTURE_SOUTH",
                         "TEXTURE_WEST", "BLOCK_EMPTY", "BLOCK_SQUARE", "BLOCK_TRIANGLE_NORTH_WEST",
                         "BLOCK_TRIANGLE_NORTH_EAST", "BLOCK_TRIANGLE_SOUTH_EAST",
                         "BLOCK_TRIANGLE_SOUTH_WEST"]),
    ("resources/sound", ["getMusicVolume", "setMusicVolume", "getSoundVolume", "setSoundVolume"]),
    ("gui", ["_json", "_ospath", "ALIGN_LEFT", "ALIGN_RIGHT", "ALIGN_CENTER", "VALIGN_TOP",
             "VALIGN_BOTTOM", "VALIGN_MIDDLE", "SIZE_AUTO", "SIZE_FIXED", "SIZE_GROW"]),
    ("ui/listcontainer", ["LIST_LAYOUT_HORIZONTAL", "LIST_LAYOUT_VERTICAL"]),
    ("ui/anchoredcontainer", ["ANCHOR_LEFT", "ANCHOR_RIGHT", "ANCHOR_TOP", "ANCHOR_BOTTOM",
                              "ANCHOR_CENTER"]),
    ("ui/slider", ["SLIDER_ORIENTATION_HORIZONTAL", "SLIDER_ORIENTATION_VERTICAL"]),
    ("colorprint", ["_sys", "__PRINT_COLOR_RESET", "TerminalColor"]
     + ["TERMINAL_" + colour for colour in TERMINAL_COLOURS]
     + ["TERMINAL_" + colour + "_BG" for colour in TERMINAL_COLOURS] + ["clearTerminal"]),
    ("quorvelin body", ["EngineException", "EngineSdlException", "LevelFormatException"]
     + ["__pyx_unpickle_" + name for name in UNPICKLED_CLASSES] + ["__test__"]),
]

# What the module itself holds before the first segment runs.
MODULE_HEADER = ["__name__", "__doc__", "__package__", "__loader__", "__spec__", "__file__"]

MODULE_FUNCTIONS = ["component", "getMusicVolume", "setMusicVolume", "getSoundVolume",
                    "setSoundVolume", "clearTerminal"] + [
                        "__pyx_unpickle_" + name for name in UNPICKLED_CLASSES]

def binding_order():
    """Every name the import binds, in binding order."""
    order = []
    for _, names in SEGMENTS:
        order += [name for name in names if name not in order]
    return order


def test_namespace_is_bound_segment_by_segment(child):
    # A fresh import: other tests rebind module constants, which moves a deleted and
    # restored name to the end of this process's namespace.
    result = child("import json, quorvelin; print(json.dumps(list(vars(quorvelin))))")
    assert result.returncode == 0, result.stderr
    names = json.loads(result.stdout.splitlines()[-1])
    expected = binding_order()
    assert names[:len(MODULE_HEADER)] == MODULE_HEADER
    missing = [name for name in expected if name not in names]
    assert not missing, f"the import binds no {', '.join(missing)}"
    # Nothing else: no helper of the import stays behind.
    assert names[len(MODULE_HEADER):] == expected


def test_module_values_bound_by_the_import():
    assert quorvelin.__doc__ == ("\nQuorvelin is a game engine with a raycasting renderer and some "
                                 "simple UI\ncapabilities.\n")
    assert type(quorvelin.__test__) is dict and quorvelin.__test__ == {}
    assert quorvelin.Timer is threading.Timer
    assert quorvelin.time is time
    assert quorvelin.math is math
    assert quorvelin._sys is sys
    assert quorvelin.__name__ == "quorvelin"
    spec = quorvelin.__spec__
    assert quorvelin.__file__ == spec.origin
    assert quorvelin.__loader__ is spec.loader
    assert quorvelin.__package__ == spec.parent == ""
    assert not hasattr(quorvelin, "__path__")


@pytest.mark.parametrize("name", MODULE_FUNCTIONS)
def test_module_functions_are_unbound_builtins_of_the_module(name):
    assert hasattr(quorvelin, name), f"quorvelin has no function {name}"
    function = getattr(quorvelin, name)
    assert isinstance(function, types.BuiltinFunctionType)
    assert function.__module__ == "quorvelin"
    assert function.__self__ is None
    assert function.__name__ == name


def test_exactly_the_picklable_classes_have_an_unpickle_function():
    functions = {name[len("__pyx_unpickle_"):] for name in vars(quorvelin)
                 if name.startswith("__pyx_unpickle_")}
    missing = sorted(set(UNPICKLED_CLASSES) - functions)
    assert not missing, f"no unpickle function for {', '.join(missing)}"
    assert functions == set(UNPICKLED_CLASSES)


# --- SDL start-up, checked in a fresh process where nothing else touched SDL -------------

# Reads what the import started, through the SDL libraries the module itself loaded.
SDL_STATE = """
    import ctypes, json

    def sdl_state():
        sdl = ctypes.CDLL("libSDL2-2.0.so.0")
        image = ctypes.CDLL("libSDL2_image-2.0.so.0")
        mixer = ctypes.CDLL("libSDL2_mixer-2.0.so.0")
        ttf = ctypes.CDLL("libSDL2_ttf-2.0.so.0")
        frequency, fmt, channels = ctypes.c_int(), ctypes.c_uint16(), ctypes.c_int()
        opened = mixer.Mix_QuerySpec(ctypes.byref(frequency), ctypes.byref(fmt),
                                     ctypes.byref(channels))
        return {"subsystems": sdl.SDL_WasInit(0x230), "image": image.IMG_Init(0),
                "audio": [opened, frequency.value, fmt.value, channels.value],
                "ttf": ttf.TTF_WasInit()}
"""

STARTED = {"subsystems": 0x230, "image": 2, "audio": [1, 44100, 0x8010, 2], "ttf": 1}


def with_sdl_state(code):
    return textwrap.dedent(SDL_STATE) + textwrap.dedent(code)


def last_json_line(process):
    assert process.returncode == 0, process.stderr
    return json.loads(process.stdout.strip().splitlines()[-1])


def test_import_starts_sdl_with_the_engine_settings(child):
    result = last_json_line(child(with_sdl_state("""
        before = sdl_state()
        import quorvelin
        print(json.dumps([before, sdl_state()]))
    """)))
    before, after = result
    assert before == {"subsystems": 0, "image": 0, "audio": [0, 0, 0, 0], "ttf": 0}
    assert after == STARTED


def test_importing_again_gives_the_same_module_and_starts_nothing(child):
    result = last_json_line(child(with_sdl_state("""
        import importlib, importlib.util, sys
        import quorvelin
        first = quorvelin
        quorvelin.KEY_A = "rebound"
        quorvelin.__test__["mark"] = 1
        del sys.modules["quorvelin"]
        import quorvelin
        same = quorvelin is first
        reloaded = importlib.reload(quorvelin) is first
        from_spec = importlib.util.module_from_spec(first.__spec__) is first
        print(json.dumps({"same": [same, reloaded, from_spec], "KEY_A": quorvelin.KEY_A,
                          "test": quorvelin.__test__, "sdl": sdl_state()}))
    """)))
    assert result == {"same": [True, True, True], "KEY_A": "rebound", "test": {"mark": 1},
                      "sdl": STARTED}


# Subinterpreters as each host makes them: one that shares the main interpreter's lock,
# and (from 3.12 on) one with a lock of its own, the host's default. A failed run
# string is an exception on 3.11 and 3.12, a returned snapshot on 3.13.
SUBINTERPRETERS = """
    import sys
    try:
        import _interpreters as interpreters
    except ImportError:
        import _xxsubinterpreters as interpreters

    def new_interpreter(kind):
        if kind == "own lock":
            return interpreters.create()
        if sys.version_info >= (3, 13):
            return interpreters.create("legacy")
        if sys.version_info >= (3, 12):
            return interpreters.create(isolated=False)
        return interpreters.create()

    def run(interpreter, code):
        try:
            failure = interpreters.run_string(interpreter, code)
        except interpreters.RunFailedError as error:
            return str(error)
        return failure and f"<class '{failure.type.__name__}'>: {failure.msg}"
"""
REFUSED = ("<class 'ImportError'>: Interpreter change detected - this module can only be "
           "loaded into one interpreter per process.")


def with_interpreters(code, kind="shared lock"):
    return textwrap.dedent(SUBINTERPRETERS) + f"kind = {kind!r}\n" + textwrap.dedent(code)


INTERPRETER_KINDS = [
    "shared lock",
    pytest.param("own lock", marks=pytest.mark.skipif(sys.version_info < (3, 12),
                                                      reason="the host has one lock")),
]


def test_module_loads_into_one_interpreter_and_initialises_once(child):
    result = last_json_line(child(with_interpreters("""
        import ctypes, json, types
        import quorvelin

        outcome = {"subinterpreter": run(new_interpreter(kind), "import quorvelin")}

        library = ctypes.PyDLL(quorvelin.__file__)
        library.PyInit_quorvelin.restype = ctypes.c_void_p
        definition = library.PyInit_quorvelin()
        exec_def = ctypes.pythonapi.PyModule_ExecDef
        exec_def.argtypes = [ctypes.py_object, ctypes.c_void_p]
        exec_def.restype = ctypes.c_int
        quorvelin.KEY_A = "rebound"
        outcome["same module"] = [exec_def(quorvelin, definition), quorvelin.KEY_A]
        try:
            exec_def(types.ModuleType("quorvelin"), definition)
        except RuntimeError as error:
            outcome["other module"] = str(error)
        print(json.dumps(outcome))
    """)))
    assert result == {
        "subinterpreter": REFUSED,
        "same module": [0, "rebound"],
        "other module": "Module 'quorvelin' has already been imported. Re-initialisation is "
                        "not supported.",
    }


@pytest.mark.parametrize("kind", INTERPRETER_KINDS)
def test_every_interpreter_but_the_first_is_refused_with_the_engine_message(child, kind):
    # Whichever imports first keeps the module, the main interpreter included; the module
    # keeps working in the first one after the others were refused.
    result = last_json_line(child(with_interpreters("""
        import json
        first, second = new_interpreter(kind), new_interpreter(kind)
        outcome = {"first": run(first, "import quorvelin; quorvelin.Engine()"),
                   "second": run(second, "import quorvelin")}
        try:
            import quorvelin
        except ImportError as error:
            outcome["main"] = f"<class 'ImportError'>: {error}"
        outcome["again"] = run(first, "import quorvelin; assert quorvelin.Vector2(3, 4).length == 5")
        interpreters.destroy(first)
        print(json.dumps(outcome))
    """, kind)))
    assert result == {"first": None, "second": REFUSED, "main": REFUSED, "again": None}


# Each start-up step that can be made to fail from outside: the environment, what the
# process did before the import, the message, whether SDL's error text says why, and
# what stays started (SDL subsystems among audio, video and joystick; image formats).
START_UP_FAILURES = [
    pytest.param({"SDL_VIDEODRIVER": "nonexistent"}, "", "Could not initialize the engine.",
                 True, [0, 0], id="video"),
    pytest.param({"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/nonexistent/dir/audio.raw"},
                 "", "Could not initialize sound subsystem.", True, [0x30, 2], id="audio-device"),
]


@pytest.mark.parametrize("env, before, message, explained, started", START_UP_FAILURES)
def test_start_up_failure_ends_the_import(child, env, before, message, explained, started):
    result = last_json_line(child(with_sdl_state(f"""
        import sys, traceback
        {before}
        try:
            import quorvelin
        except Exception as error:
            frames = traceback.extract_tb(error.__traceback__)
            state = sdl_state()
            print(json.dumps({{
                "class": [type(error).__module__, type(error).__qualname__,
                          [base.__name__ for base in type(error).__mro__]],
                "msg": error.msg, "error": repr(error.error), "str": str(error),
                "frame": [frames[-1].name, frames[-1].filename], "kept": "quorvelin" in sys.modules,
                "started": [state["subsystems"], state["image"]]}}))
    """), env=env))
    assert result["class"] == ["quorvelin", "EngineSdlException",
                               ["EngineSdlException", "EngineException", "Exception",
                                "BaseException", "object"]]
    assert result["msg"] == message
    error = eval(result["error"])
    assert type(error) is bytes
    assert not explained or error
    assert result["str"] == f'EngineException<SDL Error>("{message}", "{error!r}")'
    assert result["frame"][0] == "init quorvelin"
    assert "quorvelin" in result["frame"][1]
    assert not result["kept"]
    # Nothing is undone: the steps before the failing one stay started.
    assert result["started"] == started


def test_image_formats_started_before_the_import_do_not_fail_it(child):
    # JPEG running already: IMG_Init answers 3; PNG is among them, so the start-up goes on.
    result = last_json_line(child(with_sdl_state("""
        ctypes.CDLL('libSDL2_image-2.0.so.0').IMG_Init(1)
        import quorvelin
        print(json.dumps(sdl_state()["image"]))
    """)))
    assert result == 3


def test_failed_import_runs_every_step_again_on_the_next_attempt(child):
    result = last_json_line(child("""
        import json, os, pickle
        try:
            import quorvelin
        except Exception as error:
            first = error.msg
        os.environ["SDL_VIDEODRIVER"] = "dummy"
        import quorvelin
        event = quorvelin.KeyEvent(97, True, False, False)
        copy = pickle.loads(pickle.dumps(event))
        try:
            quorvelin.__pyx_unpickle_Event(quorvelin.Event, 0, None)
        except pickle.PickleError as error:
            mismatch = str(error)
        print(json.dumps({"first": first, "KEY_ESCAPE": quorvelin.KEY_ESCAPE,
                          "state": list(event.__reduce__()[1][2]),
                          "copy": [copy.key, copy.isCtrlPressed], "mismatch": mismatch}))
    """, env={"SDL_VIDEODRIVER": "nonexistent"}))
    assert result == {
        "first": "Could not initialize the engine.", "KEY_ESCAPE": 27,
        "state": [False, False, True, False, 97], "copy": [97, True],
        "mismatch": "Incompatible checksums (0 vs 0xa6be06b = (_isAlreadyHandled))",
    }
