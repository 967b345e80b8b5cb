"""The quorvelin demo: a first-person walk through the example hall, drawn by the
raycasting renderer, with a framed UI panel in the corner: a label, a volume slider and
a button that beeps.

The hall (examples/assets/level, written by make_level.py) has brick walls, a stone
pillar, triangular corners, a courtyard open to the night sky, fog and ground fog, a
guard who patrols and another who idles, and two lamps. The player is the level's
entity 1: the renderer's camera shares its position and direction vectors, so moving
the entity moves the view. A MovementSystem moves it by its velocity and stops it at
walls and at the guards, who are bodies too; bumping into something beeps.

Arrow keys or WASD walk and turn (Q and E step sideways), F switches the torch on and
off, Space beeps, M starts and stops the music, a click tells what is under the mouse,
Escape quits. Without a display it runs on SDL's dummy drivers and walks a fixed route
by itself, saving pictures on the way to examples/out/walk-N.png and the last one to
examples/out/demo.png, and clicks the panel's button and the slider's arrows on the
way; `--frames N` sets the length of that walk anywhere, `--out` another folder for
the pictures.
"""
import argparse
import math
import os
import sys

HEADLESS = not os.environ.get("DISPLAY") and not os.environ.get("WAYLAND_DISPLAY")
if HEADLESS:
    os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

try:
    import quorvelin
except Exception:
    # No usable sound device: start again with SDL's dummy audio driver.
    if os.environ.get("SDL_AUDIODRIVER") == "dummy":
        raise
    os.environ["SDL_AUDIODRIVER"] = "dummy"
    os.execv(sys.executable, [sys.executable] + sys.argv)

import make_assets  # noqa: E402  (they draw with quorvelin, imported above)
import make_level  # noqa: E402

from quorvelin import (KEY_A, KEY_D, KEY_DOWN, KEY_E, KEY_F, KEY_LEFT, KEY_M, KEY_Q,  # noqa: E402
                       KEY_RIGHT, KEY_S, KEY_SPACE, KEY_UP, KEY_W, PositionComponent,
                       RotationComponent, VelocityComponent)

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")
LEVEL = os.path.join(make_level.FOLDER, make_level.NAME)
WHITE = (255, 255, 255)
SHADE = (0, 0, 0, 150)  # the panel behind the text, see-through
WALK, TURN = 2.5, 90.0  # cells and degrees per second
KIND = {1: "floor", 2: "ceiling", 3: "north wall", 4: "east wall", 5: "south wall",
        6: "west wall"}

# The walk without a player, at 30 frames a second: (frames, keys held). East along the
# hall with the torch on, south through the door, east through the store room, back
# west into the guard who stands there, then north into the wall.
ROUTE = [(15, ()), (24, (KEY_W,)), (12, (KEY_F,)), (29, (KEY_W,)), (30, (KEY_RIGHT,)),
         (48, (KEY_W,)), (30, (KEY_LEFT,)), (42, (KEY_W,)), (60, (KEY_LEFT,)), (70, (KEY_W,)),
         (30, (KEY_RIGHT,)), (30, (KEY_W,)), (20, (KEY_RIGHT,)), (30, ())]
STEP = 1 / 30


class Keys:
    """The keys held now: the keyboard's, or in a walk without a player the route's,
    which advances by a fixed step a frame (1 / 30 s), whatever the machine's speed."""

    def __init__(self, engine, route=None):
        self.engine, self.route, self.clock = engine, route, 0.0

    def step(self, timeStep):
        """The seconds that a frame moves things by."""
        return STEP if self.route else min(timeStep, 0.1)

    def advance(self, timeStep):
        self.clock += self.step(timeStep)

    def held(self, *keys):
        if self.route is None:
            return any(self.engine.isKeyPressed(key) for key in keys)
        frame, start = round(self.clock / STEP), 0
        for frames, pressed in self.route:
            if start <= frame < start + frames:
                return any(key in pressed for key in keys)
            start += frames
        return False


class Walker(quorvelin.AbstractSystem):
    """Turns the player and sets its velocity from the keys; the MovementSystem that
    runs next moves it and stops it at walls and bodies."""

    def __init__(self, keys, player):
        quorvelin.AbstractSystem.__init__(self, None)
        self.keys = keys
        self.dir = player.getComponent(RotationComponent).dir
        self.velocity = player.getComponent(VelocityComponent).velocity

    def update(self, timeStep):
        step = self.keys.step(timeStep)
        held = self.keys.held
        turn = held(KEY_RIGHT, KEY_D) - held(KEY_LEFT, KEY_A)
        self.dir.rotate(turn * TURN * step)
        self.dir.normalize()
        ahead = held(KEY_UP, KEY_W) - held(KEY_DOWN, KEY_S)
        aside = held(KEY_E) - held(KEY_Q)
        self.velocity.set(quorvelin.Vector2(self.dir.x * ahead - self.dir.y * aside,
                                            self.dir.y * ahead + self.dir.x * aside))
        if self.velocity.length:
            # The movement goes by the engine's time step; a walk by itself moves by its
            # own fixed step a frame, so the velocity makes up the difference.
            self.velocity.normalize()
            self.velocity.scale(WALK * step / timeStep if timeStep > 0 else 0.0)
        self.keys.advance(timeStep)


