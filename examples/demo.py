"""The quorvelin demo: a first-person walk through the example hall, drawn by the
raycasting renderer, with a framed UI panel in the corner.

The hall (examples/assets/level, written by make_level.py) has brick walls, a stone
pillar, triangular corners, a courtyard open to the night sky, fog and ground fog, a
guard who patrols and another who idles, and two lamps. The player is the level's
entity 1: the renderer's camera shares its position and direction vectors, so moving
the entity moves the view.

Arrow keys or WASD walk and turn (Q and E step sideways), F switches the torch on and
off, Space beeps, M starts and stops the music, a click tells what is under the mouse,
Escape quits. Without a display it runs on SDL's dummy drivers and walks a fixed route
by itself, saving pictures on the way to examples/out/walk-N.png and the last one to
examples/out/demo.png; `--frames N` sets the length of that walk anywhere, `--out`
another folder for the pictures.
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
                       RotationComponent, Vector2)

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")
LEVEL = os.path.join(make_level.FOLDER, make_level.NAME)
WHITE = (255, 255, 255)
SHADE = (0, 0, 0, 150)  # the panel behind the text, see-through
WALK, TURN = 2.5, 90.0  # cells and degrees per second
BODY = 0.25  # how close the player comes to a wall, in cells
KIND = {1: "floor", 2: "ceiling", 3: "north wall", 4: "east wall", 5: "south wall",
        6: "west wall"}

# The walk without a player, at 30 frames a second: (frames, keys held). East along the
# hall with the torch on, south through the door, east through the store room, back.
ROUTE = [(15, ()), (24, (KEY_W,)), (12, (KEY_F,)), (29, (KEY_W,)), (30, (KEY_RIGHT,)),
         (48, (KEY_W,)), (30, (KEY_LEFT,)), (42, (KEY_W,)), (60, (KEY_LEFT,)), (30, (KEY_W,)),
         (20, (KEY_RIGHT,)), (30, ())]
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
    """Turns and moves the player from the keys; walls stop it, measured with the
    renderer's castRay (along the step, then along each axis to slide along a wall)."""

    def __init__(self, keys, player, renderer):
        quorvelin.AbstractSystem.__init__(self, None)
        self.keys, self.renderer = keys, renderer
        self.pos = player.getComponent(PositionComponent).pos
        self.dir = player.getComponent(RotationComponent).dir

    def update(self, timeStep):
        step = self.keys.step(timeStep)
        held = self.keys.held
        turn = held(KEY_RIGHT, KEY_D) - held(KEY_LEFT, KEY_A)
        self.dir.rotate(turn * TURN * step)
        self.dir.normalize()
        ahead = held(KEY_UP, KEY_W) - held(KEY_DOWN, KEY_S)
        aside = held(KEY_E) - held(KEY_Q)
        move = Vector2(self.dir.x * ahead - self.dir.y * aside,
                       self.dir.y * ahead + self.dir.x * aside)
        if move.length:
            move.normalize()
            move.scale(WALK * step)
            for part in (move, Vector2(move.x, 0), Vector2(0, move.y)):
                if part.length and self.free(part):
                    self.pos.add(part)
                    break
        self.keys.advance(timeStep)

    def free(self, move):
        """Whether the step `move` keeps the player BODY away from the wall ahead."""
        hit = self.renderer.castRay(self.pos, move)
        return hit is None or (hit - self.pos).length > move.length + BODY


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
        # The camera looks through the player's own vectors.
        self.renderer.getCamera().__init__(player.getComponent(PositionComponent).pos,
                                           player.getComponent(RotationComponent).dir, 66, 0)
        systems = [Walker(keys, player, self.renderer), Patrol(keys, entities[2], 9.5, 13.5, 1.2),
                   self.renderer, Hud(engine, self.target)]
        for system in systems:  # moved first, then drawn
            engine.ecs.addSystem(system)
        self.hud = systems[-1]
        self.level.syncEntitiesToEcs(engine.ecs)  # the sprites reach the renderer
        self.beep = quorvelin.Sound(make_assets.path("beep.wav"))
        self.music = quorvelin.Music(make_assets.path("music.wav"))
        self.music_on = False

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
        if entity is not None:
            at = entity.getComponent(PositionComponent).pos
            return f"entity {entity.id} at ({at.x:.1f}, {at.y:.1f})"
        kind, cell_x, cell_y = self.renderer.getWorldCellByScreenCoords(x, y)
        return f"{KIND[kind]} of cell ({cell_x}, {cell_y})" if kind in KIND else "nothing"


def ui_over(target, engine):
    """A UI drawn over the game's picture: a framed panel of three framed tiles in the
    bottom-right corner, skinned by the theme that make_assets writes."""
    theme = quorvelin.UITheme(make_assets.path("ui-theme.json"))
    ui = quorvelin.UIRenderer(target, False, theme)  # no fill: the picture stays
    panel = quorvelin.UIPanel()
    panel.layout = quorvelin.LIST_LAYOUT_HORIZONTAL
    for _ in range(3):
        tile = quorvelin.UIPanel()
        tile.sizePolicyX = tile.sizePolicyY = quorvelin.SIZE_FIXED
        tile.width = tile.height = 36
        tile.setMargin(2)
        panel.addChild(tile)
    panel.onClick = lambda event: print(f"panel clicked at ({event.x}, {event.y})")
    ui.widget.addChild(panel, 16, 16, quorvelin.ANCHOR_RIGHT, quorvelin.ANCHOR_BOTTOM)
    engine.ecs.addSystem(ui)  # after the game: drawn over its picture
    return ui


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
    engine = quorvelin.Engine()
    engine.init("quorvelin demo", make_assets.SIZE, icon=make_assets.path("icon.png"))
    keys = Keys(engine, ROUTE if frames else None)
    game = Game(engine, keys)
    ui_over(game.target, engine)

    def on_key(event):
        game.press(event.key)

    def on_click(event):
        game.hud.note = game.look_at(event.x, event.y)
        print(f"click at ({event.x}, {event.y}): {game.hud.note}")

    engine.subscribeEvent(quorvelin.KeyEvent, on_key)
    engine.subscribeEvent(quorvelin.MouseClickEvent, on_click)

    counted = 0
    torch_pressed = False

    def walk_by_itself(timeStep, onDone):
        """A walk without a player: the route's keys (F as a key press), a picture every
        second, and a click in the middle of the view now and then."""
        nonlocal counted, torch_pressed
        counted += 1
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

    if frames:
        engine.addTask(walk_by_itself)
    engine.run(maxFps=120 if frames else 60)
    engine.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
