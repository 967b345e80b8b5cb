"""Quorvelin is a game engine with a raycasting renderer and some simple UI capabilities."""

import threading
from collections.abc import Callable, Iterator, Sequence, ValuesView
from typing import Any, ClassVar, Literal, SupportsInt, TypeAlias, TypeVar, overload

from typing_extensions import disjoint_base

_C = TypeVar("_C")
_E = TypeVar("_E", bound=Event)
_Color: TypeAlias = Sequence[int]
"""A colour: (r, g, b) or (r, g, b, a), each 0 to 255."""
_Task: TypeAlias = Callable[[float, Any], object]
"""A task, called as task(timeStep, onDone) each frame until it returns a true value."""
_Handler: TypeAlias = Callable[[Any], object]
"""An event handler, called with the event."""

# --- engine core ---------------------------------------------------------------------------

@disjoint_base
class Event:
    """The base of every event: a record that handlers receive from Engine.fireEvent."""

    isAlreadyHandled: bool
    """Whether a handler has taken the event; later handlers of the same event see it."""
    def __init__(self) -> None: ...

@disjoint_base
class KeyEvent(Event):
    """A key was pressed: its key code and the modifier keys held at that moment."""

    def __init__(self, key: int, isCtrlPressed: bool, isAltPressed: bool, isShiftPressed: bool) -> None: ...
    @property
    def key(self) -> int:
        """The key code, one of the KEY_ constants."""
    @property
    def isCtrlPressed(self) -> bool:
        """Whether a Ctrl key was held."""
    @property
    def isAltPressed(self) -> bool:
        """Whether an Alt key was held."""
    @property
    def isShiftPressed(self) -> bool:
        """Whether a Shift key was held."""

@disjoint_base
class MouseClickEvent(Event):
    """A mouse button was released, at a position in screen-texture pixels."""

    def __init__(self, x: int, y: int, button: int) -> None: ...
    @property
    def x(self) -> int:
        """Horizontal position of the click in screen-texture pixels."""
    @property
    def y(self) -> int:
        """Vertical position of the click in screen-texture pixels."""
    @property
    def button(self) -> int:
        """The button: MOUSE_LEFT, MOUSE_MIDDLE or MOUSE_RIGHT."""

@disjoint_base
class MouseWheelEvent(Event):
    """The mouse wheel turned: its steps across and along."""

    def __init__(self, x: int, y: int) -> None: ...
    @property
    def x(self) -> int:
        """Horizontal wheel steps."""
    @property
    def y(self) -> int:
        """Vertical wheel steps (positive away from the user)."""

@disjoint_base
class FullscreenEvent(Event):
    """The window switched between windowed mode and fullscreen (Engine.toggleFullscreen)."""

    def __init__(self, oldValue: bool, newValue: bool) -> None: ...
    @property
    def oldValue(self) -> bool:
        """Whether the window was fullscreen before the switch."""
    @property
    def newValue(self) -> bool:
        """Whether the window is fullscreen after the switch."""

@disjoint_base
class Joystick:
    """A joystick or game pad that SDL opened; announced by a JoystickAddedEvent."""

    def __init__(self, name: str, axes: int, buttons: int) -> None: ...
    def getAxis(self, axis: int, /) -> float:
        """The position of an axis, from -1.0 to 1.0."""
    def isButtonPressed(self, button: int, /) -> bool:
        """Whether a button is held down."""
    @property
    def name(self) -> str:
        """The device's name."""
    @property
    def axes(self) -> int:
        """The number of axes."""
    @property
    def buttons(self) -> int:
        """The number of buttons."""

@disjoint_base
class JoystickAddedEvent(Event):
    """A joystick was connected and opened."""

    def __init__(self, joystick: Joystick) -> None: ...
    @property
    def joystick(self) -> Joystick:
        """The joystick that was opened."""

@disjoint_base
class Vector2:
    """A 2-D vector of two floats, changed in place and shared between its holders."""

    x: float
    """The horizontal component."""
    y: float
    """The vertical component."""
    _x: float
    """The horizontal component, as stored."""
    _y: float
    """The vertical component, as stored."""
    def __init__(self, x: float, y: float) -> None: ...
    @property
    def length(self) -> float:
        """The vector's length."""
    def __add__(self, value: Vector2, /) -> Vector2:
        """A new vector, the sum."""
    def __radd__(self, value: Vector2, /) -> Vector2:
        """A new vector, the sum."""
    def __sub__(self, value: Vector2, /) -> Vector2:
        """A new vector, the difference."""
    def __rsub__(self, value: Vector2, /) -> Vector2:
        """A new vector, the difference."""
    @overload
    def __mul__(self, value: Vector2, /) -> float:
        """The dot product with another vector."""
    @overload
    def __mul__(self, value: float, /) -> Vector2:
        """A new vector scaled by a number."""
    def __rmul__(self, value: Vector2, /) -> float:
        """The dot product with another vector (a number on the left is refused: write v * 2)."""
    def normalize(self) -> None:
        """Scales the vector in place to length 1 (the zero vector stays as it is)."""
    def copy(self) -> Vector2:
        """A new vector with the same components."""
    def getDegrees(self) -> float:
        """The vector's direction in degrees."""
    def angleTo(self, other: Vector2, /) -> float:
        """The angle from this vector to another, in radians."""
    def angleToInDegrees(self, other: Vector2, /) -> float:
        """The angle from this vector to another, in degrees."""
    def set(self, other: Vector2, /) -> None:
        """Copies another vector's components into this one."""
    def add(self, other: Vector2, /) -> None:
        """Adds another vector to this one in place."""
    def sub(self, other: Vector2, /) -> None:
        """Subtracts another vector from this one in place."""
    def scale(self, factor: float, /) -> None:
        """Multiplies both components by a number in place."""
    def rotate(self, degrees: float, /) -> None:
        """Turns the vector in place by an angle in degrees."""
    def negate(self) -> None:
        """Negates the vector in place."""

class EngineException(Exception):
    """This is the base class for all quorvelin-specific exceptions."""

    msg: str
    """The message."""
    def __init__(self, msg: str) -> None: ...

class EngineSdlException(EngineException):
    """An SDL call failed; the message carries SDL's error text."""

    def __init__(self, msg: str) -> None: ...

class LevelFormatException(EngineException):
    """A level file pair could not be loaded because its content is not a valid level."""

    filename: str
    """The path of the level's cell file."""
    def __init__(self, filename: str, msg: str) -> None: ...

class TerminalColor:
    """A with-block whose print output is coloured; the TERMINAL_ constants are instances."""

    def __init__(self, color: str) -> None: ...
    def __enter__(self) -> None: ...
    def __exit__(self, type: object, value: object, traceback: object) -> None: ...

def clearTerminal() -> None:
    """Clears the terminal."""

# --- media resources -------------------------------------------------------------------------

@disjoint_base
class Resource:
    """The base of the resources loaded from files: holds the file name."""

    _filename: Any
    """The file name, as stored."""
    def __init__(self, filename: Any) -> None: ...
    @property
    def filename(self) -> Any:
        """The file name the resource was loaded from ("" for one made in memory)."""

@disjoint_base
class Texture(Resource):
    """An ARGB8888 software image: blank, a copy of another, or loaded from an image file."""

    @overload
    def __init__(self, w: int, h: int) -> None:
        """A blank (transparent black) texture of w x h pixels."""
    @overload
    def __init__(self, w: Texture, h: None = None) -> None:
        """A copy of another texture."""
    @overload
    def __init__(self, w: str, h: None = None) -> None:
        """A texture loaded from an image file; IOError when it cannot be loaded."""
    @property
    def width(self) -> int:
        """The width in pixels."""
    @property
    def height(self) -> int:
        """The height in pixels."""
    def getSize(self) -> tuple[int, int]:
        """The size in pixels, (width, height)."""
    def copyFrom(self, other: Texture, /) -> None:
        """Draws another texture onto this one at the top left corner."""
    def fill(self, color: _Color, /) -> None:
        """Fills the whole texture with a colour (r, g, b) or (r, g, b, a)."""
    def fillChecker(self) -> None:
        """Fills the texture with a grey checkerboard of four squares."""
    def saveFile(self, filename: str, /) -> None:
        """Saves the texture as a PNG file."""

