// Where SDL's surface blits draw, worked out as SDL works them out, so that the engine
// can draw plain surfaces with its own pixel loops and put every pixel where SDL
// would. No Python, no SDL.
#pragma once

#include "core/layout.hpp"

#include <optional>

namespace blit {

// The part of the source that is drawn and where it lands in the target.
struct Placement {
    layout::Rect source;
    layout::Rect target;
};

// An unscaled blit of `source` (a rectangle of a surface of sourceWidth x sourceHeight)
// with its top-left corner at (x, y), as SDL_UpperBlit places it: the rectangle cut to
// the source surface, then to the clip rectangle, each cut moving the other side with
// it. Nothing when no pixel is left.
std::optional<Placement> unscaled(const layout::Rect& source, int32_t sourceWidth,
                                  int32_t sourceHeight, int32_t x, int32_t y,
                                  const layout::Rect& clip);

// A blit of `source` stretched over `target`, as SDL_UpperBlitScaled places it: the
// cuts to the source surface and to the clip rectangle carried over at the scale in
// double precision, every edge rounded half away from zero, then both rectangles cut
// again. Equal sizes are the unscaled blit's business. Nothing when no pixel is left,
// or when a rounded edge leaves the int range.
std::optional<Placement> scaled(const layout::Rect& source, int32_t sourceWidth,
                                int32_t sourceHeight, const layout::Rect& target,
                                const layout::Rect& clip);

} // namespace blit
