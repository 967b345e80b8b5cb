import ctypes
import json
import pickle
import re
import struct

import pytest

import quorvelin
from quorvelin import Event, Music, MusicStoppedEvent, Resource

from .files import (adpcm_wave_bytes, aiff_bytes, id3_frame, id3_tag, outcomes_in_child, riff_chunk, wave_bytes, wave_format,
                    write_wav)

# The module links SDL_mixer dynamically: this is the mixer it plays through.
mixer = ctypes.CDLL("libSDL2_mixer-2.0.so.0")
mixer.Mix_MusicDuration.argtypes = [ctypes.c_void_p]
mixer.Mix_MusicDuration.restype = ctypes.c_double
mixer.Mix_GetMusicPosition.argtypes = [ctypes.c_void_p]
mixer.Mix_GetMusicPosition.restype = ctypes.c_double


@pytest.fixture(scope="module")
def song(tmp_path_factory):
    return write_wav(tmp_path_factory.mktemp("music") / "song.wav", 2.0)


@pytest.fixture(autouse=True)
def silent_stream():
    yield
    Music.__new__(Music).stop()  # stop acts on the stream, whichever Music started it
    quorvelin.setMusicVolume(128)


def test_music_is_a_resource_with_its_documentation(song):
    music = Music(song)
    assert Music.__mro__ == (Music, Resource, object)
    assert music.filename == song and Music(filepath=song).filename == song
    assert Music.__init__.__doc__ == ("\n        @param(filepath, str)\n"
                                      "        Loads an OGG music file from the given path\n        ")


def test_unloadable_music_raises_oserror():
    music = Music.__new__(Music)
    with pytest.raises(OSError) as error:
        music.__init__("music/missing.ogg")
    assert error.value.args == ("Unable to load music file 'music/missing.ogg'",)
    assert error.value.__notes__ == ["Reason: No such file or directory"]  # the mixer's, beside it
    assert music.filename == "music/missing.ogg"


# Music files that SDL_mixer's music loader believes to its cost: the format's channel
# count divides (0, or 32768, which the loader keeps in a byte), texts and
# loops that run past the memory they were read into, an AIFF text length that the
# loader's allocation wraps, an ID3 title frame that the tag reader copies by its
# declared size out of a buffer of 1024 bytes.
MALFORMED_MUSIC = {
    "no channels": wave_bytes(wave_format(channels=0, alignment=4)),
    "32768 channels": wave_bytes(wave_format(channels=32768, alignment=4)),
    "LIST of two bytes": wave_bytes(wave_format(), riff_chunk(b"LIST", b"IN")),
    "LIST entry without its end": wave_bytes(wave_format(), riff_chunk(b"LIST", b"INFOINAM\x05\0\0\0title")),
    "sampler without its loops": wave_bytes(wave_format(), riff_chunk(b"smpl", bytes(28) + struct.pack("<II", 3, 0))),
    "AIFF without channels": aiff_bytes(channels=0),
    "AIFF text of 2**32 - 1 bytes": aiff_bytes(extra=b"NAME\xff\xff\xff\xff" + b"text" * 4),
    "ID3 title longer than the tag reader takes": wave_bytes(
        wave_format(), riff_chunk(b"id3 ", id3_tag(id3_frame(b"TIT2", "title", declared=1 << 24)))),
}

# Well-made files of every encoding the loader plays, with the chunks it reads, still
# play: (name, bytes).
SOUND_MUSIC = {
    "8-bit mono": ("a.wav", wave_bytes(wave_format(channels=1, bits=8))),
    "24-bit": ("a.wav", wave_bytes(wave_format(bits=24))),
    "float": ("a.wav", wave_bytes(wave_format(encoding=3, bits=32))),
    "a-law": ("a.wav", wave_bytes(wave_format(encoding=6, bits=8))),
    "eight channels at 8 kHz": ("a.wav", wave_bytes(wave_format(channels=8, rate=8000))),
    "INFO and loops": ("a.wav", wave_bytes(wave_format(), riff_chunk(b"LIST", b"INFOINAM\x06\0\0\0title\0"),
                                           riff_chunk(b"smpl", bytes(28) + struct.pack("<II", 1, 0) + bytes(24)))),
    "AIFF": ("a.aiff", aiff_bytes(extra=b"NAME" + struct.pack(">I", 4) + b"name")),
    "told by its bytes": ("a.dat", wave_bytes()),
}