@disjoint_base
class Font(Resource):
    """A TTF font at one point size, which renders text into new textures."""

    def __init__(self, filename: str, size: int) -> None: ...
    @property
    def size(self) -> int:
        """The point size."""
    def getFontSize(self) -> int:
        """The point size."""
    def getRenderedTextSize(self, text: str, /) -> tuple[int, int]:
        """The size in pixels that the text takes when rendered, (width, height)."""
    def render(self, text: str, color: _Color) -> Texture:
        """A new texture holding the text in the colour."""
    def renderLines(self, lines: Sequence[str], color: _Color) -> Texture:
        """A new texture holding the lines stacked, each in the colour."""

@disjoint_base
class SoundHandle:
    """A playing sound's channel, returned by Sound.play and Sound.loop."""

    def __init__(self, channel: int) -> None: ...
    def stop(self) -> None:
        """Stops the current playback of the sound."""
    def pause(self) -> None:
        """Pauses the current playback of the sound."""
    def resume(self) -> None:
        """Resumes the playback of a paused sound."""
    def isPlaying(self) -> int:
        """1 while the channel is playing, else 0."""

@disjoint_base
class Sound(Resource):
    """A sound effect loaded from a file (WAV and the other formats the mixer reads)."""

    def __init__(self, filepath: str) -> None: ...
    def play(self) -> SoundHandle:
        """Plays the sound once on a free channel; EngineException when none is free."""
    def loop(self, times: int, /) -> SoundHandle:
        """Plays the sound `times` times; 0 loops it without end."""

class MusicStoppedEvent(Event):
    """The music stream finished playing."""

    def __init__(self) -> None: ...

@disjoint_base
class Music(Resource):
    """Music for the one music stream, loaded from a file (OGG and the other formats the mixer reads)."""

    def __init__(self, filepath: str) -> None: ...
    def play(self, pos: float | None = None) -> None:
        """Plays the music once, from a position in seconds if one is given."""
    def loop(self, times: int, /) -> None:
        """Plays the music `times` times; 0 loops it without end."""
    def stop(self) -> None:
        """Stops the playback of the music."""
    def pause(self) -> None:
        """Pauses the playback of the music."""
    def resume(self) -> None:
        """Resumes the playback of paused music."""
    def fadeOut(self, milliseconds: int, /) -> None:
        """Fades the music out over the given time."""
    def fadeIn(self, milliseconds: int, pos: float = 0.0) -> None:
        """Plays the music once, fading it in over the given time."""
    def fadeInLoop(self, milliseconds: int, times: int, pos: float = 0.0) -> None:
        """Plays the music `times` times (0: without end), fading it in."""

def getMusicVolume() -> int:
    """The music volume, 0 to 128."""

def setMusicVolume(volume: int, /) -> None:
    """Sets the music volume, 0 to 128."""

def getSoundVolume() -> int:
    """The volume of every sound channel, 0 to 128."""

def setSoundVolume(volume: int, /) -> None:
    """Sets the volume of every sound channel, 0 to 128."""

# --- entities, components and systems -----------------------------------------------------------

@disjoint_base
class Entity:
    """A thing in the game: an id and at most one component of each class."""

    _components: dict[type, Any]
    """The components keyed by their exact class."""
    _ecs: Ecs | None
    """The Ecs that holds the entity, or None."""
    _id: int
    """The id, as stored."""
    def __init__(self, id: int = -1, *components: object) -> None: ...
    @property
    def id(self) -> int:
        """The id; the Ecs gives an entity added with id -1 a number of its own."""
    def addComponent(self, component: object, /) -> None:
        """Adds a component (replacing one of the same class) and tells the Ecs."""
    def removeComponent(self, component: object, /) -> None:
        """Removes the component of the given component's class and tells the Ecs."""
    def removeComponentType(self, componentType: type, /) -> None:
        """Removes the component of the given class and tells the Ecs."""
    def getComponent(self, componentType: type[_C], /) -> _C | None:
        """The component of exactly the given class, or None."""
    def getComponents(self) -> ValuesView[Any]:
        """A live view of the components."""

@disjoint_base
class Ecs:
    """The entity-component system: the entities and the systems that update them each frame."""

    def __init__(self, engine: Engine | None) -> None: ...
    def update(self, timeStep: float, /) -> None:
        """Updates every system once, in the order in which they were added."""
    def addEntity(self, entity: Entity, /) -> None:
        """Adds an entity and offers it to every system."""
    def removeEntity(self, entity: Entity, /) -> None:
        """Removes an entity from the Ecs and from every system."""
    def removeAllEntities(self) -> None:
        """Removes every entity."""
    def addSystem(self, system: AbstractSystem, /) -> None:
        """Adds a system (once) and offers it every entity present."""
    def removeSystem(self, system: AbstractSystem, /) -> None:
        """Removes a system and detaches it."""
    @overload
    def getEntities(self) -> list[Entity]:
        """The Ecs's own entity list."""
    @overload
    def getEntities(self, *requiredComponentTypes: type) -> Iterator[Entity]:
        """A lazy iterator over the entities that have every one of the given component classes."""
    def getEntityById(self, id: int, /) -> Entity | None:
        """The first entity with the given id, or None."""
    def getSystems(self) -> list[AbstractSystem]:
        """The system list, in update order."""
    def _updateEntityMembership(self, entity: Entity, /) -> None:
        """Offers the entity to every system again after its components changed."""

@disjoint_base
class AbstractSystem:
    """The base of every system: it tracks the entities that have all its component classes."""

    _interestedComponentTypes: tuple[Any, ...]
    """The component classes an entity needs to be a member."""
    _entities: list[Entity]
    """The member entities."""
    _ecs: Ecs | None
    """The Ecs the system is attached to, or None."""
    _engine: Engine | None
    """The engine of that Ecs, or None."""
    def __init__(self, *interestedComponentTypes: Any) -> None: ...
    @property
    def entities(self) -> list[Entity]:
        """The member entities."""
    def update(self, timeStep: float, /) -> None:
        """Calls _updateEntity for every member entity."""
    def _updateEntity(self, entity: Entity, timeStep: float) -> None:
        """Updates one member entity; systems override it."""
    def _interestedIn(self, entity: Entity, /) -> bool:
        """Whether the entity has every component class of the system."""
    def _updateEntityMembership(self, entity: Entity, /) -> None:
        """Adds or removes the entity as a member, by its components."""
    def _removeEntity(self, entity: Entity, /) -> None:
        """Removes the entity as a member."""
    def _setEcs(self, ecs: Ecs | None, /) -> None:
        """Called when the system is attached to an Ecs or detached (None)."""
    def _setEngine(self, engine: Engine | None, /) -> None:
        """Called with the Ecs's engine when the system is attached, None when detached."""
    def getEcs(self) -> Ecs | None:
        """The Ecs the system is attached to, or None."""
    def getEngine(self) -> Engine | None:
        """The engine of that Ecs, or None."""

@disjoint_base
class PositionComponent:
    """Where an entity is, in grid cells."""

    pos: Vector2
    """The position vector (shared, changed in place by the movement)."""
    _pos: Vector2
    """The position vector, as stored."""
    x: float
    """The position's x."""
    y: float
    """The position's y."""
    def __init__(self, pos: Vector2 | None = None) -> None: ...
    def loadFromDict(self, level: Any, input: dict[str, Any]) -> None:
        """Fills the component from its level-file form {"x", "y"}."""
    def dumpToDict(self, level: Any, /) -> dict[str, Any]:
        """The component's level-file form."""

