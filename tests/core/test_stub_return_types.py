"""The type stubs against what the engine answers: a table of calls, each checked against
the return type that src/quorvelin.pyi declares for it. (stubtest compares the names and
signatures of the stubs with the module, never what a call gives back.)

Types are read as a type checker reads them, with one difference: an int is no bool
and a bool no int, since the manual tells readers which of the two they get (1 or True
print differently). A float may be an int, as for a type checker."""
import ast
import collections.abc
import os
import types
import typing

import pytest

import quorvelin
from engine import sdlinput
from engine.conftest import _clear_shared
from media.files import FONT_PATH, write_png, write_wav
from quorvelin import Vector2
from ui.themes import write_theme

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STUBS = os.path.join(ROOT, "src", "quorvelin.pyi")


class Declared:
    """One declaration of a stub member: its parameters' types and its return type."""

    def __init__(self, returns, parameters=(), required=0, rest=None, called=True):
        self.returns, self.parameters, self.rest, self.called = returns, parameters, rest, called
        self.required = required  # the parameters without a default


def is_setter(function):
    return any(isinstance(d, ast.Attribute) and d.attr == "setter" for d in function.decorator_list)


def read_stubs():
    """The declarations of the stubs by dotted name ("Vector2.__mul__", "getSoundVolume"),
    a list for each (one per overload), and the type aliases by name."""
    with open(STUBS, encoding="utf-8") as file:
        tree = ast.parse(file.read())
    declared, aliases = {}, {}

    def read(body, prefix):
        for node in body:
            if isinstance(node, ast.ClassDef):
                read(node.body, prefix + node.name + ".")
            elif isinstance(node, ast.AnnAssign) and node.value is not None and not prefix:
                aliases[node.target.id] = node.value  # X: TypeAlias = ...
            elif isinstance(node, ast.AnnAssign):
                declared.setdefault(prefix + node.target.id, []).append(
                    Declared(node.annotation, called=False))
            elif isinstance(node, ast.FunctionDef) and not is_setter(node):
                positional = node.args.posonlyargs + node.args.args
                if prefix:
                    positional = positional[1:]  # self
                is_property = any(isinstance(d, ast.Name) and d.id == "property"
                                  for d in node.decorator_list)
                rest = node.args.vararg.annotation if node.args.vararg else None
                declared.setdefault(prefix + node.name, []).append(Declared(
                    node.returns, [p.annotation for p in positional],
                    len(positional) - len(node.args.defaults), rest, not is_property))

    read(tree.body, "")
    return declared, aliases


DECLARED, ALIASES = read_stubs()
EXACT = {"int": int, "bool": bool, "str": str, "bytes": bytes}
ABSTRACT = {"Sequence": collections.abc.Sequence, "Iterator": collections.abc.Iterator,
            "ValuesView": collections.abc.ValuesView, "SupportsInt": typing.SupportsInt,
            "type": type}


def answers(value, annotation):
    """Whether `value` is of the type that `annotation`, an expression of the stubs, names."""
    match annotation:
        case ast.Constant(value=None):
            return value is None
        case ast.BinOp(op=ast.BitOr()):
            return answers(value, annotation.left) or answers(value, annotation.right)
        case ast.Name(id=name) if name in ALIASES:
            return answers(value, ALIASES[name])
        case ast.Name(id=name) if name in EXACT:
            return type(value) is EXACT[name]
        case ast.Name(id="float"):
            return type(value) in (float, int)
        case ast.Name(id="Any" | "object" | "_C" | "_E"):
            return True
        case ast.Name(id=name) if name in ABSTRACT:
            return isinstance(value, ABSTRACT[name])
        case ast.Name(id=name):
            return isinstance(value, getattr(quorvelin, name))
        case ast.Subscript(value=ast.Name(id=generic), slice=arguments):
            items = arguments.elts if isinstance(arguments, ast.Tuple) else [arguments]
            return answers_generic(value, generic, items)
    raise AssertionError(f"no check for the annotation {ast.unparse(annotation)}")


