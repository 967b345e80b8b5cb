// Drawing onto engine surfaces: blits placed in 64 bits as SDL places them, drawn with
// the engine's own loops (core/pixels.hpp) for plain ARGB8888 surfaces and handed to SDL,
// cut to what it can take, for anything else; and fills.
#include "resources/texture/drawing.hpp"

#include "core/blit.hpp"

#include <climits>

SDL_Rect toSdlRect(const layout::Rect& rect) {
    return {int(rect.x), int(rect.y), int(rect.w), int(rect.h)};
}

static layout::Rect toRect(const SDL_Rect& rect) {
    return {rect.x, rect.y, rect.w, rect.h};
}

static pixels::Area areaOf(SDL_Surface* surface, const layout::Rect& rect) {
    auto* origin = static_cast<uint32_t*>(surface->pixels);
    size_t stride = size_t(surface->pitch) / sizeof(uint32_t);
    return {origin + size_t(rect.y) * stride + size_t(rect.x), stride, int32_t(rect.w),
            int32_t(rect.h)};
}

layout::Rect trustedClip(const SDL_Surface* surface) {
    return layout::intersect(toRect(surface->clip_rect), {0, 0, surface->w, surface->h});
}

// Fills `rect`, cut to the surface's clip rectangle, as SDL_FillRect does.
void fillRect(SDL_Surface* surface, const layout::Rect& rect, uint32_t value) {
    layout::Rect clipped = layout::intersect(rect, trustedClip(surface));
    if (!clipped.empty()) pixels::fill(areaOf(surface, clipped), value);
}

// Whether drawing `source` onto an engine surface needs nothing but a copy or the
// plain blending rule; anything else (alpha or colour modulation, a colour key,
// another blend mode, RLE) goes through SDL's blitter.
static bool isPlainSource(SDL_Surface* source, bool& blends) {
    SDL_BlendMode mode;
    Uint8 alpha, r, g, b;
    if (source->format->format != SDL_PIXELFORMAT_ARGB8888 || SDL_MUSTLOCK(source) ||
        SDL_HasColorKey(source) || SDL_GetSurfaceBlendMode(source, &mode) < 0 ||
        SDL_GetSurfaceAlphaMod(source, &alpha) < 0 ||
        SDL_GetSurfaceColorMod(source, &r, &g, &b) < 0)
        return false;
    blends = mode == SDL_BLENDMODE_BLEND;
    return (blends || mode == SDL_BLENDMODE_NONE) && alpha == 255 && (r & g & b) == 255;
}

// Whether SDL's own clipping can take the rectangle: its edges, far ones included, are
// ints. SDL sums them in int.
static bool sdlCanCut(const layout::Rect& rect) {
    auto fits = [](int64_t value) { return value >= INT_MIN && value <= INT_MAX; };
    return fits(rect.x) && fits(rect.y) && fits(rect.w) && fits(rect.h) && fits(rect.x + rect.w) &&
           fits(rect.y + rect.h);
}

// A surface drawn onto itself is SDL's business, unless it is drawn in place.
SurfacePair pairOf(SDL_Surface* target, SDL_Surface* source) {
    SurfacePair pair{target, source, false, false};
    pair.ownLoops = target->format->format == SDL_PIXELFORMAT_ARGB8888 && !SDL_MUSTLOCK(target) &&
                    target != source && isPlainSource(source, pair.blends);
    return pair;
}

// A placed blit drawn by the engine's own pixel loops.
template <class Placement>
void drawOwn(const SurfacePair& pair, const Placement& placed,
             void (*draw)(const pixels::Area&, const pixels::ConstArea&)) {
    draw(areaOf(pair.target, placed.target), areaOf(pair.source, placed.source));
}

// The placement is worked out here in 64 bits, also for SDL's blitter, which is handed
// only the part that lands inside the clip: SDL's own cutting sums ints and, near the
// end of the int range, lets a blit out of the surface. For any rectangle SDL could
// cut, the part is the one it would cut, so it draws the same pixels.
void drawPart(const SurfacePair& pair, const layout::Rect& from, int64_t x, int64_t y) {
    auto placed =
        blit::unscaled(from, pair.source->w, pair.source->h, x, y, trustedClip(pair.target));
    if (!placed) return;
    if (!pair.ownLoops) {
        SDL_Rect part = toSdlRect(placed->source), position = toSdlRect(placed->target);
        SDL_UpperBlit(pair.source, &part, pair.target, &position);
        return;
    }
    drawOwn(pair, *placed, pair.blends ? pixels::blend : pixels::copy);
}

void drawScaled(const SurfacePair& pair, const layout::Rect& from, const layout::Rect& to) {
    if (from.w == to.w && from.h == to.h) return drawPart(pair, from, to.x, to.y);
    auto largest = pixels::maxScaledSize;
    bool small = !from.empty() && !to.empty() && from.w <= largest && from.h <= largest &&
                 to.w <= largest && to.h <= largest;
    if ((!small || !pair.ownLoops) && sdlCanCut(from) && sdlCanCut(to)) {
        SDL_Rect part = toSdlRect(from), where = toSdlRect(to);
        SDL_UpperBlitScaled(pair.source, &part, pair.target, &where);
        return;
    }
    auto placed = blit::scaled(from, pair.source->w, pair.source->h, to, trustedClip(pair.target));
    if (!placed) return;
    if (!small || !pair.ownLoops) {
        // What SDL_UpperBlitScaled hands its lower half, for rectangles it cannot cut.
        SDL_Rect part = toSdlRect(placed->source), where = toSdlRect(placed->target);
        SDL_LowerBlitScaled(pair.source, &part, pair.target, &where);
        return;
    }
    drawOwn(pair, *placed, pair.blends ? pixels::blendScaled : pixels::copyScaled);
}

void drawSurfacePart(SDL_Surface* target, SDL_Surface* source, const layout::Rect& from, int64_t x,
                     int64_t y) {
    SurfacePair pair = pairOf(target, source);
    // In place onto itself: a copy leaves it as it is, a blend of each pixel with itself.
    if (target == source && x == from.x && y == from.y &&
        target->format->format == SDL_PIXELFORMAT_ARGB8888 && !SDL_MUSTLOCK(target))
        pair.ownLoops = isPlainSource(source, pair.blends);
    drawPart(pair, from, x, y);
}

void drawSurface(SDL_Surface* target, SDL_Surface* source, int64_t x, int64_t y) {
    drawSurfacePart(target, source, {0, 0, source->w, source->h}, x, y);
}

void drawSurfaceScaled(SDL_Surface* target, SDL_Surface* source, const layout::Rect& from,
                       const layout::Rect& to) {
    drawScaled(pairOf(target, source), from, to);
}