@disjoint_base
class VelocityComponent:
    """How an entity moves: a velocity and an impulse that decays by the friction."""

    velocity: Vector2
    """Cells per second."""
    impulse: Vector2
    """A push in cells per second, decaying by the friction."""
    friction: float
    """How fast the impulse decays, per second."""
    _velocity: Vector2
    """The velocity, as stored."""
    _impulse: Vector2
    """The impulse, as stored."""
    _friction: float
    """The friction, as stored."""
    x: float
    """The velocity's x."""
    y: float
    """The velocity's y."""
    def __init__(self, velocity: Vector2 | None = None, impulse: Vector2 | None = None,
                 friction: float = 2.0) -> None: ...
    def loadFromDict(self, level: Any, input: dict[str, Any]) -> None:
        """Fills the component from its level-file form."""
    def dumpToDict(self, level: Any, /) -> dict[str, Any]:
        """The component's level-file form."""

@disjoint_base
class RotationComponent:
    """Where an entity faces."""

    dir: Vector2
    """The facing direction."""
    _dir: Vector2
    """The facing direction, as stored."""
    def __init__(self, dir: Vector2 | None = None) -> None: ...
    def loadFromDict(self, level: Any, input: dict[str, Any]) -> None:
        """Fills the component from its level-file form {"x", "y"}."""
    def dumpToDict(self, level: Any, /) -> dict[str, Any]:
        """The component's level-file form."""

@disjoint_base
class CollisionComponent:
    """An entity's collision circle and its flags."""

    radius: float
    """The circle's radius in cells."""
    isOnlyTrigger: bool
    """A trigger reports contacts but pushes nothing."""
    hasFlags: list[Any] | None
    """The flags the body has."""
    ignoreFlags: list[Any] | None
    """Bodies with any of these flags are not collided with."""
    _radius: float
    """The radius, as stored."""
    _isOnlyTrigger: bool
    """The trigger flag, as stored."""
    _hasFlags: list[Any] | None
    """The flags, as stored."""
    _ignoreFlags: list[Any] | None
    """The ignored flags, as stored."""
    def __init__(self, radius: float = 0.25, isOnlyTrigger: bool = False,
                 hasFlags: list[Any] | None = ..., ignoreFlags: list[Any] | None = ...) -> None: ...
    def loadFromDict(self, level: Any, input: dict[str, Any]) -> None:
        """Fills the component from its level-file form."""
    def dumpToDict(self, level: Any, /) -> dict[str, Any]:
        """The component's level-file form."""

@disjoint_base
class SpriteAnimation:
    """One named animation of a sprite sheet: its frames, directions and speed."""

    def __init__(self, name: str, frameCount: int, oscillate: bool, speed: float, startFrame: int,
                 directions: int) -> None: ...

@disjoint_base
class Sprite:
    """A sprite sheet: one texture cut into frames, with named animations."""

    def __init__(self, texture: Texture | None, xFrames: int, yFrames: int,
                 spriteAnimations: list[SpriteAnimation]) -> None: ...
    @property
    def texture(self) -> Texture:
        """The sheet."""
    @property
    def width(self) -> int:
        """The width of one frame in pixels."""
    @property
    def height(self) -> int:
        """The height of one frame in pixels."""
    @property
    def animations(self) -> dict[str, SpriteAnimation]:
        """The animations by name (the live dict)."""

@disjoint_base
class SpriteComponent:
    """How an entity looks: a sprite, its current animation and how it is drawn."""

    sprite: Sprite | None
    """The sprite sheet."""
    shadeless: bool
    """Drawn without fog."""
    zOffset: float
    """Height offset of the sprite."""
    scale: float
    """Size factor."""
    @property
    def blendMode(self) -> Literal["alpha", "add"]:
        """How the sprite is blended: "alpha" (BLENDMODE_BLEND; "blend" in the level form) or "add"."""
    @blendMode.setter
    def blendMode(self, value: str, /) -> None:
        """Assigning "add" selects BLENDMODE_ADD, any other text BLENDMODE_BLEND."""
    animationPercentage: float
    """How far the current animation has played, 0.0 to 1.0."""
    currentAnimation: SpriteAnimation | None
    """The animation being played."""
    currentAnimationKey: str
    """The name of the animation being played; setting it selects one of the sprite's."""
    _sprite: Sprite | None
    """The sprite, as stored."""
    _shadeless: bool
    """The shadeless flag, as stored."""
    _blendMode: int
    """The blend mode, BLENDMODE_BLEND or BLENDMODE_ADD."""
    _zOffset: float
    """The height offset, as stored."""
    _scale: float
    """The size factor, as stored."""
    _dist: float
    """The distance to the camera in the last frame."""
    _currentAnimation: SpriteAnimation | None
    """The current animation, as stored."""
    _animationPercentage: float
    """The animation's progress, as stored."""
    _currentMinFrame: int
    """The first frame of the current animation."""
    _currentMaxFrame: int
    """The last frame of the current animation."""
    _currentDirections: int
    """The view directions of the current animation."""
    _animationSpeed: float
    """The speed of the current animation."""
    _angleToCam: float
    """The angle to the camera in the last frame."""
    def __init__(self, sprite: Sprite | None = None, shadeless: bool = False, zOffset: float = 0.0,
                 scale: float = 1.0, blendMode: int = 0) -> None: ...
    def loadFromDict(self, level: Any, input: dict[str, Any]) -> None:
        """Fills the component from its level-file form, the sprite by its index in the level."""
    def dumpToDict(self, level: Any, /) -> dict[str, Any]:
        """The component's level-file form."""

class DummyComponent:
    """This component type is used for component types in a level that can't be mapped."""

def component(name: str, /) -> Callable[[type[_C]], type[_C]]:
    """A class decorator that registers a component class under a level-file name."""

_COMPONENTS: dict[str, type]
"""The component classes by their level-file names."""

__test__: dict[str, Any]
"""Empty: the module holds no doctests."""

# --- levels ------------------------------------------------------------------------------------

@disjoint_base
class Level(Resource):
    """A map of cells with its textures, sky, fog, sprites and entities, read from a level file pair."""

    fogDensity: int
    """Distance fog density (0: none)."""
    groundFogDensity: int
    """Ground fog density (0: none)."""
    fogColor: tuple[int, int, int]
    """The distance fog's colour."""
    groundFogColor: tuple[int, int, int]
    """The ground fog's colour."""
    _sprites: list[Sprite]
    """The sprites, as stored."""
    _textures: list[Texture]
    """The textures, as stored."""
    _entities: list[Entity]
    """The level's entities, in header order."""
    _collisionBodies: list[Any]
    """Kept for the collision code."""
    _assetsPath: str | None
    """The base directory of relative asset paths."""
    def __init__(self, filename: str | None, assetsPath: str | None = None) -> None: ...
    @property
    def sprites(self) -> list[Sprite]:
        """The sprites, in header order."""
    @property
    def metadata(self) -> dict[str, Any]:
        """The JSON header."""
    @property
    def width(self) -> int:
        """The width in cells."""
    @property
    def height(self) -> int:
        """The height in cells."""
    @property
    def textures(self) -> list[Texture]:
        """The textures that the cells' texture indices name."""
    def getBlock(self, x: SupportsInt, y: SupportsInt) -> int:
        """The block type of a cell, a BLOCK_ value (coordinates truncated: 2.7 is 2)."""
    def setBlock(self, blockType: SupportsInt, x: SupportsInt, y: SupportsInt) -> None:
        """Sets the block type of a cell (its low 8 bits)."""
    def getTextureIndex(self, cardinalDirection: SupportsInt, x: SupportsInt, y: SupportsInt) -> int:
        """A cell's texture index for a TEXTURE_ side, floor or ceiling (255: none)."""
    def setTextureIndex(self, textureIndex: SupportsInt, cardinalDirection: SupportsInt, x: SupportsInt,
                        y: SupportsInt) -> None:
        """Sets a cell's texture index for a side, floor or ceiling (its low 8 bits)."""
    def getTexture(self, cardinalDirection: SupportsInt, x: SupportsInt, y: SupportsInt) -> Texture | None:
        """The texture of a cell's side, floor or ceiling, or None."""
    def getSize(self) -> tuple[int, int]:
        """The size of the level in blocks, as the header gives it."""
    def _loadFromFile(self, filename: str, /) -> None:
        """Reads the level file pair into the level."""
    def _loadMetadata(self, filename: str, header: str) -> None:
        """Parses and checks the JSON header."""
    def _convertPath(self, path: str, /) -> str:
        """An asset path from the header, joined to the assets path."""
    def _loadAssets(self) -> None:
        """Loads the textures, sky and sprites that the header names."""
    def createComponent(self, componentName: str, component: dict[str, Any]) -> Any:
        """A component of the registered class for a level-file name, filled from its form."""
    def _loadFromDict(self, component: Any, input: dict[str, Any]) -> None:
        """Fills a component of an unregistered name from its form."""
    def addEntity(self, entity: Entity | None, /) -> None:
        """Appends an entity to the level's entities."""
    def removeEntity(self, entity: Entity | None, /) -> None:
        """Removes an entity from the level's entities."""
    def removeAllEntities(self) -> None:
        """Empties the level's entities."""
    def getEntities(self, *requiredComponentTypes: type) -> list[Entity]:
        """Every entity (the level's own list), or those that have all the given component classes."""
    def addEntityFromJson(self, entityData: dict[str, Any], /) -> Entity:
        """Adds an entity entry to the header and builds its entity."""
    def removeEntityFromJson(self, entity: Entity, /) -> None:
        """Removes an entity and the header entry at its place."""
    def syncEntitiesToEcs(self, ecs: Ecs, /) -> None:
        """Replaces the Ecs's entities by the level's."""
    def syncEntitiesFromEcs(self, ecs: Ecs, /) -> None:
        """Replaces the level's entities by the Ecs's."""
    def saveFile(self, filename: str, /) -> None:
        """Saves the level as a file pair: the cells and the JSON header beside them."""
    def _updateEntityMetadata(self) -> None:
        """Rebuilds the header's entity list from the entities."""
    def _dumpToDict(self, obj: Any, /) -> Any:
        """Plain data (dicts, lists, numbers, strings) of a value, for the header."""
    def printLevel(self) -> None:
        """Prints the map as text."""