def load_outcomes(child, path):
    """Music(path) (played and sought when it loads) and Sound(path), in a child: each
    None or [exception type, message, its notes...]."""
    result = child(f"""
        import json, time, quorvelin
        outcomes = []
        for make in (quorvelin.Music, quorvelin.Sound):
            try:
                loaded = make({path!r})
                if make is quorvelin.Music:
                    loaded.play(0.01)
                    time.sleep(0.05)
                    loaded.stop()
                outcomes.append(None)
            except OSError as error:
                outcomes.append([type(error).__name__, str(error), *getattr(error, "__notes__", [])])
        print(json.dumps(outcomes))
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    return json.loads(result.stdout.splitlines()[-1])


@pytest.mark.parametrize("case", MALFORMED_MUSIC)
def test_music_the_loader_would_choke_on_is_refused(child, tmp_path, case):
    path = tmp_path / "bad.wav"
    path.write_bytes(MALFORMED_MUSIC[case])
    music, _sound = load_outcomes(child, str(path))  # the sound loader answers as it will
    assert music[:2] == ["OSError", f"Unable to load music file '{path}'"]
    assert music[2].startswith("Reason: The music")  # the engine's own reason


@pytest.mark.parametrize("case", SOUND_MUSIC)
def test_well_made_music_of_every_encoding_plays(child, tmp_path, case):
    name, data = SOUND_MUSIC[case]
    path = tmp_path / name
    path.write_bytes(data)
    assert load_outcomes(child, str(path))[0] is None


@pytest.mark.parametrize("encoding", ["MS-ADPCM", "IMA-ADPCM"])
def test_a_wave_encoding_the_music_loader_does_not_play_is_refused_with_its_reason(child, tmp_path, encoding):
    # SDL's WAVE loader, which a Sound goes through, decodes these; SDL_mixer's streaming
    # one (2.6: "Unknown WAVE data format") may not, and then says why.
    path = tmp_path / "compressed.wav"
    path.write_bytes(adpcm_wave_bytes(encoding))
    music, sound = load_outcomes(child, str(path))
    assert sound is None
    assert music is None or (music[:2] == ["OSError", f"Unable to load music file '{path}'"]
                             and re.fullmatch("Reason: .+", music[2]))


@pytest.mark.parametrize("name", ["tagged.mp3", "tagged"])
def test_mp3_tags_the_reader_would_choke_on_are_refused(child, tmp_path, name):
    # An MP3 (by its name, or by its bytes) reaches the same tag reader as music and as
    # a sound; one whose tags it can read is left to the decoder.
    frames = bytes([0xFF, 0xF3, 0x14, 0xC4]) + bytes(200)  # not a playable stream: refused
    bad = tmp_path / name
    bad.write_bytes(id3_tag(id3_frame(b"TPE1", "artist", declared=1 << 24)) + frames)
    reason = "Reason: The music's ID3 tag has a text frame longer than its reader takes."
    assert load_outcomes(child, str(bad)) == [["OSError", f"Unable to load music file '{bad}'", reason],
                                             ["OSError", f"Unable to load sound file '{bad}'"]]


def test_music_is_told_by_its_name_first(child, tmp_path):
    # As SDL_mixer does: a WAVE file named .ogg goes to the Ogg loader, which refuses it.
    path = tmp_path / "a.ogg"
    path.write_bytes(wave_bytes())
    music = load_outcomes(child, str(path))[0]
    assert music[:2] == ["OSError", f"Unable to load music file '{path}'"] and len(music) == 3


@pytest.mark.parametrize("path, error", [(b"x.ogg", AttributeError), (3, AttributeError), ("a\0b", ValueError)])
def test_music_path_errors(path, error):
    with pytest.raises(error):
        Music(path)


def test_the_stream_plays_loops_fades_and_stops(song):
    music, other = Music(song), Music(song)
    calls = [
        music.play, lambda: music.play(0.5), lambda: music.play(pos=None), lambda: music.loop(0),
        lambda: music.loop(2), lambda: music.fadeIn(50), lambda: music.fadeIn(50, 0.25),
        lambda: music.fadeInLoop(50, 0), other.pause, other.resume, lambda: other.fadeOut(20),
        other.stop, music.stop, other.resume,
    ]
    assert [call() for call in calls] == [None] * len(calls)


def test_fade_in_goes_through_fade_in_loop_by_lookup(song):
    calls = []

    class Logged(Music):
        def fadeInLoop(self, milliseconds, times, pos=0.0):
            calls.append((milliseconds, times, pos, type(pos)))
            return "ignored"

    music = Logged(song)
    assert music.fadeIn(2000) is None
    music.fadeIn(2000, 3.5)
    music.fadeIn(milliseconds=7.9, pos=1)
    assert calls == [(2000, 1, 0.0, float), (2000, 1, 3.5, float), (7, 1, 1.0, float)]


@pytest.mark.parametrize("call, error", [
    (lambda m: m.play("x"), TypeError),
    (lambda m: m.play(1, 2), TypeError),
    (lambda m: m.loop(times=1), TypeError),
    (lambda m: m.loop("1"), TypeError),
    (lambda m: m.loop((1 << 31) + 1), OverflowError),
    (lambda m: m.fadeIn("x"), TypeError),
    (lambda m: m.fadeIn(10, "x"), TypeError),
    (lambda m: m.fadeInLoop(10), TypeError),
    (lambda m: m.fadeInLoop(10, -(1 << 31)), OverflowError),
    (lambda m: m.fadeOut(milliseconds=10), TypeError),
    (lambda m: m.fadeOut(1 << 40), OverflowError),
])
def test_music_argument_errors(song, call, error):
    with pytest.raises(error):
        call(Music(song))


@pytest.fixture(scope="module")
def short_song(tmp_path_factory):
    return write_wav(tmp_path_factory.mktemp("music") / "short.wav", 1.0, frequency=660.0)


BAD_POSITIONS = [
    lambda m: m.play("x"),
    lambda m: m.play(pos=[]),
    lambda m: m.fadeIn(10, "x"),
    lambda m: m.fadeInLoop(10, 0, "x"),
]


@pytest.mark.parametrize("start", [lambda m: m.loop(0), lambda m: m.play(1.5)], ids=["looping", "seeked"])
@pytest.mark.parametrize("bad_call", BAD_POSITIONS)
def test_a_bad_position_leaves_the_playing_music_alone(song, short_song, start, bad_call):
    # The stream belongs to whichever Music started it last: the refused call
    # must neither restart it with its own music nor halt it.
    playing, refused = Music(song), Music(short_song)
    start(playing)
    position = mixer.Mix_GetMusicPosition(None)
    with pytest.raises(TypeError):
        bad_call(refused)
    assert mixer.Mix_PlayingMusic() == 1
    assert mixer.Mix_MusicDuration(None) == pytest.approx(2.0, abs=0.01)  # still the 2 s song
    assert mixer.Mix_GetMusicPosition(None) >= position  # not started over


@pytest.mark.parametrize("bad_call", BAD_POSITIONS)
def test_a_bad_position_starts_nothing(song, bad_call):
    assert mixer.Mix_PlayingMusic() == 0
    with pytest.raises(TypeError):
        bad_call(Music(song))
    assert mixer.Mix_PlayingMusic() == 0


MUSIC_USES = ["m.play()", "m.play(None)", "m.loop(1)", "m.fadeIn(10)", "m.fadeInLoop(10, 1)", "m.play('x')",
              "m.stop()", "m.pause()", "m.resume()", "m.fadeOut(10)", "globals().pop('m') and None"]


@pytest.mark.parametrize("make", ["Music.__new__(Music)", "failed()"])
def test_music_that_cannot_start_says_so(child, song, make):
    # fadeIn and fadeInLoop report it as play does; a bad position is refused
    # before anything is started. The stream controls need no handle.
    outcomes = outcomes_in_child(child, f"""
        from quorvelin import Music
        def failed():
            m = Music({song!r})
            try:
                m.__init__("missing.ogg")
            except OSError:
                return m
        m = {make}
    """, MUSIC_USES)
    refused = ["EngineException", "Unable to play music!"]
    assert outcomes == [refused] * 5 + [["TypeError", None]] + [None] * 5


def test_destroying_playing_music_halts_it(child, song):
    result = child(f"""
        import gc, quorvelin
        m = quorvelin.Music({song!r})
        m.loop(0)
        del m
        cycle = quorvelin.Music({song!r})
        cycle._filename = [cycle]
        cycle.play()
        del cycle
        gc.collect()
        quorvelin.Music.__new__(quorvelin.Music).stop()
        print("done")
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "done"


# --- fades the mixer would wait for ---------------------------------------------------------
#
# SDL_mixer frees the music playing on the stream, or starts another, only once a
# fade-out has ended, and waits for that in a delay loop with the interpreter lock
# held: for the rest of the fade, and for ever after quit (no audio thread advances
# the fade then) or while the stream is paused. Each case runs in a child whose
# timeout is the hang; it prints the stream's state (playing, fading) and the
# MusicStoppedEvents of the next frame, when there is an engine to run one.
# SDL_mixer's fading states: 0 none, 1 out, 2 in.

FADE_CASES = {
    # case: (what happens after `m` started fading out, expected output)
    "destroyed after quit": ("e.quit(); del m", "0 0 -"),
    "re-initialised after quit": ("e.quit(); m.__init__(song)", "0 0 -"),
    "another started after quit": ("e.quit(); other.play()", "1 0 -"),
    "alive at exit after quit": ("e.quit()", "1 1 -"),
    "alive at exit": ("pass", "1 1 0"),
    "destroyed": ("del m", "0 0 1"),
    "re-initialised": ("m.__init__(song)", "0 0 1"),
    "another started": ("other.play()", "1 0 1"),
    "another faded in": ("other.fadeIn(100)", "1 2 1"),
    "destroyed while paused": ("m.pause(); del m", "0 0 1"),
    "restarted": ("m.play()", "1 0 0"),  # the mixer restarts it without a stop
}


@pytest.mark.parametrize("fade", [300, 10 ** 9], ids=["short fade", "endless fade"])
@pytest.mark.parametrize("case", FADE_CASES)
def test_a_fading_music_is_never_waited_for(child, song, case, fade):
    then, expected = FADE_CASES[case]
    result = child(f"""
        import ctypes, quorvelin
        mixer = ctypes.CDLL("libSDL2_mixer-2.0.so.0")
        stops = []
        e = quorvelin.Engine()
        e.init("fade", (64, 48))
        e.subscribeEvent(quorvelin.MusicStoppedEvent, stops.append)
        song = {song!r}
        m, other = quorvelin.Music(song), quorvelin.Music(song)
        m.loop(0)  # endlessly: only the fade can end it
        m.fadeOut({fade})
        {then}
        if e.isRunning():
            e.update()
        print(mixer.Mix_PlayingMusic(), mixer.Mix_FadingMusic(), len(stops) if e.isRunning() else "-")
    """, timeout=30)
    assert result.returncode == 0, result.stderr[-2000:]
    assert result.stdout.strip() == expected


def test_destroying_the_playing_music_counts_no_stop(child, song):
    # As the mixer frees a playing music without a fade: halted, not counted.
    result = child(f"""
        import quorvelin
        stops = []
        e = quorvelin.Engine()
        e.init("no fade", (64, 48))
        e.subscribeEvent(quorvelin.MusicStoppedEvent, stops.append)
        m = quorvelin.Music({song!r})
        m.play()
        del m
        e.update()
        print(len(stops))
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    assert result.stdout.strip() == "0"


# The loudest sample of the tone that write_wav writes.
TONE_PEAK = 8000
FADING_OUT, FADING_IN = 1, 2


@pytest.mark.parametrize("fade, fading, loudness", [
    ("m.play(); m.fadeOut(2 ** 31 - 1)", FADING_OUT, (0.95, 1.0)),
    ("m.play(); m.fadeOut(10 ** 9)", FADING_OUT, (0.95, 1.0)),
    ("m.play(); m.fadeOut(16777215)", FADING_OUT, (0.95, 1.0)),
    ("m.fadeInLoop(2 ** 31 - 1, 1)", FADING_IN, (0.0, 0.01)),
    ("m.fadeIn(10 ** 9)", FADING_IN, (0.0, 0.01)),
])
def test_a_very_long_fade_goes_on_at_the_right_volume(child, song, fade, fading, loudness):
    # SDL_mixer counts fade steps in int arithmetic: a fade that overflows it stopped
    # the music at once, played without fading in, or played at a wrong volume. The
    # mixed stream is read back through the mixer's post-mix hook.
    result = child(f"""
        import ctypes, time, quorvelin
        mixer = ctypes.CDLL("libSDL2_mixer-2.0.so.0")
        peaks = []
        Hook = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(ctypes.c_int16), ctypes.c_int)
        hook = Hook(lambda data, stream, length: peaks.append(max(abs(stream[i]) for i in range(length // 2))))
        m = quorvelin.Music({song!r})
        {fade}
        # Hooked only now: the engine's mixer calls hold the interpreter lock while they
        # wait for the audio thread, which would be waiting for it to run the hook.
        mixer.Mix_SetPostMix(hook, None)
        peaks.clear()
        deadline = time.monotonic() + 10
        while len(peaks) < 4 and time.monotonic() < deadline:
            time.sleep(0.01)
        print(mixer.Mix_PlayingMusic(), mixer.Mix_FadingMusic(), max(peaks[1:]) / {TONE_PEAK})
        mixer.Mix_SetPostMix(None, None)
        m.stop()
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    playing, fading_state, peak = result.stdout.split()
    assert (int(playing), int(fading_state)) == (1, fading)
    assert loudness[0] <= float(peak) <= loudness[1]


@pytest.mark.parametrize("volume, reported", [(64, 64), (200, 128), (0, 0), (128.7, 128)])
def test_music_volume_lives_in_the_mixer(volume, reported):
    assert quorvelin.setMusicVolume(volume) is None
    assert quorvelin.getMusicVolume() == reported


@pytest.mark.parametrize("call, error", [
    (lambda: quorvelin.setMusicVolume(-3), None),
    (lambda: quorvelin.setMusicVolume("64"), TypeError),
    (lambda: quorvelin.setMusicVolume(1 << 31), OverflowError),
    (lambda: quorvelin.setMusicVolume(volume=1), TypeError),
])
def test_music_volume_left_unchanged(call, error):
    quorvelin.setMusicVolume(50)
    if error:
        with pytest.raises(error):
            call()
    else:
        call()
    assert quorvelin.getMusicVolume() == 50


# --- MusicStoppedEvent ----------------------------------------------------------------------


def test_music_stopped_event_is_a_plain_event():
    event = MusicStoppedEvent()
    assert MusicStoppedEvent.__mro__ == (MusicStoppedEvent, Event, object)
    assert event.isAlreadyHandled is False
    for args, kwargs in (((1,), {}), ((), {"x": 1})):
        with pytest.raises(TypeError):
            MusicStoppedEvent(*args, **kwargs)


def test_music_stopped_event_pickles_its_flag():
    event = MusicStoppedEvent()
    assert event.__reduce__() == (quorvelin.__pyx_unpickle_MusicStoppedEvent,
                                  (MusicStoppedEvent, 0xa6be06b, (False,)))
    event.isAlreadyHandled = True
    restored = pickle.loads(pickle.dumps(event))
    assert type(restored) is MusicStoppedEvent and restored.isAlreadyHandled is True


def test_music_stopped_event_checksum_is_checked():
    with pytest.raises(pickle.PickleError) as error:
        quorvelin.__pyx_unpickle_MusicStoppedEvent(MusicStoppedEvent, 1, None)
    assert str(error.value) == "Incompatible checksums (1 vs 0xa6be06b = (_isAlreadyHandled))"


def test_music_refuses_pickling(song):
    with pytest.raises(TypeError, match="no default __reduce__ due to non-trivial __cinit__"):
        pickle.dumps(Music(song))