def answers_generic(value, generic, items):
    if generic == "Literal":
        return any(type(value) is type(item.value) and value == item.value for item in items)
    if generic == "tuple":
        if type(value) is not tuple:
            return False
        if len(items) == 2 and isinstance(items[1], ast.Constant) and items[1].value is ...:
            return all(answers(element, items[0]) for element in value)
        return len(value) == len(items) and all(map(answers, value, items))
    if generic == "list":
        return type(value) is list and all(answers(element, items[0]) for element in value)
    if generic == "dict":
        return type(value) is dict and all(answers(k, items[0]) and answers(v, items[1])
                                           for k, v in value.items())
    if generic == "ClassVar":
        return answers(value, items[0])
    if generic == "Sequence":
        return isinstance(value, collections.abc.Sequence) and \
            all(answers(element, items[0]) for element in value)
    if generic == "type":
        return isinstance(value, type)
    if generic == "Callable":
        return callable(value)
    if generic in ABSTRACT:  # the elements of an iterator or a view are not walked
        return isinstance(value, ABSTRACT[generic])
    raise AssertionError(f"no check for {generic}[...]")


def declaration(name, arguments):
    """The declaration of `name` that takes `arguments` (an overload's parameters
    decide which)."""
    for declared in DECLARED[name]:
        if arguments is None:
            return declared
        fixed = declared.parameters[:len(arguments)]
        extra = arguments[len(fixed):]
        if len(fixed) < declared.required or (extra and declared.rest is None):
            continue
        if all(map(answers, arguments, fixed)) and all(answers(a, declared.rest) for a in extra):
            return declared
    raise AssertionError(f"no declaration of {name} takes {arguments!r}")


class World:
    """One of each object the table asks, in a running engine that drew a frame: a level
    with a sprite, a raycasting view, a UI with a widget of every kind, a sound and
    music, a font and a joystick."""

    def __init__(self, folder):
        self.engine = quorvelin.Engine()
        self.engine.init("return types", (320, 200))
        self.level = quorvelin.Level(None)
        sheet = quorvelin.Texture(write_png(folder / "sheet.png", 2, 1, [0xFF00FF00] * 2))
        animation = quorvelin.SpriteAnimation("a", 2, False, 1.0, 0, 1)
        self.sprite = quorvelin.Sprite(sheet, 2, 1, [animation])
        self.look = quorvelin.SpriteComponent(self.sprite)
        self.entity = quorvelin.Entity(7, quorvelin.PositionComponent(Vector2(2.5, 4.5)),
                                       self.look, quorvelin.VelocityComponent(),
                                       quorvelin.CollisionComponent())
        self.level.sprites.append(self.sprite)
        self.level.addEntity(self.entity)
        self.view = quorvelin.RaycastingRenderer(quorvelin.Texture(320, 200), self.level)
        self.movement = quorvelin.MovementSystem(self.level)
        self.ui = quorvelin.UIRenderer(self.view.getTarget(), False,
                                       quorvelin.UITheme(write_theme(folder)))
        self.text, self.button = quorvelin.UIText("a text"), quorvelin.UIButton("a button")
        self.slider = quorvelin.UISlider(30, 0, 60)
        self.scroll = quorvelin.UIScrollPanel(quorvelin.UIListContainer())
        for widget in (self.text, self.button, self.slider, self.scroll):
            self.ui.widget.addChild(widget, 0, 0)
        for system in (self.movement, self.view, self.ui):
            self.engine.ecs.addSystem(system)
        self.level.syncEntitiesToEcs(self.engine.ecs)
        self.stick = sdlinput.attach_joystick(2, 3)
        self.engine.update()
        self.beep = quorvelin.Sound(write_wav(folder / "beep.wav", 0.2))
        self.music = quorvelin.Music(str(folder / "beep.wav"))
        self.font = quorvelin.Font(FONT_PATH, 12)
        self.vector = Vector2(3, 4)

    def close(self):
        sdlinput.detach_joystick(self.stick)
        _clear_shared()
        sdlinput.flush()


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    made = World(tmp_path_factory.mktemp("world"))
    yield made
    made.close()