# --- renderers ------------------------------------------------------------------------------------

@disjoint_base
class Renderer(AbstractSystem):
    """This is the abstract base class for all quorvelin renderers."""

    def __init__(self, target: Texture | None, *componentTypes: Any) -> None: ...
    def update(self, timeStep: float, /) -> None:
        """Updates the system and then renders into the target."""
    def render(self) -> None:
        """Draws one frame into the target; renderers override it."""
    def getTarget(self) -> Texture:
        """The texture the renderer draws into."""

@disjoint_base
class Camera:
    """Where the raycasting renderer looks from: position, direction, field of view, pitch."""

    fov: int
    """Horizontal field of view in degrees."""
    pitch: int
    """Vertical shift of the horizon in pixels."""
    ratio: float
    """Wall height factor."""
    def __init__(self, pos: Vector2, dir: Vector2, fov: int, pitch: int, ratio: float = 1.6) -> None: ...
    @property
    def pos(self) -> Vector2:
        """The position vector (shared with the caller)."""
    @property
    def dir(self) -> Vector2:
        """The direction vector (shared; the renderer normalises it in place)."""

@disjoint_base
class RaycastingRenderer(Renderer):
    """Renders 2.5D levels using the raycasting technique."""

    def __init__(self, target: Texture | None, level: Level | None) -> None: ...
    @property
    def level(self) -> Level:
        """The level drawn."""
    def getCamera(self) -> Camera:
        """Returns the camera object that is used for rendering the scene."""
    def castRay(self, pos: Vector2, dir: Vector2) -> Vector2 | None:
        """Where a ray meets a wall, or None when it leaves the map."""
    def getWorldCellByScreenCoords(self, x: int, y: int) -> tuple[int, int, int]:
        """What a pixel of the last frame shows: (1 floor, 2 ceiling or the side 3 to 6, cell x, cell y)."""
    def getWorldPosByScreenCoords(self, x: int, y: int) -> tuple[int, float, float]:
        """As getWorldCellByScreenCoords, with the world position of a floor or ceiling pixel."""
    def getEntityAtScreenCoords(self, x: int, y: int) -> Entity | None:
        """The nearest tracked entity whose sprite covers the pixel, or None."""
    def render(self) -> None:
        """Renders a single frame of the level onto the render target."""
    def _setFlashlight(self, flashlight: Texture | None, /) -> None:
        """Lights the walls with a picture; None switches the flashlight off."""

# --- collision and movement --------------------------------------------------------------------------

@disjoint_base
class CollisionEvent(Event):
    """Two collision bodies touched, or a body touched a wall (entity2 None)."""

    def __init__(self, entity1: Entity | None, entity2: Entity | None) -> None: ...
    @property
    def entity1(self) -> Entity:
        """The entity that moved."""
    @property
    def entity2(self) -> Entity | None:
        """The body it touched, or None for a wall."""

@disjoint_base
class CollisionBodySystem(AbstractSystem):
    """The collision bodies: entities with a PositionComponent and a CollisionComponent."""

    def __init__(self) -> None: ...
    def update(self, timeStep: float, /) -> None:
        """Does nothing: the bodies are moved by the MovementSystem."""
    def traceEntities(self, pos: Vector2, dir: Vector2, maxDist: float) -> list[tuple[Entity, float]]:
        """The bodies a ray from pos meets within maxDist, as (entity, distance), nearest first."""

@disjoint_base
class MovementSystem(AbstractSystem):
    """Moves entities by velocity and impulse, pushing them out of other bodies and walls."""

    _level: Level | None
    """The level whose walls are collided with."""
    _cbs: CollisionBodySystem | None
    """The system of the collision bodies."""
    def __init__(self, level: Level | None) -> None: ...
    @property
    def collisionBodySystem(self) -> CollisionBodySystem:
        """The system of the collision bodies, added to the Ecs right after this one."""
    def _setEcs(self, ecs: Ecs | None, /) -> None:
        """Attaches the system and adds its body system to the same Ecs."""
    def _setEngine(self, engine: Engine | None, /) -> None:
        """Hands the engine to the body system too."""
    def _updateEntity(self, entity: Entity, timeStep: float) -> None:
        """Moves one entity."""

# --- user interface ----------------------------------------------------------------------------------

@disjoint_base
class UITheme:
    """The look of the UI, read from a JSON theme file: tileset, fonts, colours, skins."""

    def __init__(self, filename: str) -> None: ...
    @property
    def widgets(self) -> dict[str, Any]:
        """The widget skins of the theme file."""
    def getFont(self, name: str, /) -> Font:
        """A font of the theme by name."""
    def getColor(self, name: str, /) -> tuple[int, int, int, int]:
        """Returns the RGBA color as a tuple."""
    def getIntColor(self, name: str, /) -> int:
        """Returns the colour as a packed int 0xAARRGGBB."""
    def _convertRgbaToIntColor(self, color: _Color, /) -> int:
        """Packs a colour (r, g, b[, a]) into 0xAARRGGBB."""