class Patrol(quorvelin.AbstractSystem):
    """Walks an entity back and forth along x between two columns, turned the way it goes."""

    def __init__(self, keys, entity, west, east, speed):
        quorvelin.AbstractSystem.__init__(self, None)
        self.keys = keys
        self.pos = entity.getComponent(PositionComponent).pos
        self.dir = entity.getComponent(RotationComponent).dir
        self.west, self.east, self.speed = west, east, speed

    def update(self, timeStep):
        self.pos.x += self.dir.x * self.speed * self.keys.step(timeStep)
        if not self.west <= self.pos.x <= self.east:
            self.pos.x = min(max(self.pos.x, self.west), self.east)
            self.dir.negate()


class Hud(quorvelin.Renderer):
    """Text over the picture in the top-left corner: the frame rate, the keys, and what
    the last click found. Drawn into the renderer's own target, after it."""

    def __init__(self, engine, target):
        quorvelin.Renderer.__init__(self, target)
        self.engine = engine
        self.font = quorvelin.Font(FONT, 14)
        self.note = "Click: what is there"

    def render(self):
        text = self.font.renderLines([
            f" {self.engine.getFps():.0f} FPS",
            " Arrows/WASD: walk and turn   Q/E: step aside",
            " F: torch   Space: beep   M: music   Esc: quit",
            f" {self.note} ",
        ], WHITE)
        panel = quorvelin.Texture(text.width, text.height + 4)
        panel.fill(SHADE)
        panel.copyFrom(text)
        self.getTarget().copyFrom(panel)


class Game:
    """The hall and its renderer, the player's systems, sounds and the torch."""

    def __init__(self, engine, keys):
        width, height = make_assets.SIZE
        self.engine = engine
        self.level = quorvelin.Level(LEVEL)
        self.target = quorvelin.Texture(width, height)
        self.renderer = quorvelin.RaycastingRenderer(self.target, self.level)
        self.torch = quorvelin.Texture(os.path.join(make_level.FOLDER, "flashlight.png"))
        self.torch_on = False
        entities = {entity.id: entity for entity in self.level._entities}
        player = entities[1]
        position = player.getComponent(PositionComponent)
        rotation = player.getComponent(RotationComponent)
        assert position is not None and rotation is not None  # the level gives it both
        # The camera looks through the player's own vectors.
        quorvelin.Camera.__init__(self.renderer.getCamera(), position.pos, rotation.dir, 66, 0)
        self.player = player
        self.hud = Hud(engine, self.target)
        systems = [Walker(keys, player), Patrol(keys, entities[2], 9.5, 13.5, 1.2),
                   quorvelin.MovementSystem(self.level), self.renderer, self.hud]
        for system in systems:  # moved first, then drawn
            engine.ecs.addSystem(system)
        self.touching = set()  # what the player touched in the last frame
        self.touched = set()
        engine.subscribeEvent(quorvelin.CollisionEvent, self.bump)
        self.level.syncEntitiesToEcs(engine.ecs)  # the sprites reach the renderer
        self.beep = quorvelin.Sound(make_assets.path("beep.wav"))
        self.music = quorvelin.Music(make_assets.path("music.wav"))
        self.music_on = False

    def bump(self, event):
        """A contact of the player beeps when it begins (a wall is None)."""
        if event.entity1 is self.player:
            other = event.entity2.id if event.entity2 is not None else "wall"
            if other not in self.touching and not self.touched:
                self.beep.play()
                print("bump:", "a wall" if other == "wall" else f"entity {other}")
            self.touched.add(other)

    def next_frame(self):
        self.touching, self.touched = self.touched, set()

    def press(self, key):
        if key == KEY_F:
            self.torch_on = not self.torch_on
            self.renderer._setFlashlight(self.torch if self.torch_on else None)
        elif key == KEY_SPACE:
            self.beep.play()
        elif key == KEY_M:
            if self.music_on:
                self.music.stop()
            else:
                self.music.loop(0)  # 0: over and over
            self.music_on = not self.music_on

    def look_at(self, x, y):
        """What the last frame shows at (x, y): a sprite, or a wall, floor or ceiling."""
        entity = self.renderer.getEntityAtScreenCoords(x, y)
        # The renderer tracks only entities with a position.
        position = entity.getComponent(PositionComponent) if entity is not None else None
        if entity is not None and position is not None:
            at = position.pos
            return f"entity {entity.id} at ({at.x:.1f}, {at.y:.1f})"
        kind, cell_x, cell_y = self.renderer.getWorldCellByScreenCoords(x, y)
        return f"{KIND[kind]} of cell ({cell_x}, {cell_y})" if kind in KIND else "nothing"


