"""Operations that Python code they call starts again on the same object (see reentry):
a renderer's frame, the engine's frame and a level's loading refuse the second call with
RuntimeError and finish the first as if nothing had happened; the movement pass, whose
handlers may do anything, finishes every step. Each case runs in a child process, so a
crash or a sanitizer report fails the case."""
import json
import math

import pytest

from . import hostile


def run(child, scenario, *arguments):
    result = child(f"""
        import sys
        sys.path.insert(0, {hostile.TESTS!r})
        from reliability import reentry
        reentry.main(*{[scenario, *arguments]!r})
    """, timeout=300)
    assert result.returncode == 0 and result.stdout, \
        f"exit {result.returncode}:\n{result.stderr[-4000:]}"
    return json.loads(result.stdout.splitlines()[-1])


def refused(seen, message):
    return seen == ["RuntimeError", message]


RENDER_BUSY = "render() cannot start while this renderer is drawing a frame"


@pytest.mark.parametrize("where", ["inside", "thread"])
@pytest.mark.parametrize("kind, hook", [
    ("raycaster", "getSize"),       # the target's size, first of all
    ("raycaster", "normalize"),     # the camera's direction, before the passes
    ("raycaster", "x"),             # the camera's position, in the wall pass
    ("raycaster", "getTimeStep"),   # the engine, in the sprite pass
    ("ui", "getMousePos"),          # the engine, before the layout
    ("ui", "getFont"),              # the theme, in the layout
    ("ui", "update"),               # a widget's update
    ("ui", "render"),               # a widget's drawing, inside its panel's clip
])
def test_a_renderer_refuses_a_frame_while_it_draws(child, kind, hook, where):
    """From Python code the frame calls, or from another thread while that code runs."""
    seen = run(child, "render_again", kind, hook, where)
    assert seen["first"] == "returned"
    assert refused(seen["second"], RENDER_BUSY)
    assert seen["same picture"]


UPDATE_BUSY = "update() cannot start while another thread runs a frame"


# Nested in the hooked task, the inner frame runs the task list first: the hooked task
# again (disarmed), then the later one, and removes both; the outer walk has nothing left.
@pytest.mark.parametrize("place, tasks_run", [
    ("task", ["hooked", "hooked", "later"]),
    ("system", ["hooked", "later"]),   # the outer frame ran both before its systems
    ("handler", ["hooked", "later"]),  # the inner frame ran both, inside the outer's input
])
@pytest.mark.parametrize("call", ["update", "run"])
def test_a_frame_runs_whole_inside_a_frame_on_its_thread(child, place, tasks_run, call):
    """A loading screen drawn by a task, a dialog running its own frames from a handler."""
    seen = run(child, "update_again", place, "inside", call)
    assert seen["first"] == "returned" and seen["second"] == "returned"
    assert seen["tasks run"] == tasks_run
    assert seen["tasks left"] == 0
    # The systems ran in both frames. SDL keeps an event pushed while it hands out its
    # queue for its next read: a run() nested in a key handler sees its close request
    # in its second frame.
    assert seen["frames"] == (3 if (call, place) == ("run", "handler") else 2)
    # A nested run() ends on the close request, which stops the engine for good.
    if call == "update":
        assert (seen["next frame"], seen["running"]) == ("returned", True)
    else:
        assert (seen["next frame"][0], seen["running"]) == ("EngineException", False)


@pytest.mark.parametrize("place", ["task", "system", "handler"])
@pytest.mark.parametrize("call", ["update", "run"])
def test_another_thread_is_refused_a_frame_while_one_runs(child, place, call):
    seen = run(child, "update_again", place, "thread", call)
    assert seen["first"] == "returned"
    assert refused(seen["second"], UPDATE_BUSY)
    assert seen["tasks run"] == ["hooked", "later"]
    assert seen["tasks left"] == 0
    assert seen["frames"] == 1
    # A refused run() never ran a frame; the close request it pushed ends the next one.
    assert (seen["next frame"], seen["running"]) == (
        ("returned", True) if call == "update" else ("returned", False))


LOAD_BUSY = "_loadFromFile() cannot start while this level is loading"
INIT_BUSY = "__init__() cannot start while this level is loading"


@pytest.mark.parametrize("hook", ["component", "_convertPath"])
@pytest.mark.parametrize("action, message", [
    ("reload", LOAD_BUSY),
    ("reinitialise", INIT_BUSY),
    ("empty", INIT_BUSY),
    ("another level", None),  # another object: nothing to refuse
], ids=["reload", "reinitialise", "empty", "another level"])
def test_a_level_refuses_to_load_again_while_it_loads(child, hook, action, message):
    seen = run(child, "load_inside", hook, action)
    assert seen["first"] == "returned"
    assert seen["second"] == "returned" if message is None else refused(seen["second"], message)
    assert seen["same level"]


# The mover starts at (2.6, 2.5) with radius 0.5 and moves 0.1 east: a body pushes it to
# 2.95, then the wall at x = 3 pushes it 0.1 back; the write-back is the step's own.
BOTH_PUSHES, BODY_ONLY, WHERE_IT_WAS = (2.85, 2.5), (2.95, 2.5), (2.6, 2.5)


@pytest.mark.parametrize("action, position", [
    ("update", None),                      # nested steps move it: any place it reaches
    ("_updateEntity", None),
    ("traceEntities", BOTH_PUSHES),
    ("drop the bodies", BOTH_PUSHES),      # the pass keeps the list it walks
    ("shrink the level", BODY_ONLY),       # the wall pass reads the level as it is now
    ("empty level", BODY_ONLY),
    ("remove the system", WHERE_IT_WAS),   # no engine: the next contact ends the step
    ("empty the list through the collector", BOTH_PUSHES),
    ("empty the other's components, kept", BOTH_PUSHES),
])
def test_contact_handlers_may_start_the_movement_again(child, action, position):
    seen = run(child, "contact_handler", action)
    assert seen["first"] == "returned"
    assert seen["contacts"] >= 1
    if position is None:
        assert all(math.isfinite(value) for value in seen["position"])
    else:
        assert seen["position"] == pytest.approx(position)
