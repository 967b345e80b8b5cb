"""Sprite sheets and their animations, and the sprite component that plays them: the
frame grid of sheets saved as PNG by the engine and loaded back, the animation table,
choosing animations, the three blend-mode words and the level-file form through real
JSON text."""
import json
from types import SimpleNamespace

import pytest

from quorvelin import (BLENDMODE_ADD, BLENDMODE_BLEND, Sprite, SpriteAnimation, SpriteComponent,
                       Texture)


@pytest.fixture
def sheet(tmp_path):
    """A sheet file written by the engine, loaded back: `sheet(width, height)`."""
    def make(width=64, height=32):
        path = str(tmp_path / f"sheet{width}x{height}.png")
        drawn = Texture(width, height)
        drawn.fill((200, 40, 40))
        drawn.saveFile(path)
        return Texture(path)
    return make


def walk(name="walk", speed=2.5):
    return SpriteAnimation(name, 4, True, speed, 0, 1)


def idle():
    return SpriteAnimation("idle", 2, False, 1.0, 4, 2)


@pytest.fixture
def sprite(sheet):
    return Sprite(sheet(), 4, 2, [walk(), idle()])


def level_of(*sprites):
    return SimpleNamespace(_sprites=list(sprites))


# --- SpriteAnimation ----------------------------------------------------------------------------

class TestSpriteAnimation:
    def test_values_are_stored_as_given(self):
        animation = SpriteAnimation("x", 4.7, "yes", -1, -3, 0)
        state = animation.__reduce__()[2]  # _directions, _frameCount, _name, _oscillate, _speed, _startFrame
        assert state == (0, 4, "x", True, -1.0, -3)
        assert SpriteAnimation(name=None, frameCount=0, oscillate=0, speed=0, startFrame=0,
                               directions=0).__reduce__()[1][2][2] is None
        assert SpriteAnimation.__doc__ == ""
        assert not [name for name in vars(SpriteAnimation) if not name.startswith("__")]

    @pytest.mark.parametrize("args, error, message", [
        (("x", 1, 0, 1.0, 0), TypeError, "__init__() takes exactly 6 positional arguments (5 given)"),
        ((b"x", 1, 0, 1.0, 0, 1), TypeError, "Argument 'name' has incorrect type (expected str, got bytes)"),
        ((type("Name", (str,), {})("x"), 1, 0, 1.0, 0, 1), TypeError, "Argument 'name'"),
        (("x", "1", 0, 1.0, 0, 1), TypeError, "an integer is required"),
        (("x", 1, 0, 1.0, 2 ** 31, 1), OverflowError, None),
        (("x", 1, 0, "fast", 0, 1), TypeError, "must be real number"),
        # numbers are converted before the name is checked
        ((5, "1", 0, 1.0, 0, 1), TypeError, "an integer is required"),
    ])
    def test_refused_arguments(self, args, error, message):
        with pytest.raises(error) as raised:
            SpriteAnimation(*args)
        if message:
            assert message in str(raised.value)


# --- Sprite --------------------------------------------------------------------------------------