@disjoint_base
class UIWidget:
    """UIWidget is the abstract base class for every UI control."""

    sizePolicyX: int
    """How the width is chosen: SIZE_AUTO, SIZE_FIXED or SIZE_GROW."""
    sizePolicyY: int
    """How the height is chosen: SIZE_AUTO, SIZE_FIXED or SIZE_GROW."""
    width: int
    """The width in pixels (set by the layout unless the policy is SIZE_FIXED)."""
    height: int
    """The height in pixels."""
    _x: int
    """The left edge on the target, after the last layout."""
    _y: int
    """The top edge on the target, after the last layout."""
    horizontalAlign: int
    """ALIGN_LEFT, ALIGN_CENTER or ALIGN_RIGHT within the parent's space."""
    verticalAlign: int
    """VALIGN_TOP, VALIGN_MIDDLE or VALIGN_BOTTOM within the parent's space."""
    onClick: Callable[[Any], object] | None
    """Called with a ButtonClickEvent when the widget is clicked."""
    marginLeft: int
    """Space left of the widget."""
    marginTop: int
    """Space above the widget."""
    marginRight: int
    """Space right of the widget."""
    marginBottom: int
    """Space below the widget."""
    isVisible: bool
    """Whether the widget is drawn; a hidden widget is still laid out and takes clicks."""
    isEnabled: bool
    """Whether the widget takes clicks."""
    userData: Any
    """Free for game code."""
    def __init__(self) -> None: ...
    @property
    def isHovered(self) -> bool:
        """Whether the mouse was over the widget in the last update."""
    def _setParent(self, parent: AbstractUIContainer | None, /) -> None:
        """Links the widget to its container."""
    def setMargin(self, *values: int) -> None:
        """Sets the margins from one to four values (top, right, bottom, left)."""
    def _onClick(self, event: Any, /) -> bool:
        """The click hook: whether the widget took the click."""
    def _onScroll(self, event: Any, /) -> bool:
        """The wheel hook: whether the widget took the wheel event."""
    def getParent(self) -> AbstractUIContainer | None:
        """The container the widget is in, or None."""
    def getRenderer(self) -> UIRenderer | None:
        """The UIRenderer the widget is attached to, or None."""
    def render(self, clipX: int = -1, clipY: int = -1, clipWidth: int = -1, clipHeight: int = -1) -> None:
        """Draws the widget into the renderer's target; widgets override it."""
    def update(self, mouseX: int, mouseY: int, isMouseLeftPressed: bool) -> None:
        """Updates the hover and drag state from the mouse; widgets may override it."""
    def onDragStart(self, mouseX: int, mouseY: int) -> None:
        """Called when a left-button drag starts on the widget."""
    def onDragEnd(self, mouseX: int, mouseY: int) -> None:
        """Called when the drag ends."""
    def onDrag(self, mouseX: int, mouseY: int, diffX: int, diffY: int) -> None:
        """Called while the drag moves."""
    def isInside(self, mouseX: int, mouseY: int) -> bool:
        """This method returns true if the given coordinates are inside the widget."""
    def _pointInRect(self, pointX: int, pointY: int, rectX: int, rectY: int, rectW: int, rectH: int) -> bool:
        """Whether a point lies strictly inside a rectangle."""

@disjoint_base
class AbstractUIContainer(UIWidget):
    """The base of the widgets that hold other widgets."""

    def __init__(self) -> None: ...
    def removeChild(self, child: UIWidget, /) -> None:
        """Removes a child widget."""
    def removeAllChildren(self) -> None:
        """Removes every child widget."""
    def getChildren(self) -> list[UIWidget]:
        """The child list itself."""

@disjoint_base
class UIListContainer(AbstractUIContainer):
    """A UIListContainer can contain other UIWidget objects next to or above each other."""

    paddingLeft: int
    """Space inside the left edge."""
    paddingTop: int
    """Space inside the top edge."""
    paddingRight: int
    """Space inside the right edge."""
    paddingBottom: int
    """Space inside the bottom edge."""
    layout: int
    """LIST_LAYOUT_VERTICAL or LIST_LAYOUT_HORIZONTAL."""
    def __init__(self) -> None: ...
    def setPadding(self, *values: int) -> None:
        """Sets the paddings from one to four values (top, right, bottom, left)."""
    def addChild(self, child: UIWidget, /) -> None:
        """Appends a child widget."""

@disjoint_base
class _UIAnchorWrapper:
    """A child of a UIAnchoredContainer with its offsets and anchors."""

    def __init__(self, child: Any, x: int, y: int, anchorTypeX: int, anchorTypeY: int) -> None: ...

@disjoint_base
class UIAnchoredContainer(AbstractUIContainer):
    """A container that places each child at an offset from an anchor of its own area."""

    def __init__(self) -> None: ...
    def addChild(self, child: UIWidget, x: int, y: int, anchorTypeX: int = 0, anchorTypeY: int = 2) -> None:
        """Adds a child at an offset from its anchors (ANCHOR_ values; ANCHOR_LEFT, ANCHOR_TOP by default)."""

class UIPanel(UIListContainer):
    """A list container drawn on the theme's nine-slice panel, with paddings of 8."""

    def __init__(self) -> None: ...

@disjoint_base
class UIText(UIWidget):
    """A UIText can be used to display text."""

    color: _Color | None
    """The text colour; None: the theme's "fontColor"."""
    text: str
    """The text; line breaks make several lines."""
    def __init__(self, text: str, color: _Color | None = None) -> None: ...
    def getText(self) -> str:
        """The text."""
    def setText(self, text: str, /) -> None:
        """Sets the text."""
    def getRenderedTextSize(self) -> tuple[int, int]:
        """Determines the size which is required for the text, (0, 0) without a renderer."""

@disjoint_base
class ButtonClickEvent(MouseClickEvent):
    """A UIButton was clicked."""

    def __init__(self, target: UIButton | None, x: int, y: int, mouseButton: int) -> None: ...
    @property
    def target(self) -> UIButton:
        """The button that was clicked."""

@disjoint_base
class UIButton(UIListContainer):
    """A clickable button with a text label."""

    text: str
    """The label's text."""
    def __init__(self, label: str) -> None: ...
    def getText(self) -> str:
        """The label's text."""
    def setText(self, text: str, /) -> None:
        """Sets the label's text."""

@disjoint_base
class UIImage(UIWidget):
    """A UIImage can be used to display images."""

    texture: Texture | None
    """The picture, stretched to the widget."""
    alpha: int
    """Opacity, 0 to 255."""
    def __init__(self, texture: Texture | None, width: int | None = None, height: int | None = None) -> None: ...

@disjoint_base
class SliderValueChangedEvent(Event):
    """The value of a UISlider changed."""

    def __init__(self, target: UISlider | None, oldValue: int, newValue: int) -> None: ...
    @property
    def target(self) -> UISlider:
        """The slider."""
    @property
    def oldValue(self) -> int:
        """The value before the change."""
    @property
    def newValue(self) -> int:
        """The value after the change."""

@disjoint_base
class UISlider(UIWidget):
    """Represents a horizontally or vertically oriented slider for choosing a value inside a range."""

    value: int
    """The value, from minValue to maxValue."""
    percent: float
    """The value as a fraction of the range, 0.0 to 1.0."""
    def __init__(self, value: int, minValue: int = 0, maxValue: int = 100, orientation: int = 0) -> None: ...

@disjoint_base
class UIScrollPanel(AbstractUIContainer):
    """Shows one content widget through a window of fixed size, with a vertical scroll bar."""

    paddingLeft: int
    """Space inside the left edge."""
    paddingTop: int
    """Space inside the top edge."""
    paddingRight: int
    """Space inside the right edge."""
    paddingBottom: int
    """Space inside the bottom edge."""
    wheelScrollPixels: int
    """How far one wheel step scrolls."""
    scrollPosX: int
    """Horizontal scroll offset in pixels."""
    scrollPosY: int
    """Vertical scroll offset in pixels."""
    content: UIWidget
    """The widget scrolled."""
    def __init__(self, content: UIWidget) -> None: ...
    def setPadding(self, *values: int) -> None:
        """Sets the paddings from one to four values (top, right, bottom, left)."""

@disjoint_base
class UIRenderer(Renderer):
    """A UI render renders UI elements like text and buttons."""

    widget: UIAnchoredContainer
    """The root of the widget tree."""
    def __init__(self, target: Texture | None, fillBackground: int, theme: UITheme | None) -> None: ...
    @property
    def theme(self) -> UITheme:
        """The theme."""
    def getSize(self) -> tuple[int, int]:
        """Returns the size of the render target."""
    def _onClick(self, event: MouseClickEvent, /) -> None:
        """Hands a click down the widget tree."""
    def _onScroll(self, event: MouseWheelEvent, /) -> None:
        """Hands a wheel event down the widget tree."""

# --- the engine --------------------------------------------------------------------------------------

