"""SDL's own blits, called through ctypes on surfaces made here: the reference that the
engine's drawing of skins is held against (the module links this same library)."""
import ctypes
from ctypes import POINTER, Structure, byref, c_int, c_uint32, c_void_p

_sdl = ctypes.CDLL("libSDL2-2.0.so.0")


class Surface(Structure):
    _fields_ = [("flags", c_uint32), ("format", c_void_p), ("w", c_int), ("h", c_int),
                ("pitch", c_int), ("pixels", c_void_p)]  # the leading, stable part


class Rect(Structure):
    _fields_ = [("x", c_int), ("y", c_int), ("w", c_int), ("h", c_int)]


_sdl.SDL_CreateRGBSurfaceWithFormat.argtypes = [c_uint32, c_int, c_int, c_int, c_uint32]
_sdl.SDL_CreateRGBSurfaceWithFormat.restype = POINTER(Surface)
_sdl.SDL_SetSurfaceBlendMode.argtypes = [POINTER(Surface), c_int]
_sdl.SDL_SetClipRect.argtypes = [POINTER(Surface), POINTER(Rect)]
for _name in ("SDL_UpperBlit", "SDL_UpperBlitScaled"):
    getattr(_sdl, _name).argtypes = [POINTER(Surface), POINTER(Rect), POINTER(Surface), POINTER(Rect)]
_sdl.SDL_FreeSurface.argtypes = [POINTER(Surface)]

ARGB8888 = 0x16362004
BLEND_NONE, BLEND = 0, 1


class Canvas:
    """An SDL surface of 0xAARRGGBB words; freed when the block ends."""

    def __init__(self, width, height, pixels):
        self.width, self.height = width, height
        self.surface = _sdl.SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, ARGB8888)
        assert self.surface
        rows = self.surface.contents
        for y in range(height):
            row = (c_uint32 * width)(*pixels[y * width:(y + 1) * width])
            ctypes.memmove(rows.pixels + y * rows.pitch, row, width * 4)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        _sdl.SDL_FreeSurface(self.surface)

    def pixels(self):
        rows = self.surface.contents
        result = []
        for y in range(self.height):
            result += (c_uint32 * self.width).from_address(rows.pixels + y * rows.pitch)
        return result

    def clip(self, x, y, w, h):
        _sdl.SDL_SetClipRect(self.surface, byref(Rect(x, y, w, h)))


def draw_pieces(target, source, blend, pieces):
    """Each piece (source rect, destination rect, scaled) blitted as the skin says, with
    fresh rectangles every time."""
    assert _sdl.SDL_SetSurfaceBlendMode(source.surface, blend) == 0
    for (sx, sy, sw, sh), (dx, dy, dw, dh), scaled in pieces:
        if min(sw, sh, dw, dh) <= 0:
            continue
        blit = _sdl.SDL_UpperBlitScaled if scaled else _sdl.SDL_UpperBlit
        blit(source.surface, byref(Rect(sx, sy, sw, sh)), target.surface, byref(Rect(dx, dy, dw, dh)))


def nine_slice(skin, destination):
    """The nine pieces of a panel skin over (x, y, w, h), in drawing order."""
    x, y = skin["x"], skin["y"]
    widths = [skin["leftWidth"], skin["middleWidth"], skin["rightWidth"]]
    heights = [skin["topHeight"], skin["middleHeight"], skin["bottomHeight"]]
    dx, dy, dw, dh = destination
    target_widths = [widths[0], dw - widths[0] - widths[2], widths[2]]
    target_heights = [heights[0], dh - heights[0] - heights[2], heights[2]]
    pieces = []
    for row in range(3):
        for column in range(3):
            pieces.append(((x + sum(widths[:column]), y + sum(heights[:row]), widths[column], heights[row]),
                           (dx + sum(target_widths[:column]), dy + sum(target_heights[:row]),
                            target_widths[column], target_heights[row]),
                           row == 1 or column == 1))
    return pieces


def strip(skin, vertical, destination):
    """The pieces of a three-piece strip (a button, a slider's track) over (x, y, length):
    the first cap, every whole middle piece, the squeezed remainder, the last cap.
    `skin`: (x, y, first, middle, last, thickness)."""
    sx, sy, first, middle, last, thick = skin
    x, y, length = destination
    count = int((length - first - last) / middle)
    rest = length - first - last - count * middle

    def piece(offset, position, size, source_size, scaled):
        if vertical:
            return (sx, sy + offset, thick, source_size), (x, position, thick, size), scaled
        return (sx + offset, sy, source_size, thick), (position, y, size, thick), scaled

    start = y if vertical else x
    pieces = [piece(0, start, first, first, False)]
    pieces += [piece(first, start + first + k * middle, middle, middle, False) for k in range(count)]
    if rest >= 1:
        pieces.append(piece(first, start + first + count * middle, rest, middle, True))
    pieces.append(piece(first + middle, start + length - last, last, last, False))
    return pieces