class TestSprite:
    @pytest.mark.parametrize("size, counts, frame", [
        ((64, 32), (4, 2), (16, 16)),
        ((70, 32), (4, 2), (17, 16)),  # the two rightmost columns belong to no frame
        ((5, 5), (8, 1), (0, 5)),
    ])
    def test_frame_size_of_a_sheet_file(self, sheet, size, counts, frame):
        sprite = Sprite(sheet(*size), *counts, [])
        assert (sprite.width, sprite.height) == frame and sprite.animations == {}
        state = sprite.__reduce__()[2]  # _animations, _height, _texture, _width, _xFrames, _yFrames
        assert state[4:] == counts

    def test_the_size_is_read_once(self, sheet):
        texture = sheet()
        sprite = Sprite(texture, 4, 2, [])
        texture.__init__(8, 8)
        assert (sprite.width, sprite.height) == (16, 16) and sprite.texture is texture

    def test_animations_by_name_first_place_last_value(self, sheet):
        first, other, second = walk(), idle(), walk(speed=9)
        sprite = Sprite(texture=sheet(), xFrames=4, yFrames=2, spriteAnimations=[first, other, second])
        assert list(sprite.animations) == ["walk", "idle"]
        assert sprite.animations["walk"] is second
        assert sprite.animations is sprite.animations
        sprite.animations["run"] = first  # the live table
        assert SpriteComponent(sprite).sprite.animations["run"] is first

    def test_read_only_properties(self, sprite):
        for name in ("texture", "width", "height", "animations"):
            with pytest.raises(AttributeError):
                setattr(sprite, name, None)
            with pytest.raises(AttributeError):
                delattr(sprite, name)
        assert not hasattr(sprite, "_xFrames")

    @pytest.mark.parametrize("args, error, message", [
        (lambda t: (t, 4, 2), TypeError, "__init__() takes exactly 4 positional arguments (3 given)"),
        (lambda t: (5, 4, 2, []), TypeError,
         "Argument 'texture' has incorrect type (expected quorvelin.Texture, got int)"),
        (lambda t: (t, 4, 2, (walk(),)), TypeError,
         "Argument 'spriteAnimations' has incorrect type (expected list, got tuple)"),
        (lambda t: (t, 4, 2, type("Animations", (list,), {})()), TypeError, "'spriteAnimations'"),
        (lambda t: (t, 4.5, "2", []), TypeError, "an integer is required"),
        (lambda t: (t, 2 ** 31, 2, []), OverflowError, None),
        # no sheet to cut, or a count that cuts no frame
        (lambda t: (None, 4, 2, []), TypeError, "Argument 'texture' has incorrect type"),
        (lambda t: (Texture.__new__(Texture), 4, 2, []), ValueError, "Texture is not initialised."),
        (lambda t: (t, 0, 2, []), ValueError, "xFrames must be at least 1"),
        (lambda t: (t, 4, -1, []), ValueError, "yFrames must be at least 1"),
    ])
    def test_refused_arguments_change_nothing(self, sprite, args, error, message):
        before = sprite.__reduce__()
        with pytest.raises(error) as raised:
            sprite.__init__(*args(sprite.texture))
        if message:
            assert message in str(raised.value)
        assert sprite.__reduce__() == before

    @pytest.mark.parametrize("entries, message", [
        (None, "'NoneType' object is not iterable"),
        ([walk(), 5, idle()], "Cannot convert int to quorvelin.SpriteAnimation"),
        ([walk(), None], "Cannot convert NoneType to quorvelin.SpriteAnimation"),
    ])
    def test_refused_entries_come_after_the_sheet_is_cut(self, sheet, sprite, entries, message):
        texture = sheet(32, 32)
        old = sprite.animations
        with pytest.raises(TypeError, match=message):
            sprite.__init__(texture, 2, 2, entries)
        assert sprite.texture is texture and (sprite.width, sprite.height) == (16, 16)
        assert sprite.animations is not old
        assert list(sprite.animations) == ([] if entries is None else ["walk"])


# --- SpriteComponent ------------------------------------------------------------------------------

def frame_fields(component):
    return (component._currentMinFrame, component._currentMaxFrame, component._currentDirections,
            component._animationSpeed)