# A stub member, and what it is asked of: (the object, the arguments of a call, or None
# to read a property or field). Rows cover what was declared wrongly once, and answers
# easy to declare wrongly: bool or int, float or int, a tuple's parts, None.
CALLS = [
    ("SoundHandle.isPlaying", lambda w: (w.beep.play(), ())),
    ("SpriteComponent.blendMode", lambda w: (w.look, None)),
    ("SpriteComponent.blendMode", lambda w: (quorvelin.SpriteComponent(blendMode=1), None)),
    ("Vector2.__mul__", lambda w: (w.vector, (2,))),
    ("Vector2.__mul__", lambda w: (w.vector, (w.vector,))),
    ("Vector2.__rmul__", lambda w: (w.vector, (Vector2(1, 0),))),
    ("Vector2.__add__", lambda w: (w.vector, (w.vector,))),
    ("Vector2.length", lambda w: (w.vector, None)),
    ("Vector2.x", lambda w: (Vector2(1, 2), None)),
    ("Vector2.getDegrees", lambda w: (w.vector, ())),
    ("Vector2.angleTo", lambda w: (w.vector, (Vector2(1, 0),))),
    ("Vector2.normalize", lambda w: (Vector2(1, 2), ())),
    ("Vector2.copy", lambda w: (w.vector, ())),
    ("Engine.isKeyPressed", lambda w: (w.engine, (quorvelin.KEY_SPACE,))),
    ("Engine.isMouseButtonPressed", lambda w: (w.engine, (quorvelin.MOUSE_LEFT,))),
    ("Engine.isMouseCaptured", lambda w: (w.engine, ())),
    ("Engine.isRunning", lambda w: (w.engine, ())),
    ("Engine.isFullscreen", lambda w: (w.engine, ())),
    ("Engine.getFps", lambda w: (w.engine, ())),
    ("Engine.getTimeStep", lambda w: (w.engine, ())),
    ("Engine.getMousePos", lambda w: (w.engine, ())),
    ("Engine.getMouseDist", lambda w: (w.engine, ())),
    ("Engine.getWindowSize", lambda w: (w.engine, ())),
    ("Engine.getWindowPos", lambda w: (w.engine, ())),
    ("Engine.getKeyName", lambda w: (w.engine, (quorvelin.KEY_A,))),
    ("Engine.joysticks", lambda w: (w.engine, None)),
    ("Engine.version", lambda w: (w.engine, None)),
    ("Engine.update", lambda w: (w.engine, ())),
    ("Joystick.getAxis", lambda w: (w.engine.joysticks[0], (0,))),
    ("Joystick.isButtonPressed", lambda w: (w.engine.joysticks[0], (0,))),
    ("Joystick.name", lambda w: (w.engine.joysticks[0], None)),
    ("KeyEvent.isShiftPressed", lambda w: (quorvelin.KeyEvent(1, 0, 0, 1), None)),
    ("FullscreenEvent.newValue", lambda w: (quorvelin.FullscreenEvent(0, 1), None)),
    ("Texture.getSize", lambda w: (w.view.getTarget(), ())),
    ("Texture.width", lambda w: (w.view.getTarget(), None)),
    ("Texture.fill", lambda w: (quorvelin.Texture(1, 1), ((1, 2, 3),))),
    ("Resource.filename", lambda w: (w.beep, None)),
    ("Resource.filename", lambda w: (quorvelin.Texture(1, 1), None)),
    ("Font.size", lambda w: (w.font, None)),
    ("Font.getFontSize", lambda w: (w.font, ())),
    ("Font.getRenderedTextSize", lambda w: (w.font, ("text",))),
    ("Font.render", lambda w: (w.font, ("text", (1, 2, 3)))),
    ("Sound.play", lambda w: (w.beep, ())),
    ("Sound.loop", lambda w: (w.beep, (2,))),
    ("Music.play", lambda w: (w.music, ())),
    ("getMusicVolume", lambda w: (quorvelin, ())),
    ("getSoundVolume", lambda w: (quorvelin, ())),
    ("Entity.id", lambda w: (w.entity, None)),
    ("Entity.getComponent", lambda w: (w.entity, (quorvelin.RotationComponent,))),
    ("Entity.getComponents", lambda w: (w.entity, ())),
    ("Ecs.getEntities", lambda w: (w.engine.ecs, ())),
    ("Ecs.getEntities", lambda w: (w.engine.ecs, (quorvelin.PositionComponent,))),
    ("Ecs.getEntityById", lambda w: (w.engine.ecs, (7,))),
    ("AbstractSystem._interestedIn", lambda w: (w.movement, (w.entity,))),
    ("PositionComponent.dumpToDict", lambda w: (w.entity.getComponent(quorvelin.PositionComponent),
                                                (w.level,))),
    ("CollisionComponent.radius", lambda w: (quorvelin.CollisionComponent(1), None)),
    ("CollisionComponent.isOnlyTrigger", lambda w: (quorvelin.CollisionComponent(), None)),
    ("VelocityComponent.friction", lambda w: (quorvelin.VelocityComponent(friction=2), None)),
    ("SpriteComponent.currentAnimationKey", lambda w: (w.look, None)),
    ("SpriteComponent.animationPercentage", lambda w: (w.look, None)),
    ("SpriteComponent.zOffset", lambda w: (w.look, None)),
    ("SpriteComponent.shadeless", lambda w: (w.look, None)),
    ("SpriteComponent.dumpToDict", lambda w: (w.look, (w.level,))),
    ("Sprite.width", lambda w: (w.sprite, None)),
    ("Level.getBlock", lambda w: (w.level, (2.7, 0))),
    ("Level.getTextureIndex", lambda w: (w.level, (quorvelin.TEXTURE_FLOOR, 1, 1))),
    ("Level.getTexture", lambda w: (w.level, (quorvelin.TEXTURE_FLOOR, 1, 1))),
    ("Level.getTexture", lambda w: (w.level, (quorvelin.TEXTURE_FLOOR, 1.5, 1))),
    ("Level.setBlock", lambda w: (quorvelin.Level(None), (2.7, 1.2, 1.9))),
    ("Level.getSize", lambda w: (w.level, ())),
    ("Level.fogColor", lambda w: (w.level, None)),
    ("Level.fogDensity", lambda w: (w.level, None)),
    ("Level.getEntities", lambda w: (w.level, (quorvelin.SpriteComponent,))),
    ("Level.createComponent", lambda w: (w.level, ("position", {"x": 1, "y": 2}))),
    ("Camera.fov", lambda w: (w.view.getCamera(), None)),
    ("Camera.pitch", lambda w: (w.view.getCamera(), None)),
    ("Camera.ratio", lambda w: (w.view.getCamera(), None)),
    ("RaycastingRenderer.castRay", lambda w: (w.view, (Vector2(2.5, 2.5), Vector2(1, 0)))),
    ("RaycastingRenderer.castRay", lambda w: (w.view, (Vector2(-1, 2.5), Vector2(1, 0)))),
    ("RaycastingRenderer.getWorldCellByScreenCoords", lambda w: (w.view, (160, 199))),
    ("RaycastingRenderer.getWorldPosByScreenCoords", lambda w: (w.view, (160, 199))),
    ("RaycastingRenderer.getWorldPosByScreenCoords", lambda w: (w.view, (160, 120))),  # a wall
    ("RaycastingRenderer.getEntityAtScreenCoords", lambda w: (w.view, (160, 110))),
    ("RaycastingRenderer.getEntityAtScreenCoords", lambda w: (w.view, (0, 0))),
    ("RaycastingRenderer.level", lambda w: (w.view, None)),
    ("Renderer.getTarget", lambda w: (w.ui, ())),
    ("CollisionBodySystem.traceEntities",
     lambda w: (w.movement.collisionBodySystem, (Vector2(2.5, 2.5), Vector2(0, 1), 10))),
    ("UIRenderer.getSize", lambda w: (w.ui, ())),
    ("UITheme.getColor", lambda w: (w.ui.theme, ("fontColor",))),
    ("UITheme.getIntColor", lambda w: (w.ui.theme, ("fontColor",))),
    ("UITheme.getFont", lambda w: (w.ui.theme, ("aileron",))),
    ("UIWidget.isVisible", lambda w: (w.text, None)),
    ("UIWidget.isHovered", lambda w: (w.text, None)),
    ("UIWidget.isInside", lambda w: (w.text, (1, 1))),
    ("UIWidget.width", lambda w: (w.text, None)),
    ("UIWidget.getParent", lambda w: (w.text, ())),
    ("UIWidget.getRenderer", lambda w: (w.text, ())),
    ("UIWidget._onClick", lambda w: (w.text, (quorvelin.MouseClickEvent(1, 1, 1),))),
    ("UIText.getRenderedTextSize", lambda w: (w.text, ())),
    ("UIText.color", lambda w: (w.text, None)),
    ("UIText.text", lambda w: (w.text, None)),
    ("UIButton.text", lambda w: (w.button, None)),
    ("AbstractUIContainer.getChildren", lambda w: (w.ui.widget, ())),
    ("UISlider.value", lambda w: (w.slider, None)),
    ("UISlider.percent", lambda w: (w.slider, None)),
    ("UIScrollPanel.scrollPosY", lambda w: (w.scroll, None)),
    ("UIScrollPanel.content", lambda w: (w.scroll, None)),
    ("SliderValueChangedEvent.newValue",
     lambda w: (quorvelin.SliderValueChangedEvent(w.slider, 1, 2), None)),
    ("ButtonClickEvent.target", lambda w: (quorvelin.ButtonClickEvent(w.button, 1, 2, 1), None)),
    ("CollisionEvent.entity2", lambda w: (quorvelin.CollisionEvent(w.entity, None), None)),
    ("MouseWheelEvent.y", lambda w: (quorvelin.MouseWheelEvent(0, -1), None)),
]


