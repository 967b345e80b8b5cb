import json
import pickle
import struct
import sys
import textwrap
import time

import pytest

import quorvelin
from quorvelin import Resource, Sound, SoundHandle

from .files import aiff_bytes, mod_bytes, outcomes_in_child, riff_chunk, wave_format, write_wav

# The mixer opened at import has 8 channels until Engine.init allocates others.
ALL_CHANNELS = range(64)


@pytest.fixture(scope="module")
def wavs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("wav")
    return {"short": write_wav(folder / "short.wav", 0.05), "tenth": write_wav(folder / "tenth.wav", 0.1),
            "long": write_wav(folder / "long.wav", 5.0)}


@pytest.fixture(autouse=True)
def quiet_mixer():
    """Every test starts and ends with no channel playing and the volume at 128."""
    def silence():
        for channel in ALL_CHANNELS:
            SoundHandle(channel).stop()
    silence()
    yield
    silence()
    quorvelin.setSoundVolume(128)


def wait_until_silent(handle, timeout=3.0):
    start = time.monotonic()
    while handle.isPlaying() and time.monotonic() - start < timeout:
        time.sleep(0.005)
    return time.monotonic() - start


def test_import_sets_both_volumes_to_128(child):
    result = child("""
        import quorvelin
        print(quorvelin.getSoundVolume(), quorvelin.getMusicVolume())
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["128", "128"]


@pytest.mark.parametrize("name", ["getSoundVolume", "setSoundVolume", "getMusicVolume", "setMusicVolume"])
def test_volume_functions_are_module_functions(name):
    function = getattr(quorvelin, name)
    assert function.__module__ == "quorvelin" and function.__self__ is None


@pytest.mark.parametrize("volume, stored", [(64, 64), (200, 200), (-5, -5), (40.9, 40), (True, 1)])
def test_sound_volume_is_stored_as_given(volume, stored):
    assert quorvelin.setSoundVolume(volume) is None
    assert quorvelin.getSoundVolume() == stored


@pytest.mark.parametrize("call, error", [
    (lambda: quorvelin.setSoundVolume("64"), TypeError),
    (lambda: quorvelin.setSoundVolume(1 << 31), OverflowError),
    (lambda: quorvelin.setSoundVolume(volume=3), TypeError),
])
def test_bad_sound_volume_changes_nothing(call, error):
    quorvelin.setSoundVolume(77)
    with pytest.raises(error):
        call()
    assert quorvelin.getSoundVolume() == 77


def test_sound_is_a_resource_with_its_documentation(wavs):
    sound = Sound(wavs["short"])
    assert Sound.__mro__ == (Sound, Resource, object) and SoundHandle.__mro__ == (SoundHandle, object)
    assert sound.filename == wavs["short"] and Sound(filepath=wavs["short"]).filename == wavs["short"]
    assert Sound.__init__.__doc__ == ("\n        @param(filepath, str)\n"
                                      "        Loads a WAV sound file from the given path\n        ")


def test_unloadable_sound_raises_oserror(tmp_path):
    garbage = tmp_path / "noise.wav"
    garbage.write_bytes(b"RIFF....not really")
    for name in ("missing.wav", str(garbage)):
        sound = Sound.__new__(Sound)
        with pytest.raises(OSError) as error:
            sound.__init__(name)
        assert error.value.args == (f"Unable to load sound file '{name}'",)
        assert sound.filename == name


def test_a_sound_without_a_whole_frame_is_refused(child, tmp_path):
    """The mixer plays no part of a frame. An empty 8-bit mono sound converts to nothing,
    which SDL_mixer 2.8 went on to free twice; the mixer's own format is not converted;
    a sound one frame long loads and plays."""
    def wave(format, data):
        body = b"WAVE" + format + riff_chunk(b"data", data)
        return b"RIFF" + struct.pack("<I", len(body)) + body
    byte_mono = wave_format(channels=1, bits=8)
    files = {"empty8.wav": wave(byte_mono, b""), "empty16.wav": wave(wave_format(), b""),
             "half.wav": wave(wave_format(), b"\1\2"), "empty.aiff": aiff_bytes(frames=0),
             "one8.wav": wave(byte_mono, b"\x80")}
    for name, data in files.items():
        (tmp_path / name).write_bytes(data)
    uses = [f"quorvelin.Sound({str(tmp_path / name)!r}).play()" for name in files]
    refused = ["OSError", None]
    assert outcomes_in_child(child, "import quorvelin", uses) == [refused, refused, refused, refused, None]


@pytest.mark.parametrize("path, error", [(b"x.wav", AttributeError), (None, AttributeError), ("x.wav\0", ValueError)])
def test_sound_path_errors(path, error):
    sound = Sound.__new__(Sound)
    with pytest.raises(error):
        sound.__init__(path)
    assert sound.filename is None


class BytearrayPath(str):
    def encode(self, *args):
        return bytearray(str.encode(self, *args))


@pytest.mark.parametrize("cls", [Sound, quorvelin.Music])
def test_path_may_encode_to_a_bytearray(wavs, cls):
    path = BytearrayPath(wavs["short"])
    assert cls(path).filename is path


def test_nul_in_a_sound_path_does_not_open_the_prefix(wavs):
    with pytest.raises(ValueError, match="embedded null character"):
        Sound(wavs["short"] + "\0.txt")


def test_a_module_that_never_ends_is_refused_within_bounded_memory(child, tmp_path):
    """SDL_mixer decodes a compressed sound to its end, and a MOD whose last row jumps
    back to the start has none: the load is refused once it has taken what the engine
    allows, long before the memory runs out. SDL_mixer 2.8's module decoder ends such a
    module where it comes back to the start, so there it may load. The same module plays
    as music, and one that ends loads as a sound."""
    (tmp_path / "loops.mod").write_bytes(mod_bytes(loops=True))
    (tmp_path / "ends.mod").write_bytes(mod_bytes())
    result = child(f"""
        import ctypes, os, resource, time
        if "libasan" not in os.environ.get("LD_PRELOAD", ""):  # a regression fails, soon
            resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
        import quorvelin
        mixer = ctypes.CDLL("libSDL2_mixer-2.0.so.0")  # the one the engine uses
        mixer.Mix_Linked_Version.restype = ctypes.POINTER(ctypes.c_uint8 * 3)
        print(*mixer.Mix_Linked_Version().contents)
        before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        try:
            quorvelin.Sound({str(tmp_path / "loops.mod")!r}).play()
            print("loaded")
        except OSError as error:
            print(error)
        grown = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
        print(grown < 400 * 1024, quorvelin.Sound({str(tmp_path / "ends.mod")!r}).play() is not None)
        music = quorvelin.Music({str(tmp_path / "loops.mod")!r})
        music.play()
        time.sleep(0.05)
        music.stop()
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    version, outcome, bounded = result.stdout.splitlines()[-3:]
    refused = f"Unable to load sound file '{tmp_path / 'loops.mod'}'"
    assert outcome in ([refused] if tuple(map(int, version.split())) < (2, 8) else [refused, "loaded"])
    assert bounded == "True True"


def test_play_returns_a_handle_of_a_playing_channel(wavs):
    sound = Sound(wavs["tenth"])
    refs = sys.getrefcount(sound)
    handle = sound.play()
    assert type(handle) is SoundHandle and sys.getrefcount(sound) == refs
    assert handle.isPlaying() == 1 and type(handle.isPlaying()) is int
    assert wait_until_silent(handle) < 2.0
    assert handle.isPlaying() == 0


def test_two_plays_use_two_channels(wavs):
    sound = Sound(wavs["long"])
    first, second = sound.play(), sound.play()
    assert first.stop() is None
    assert (first.isPlaying(), second.isPlaying()) == (0, 1)


def test_play_without_a_free_channel_raises(wavs):
    sound = Sound(wavs["long"])
    handles = []
    with pytest.raises(quorvelin.EngineException) as error:
        for _ in ALL_CHANNELS:
            handles.append(sound.play())
    assert error.value.msg == "Unable to play the sound!"
    assert len(handles) >= 8 and all(handle.isPlaying() == 1 for handle in handles)


# How many bytes the mixer mixes on channel 0 (the first free one) for a play that
# `start` begins, counted by an effect on the channel, which the mixer drops (calling its
# done hook) when the channel ends: a count of the plays that no speed of the machine
# changes. Only the ctypes calls, which let go of the interpreter lock, touch the mixer
# while the effect may run: the audio thread needs the lock to run it.
MIXED_BYTES = """
    import ctypes, json, threading, quorvelin
    mixer = ctypes.CDLL("libSDL2_mixer-2.0.so.0")
    Effect = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p)
    Done = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_void_p)

    def mixed_bytes(start, enough=None):
        counted, ended = [0], threading.Event()

        def effect(channel, stream, length, data):
            counted[0] += length
            if enough is not None and counted[0] >= enough:
                ended.set()

        hooks = Effect(effect), Done(lambda channel, data: ended.set())
        assert mixer.Mix_RegisterEffect(0, *hooks, None)
        start()
        assert ended.wait(60), counted
        mixer.Mix_HaltChannel(0)  # an endless play ends here; its effect goes with it
        return counted[0]
"""


def test_loop_plays_the_sound_as_many_times_as_asked(wavs, child):
    sound = Sound(wavs["tenth"])
    endless = sound.loop(0)
    assert endless.isPlaying() == 1
    endless.stop()
    assert endless.isPlaying() == 0
    result = child(textwrap.dedent(MIXED_BYTES) + f"""
sound = quorvelin.Sound({wavs["tenth"]!r})
once = mixed_bytes(sound.play)
counts = [mixed_bytes(lambda: sound.loop(times)) for times in (1, 2, 3)]
endless = mixed_bytes(lambda: sound.loop(0), enough=5 * once)
print(json.dumps([once, counts, endless]))
""")
    assert result.returncode == 0, result.stderr
    once, counts, endless = json.loads(result.stdout.splitlines()[-1])
    assert once > 0
    assert counts == [once, 2 * once, 3 * once]
    assert endless >= 5 * once  # still playing after five lengths: ended by the halt


@pytest.mark.parametrize("call, error", [
    (lambda s: s.loop(times=1), TypeError),
    (lambda s: s.loop("2"), TypeError),
    (lambda s: s.loop((1 << 31) + 1), OverflowError),
    (lambda s: s.loop(), TypeError),
])
def test_loop_argument_errors_play_nothing(wavs, call, error):
    sound = Sound(wavs["long"])
    with pytest.raises(error):
        call(sound)
    assert all(SoundHandle(channel).isPlaying() == 0 for channel in range(8))


def test_a_dropped_sound_stops_its_channels(wavs):
    handle = Sound(wavs["long"]).play()
    assert handle.isPlaying() == 0


def test_handle_controls(wavs):
    sound = Sound(wavs["long"])
    handle = sound.play()
    assert handle.pause() is None and handle.resume() is None
    assert handle.isPlaying() == 1
    assert handle.stop() is None and handle.isPlaying() == 0


def test_handle_without_a_channel_touches_none(wavs):
    sound = Sound(wavs["long"])
    playing = sound.play()
    none = SoundHandle(-1)
    assert (none.stop(), none.pause(), none.resume(), none.isPlaying()) == (None, None, None, None)
    assert playing.isPlaying() == 1  # -1 would have meant every channel to the mixer


@pytest.mark.parametrize("channel", [3, 1000, (1 << 31) - 1])
def test_handle_of_any_channel_answers(channel):
    handle = SoundHandle(channel=channel)
    assert handle.isPlaying() == 0 and type(handle.isPlaying()) is int
    handle.pause(), handle.resume(), handle.stop()


@pytest.mark.parametrize("args, error", [(("1",), TypeError), ((1 << 31,), OverflowError), ((), TypeError)])
def test_handle_argument_errors(args, error):
    with pytest.raises(error):
        SoundHandle(*args)


@pytest.mark.parametrize("make", ["Sound.__new__(Sound)", "failed()"])
def test_sound_without_a_chunk_refuses_to_play(child, make, wavs):
    outcomes = outcomes_in_child(child, f"""
        from quorvelin import Sound
        def failed():
            s = Sound({wavs["short"]!r})
            try:
                s.__init__("missing.wav")
            except OSError:
                return s
        s = {make}
    """, ["s.play()", "s.loop(1)", "s.loop(0)", "globals().pop('s') and None"])
    assert outcomes == [["EngineException", "Unable to play the sound!"]] * 3 + [None]


def test_sounds_refuse_pickling(wavs):
    for value in (Sound(wavs["short"]), SoundHandle(1)):
        with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
            pickle.dumps(value)
