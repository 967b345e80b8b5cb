"""Files the media tests build for themselves: PNGs written with zlib/struct, WAVs
written with `wave`, the DejaVu TTF of the system, and pixel read-back through a
PNG saved by the engine and decoded by Pillow."""

import json
import math
import struct
import textwrap
import wave
import zlib

from PIL import Image

FONT_PATH = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write_png(path, width, height, pixels, alpha=True):
    """`pixels`: row-major 0xAARRGGBB words; written as RGBA, or as RGB (alpha dropped)."""
    rows = []
    for y in range(height):
        row = bytearray(b"\x00")
        for x in range(width):
            value = pixels[y * width + x]
            row += bytes(((value >> 16) & 255, (value >> 8) & 255, value & 255))
            if alpha:
                row.append(value >> 24)
        rows.append(bytes(row))

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as file:
        file.write(PNG_SIGNATURE + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(b"".join(rows)))
                   + png_chunk(b"IEND", b""))
    return str(path)


# The pixels of palette_png(): red, half-transparent green, transparent blue, red.
PALETTE_PNG_PIXELS = [0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFFFF0000]


def palette_png():
    """A 2 x 2 palette PNG with the chunks a decoder meets in a small game asset, in file
    order: IHDR, tEXt, PLTE, tRNS, IDAT, IEND. Returns its bytes and
    {chunk type: (offset of its first byte, offset after its CRC)}."""
    chunks = [(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 3, 0, 0, 0)),
              (b"tEXt", b"Comment\0written by the tests"),
              (b"PLTE", bytes((255, 0, 0, 0, 255, 0, 0, 0, 255))),
              (b"tRNS", bytes((255, 128, 0))),
              (b"IDAT", zlib.compress(bytes((0, 0, 1, 0, 2, 0)))),  # filter byte, two indices, per row
              (b"IEND", b"")]
    data, spans = PNG_SIGNATURE, {}
    for kind, body in chunks:
        start = len(data)
        data += png_chunk(kind, body)
        spans[kind.decode()] = (start, len(data))
    return data, spans


def write_wav(path, seconds, frequency=440.0, rate=44100):
    """A 16-bit stereo sine tone; SDL_mixer loads it as a sound and as music."""
    frames = int(seconds * rate)
    data = bytearray()
    for i in range(frames):
        sample = int(8000 * math.sin(2 * math.pi * frequency * i / rate))
        data += struct.pack("<hh", sample, sample)
    with wave.open(str(path), "wb") as file:
        file.setnchannels(2)
        file.setsampwidth(2)
        file.setframerate(rate)
        file.writeframes(bytes(data))
    return str(path)


def riff_chunk(kind, data, declared=None):
    return kind + struct.pack("<I", len(data) if declared is None else declared) + data


