"""What the frame shows: the targets of the Renderer systems, uploaded in system
order into the screen texture and presented stretched to the window; and the
end-of-music notices that the frame relays."""
import math
import struct
import wave

import pytest

import quorvelin
from quorvelin import Engine, Music, MusicStoppedEvent, Renderer, Texture

RED, BLUE, GREEN = (255, 0, 0), (0, 0, 255), (0, 255, 0)



def colours(image):
    return {colour for _, colour in image.getcolors(1 << 20)}


def filled(size, colour):
    texture = Texture(*size)
    texture.fill(colour)
    return texture


class TestUpload:
    def test_target_is_shown(self, engine, shot):
        engine.ecs.addSystem(Renderer(filled((320, 200), RED)))
        engine.update()
        assert colours(shot(engine)) == {RED}

    def test_last_renderer_in_system_order_is_shown(self, engine, shot):
        engine.ecs.addSystem(Renderer(filled((320, 200), RED)))
        engine.ecs.addSystem(quorvelin.AbstractSystem())
        engine.ecs.addSystem(Renderer(filled((320, 200), BLUE)))
        engine.update()
        assert colours(shot(engine)) == {BLUE}

    def test_picture_is_stretched_to_the_window(self, engine, shot):
        engine.setWindowSize((640, 400))
        engine.ecs.addSystem(Renderer(filled((320, 200), GREEN)))
        engine.update()
        image = shot(engine)
        assert image.size == (640, 400) and colours(image) == {GREEN}

    def test_without_renderers_the_last_picture_stays(self, engine, shot):
        renderer = Renderer(filled((320, 200), RED))
        engine.ecs.addSystem(renderer)
        engine.update()
        engine.ecs.removeSystem(renderer)
        engine.update()
        assert colours(shot(engine)) == {RED}

    def test_renderer_without_target_is_skipped(self, engine, shot):
        engine.ecs.addSystem(Renderer(filled((320, 200), BLUE)))
        engine.ecs.addSystem(Renderer(None))
        engine.update()
        assert colours(shot(engine)) == {BLUE}

    def test_smaller_target_fills_only_its_corner(self, engine, shot):
        background = Renderer(filled((320, 200), BLUE))
        engine.ecs.addSystem(background)
        engine.update()
        engine.ecs.removeSystem(background)
        engine.ecs.addSystem(Renderer(filled((160, 50), RED)))
        engine.update()
        image = shot(engine)
        assert colours(image.crop((0, 0, 160, 50))) == {RED}
        assert colours(image.crop((160, 0, 320, 200))) == {BLUE}
        assert colours(image.crop((0, 50, 320, 200))) == {BLUE}

    def test_larger_target_contributes_its_top_left_corner(self, engine, shot):
        target = Texture(640, 400)
        target.fillChecker()  # its top-left quarter is one dark grey
        engine.ecs.addSystem(Renderer(target))
        engine.update()
        assert colours(shot(engine)) == {(0x33, 0x33, 0x33)}

    def test_get_target_is_looked_up(self, engine, shot):
        class Swapping(Renderer):
            def getTarget(self):
                return swapped

        swapped = filled((320, 200), GREEN)
        engine.ecs.addSystem(Swapping(filled((320, 200), RED)))
        engine.update()
        assert colours(shot(engine)) == {GREEN}

    def test_target_that_is_no_texture(self, engine):
        class Wrong(Renderer):
            def getTarget(self):
                return 5

        engine.ecs.addSystem(Wrong(None))
        with pytest.raises(TypeError, match="^Cannot convert int to quorvelin.Texture$"):
            engine.update()

    def test_render_runs_before_the_upload(self, engine, shot):
        class Painting(Renderer):
            def render(self):
                self.getTarget().fill(BLUE)

        engine.ecs.addSystem(Painting(filled((320, 200), RED)))
        engine.update()
        assert colours(shot(engine)) == {BLUE}


def write_song(path, seconds=1.0, rate=44100):
    with wave.open(str(path), "wb") as file:
        file.setnchannels(2)
        file.setsampwidth(2)
        file.setframerate(rate)
        file.writeframes(b"".join(struct.pack("<hh", s, s) for s in
                                  (int(3000 * math.sin(i / 20)) for i in range(int(seconds * rate)))))
    return str(path)


class TestMusicStops:
    @pytest.fixture
    def music(self, tmp_path):
        music = Music(write_song(tmp_path / "song.wav"))
        yield music
        music.stop()

    def test_one_notice_per_frame(self, engine, music):
        stops = []
        engine.subscribeEvent(MusicStoppedEvent, stops.append)
        for _ in range(3):
            music.play()
            music.stop()
        counts = []
        for _ in range(4):
            engine.update()
            counts.append(len(stops))
        assert counts == [1, 2, 3, 3]
        assert all(type(event) is MusicStoppedEvent for event in stops)

    def test_notice_comes_after_input_and_before_tasks(self, engine, music):
        from . import sdlinput

        log = []
        engine.subscribeEvent(MusicStoppedEvent, lambda e: log.append("music"))
        engine.subscribeEvent(quorvelin.KeyEvent, lambda e: log.append("input"))
        engine.addTask(lambda s, d: log.append("task") or True)
        music.play()
        music.stop()
        sdlinput.key_down(quorvelin.KEY_M)
        engine.update()
        assert log == ["input", "music", "task"]

    def test_failing_handler_loses_the_notice(self, engine, music):
        engine.subscribeEvent(MusicStoppedEvent, lambda e: 1 / 0)
        music.play()
        music.stop()
        with pytest.raises(ZeroDivisionError):
            engine.update()
        engine.update()  # the notice is gone: nothing raises