@disjoint_base
class Engine:
    """The window, the main loop, tasks, input and events; it owns the Ecs."""

    version: ClassVar[float]
    """The engine's version number."""
    _eventQueue: ClassVar[list[Any]]
    """Kept for compatibility; unused."""
    _eventSubscribers: ClassVar[dict[type, list[_Handler]]]
    """The handlers by event class, shared by every engine."""
    _tasks: ClassVar[list[tuple[_Task, Any]]]
    """The tasks (task, onDone), shared by every engine."""
    _timers: ClassVar[list[threading.Timer]]
    """The timers of the pending delayed tasks."""
    _joysticks: ClassVar[list[Joystick]]
    """The joysticks opened so far."""
    def __init__(self) -> None: ...
    @property
    def ecs(self) -> Ecs:
        """The engine's entity-component system."""
    @property
    def joysticks(self) -> list[Joystick]:
        """A copy of the list of joysticks opened so far."""
    def init(self, title: str, size: tuple[int, int], fullscreen: bool = False, show: bool = True,
             resizeable: bool = False, windowid: int = -1, icon: str | None = None,
             captureMouse: bool = False, audioChannels: int = 32, killWithEscapeKey: bool = True) -> None:
        """This method initializes the engine and (optionally) opens a window."""
    def _ensureInit(self) -> None:
        """Raises an EngineException when the engine is not initialized."""
    def quit(self) -> None:
        """Closes the window and shuts down all engine subsystems."""
    def update(self) -> None:
        """Updates one engine frame; run calls it for you."""
    def run(self, maxFps: float = 60) -> None:
        """Performs a main loop until quit is called or the window closes."""
    def getFps(self) -> float:
        """The frame rate of the last frame."""
    def getTimeStep(self) -> float:
        """The duration of the last frame in seconds."""
    def addTask(self, task: _Task, onDone: Any = None) -> None:
        """Adds a task called as task(timeStep, onDone) every frame until it returns a true value."""
    def addTaskAfter(self, delaySeconds: float, task: _Task, onDone: Any = None) -> None:
        """Adds a task after a delay in seconds, from a timer thread."""
    def subscribeEvent(self, eventType: type[_E], eventHandler: Callable[[_E], object]) -> None:
        """Calls the handler with every event of exactly the given class."""
    def unsubscribeEvent(self, eventType: type[_E], eventHandler: Callable[[_E], object]) -> None:
        """Stops calling the handler."""
    def fireEvent(self, evt: Event, evtType: type | None = None) -> None:
        """Calls the handlers of the event's exact class (or of evtType) with the event."""
    def isRunning(self) -> bool:
        """Whether the engine runs: initialised and not stopped."""
    def isFullscreen(self) -> bool:
        """Whether the window is fullscreen."""
    def toggleFullscreen(self) -> None:
        """Switches between windowed mode and desktop fullscreen and fires a FullscreenEvent."""
    def setFullscreen(self, fullscreen: bool, /) -> None:
        """Switches to fullscreen or back."""
    def getWindowSize(self) -> tuple[int, int]:
        """The window's size."""
    def setWindowSize(self, size: tuple[int, int], /) -> None:
        """Resizes the window."""
    def getWindowPos(self) -> tuple[int, int]:
        """The window's position on the screen."""
    def setWindowPos(self, pos: tuple[int, int], /) -> None:
        """Moves the window."""
    def setWindowTitle(self, title: str, /) -> None:
        """Sets the window's title."""
    def setWindowIcon(self, filename: str, /) -> None:
        """Sets the window's icon from an image file."""
    def saveScreenshot(self, filename: str, /) -> None:
        """Saves the window's content as a PNG file."""
    def getMouseDist(self) -> tuple[int, int]:
        """The mouse motion of the last frame."""
    def getMousePos(self) -> tuple[int, int]:
        """The mouse position in screen pixels."""
    def isMouseButtonPressed(self, button: int, /) -> bool:
        """Whether a mouse button (MOUSE_LEFT, MOUSE_MIDDLE, MOUSE_RIGHT) is held."""
    def isKeyPressed(self, keycode: int, /) -> int:
        """1 while the key (a KEY_ code) is held, else 0."""
    def getKeyName(self, keycode: int, /) -> str:
        """The key's name."""
    def captureMouse(self, capture: bool, /) -> None:
        """Captures the mouse (relative mode) or releases it."""
    def isMouseCaptured(self) -> bool:
        """Whether the mouse is captured."""

# --- module constants ----------------------------------------------------------------------------

