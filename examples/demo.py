"""The quorvelin demo: a checkered block bouncing round the window, with sound, and
a framed UI panel in the corner with a button that beeps and a volume slider.

The block is an entity with a position and a velocity; a small system written in
Python moves it, and the renderer draws it where its position says.

Space beeps and turns the block round, M starts and stops the music, a click
moves the block there (a click on the panel is the panel's), Escape quits. Without a display it runs on SDL's dummy
drivers for a fixed number of frames and saves the last picture to
examples/out/demo.png; `--frames N` sets that limit anywhere, and such a run
presses Space and M by itself on the way, and clicks the button and the slider's
arrows.
"""
import argparse
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

import make_assets  # noqa: E402  (it draws with quorvelin, imported above)

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")
BLOCK = 48  # the block's side; even, so that its four squares are equal
WHITE = (255, 255, 255)
FLASH = (255, 214, 90)  # the block's colour for a moment after a beep
SHADE = (0, 0, 0, 150)  # the panel behind the text, see-through


def draw_at(target, layer, x, y):
    """Draws the part of `layer` right of x and below y onto `target`.

    copyFrom draws whole textures from the top-left corner, so what the layer
    covers left of x or above y is put back from a copy of the picture.
    """
    before = quorvelin.Texture(target)
    target.copyFrom(layer)
    for size in ((x, layer.height), (layer.width, y)):
        strip = quorvelin.Texture(*size)
        strip.copyFrom(before)
        target.copyFrom(strip)


def block_layer(x, y, colour=None):
    """A layer for draw_at with the block at (x, y): four checkered squares, or one colour."""
    layer = quorvelin.Texture(x + BLOCK, y + BLOCK)
    if colour:
        layer.fill(colour)
    else:
        checker = quorvelin.Texture(2 * x + BLOCK, 2 * y + BLOCK)
        checker.fillChecker()  # its squares meet at the middle of the block
        layer.copyFrom(checker)
    return layer


def bounce(position, speed, limit):
    """Keeps a coordinate between 0 and limit, turning the speed back at either wall."""
    if position < 0:
        return 0.0, abs(speed)
    if position > limit:
        return float(limit), -abs(speed)
    return position, speed


class Mover(quorvelin.AbstractSystem):
    """Moves every entity that has a position and a velocity, turning it back at the
    edges of an area of the given size."""

    def __init__(self, width, height):
        quorvelin.AbstractSystem.__init__(self, quorvelin.PositionComponent,
                                          quorvelin.VelocityComponent)
        self.width, self.height = width, height

    def _updateEntity(self, entity, timeStep):
        at = entity.getComponent(quorvelin.PositionComponent)
        speed = entity.getComponent(quorvelin.VelocityComponent)
        at.x, speed.x = bounce(at.x + speed.x * timeStep, speed.x, self.width)
        at.y, speed.y = bounce(at.y + speed.y * timeStep, speed.y, self.height)


class Game(quorvelin.Renderer):
    """Plays the sounds and draws the picture every frame; the block entity moves by
    itself, through the Mover."""

    def __init__(self, engine, block):
        quorvelin.Renderer.__init__(self, quorvelin.Texture(*make_assets.SIZE))
        self.engine = engine
        self.block = block
        self.backdrop = quorvelin.Texture(make_assets.path("backdrop.png"))
        self.font = quorvelin.Font(FONT, 16)
        self.beep = quorvelin.Sound(make_assets.path("beep.wav"))
        self.music = quorvelin.Music(make_assets.path("music.wav"))
        self.music_on = False
        self.beeps = 0
        self.flash = 0.0  # seconds the block still lights up after a beep

    def beep_once(self):
        self.beep.play()
        self.beeps += 1
        self.flash = 0.2

    def press(self, key):
        if key == quorvelin.KEY_SPACE:
            self.beep_once()
            self.block.getComponent(quorvelin.VelocityComponent).velocity.negate()
        elif key == quorvelin.KEY_M:
            if self.music_on:
                self.music.stop()
            else:
                self.music.loop(0)  # 0: over and over
            self.music_on = not self.music_on

    def move_to(self, x, y):
        self.block.getComponent(quorvelin.PositionComponent).pos.set(
            quorvelin.Vector2(x - BLOCK / 2, y - BLOCK / 2))

    def update(self, timeStep):
        self.flash = max(0.0, self.flash - timeStep)
        quorvelin.Renderer.update(self, timeStep)  # which calls render()

    def render(self):
        screen = self.getTarget()
        screen.copyFrom(self.backdrop)
        at = self.block.getComponent(quorvelin.PositionComponent)
        x, y = int(at.x), int(at.y)
        draw_at(screen, block_layer(x, y, FLASH if self.flash else None), x, y)
        screen.copyFrom(self.hud())

    def hud(self):
        """The text in the top-left corner, on a shaded panel."""
        text = self.font.renderLines([
            f" {self.engine.getFps():.0f} FPS",
            f" Space: beep ({self.beeps} so far)",
            f" M: music ({'on' if self.music_on else 'off'})",
            " Click: move the block   Esc: quit ",
        ], WHITE)
        panel = quorvelin.Texture(text.width, text.height + 6)
        panel.fill(SHADE)
        panel.copyFrom(text)
        return panel