def ui_over(game, engine):
    """A UI drawn over the game's picture, skinned by the theme that make_assets writes:
    a framed panel in the bottom-right corner with a row of three tiles, a label, a
    volume slider and a button that beeps."""
    theme = quorvelin.UITheme(make_assets.path("ui-theme.json"))
    ui = quorvelin.UIRenderer(game.target, False, theme)  # no fill: the picture stays
    panel = quorvelin.UIPanel()
    tiles = quorvelin.UIListContainer()
    tiles.layout = quorvelin.LIST_LAYOUT_HORIZONTAL
    for _ in range(3):
        tile = quorvelin.UIPanel()
        tile.sizePolicyX = tile.sizePolicyY = quorvelin.SIZE_FIXED
        tile.width = tile.height = 36
        tile.setMargin(2)
        tiles.addChild(tile)
    volume = quorvelin.UISlider(quorvelin.getSoundVolume(), 0, 128)
    volume.sizePolicyX = quorvelin.SIZE_FIXED
    volume.width = 140
    volume.setMargin(4, 0)
    button = quorvelin.UIButton("Beep")
    button.onClick = lambda event: game.beep.play()
    for widget in (tiles, quorvelin.UIText("Sound volume"), volume, button):
        panel.addChild(widget)
    panel.onClick = lambda event: print(f"panel clicked at ({event.x}, {event.y})")
    ui.widget.addChild(panel, 16, 16, quorvelin.ANCHOR_RIGHT, quorvelin.ANCHOR_BOTTOM)
    engine.ecs.addSystem(ui)  # after the game: drawn over its picture

    def set_volume(event):
        quorvelin.setSoundVolume(event.newValue)
        print("sound volume", event.newValue)

    engine.subscribeEvent(quorvelin.SliderValueChangedEvent, set_volume)
    engine.subscribeEvent(quorvelin.ButtonClickEvent, lambda event: print("button clicked"))
    return button, volume


class Player(quorvelin.Engine):
    """The engine, whose mouse a walk by itself moves (`pointer`)."""

    pointer: tuple[int, int] | None = None

    def getMousePos(self):
        return self.pointer or quorvelin.Engine.getMousePos(self)


def clicks_on(button, slider):
    """Where a walk by itself clicks, worked out when it clicks: the button's middle,
    then the slider's left arrow twice and its right arrow once."""
    def middle(widget):
        return widget._x + widget.width // 2, widget._y + widget.height // 2

    def arrow(right):
        return (slider._x + slider.width - 5 if right else slider._x + 5), slider._y + 5

    return [lambda: middle(button), lambda: arrow(False), lambda: arrow(False), lambda: arrow(True)]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    route_frames = sum(frames for frames, _ in ROUTE)
    parser.add_argument("--frames", type=int, default=route_frames if HEADLESS else 0,
                        help="walk the route by itself for this many frames, saving pictures "
                             "(0: play until Escape)")
    parser.add_argument("--out", default=OUT, help="the folder for the pictures of the walk")
    options = parser.parse_args()
    frames, out = options.frames, options.out

    make_assets.write_assets(only_missing=True)
    if not os.path.exists(LEVEL):
        make_level.write_level()
    engine = Player()
    engine.init("quorvelin demo", make_assets.SIZE, icon=make_assets.path("icon.png"))
    keys = Keys(engine, ROUTE if frames else None)
    game = Game(engine, keys)
    button, volume = ui_over(game, engine)

    def on_key(event):
        game.press(event.key)

    def on_click(event):
        game.hud.note = game.look_at(event.x, event.y)
        print(f"click at ({event.x}, {event.y}): {game.hud.note}")

    engine.subscribeEvent(quorvelin.KeyEvent, on_key)
    engine.subscribeEvent(quorvelin.MouseClickEvent, on_click)

    counted = 0
    torch_pressed = False
    # The UI's clicks: the pointer goes there for a frame, then the button is released.
    clicks = {20 + 4 * i: target for i, target in enumerate(clicks_on(button, volume))}

    def walk_by_itself(timeStep, onDone):
        """A walk without a player: the route's keys (F as a key press), a picture every
        second, and a click in the middle of the view now and then."""
        nonlocal counted, torch_pressed
        counted += 1
        game.next_frame()
        if counted in clicks:
            engine.pointer = clicks[counted]()
        elif counted - 1 in clicks:
            assert engine.pointer is not None  # set in the frame before
            engine.fireEvent(quorvelin.MouseClickEvent(*engine.pointer, quorvelin.MOUSE_LEFT))
            engine.pointer = None
        if keys.held(KEY_F) and not torch_pressed:
            engine.fireEvent(quorvelin.KeyEvent(KEY_F, False, False, False))
        torch_pressed = keys.held(KEY_F)
        if counted % 45 == 0:
            width, height = make_assets.SIZE
            on_click(quorvelin.MouseClickEvent(width // 2, height // 2, 1))
        os.makedirs(out, exist_ok=True)
        if counted % 30 == 0:
            engine.saveScreenshot(os.path.join(out, f"walk-{counted // 30}.png"))
        if counted >= frames:
            path = os.path.join(out, "demo.png")
            engine.saveScreenshot(path)
            print(f"{counted} frames, pictures of the walk in {out}, the last in {path}")
            engine.quit()
            return True

    def next_frame(timeStep, onDone):
        game.next_frame()

    engine.addTask(walk_by_itself if frames else next_frame)
    engine.run(maxFps=120 if frames else 60)
    engine.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