def wave_format(encoding=1, channels=2, rate=44100, bits=16, alignment=None):
    alignment = channels * (bits // 8) if alignment is None else alignment
    return riff_chunk(b"fmt ", struct.pack("<HHIIHH", encoding, channels, rate, rate * alignment,
                                           alignment, bits))


def wave_bytes(*chunks, frames=2000):
    """A WAVE file of the given chunks (a 16-bit stereo format by default) followed by
    `frames` frames of quiet noise."""
    chunks = chunks or (wave_format(),)
    body = b"WAVE" + b"".join(chunks) + riff_chunk(b"data", bytes(i % 7 for i in range(frames * 4)))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def adpcm_wave_bytes(encoding, blocks=4):
    """A mono WAVE file of silence in a compressed encoding that SDL's own WAVE loader
    decodes: "MS-ADPCM" (blocks of a header, predictor 0, then nibbles) or "IMA-ADPCM"."""
    align = 256
    if encoding == "MS-ADPCM":
        per_block = (align - 7) * 2 + 2
        coefficients = [(256, 0), (512, -256), (0, 0), (192, 64), (240, 0), (460, -208), (392, -232)]
        extra = struct.pack("<HH", per_block, len(coefficients)) + b"".join(
            struct.pack("<hh", *pair) for pair in coefficients)
        code, block = 2, struct.pack("<Bhhh", 0, 16, 0, 0) + bytes(align - 7)
    else:
        per_block = (align - 4) * 2 + 1
        extra, code, block = struct.pack("<H", per_block), 0x11, bytes(align)
    fmt = struct.pack("<HHIIHHH", code, 1, 22050, 22050 * align // per_block, align, 4, len(extra)) + extra
    body = (b"WAVE" + riff_chunk(b"fmt ", fmt) + riff_chunk(b"fact", struct.pack("<I", per_block * blocks))
            + riff_chunk(b"data", block * blocks))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def aiff_bytes(channels=2, rate=b"\x40\x0e\xac\x44" + bytes(6), extra=b"", frames=2000):
    """An AIFF file of 16-bit frames; `rate` is the 80-bit float of the COMM chunk."""
    common = b"COMM" + struct.pack(">IHIH", 18, channels, frames, 16) + rate
    sound = b"SSND" + struct.pack(">III", 8 + frames * 4, 0, 0) + bytes(frames * 4)
    body = b"AIFF" + common + extra + sound
    return b"FORM" + struct.pack(">I", len(body)) + body


def id3_frame(key, text, declared=None):
    """An ID3v2.3 text frame: encoding 1 (UTF-16 with its byte order mark), then `text`;
    its size as declared."""
    body = b"\x01\xff\xfe" + text.encode("utf-16-le")
    return key + struct.pack(">I", len(body) if declared is None else declared) + b"\0\0" + body


def id3_tag(*frames):
    """An ID3v2.3 tag of the given frames."""
    body = b"".join(frames)
    size = len(body)
    synchsafe = bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
    return b"ID3\x03\x00\x00" + synchsafe + body


def mod_bytes(loops=False):
    """A four-channel MOD of one sample and one pattern; with `loops`, the pattern's last
    row jumps back to the first position, so the module never ends."""
    title = b"tone".ljust(20, b"\0")
    samples = [b"tone".ljust(22, b"\0") + struct.pack(">HBBHH", 32, 0, 64, 0, 1)]
    samples += [bytes(22) + struct.pack(">HBBHH", 0, 0, 0, 0, 1)] * 30
    order = bytes([1, 127]) + bytes(128)
    pattern = bytearray(1024)
    pattern[0:4] = bytes([0x10, 0xD6, 0x00, 0x00])  # sample 1 at a note
    if loops:
        pattern[63 * 16:63 * 16 + 4] = bytes([0, 0, 0x0B, 0x00])  # jump to position 0
    tone = bytes((i * 8) & 0xFF for i in range(64))
    return title + b"".join(samples) + order + b"M.K." + bytes(pattern) + tone


def read_pixels(texture, folder):
    """The texture's pixels as 0xAARRGGBB words, row-major, read back from a PNG."""
    path = folder / "readback.png"
    texture.saveFile(str(path))
    with Image.open(path) as image:
        rgba = image.convert("RGBA").tobytes()
    return [rgba[i + 3] << 24 | rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2] for i in range(0, len(rgba), 4)]


def channels(pixel):
    """(a, r, g, b) of a 0xAARRGGBB word."""
    return (pixel >> 24) & 255, (pixel >> 16) & 255, (pixel >> 8) & 255, pixel & 255



def outcomes_in_child(child, setup, uses):
    """Runs `setup`, then each expression of `uses`, in a fresh interpreter (an object
    without its SDL handle would crash the runner if it were dereferenced). Returns
    for each use None, or [exception type name, its `msg` or None]."""
    script = textwrap.dedent(setup) + textwrap.dedent(f"""
        import json as _json
        _outcome = []
        for _use in {list(uses)!r}:
            try:
                eval(_use)
                _outcome.append(None)
            except Exception as error:
                _outcome.append([type(error).__name__, getattr(error, "msg", None)])
        print(_json.dumps(_outcome))
    """)
    result = child(script)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout.splitlines()[-1])
