// Where SDL's surface blits draw, worked out as SDL works them out, so that the engine
// can draw plain surfaces with its own pixel loops and put every pixel where SDL
// would. No Python, no SDL.
#pragma once

#include "core/layout.hpp"

#include <optional>

namespace blit {

// The part of the source that is drawn and where it lands in the target: both inside
// their surfaces (the target's inside the clip rectangle), so they fit SDL's rectangles.
struct Placement {
    layout::Rect source;
    layout::Rect target;
};

// An unscaled blit of `source` (a rectangle of a surface of sourceWidth x sourceHeight)
// with its top-left corner at (x, y), as SDL_UpperBlit places it: the rectangle cut to
// the source surface, then to the clip rectangle, each cut moving the other side with
// it. Nothing when no pixel is left. Worked out in 64 bits, so a rectangle or position
// near the ends of the int range is cut where it really lies; `clip` must lie inside
// the target surface.
std::optional<Placement> unscaled(const layout::Rect& source, int32_t sourceWidth,
                                  int32_t sourceHeight, int64_t x, int64_t y,
                                  const layout::Rect& clip);

// A blit of `source` stretched over `target`, as SDL_UpperBlitScaled places it: the
// cuts to the source surface and to the clip rectangle carried over at the scale in
// double precision, every edge rounded half away from zero, then both rectangles cut
// again. Equal sizes are the unscaled blit's business. Nothing when no pixel is left
// (an edge so far out that its rounding is meaningless leaves none either).
std::optional<Placement> scaled(const layout::Rect& source, int32_t sourceWidth,
                                int32_t sourceHeight, const layout::Rect& target,
                                const layout::Rect& clip);

} // namespace blit