class Player(quorvelin.Engine):
    """The engine, whose mouse a counted run moves by itself (`pointer`)."""

    pointer = None

    def getMousePos(self):
        return self.pointer or quorvelin.Engine.getMousePos(self)


def ui_over(game, engine):
    """A UI drawn over the game's picture, skinned by the theme that make_assets writes:
    a framed panel in the bottom-right corner with a row of three tiles, a label, a
    volume slider and a button that beeps."""
    theme = quorvelin.UITheme(make_assets.path("ui-theme.json"))
    ui = quorvelin.UIRenderer(game.getTarget(), False, theme)  # no fill: the picture stays
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
    button.onClick = lambda event: game.beep_once()
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


def clicks_on(button, slider):
    """Where a counted run clicks, worked out when it clicks: the button's middle, then
    the slider's left arrow twice and its right arrow once."""
    def middle(widget):
        return widget._x + widget.width // 2, widget._y + widget.height // 2

    def arrow(right):
        return (slider._x + slider.width - 5 if right else slider._x + 5), slider._y + 5

    return [lambda: middle(button), lambda: arrow(False), lambda: arrow(False), lambda: arrow(True)]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--frames", type=int, default=120 if HEADLESS else 0,
                        help="stop after this many frames and save a screenshot (0: run until Escape)")
    frames = parser.parse_args().frames

    make_assets.write_assets(only_missing=True)
    engine = Player()
    engine.init("quorvelin demo", make_assets.SIZE, icon=make_assets.path("icon.png"))
    width, height = make_assets.SIZE
    block = quorvelin.Entity(-1, quorvelin.PositionComponent(quorvelin.Vector2(300, 220)),
                             quorvelin.VelocityComponent(quorvelin.Vector2(180, 120)))  # pixels/s
    game = Game(engine, block)
    engine.ecs.addSystem(Mover(width - BLOCK, height - BLOCK))  # moves before the picture
    engine.ecs.addSystem(game)
    engine.ecs.addEntity(block)
    button, volume = ui_over(game, engine)

    def on_key(event):
        print("key", engine.getKeyName(event.key))
        game.press(event.key)

    def on_click(event):
        print(f"click at ({event.x}, {event.y}) with button {event.button}")
        game.move_to(event.x, event.y)

    engine.subscribeEvent(quorvelin.KeyEvent, on_key)
    engine.subscribeEvent(quorvelin.MouseClickEvent, on_click)

    # A counted run plays by itself: it presses Space, later M, as a player would, and
    # clicks the UI: the pointer goes there for a frame, then the button is released.
    presses = {frames // 3: quorvelin.KEY_SPACE, 2 * frames // 3: quorvelin.KEY_M} if frames else {}
    clicks = {frames // 6 + 4 * i: target for i, target in enumerate(clicks_on(button, volume))} \
        if frames else {}
    counted = 0

    def count_frames(timeStep, onDone):
        nonlocal counted
        counted += 1
        if counted in presses:
            engine.fireEvent(quorvelin.KeyEvent(presses[counted], False, False, False))
        if counted in clicks:
            engine.pointer = clicks[counted]()
        elif counted - 1 in clicks:
            engine.fireEvent(quorvelin.MouseClickEvent(*engine.pointer, quorvelin.MOUSE_LEFT))
            engine.pointer = None
        if frames and counted >= frames:
            os.makedirs(OUT, exist_ok=True)
            path = os.path.join(OUT, "demo.png")
            engine.saveScreenshot(path)
            print(f"{counted} frames, last picture in {path}")
            engine.quit()
            return True

    engine.addTask(count_frames)
    engine.run(maxFps=60)
    engine.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