class TestSpriteComponent:
    def test_defaults(self):
        c = SpriteComponent()
        assert (c.sprite, c.currentAnimation, c.shadeless, c.zOffset, c.scale, c._blendMode) == \
            (None, None, False, 0.0, 1.0, BLENDMODE_BLEND)
        assert frame_fields(c) == (0, 0, 0, 0.0) and (c._dist, c._angleToCam) == (0.0, 0.0)

    def test_a_sprite_plays_its_first_animation(self, sprite):
        c = SpriteComponent(sprite, True, 0.5, 2.0, BLENDMODE_ADD)
        assert c.currentAnimation is sprite.animations["walk"] and c.currentAnimationKey == "walk"
        assert frame_fields(c) == (0, 4, 1, 2.5)
        assert (c.shadeless, c.zOffset, c.scale, c.blendMode) == (True, 0.5, 2.0, "add")

    def test_a_sprite_without_animations_leaves_none(self, sheet):
        c = SpriteComponent(Sprite(sheet(), 1, 1, []))
        assert c.currentAnimation is None

    def test_choosing_animations(self, sprite):
        c = SpriteComponent(sprite)
        c._animationSpeed = -2.5  # the renderer turned it round
        c.animationPercentage = 0.75
        c.currentAnimation = sprite.animations["walk"]  # already current: nothing copied
        assert c._animationSpeed == -2.5
        c.currentAnimationKey = "idle"
        assert frame_fields(c) == (4, 6, 2, 1.0) and c.animationPercentage == 0.75
        c.currentAnimation = None  # clears the animation, keeps what was copied
        assert c.currentAnimation is None and frame_fields(c) == (4, 6, 2, 1.0)
        c._currentAnimation = sprite.animations["walk"]  # stored alone
        assert frame_fields(c) == (4, 6, 2, 1.0)

    def test_a_frame_range_past_the_last_int_ends_there(self):
        c = SpriteComponent()
        c.currentAnimation = SpriteAnimation("far", 10, 0, 1.0, 2 ** 31 - 5, 1)
        assert (c._currentMinFrame, c._currentMaxFrame) == (2 ** 31 - 5, 2 ** 31 - 1)

    def test_the_key_answers_from_the_own_sprite(self, sheet, sprite):
        other = Sprite(sheet(), 4, 2, [walk()])
        c = SpriteComponent(sprite)
        c.sprite = other  # the animation stays, and is not one of the new sprite's
        assert c.currentAnimation is sprite.animations["walk"]
        with pytest.raises(StopIteration):
            c.currentAnimationKey
        c.currentAnimationKey = "walk"
        assert c.currentAnimation is other.animations["walk"]
        with pytest.raises(KeyError):
            c.currentAnimationKey = "idle"

    @pytest.mark.parametrize("state_sprite, read, write", [
        # no sprite: neither direction reads through None
        (None, (AttributeError, "'NoneType' object has no attribute '_animations'"),
         (AttributeError, "'NoneType' object has no attribute '_animations'")),
        # a sprite whose table was restored as None
        ("no table", (AttributeError, "'NoneType' object has no attribute 'items'"),
         (TypeError, "'NoneType' object is not subscriptable")),
    ])
    def test_the_key_without_a_table(self, sheet, state_sprite, read, write):
        c = SpriteComponent()
        if state_sprite:
            broken = Sprite(sheet(), 1, 1, [])
            broken.__setstate__((None, 1, broken.texture, 1, 1, 1))
            c.sprite = broken
        with pytest.raises(read[0], match=read[1]):
            c.currentAnimationKey
        with pytest.raises(write[0], match=write[1]):
            c.currentAnimationKey = "walk"
        if state_sprite:
            with pytest.raises(AttributeError, match="has no attribute 'values'"):
                SpriteComponent(c.sprite)

    @pytest.mark.parametrize("word, stored, read", [
        ("add", 1, "add"), ("blend", 0, "alpha"), ("alpha", 0, "alpha"), ("ADD", 0, "alpha"),
        (None, 0, "alpha"),
    ])
    def test_blend_mode_words(self, word, stored, read):
        c = SpriteComponent(blendMode=1)
        c.blendMode = word
        assert (c._blendMode, c.blendMode) == (stored, read)

    def test_blend_mode_numbers(self, sprite):
        c = SpriteComponent(sprite)
        c._blendMode = 2
        assert c.blendMode == "add" and c.dumpToDict(level_of(sprite))["blendMode"] == "blend"
        c._blendMode = 2 ** 32 - 1
        assert c._blendMode == 2 ** 32 - 1
        for bad in (-1, 2 ** 32):
            for target in (lambda: setattr(c, "_blendMode", bad), lambda: SpriteComponent(blendMode=bad)):
                with pytest.raises(OverflowError) as raised:
                    target()
                assert "__pyx_t_9quorvelin_BlendMode" in str(raised.value)
        with pytest.raises(OverflowError, match="^can't convert negative value to __pyx_t_9quorvelin_BlendMode$"):
            c._blendMode = -1

    def test_refused_values(self, sprite):
        c = SpriteComponent()
        with pytest.raises(TypeError, match=r"Argument 'sprite' has incorrect type \(expected quorvelin.Sprite, got int\)"):
            SpriteComponent(5)
        with pytest.raises(TypeError, match="Cannot convert int to quorvelin.Sprite"):
            c.sprite = 5
        with pytest.raises(TypeError, match="Cannot convert str to quorvelin.SpriteAnimation"):
            c.currentAnimation = "walk"
        with pytest.raises(TypeError, match="takes at most 5 positional arguments"):
            SpriteComponent(None, 0, 0, 1, 0, 0)
        for name in ("sprite", "currentAnimation", "currentAnimationKey", "blendMode", "scale", "_dist"):
            with pytest.raises(NotImplementedError, match="__del__"):
                delattr(c, name)
        c._sprite = sprite
        del c._sprite, c._currentAnimation
        assert c.sprite is None