@pytest.mark.parametrize("name,asked", CALLS, ids=[row[0] for row in CALLS])
def test_the_stubs_declare_what_the_engine_answers(world, name, asked):
    owner, arguments = asked(world)
    declared = declaration(name, arguments)
    member = getattr(owner, name.rpartition(".")[2])
    assert declared.called == (arguments is not None), f"{name}: the table asks it the wrong way"
    value = member if arguments is None else member(*arguments)
    assert answers(value, declared.returns), \
        f"{name} answers {value!r}, the stubs declare {ast.unparse(declared.returns)}"


def test_a_number_times_a_vector_is_left_out_as_the_engine_refuses_it():
    with pytest.raises(AttributeError):
        2 * Vector2(1, 2)
    with pytest.raises(AssertionError, match="no declaration"):
        declaration("Vector2.__rmul__", (2,))


# The check itself: answers that a type checker would let pass, or that a reader of the
# manual would mistake, are told apart.
MISMATCHES = [
    (1, "bool"), (True, "int"), (1.5, "int"), ("text", "bytes"), (None, "Texture"),
    ((1, 2.5), "tuple[int, int]"), ((1, 2, 3), "tuple[int, int]"), ([1, None], "list[int]"),
    ("blend", 'Literal["alpha", "add"]'), (1, 'Literal["alpha", "add"]'), (0, "None"),
    ({"a": 1.5}, "dict[str, int]"), ([1], "Sequence[str]"),
]


@pytest.mark.parametrize("value,annotation", MISMATCHES, ids=lambda case: repr(case))
def test_the_check_tells_the_types_apart(value, annotation):
    parsed = ast.parse(annotation, mode="eval").body
    assert not answers(value, parsed)


@pytest.mark.parametrize("value,annotation", [
    (1, "float"), (2.5, "float | None"), ((1, 2.0, 3), "tuple[int, float, float]"),
    ([], "list[Texture]"), ((1, 2, 3), "_Color"), (types.SimpleNamespace(), "Any"),
])
def test_the_check_takes_what_a_type_checker_takes(value, annotation):
    assert answers(value, ast.parse(annotation, mode="eval").body)
