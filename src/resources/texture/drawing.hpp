// Drawing one surface onto another, and filling one, within the target's clip
// rectangle. Plain ARGB8888 surfaces are drawn with the engine's own loops, every pixel
// where SDL would put it; anything else goes through SDL's blitter, which is handed
// only rectangles cut to the surface.
#pragma once

#include "core/layout.hpp"
#include "core/pixels.hpp"

#include <SDL.h>

#include <cstdint>

// Draws `source` onto `target` with its top-left corner at (x, y), cut to the
// target's clip rectangle, as SDL_UpperBlit does: a blending source is
// alpha-blended, a non-blending one copied. Positions and rectangles are 64-bit, so a
// widget's far edge near the end of the int range is cut where it really lies.
void drawSurface(SDL_Surface* target, SDL_Surface* source, int64_t x, int64_t y);
// The same for the part `from` of the source, as SDL_UpperBlit with a source rectangle.
void drawSurfacePart(SDL_Surface* target, SDL_Surface* source, const layout::Rect& from, int64_t x,
                     int64_t y);
// The part `from` of the source stretched over `to` (nearest pixel), cut to the
// target's clip rectangle, as SDL_UpperBlitScaled does: every pixel lands where SDL
// puts it; blending follows the source as above.
void drawSurfaceScaled(SDL_Surface* target, SDL_Surface* source, const layout::Rect& from,
                       const layout::Rect& to);

// The clip rectangle of a surface as far as it lies inside the surface: what every
// drawing loop is bounded by, whatever was set.
layout::Rect trustedClip(const SDL_Surface* surface);

// A source and a target checked once for several draws between them (the pieces of a
// skin): whether the engine's own loops draw them, and whether they blend. No Python
// code may run between its making and its last draw.
struct SurfacePair {
    SDL_Surface* target;
    SDL_Surface* source;
    bool ownLoops;
    bool blends;
};
SurfacePair pairOf(SDL_Surface* target, SDL_Surface* source);
void drawPart(const SurfacePair& pair, const layout::Rect& from, int64_t x, int64_t y);
void drawScaled(const SurfacePair& pair, const layout::Rect& from, const layout::Rect& to);

// Fills `rect`, cut to the surface's clip rectangle, as SDL_FillRect does.
void fillRect(SDL_Surface* surface, const layout::Rect& rect, uint32_t value);

// A rectangle that lies inside a surface (cut by a blit placement or the trusted clip)
// as SDL's int rectangle.
SDL_Rect toSdlRect(const layout::Rect& rect);