# --- the level form ------------------------------------------------------------------------------

def through_json(component, level, form):
    component.loadFromDict(level, json.loads(json.dumps(form)))
    return json.loads(json.dumps(component.dumpToDict(level)))


class TestLevelForm:
    def test_only_the_sprite_given(self, sprite):
        c = SpriteComponent(blendMode=1, zOffset=3)
        c.shadeless = True
        dumped = through_json(c, level_of(sprite), {"sprite": 0})
        assert dumped == {"sprite": 0, "shadeless": False, "zOffset": 0.0, "scale": 1.0,
                          "blendMode": "blend", "currentAnimation": "walk", "animationPercentage": 0.0}
        assert list(dumped) == ["sprite", "shadeless", "zOffset", "scale", "blendMode",
                                "currentAnimation", "animationPercentage"]

    def test_every_key(self, sheet, sprite):
        other = Sprite(sheet(), 2, 2, [walk("run")])
        form = {"sprite": -1, "shadeless": 1, "zOffset": 0.5, "scale": 2, "blendMode": "add",
                "currentAnimation": "idle", "animationPercentage": 0.25}
        c = SpriteComponent()
        dumped = through_json(c, level_of(other, sprite), form)
        assert c.sprite is sprite and frame_fields(c) == (4, 6, 2, 1.0)
        assert dumped == dict(form, sprite=1, shadeless=True, zOffset=0.5, scale=2.0)

    def test_the_current_animation_of_the_same_sprite_keeps_its_speed(self, sprite):
        c = SpriteComponent(sprite)
        c._animationSpeed = -2.5
        c.loadFromDict(level_of(sprite), {"sprite": 0})
        assert c._animationSpeed == -2.5

    def test_a_sprite_without_animations_loads_without_one(self, sheet, sprite):
        bare = Sprite(sheet(), 1, 1, [])
        c = SpriteComponent(sprite)
        c.loadFromDict(level_of(bare), {"sprite": 0})
        assert c.currentAnimation is None and c.sprite is bare

    @pytest.mark.parametrize("level, form, error, message", [
        (lambda s: level_of(s), {"shadeless": 1}, KeyError, "sprite"),
        (lambda s: level_of(s), {"sprite": 1}, IndexError, None),
        (lambda s: level_of(s), {"sprite": "0"}, TypeError, None),
        (lambda s: SimpleNamespace(), {"sprite": 0}, AttributeError, "_sprites"),
        (lambda s: level_of(None), {"sprite": 0}, TypeError, "Cannot convert NoneType to quorvelin.Sprite"),
        (lambda s: level_of(5), {"sprite": 0}, TypeError, "Cannot convert int to quorvelin.Sprite"),
        (lambda s: level_of(s), {"sprite": 0, "currentAnimation": "run"}, KeyError, "run"),
        (lambda s: level_of(s), {"sprite": 0, "scale": "big"}, TypeError, None),
    ])
    def test_load_errors(self, sprite, level, form, error, message):
        with pytest.raises(error) as raised:
            SpriteComponent().loadFromDict(level(sprite), form)
        if message:
            assert message in str(raised.value)

    def test_load_keeps_what_it_stored_before_an_error(self, sprite):
        c = SpriteComponent()
        with pytest.raises(KeyError):
            c.loadFromDict(level_of(sprite), {"sprite": 0, "shadeless": 1, "blendMode": "add",
                                              "currentAnimation": "run"})
        assert (c.sprite, c.shadeless, c._blendMode, c.currentAnimation) == (sprite, True, 1, None)

    @pytest.mark.parametrize("change, error", [
        (lambda c, sprite: setattr(c, "sprite", Sprite(sprite.texture, 1, 1, [walk()])), ValueError),
        (lambda c, sprite: setattr(c, "currentAnimation", walk()), StopIteration),
        (lambda c, sprite: setattr(c, "currentAnimation", None), StopIteration),
    ])
    def test_dump_errors(self, sprite, change, error):
        c = SpriteComponent(sprite)
        change(c, sprite)
        with pytest.raises(error):
            c.dumpToDict(level_of(sprite))

    def test_argument_counts(self, sprite):
        with pytest.raises(TypeError, match="takes exactly 2 positional arguments"):
            SpriteComponent().loadFromDict({"sprite": 0})
        assert SpriteComponent().loadFromDict(input={"sprite": 0}, level=level_of(sprite)) is None