KEY_0: int
"""The key code of the 0 key."""
KEY_1: int
"""The key code of the 1 key."""
KEY_2: int
"""The key code of the 2 key."""
KEY_3: int
"""The key code of the 3 key."""
KEY_4: int
"""The key code of the 4 key."""
KEY_5: int
"""The key code of the 5 key."""
KEY_6: int
"""The key code of the 6 key."""
KEY_7: int
"""The key code of the 7 key."""
KEY_8: int
"""The key code of the 8 key."""
KEY_9: int
"""The key code of the 9 key."""
KEY_A: int
"""The key code of the A key."""
KEY_AC_BACK: int
"""The key code of the AC Back key."""
KEY_AC_BOOKMARKS: int
"""The key code of the AC Bookmarks key."""
KEY_AC_FORWARD: int
"""The key code of the AC Forward key."""
KEY_AC_HOME: int
"""The key code of the AC Home key."""
KEY_AC_REFRESH: int
"""The key code of the AC Refresh key."""
KEY_AC_SEARCH: int
"""The key code of the AC Search key."""
KEY_AC_STOP: int
"""The key code of the AC Stop key."""
KEY_AGAIN: int
"""The key code of the Again key."""
KEY_ALTERASE: int
"""The key code of the AltErase key."""
KEY_QUOTE: int
"""The key code of the ' key."""
KEY_APPLICATION: int
"""The key code of the Application key."""
KEY_AUDIOMUTE: int
"""The key code of the AudioMute key."""
KEY_AUDIONEXT: int
"""The key code of the AudioNext key."""
KEY_AUDIOPLAY: int
"""The key code of the AudioPlay key."""
KEY_AUDIOPREV: int
"""The key code of the AudioPrev key."""
KEY_AUDIOSTOP: int
"""The key code of the AudioStop key."""
KEY_B: int
"""The key code of the B key."""
KEY_BACKSLASH: int
"""The key code of the \\ key."""
KEY_BACKSPACE: int
"""The key code of the Backspace key."""
KEY_BRIGHTNESSDOWN: int
"""The key code of the BrightnessDown key."""
KEY_BRIGHTNESSUP: int
"""The key code of the BrightnessUp key."""
KEY_C: int
"""The key code of the C key."""
KEY_CALCULATOR: int
"""The key code of the Calculator key."""
KEY_CANCEL: int
"""The key code of the Cancel key."""
KEY_CAPSLOCK: int
"""The key code of the CapsLock key."""
KEY_CLEAR: int
"""The key code of the Clear key."""
KEY_CLEARAGAIN: int
"""The key code of the Clear / Again key."""
KEY_COMMA: int
"""The key code of the , key."""
KEY_COMPUTER: int
"""The key code of the Computer key."""
KEY_COPY: int
"""The key code of the Copy key."""
KEY_CRSEL: int
"""The key code of the CrSel key."""
KEY_CURRENCYSUBUNIT: int
"""The key code of the CurrencySubUnit key."""
KEY_CURRENCYUNIT: int
"""The key code of the CurrencyUnit key."""
KEY_CUT: int
"""The key code of the Cut key."""
KEY_D: int
"""The key code of the D key."""
KEY_DECIMALSEPARATOR: int
"""The key code of the DecimalSeparator key."""
KEY_DELETE: int
"""The key code of the Delete key."""
KEY_DISPLAYSWITCH: int
"""The key code of the DisplaySwitch key."""
KEY_DOWN: int
"""The key code of the Down key."""
KEY_E: int
"""The key code of the E key."""
KEY_EJECT: int
"""The key code of the Eject key."""
KEY_END: int
"""The key code of the End key."""
KEY_EQUALS: int
"""The key code of the = key."""
KEY_ESCAPE: int
"""The key code of the Escape key."""
KEY_EXECUTE: int
"""The key code of the Execute key."""
KEY_EXSEL: int
"""The key code of the ExSel key."""
KEY_F: int
"""The key code of the F key."""
KEY_F1: int
"""The key code of the F1 key."""
KEY_F10: int
"""The key code of the F10 key."""
KEY_F11: int
"""The key code of the F11 key."""
KEY_F12: int
"""The key code of the F12 key."""
KEY_F13: int
"""The key code of the F13 key."""
KEY_F14: int
"""The key code of the F14 key."""
KEY_F15: int
"""The key code of the F15 key."""
KEY_F16: int
"""The key code of the F16 key."""
KEY_F17: int
"""The key code of the F17 key."""
KEY_F18: int
"""The key code of the F18 key."""
KEY_F19: int
"""The key code of the F19 key."""
KEY_F2: int
"""The key code of the F2 key."""
KEY_F20: int
"""The key code of the F20 key."""
KEY_F21: int
"""The key code of the F21 key."""
KEY_F22: int
"""The key code of the F22 key."""
KEY_F23: int
"""The key code of the F23 key."""
KEY_F24: int
"""The key code of the F24 key."""
KEY_F3: int
"""The key code of the F3 key."""
KEY_F4: int
"""The key code of the F4 key."""
KEY_F5: int
"""The key code of the F5 key."""
KEY_F6: int
"""The key code of the F6 key."""
KEY_F7: int
"""The key code of the F7 key."""
KEY_F8: int
"""The key code of the F8 key."""
KEY_F9: int
"""The key code of the F9 key."""
KEY_FIND: int
"""The key code of the Find key."""
KEY_G: int
"""The key code of the G key."""
KEY_BACKQUOTE: int
"""The key code of the ` key."""
KEY_H: int
"""The key code of the H key."""
KEY_HELP: int
"""The key code of the Help key."""
KEY_HOME: int
"""The key code of the Home key."""
KEY_I: int
"""The key code of the I key."""
KEY_INSERT: int
"""The key code of the Insert key."""
KEY_J: int
"""The key code of the J key."""
KEY_K: int
"""The key code of the K key."""
KEY_KBDILLUMDOWN: int
"""The key code of the KBDIllumDown key."""
KEY_KBDILLUMTOGGLE: int
"""The key code of the KBDIllumToggle key."""
KEY_KBDILLUMUP: int
"""The key code of the KBDIllumUp key."""
KEY_KP_0: int
"""The key code of the Keypad 0 key."""
KEY_KP_00: int
"""The key code of the Keypad 00 key."""
KEY_KP_000: int
"""The key code of the Keypad 000 key."""
KEY_KP_1: int
"""The key code of the Keypad 1 key."""
KEY_KP_2: int
"""The key code of the Keypad 2 key."""
KEY_KP_3: int
"""The key code of the Keypad 3 key."""
KEY_KP_4: int
"""The key code of the Keypad 4 key."""
KEY_KP_5: int
"""The key code of the Keypad 5 key."""
KEY_KP_6: int
"""The key code of the Keypad 6 key."""
KEY_KP_7: int
"""The key code of the Keypad 7 key."""
KEY_KP_8: int
"""The key code of the Keypad 8 key."""
KEY_KP_9: int
"""The key code of the Keypad 9 key."""
KEY_KP_A: int
"""The key code of the Keypad A key."""
KEY_KP_AMPERSAND: int
"""The key code of the Keypad & key."""
KEY_KP_AT: int
"""The key code of the Keypad @ key."""
KEY_KP_B: int
"""The key code of the Keypad B key."""
KEY_KP_BACKSPACE: int
"""The key code of the Keypad Backspace key."""
KEY_KP_BINARY: int
"""The key code of the Keypad Binary key."""
KEY_KP_C: int
"""The key code of the Keypad C key."""
KEY_KP_CLEAR: int
"""The key code of the Keypad Clear key."""
KEY_KP_CLEARENTRY: int
"""The key code of the Keypad ClearEntry key."""
KEY_KP_COLON: int
"""The key code of the Keypad : key."""
KEY_KP_COMMA: int
"""The key code of the Keypad , key."""
KEY_KP_D: int
"""The key code of the Keypad D key."""
KEY_KP_DBLAMPERSAND: int
"""The key code of the Keypad && key."""
KEY_KP_DBLVERTICALBAR: int
"""The key code of the Keypad || key."""
KEY_KP_DECIMAL: int
"""The key code of the Keypad Decimal key."""
KEY_KP_DIVIDE: int
"""The key code of the Keypad / key."""
KEY_KP_E: int
"""The key code of the Keypad E key."""
KEY_KP_ENTER: int
"""The key code of the Keypad Enter key."""
KEY_KP_EQUALS: int
"""The key code of the Keypad = key."""
KEY_KP_EQUALSAS400: int
"""The key code of the Keypad = (AS400) key."""
KEY_KP_EXCLAM: int
"""The key code of the Keypad ! key."""
KEY_KP_F: int
"""The key code of the Keypad F key."""
KEY_KP_GREATER: int
"""The key code of the Keypad > key."""
KEY_KP_HASH: int
"""The key code of the Keypad # key."""
KEY_KP_HEXADECIMAL: int
"""The key code of the Keypad Hexadecimal key."""
KEY_KP_LEFTBRACE: int
"""The key code of the Keypad { key."""
KEY_KP_LEFTPAREN: int
"""The key code of the Keypad ( key."""
KEY_KP_LESS: int
"""The key code of the Keypad < key."""
KEY_KP_MEMADD: int
"""The key code of the Keypad MemAdd key."""
KEY_KP_MEMCLEAR: int
"""The key code of the Keypad MemClear key."""
KEY_KP_MEMDIVIDE: int
"""The key code of the Keypad MemDivide key."""
KEY_KP_MEMMULTIPLY: int
"""The key code of the Keypad MemMultiply key."""
KEY_KP_MEMRECALL: int
"""The key code of the Keypad MemRecall key."""
KEY_KP_MEMSTORE: int
"""The key code of the Keypad MemStore key."""
KEY_KP_MEMSUBTRACT: int
"""The key code of the Keypad MemSubtract key."""
KEY_KP_MINUS: int
"""The key code of the Keypad - key."""
KEY_KP_MULTIPLY: int
"""The key code of the Keypad * key."""
KEY_KP_OCTAL: int
"""The key code of the Keypad Octal key."""
KEY_KP_PERCENT: int
"""The key code of the Keypad % key."""
KEY_KP_PERIOD: int
"""The key code of the Keypad . key."""
KEY_KP_PLUS: int
"""The key code of the Keypad + key."""
KEY_KP_PLUSMINUS: int
"""The key code of the Keypad +/- key."""
KEY_KP_POWER: int
"""The key code of the Keypad ^ key."""
KEY_KP_RIGHTBRACE: int
"""The key code of the Keypad } key."""
KEY_KP_RIGHTPAREN: int
"""The key code of the Keypad ) key."""
KEY_KP_SPACE: int
"""The key code of the Keypad Space key."""
KEY_KP_TAB: int
"""The key code of the Keypad Tab key."""
KEY_KP_VERTICALBAR: int
"""The key code of the Keypad | key."""
KEY_KP_XOR: int
"""The key code of the Keypad XOR key."""
KEY_L: int
"""The key code of the L key."""
KEY_LALT: int
"""The key code of the Left Alt key."""
KEY_LCTRL: int
"""The key code of the Left Ctrl key."""
KEY_LEFT: int
"""The key code of the Left key."""
KEY_LEFTBRACKET: int
"""The key code of the [ key."""
KEY_LGUI: int
"""The key code of the Left GUI key."""
KEY_LSHIFT: int
"""The key code of the Left Shift key."""
KEY_M: int
"""The key code of the M key."""
KEY_MAIL: int
"""The key code of the Mail key."""
KEY_MEDIASELECT: int
"""The key code of the MediaSelect key."""
KEY_MENU: int
"""The key code of the Menu key."""
KEY_MINUS: int
"""The key code of the - key."""
KEY_MODE: int
"""The key code of the ModeSwitch key."""
KEY_MUTE: int
"""The key code of the Mute key."""
KEY_N: int
"""The key code of the N key."""
KEY_NUMLOCKCLEAR: int
"""The key code of the Numlock key."""
KEY_O: int
"""The key code of the O key."""
KEY_OPER: int
"""The key code of the Oper key."""
KEY_OUT: int
"""The key code of the Out key."""
KEY_P: int
"""The key code of the P key."""
KEY_PAGEDOWN: int
"""The key code of the PageDown key."""
KEY_PAGEUP: int
"""The key code of the PageUp key."""
KEY_PASTE: int
"""The key code of the Paste key."""
KEY_PAUSE: int
"""The key code of the Pause key."""
KEY_PERIOD: int
"""The key code of the . key."""
KEY_POWER: int
"""The key code of the Power key."""
KEY_PRINTSCREEN: int
"""The key code of the PrintScreen key."""
KEY_PRIOR: int
"""The key code of the Prior key."""
KEY_Q: int
"""The key code of the Q key."""
KEY_R: int
"""The key code of the R key."""
KEY_RALT: int
"""The key code of the Right Alt key."""
KEY_RCTRL: int
"""The key code of the Right Ctrl key."""
KEY_RETURN: int
"""The key code of the Return key."""
KEY_RETURN2: int
"""The key code of the Return key."""
KEY_RGUI: int
"""The key code of the Right GUI key."""
KEY_RIGHT: int
"""The key code of the Right key."""
KEY_RIGHTBRACKET: int
"""The key code of the ] key."""
KEY_RSHIFT: int
"""The key code of the Right Shift key."""
KEY_S: int
"""The key code of the S key."""
KEY_SCROLLLOCK: int
"""The key code of the ScrollLock key."""
KEY_SELECT: int
"""The key code of the Select key."""
KEY_SEMICOLON: int
"""The key code of the ; key."""
KEY_SEPARATOR: int
"""The key code of the Separator key."""
KEY_SLASH: int
"""The key code of the / key."""
KEY_SLEEP: int
"""The key code of the Sleep key."""
KEY_SPACE: int
"""The key code of the Space key."""
KEY_STOP: int
"""The key code of the Stop key."""
KEY_SYSREQ: int
"""The key code of the SysReq key."""
KEY_T: int
"""The key code of the T key."""
KEY_TAB: int
"""The key code of the Tab key."""
KEY_THOUSANDSSEPARATOR: int
"""The key code of the ThousandsSeparator key."""
KEY_U: int
"""The key code of the U key."""
KEY_UNDO: int
"""The key code of the Undo key."""
KEY_UNKNOWN: int
"""The key code of an unknown key."""
KEY_UP: int
"""The key code of the Up key."""
KEY_V: int
"""The key code of the V key."""
KEY_VOLUMEDOWN: int
"""The key code of the VolumeDown key."""
KEY_VOLUMEUP: int
"""The key code of the VolumeUp key."""
KEY_W: int
"""The key code of the W key."""
KEY_WWW: int
"""The key code of the WWW key."""
KEY_X: int
"""The key code of the X key."""
KEY_Y: int
"""The key code of the Y key."""
KEY_Z: int
"""The key code of the Z key."""
KEY_AMPERSAND: int
"""The key code of the & key."""
KEY_ASTERISK: int
"""The key code of the * key."""
KEY_AT: int
"""The key code of the @ key."""
KEY_CARET: int
"""The key code of the ^ key."""
KEY_COLON: int
"""The key code of the : key."""
KEY_DOLLAR: int
"""The key code of the $ key."""
KEY_EXCLAIM: int
"""The key code of the ! key."""
KEY_GREATER: int
"""The key code of the > key."""
KEY_HASH: int
"""The key code of the # key."""
KEY_LEFTPAREN: int
"""The key code of the ( key."""
KEY_LESS: int
"""The key code of the < key."""
KEY_PERCENT: int
"""The key code of the % key."""
KEY_PLUS: int
"""The key code of the + key."""
KEY_QUESTION: int
"""The key code of the ? key."""
KEY_QUOTEDBL: int
"""The key code of the " key."""
KEY_RIGHTPAREN: int
"""The key code of the ) key."""
KEY_UNDERSCORE: int
"""The key code of the _ key."""
MOUSE_LEFT: int
"""The left mouse button."""
MOUSE_MIDDLE: int
"""The middle mouse button."""
MOUSE_RIGHT: int
"""The right mouse button."""
BLENDMODE_BLEND: int
"""Sprites drawn over what is behind them by their alpha."""
BLENDMODE_ADD: int
"""Sprites whose colours are added to what is behind them."""
ASCII_CELLS: list[str]
"""The characters printLevel shows for each block type."""
TEXTURE_FLOOR: int
"""A cell's floor texture index (byte 1)."""
TEXTURE_CEILING: int
"""A cell's ceiling texture index (byte 2)."""
TEXTURE_NORTH: int
"""A cell's north wall texture index (byte 3)."""
TEXTURE_EAST: int
"""A cell's east wall texture index (byte 4)."""
TEXTURE_SOUTH: int
"""A cell's south wall texture index (byte 5)."""
TEXTURE_WEST: int
"""A cell's west wall texture index (byte 6)."""
BLOCK_EMPTY: int
"""An empty cell."""
BLOCK_SQUARE: int
"""A cell filled by a square block."""
BLOCK_TRIANGLE_NORTH_WEST: int
"""A cell whose north-west half is solid."""
BLOCK_TRIANGLE_NORTH_EAST: int
"""A cell whose north-east half is solid."""
BLOCK_TRIANGLE_SOUTH_EAST: int
"""A cell whose south-east half is solid."""
BLOCK_TRIANGLE_SOUTH_WEST: int
"""A cell whose south-west half is solid."""
ALIGN_LEFT: int
"""A widget at the left of its space."""
ALIGN_RIGHT: int
"""A widget at the right of its space."""
ALIGN_CENTER: int
"""A widget centred across its space."""
VALIGN_TOP: int
"""A widget at the top of its space."""
VALIGN_BOTTOM: int
"""A widget at the bottom of its space."""
VALIGN_MIDDLE: int
"""A widget centred along its space."""
SIZE_AUTO: int
"""A widget as large as its content."""
SIZE_FIXED: int
"""A widget of the size it is given."""
SIZE_GROW: int
"""A widget that fills the space it is given."""
LIST_LAYOUT_HORIZONTAL: int
"""A list container that places its children left to right."""
LIST_LAYOUT_VERTICAL: int
"""A list container that places its children top to bottom."""
ANCHOR_LEFT: int
"""An anchored child placed from the container's left edge."""
ANCHOR_RIGHT: int
"""An anchored child placed from the container's right edge."""
ANCHOR_TOP: int
"""An anchored child placed from the container's top edge."""
ANCHOR_BOTTOM: int
"""An anchored child placed from the container's bottom edge."""
ANCHOR_CENTER: int
"""An anchored child placed from the container's centre."""
SLIDER_ORIENTATION_HORIZONTAL: int
"""A slider along the x axis."""
SLIDER_ORIENTATION_VERTICAL: int
"""A slider along the y axis."""
TERMINAL_RED: TerminalColor
"""Prints in red inside its with-block."""
TERMINAL_GREEN: TerminalColor
"""Prints in green inside its with-block."""
TERMINAL_YELLOW: TerminalColor
"""Prints in yellow inside its with-block."""
TERMINAL_BLUE: TerminalColor
"""Prints in blue inside its with-block."""
TERMINAL_MAGENTA: TerminalColor
"""Prints in magenta inside its with-block."""
TERMINAL_CYAN: TerminalColor
"""Prints in cyan inside its with-block."""
TERMINAL_WHITE: TerminalColor
"""Prints in white inside its with-block."""
TERMINAL_RED_BG: TerminalColor
"""Prints in red background inside its with-block."""
TERMINAL_GREEN_BG: TerminalColor
"""Prints in green background inside its with-block."""
TERMINAL_YELLOW_BG: TerminalColor
"""Prints in yellow background inside its with-block."""
TERMINAL_BLUE_BG: TerminalColor
"""Prints in blue background inside its with-block."""
TERMINAL_MAGENTA_BG: TerminalColor
"""Prints in magenta background inside its with-block."""
TERMINAL_CYAN_BG: TerminalColor
"""Prints in cyan background inside its with-block."""
TERMINAL_WHITE_BG: TerminalColor
"""Prints in white background inside its with-block."""
