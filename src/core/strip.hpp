// Three-piece strips: a skin made of a first cap, a middle piece and a last cap lying
// side by side in the tileset, spread along one axis of a rectangle of any length.
// The caps are copied 1:1, the middle piece is copied 1:1 as many whole times as fit
// between them, and what is left is the middle piece squeezed to the remaining length.
// Buttons draw their skin this way along x, sliders their track along x or y. This
// works out the pieces; the caller blits them. No Python, no SDL.
#pragma once

#include "core/layout.hpp"

#include <cstdint>

namespace strip {

enum class Axis { x, y };

// The skin in the tileset: the first cap's corner, the three lengths along the axis
// and the thickness across it, all as the theme gives them.
struct Skin {
    int32_t x, y;
    int32_t first, middle, last;
    int32_t thickness;
};

struct Piece {
    layout::Rect source;      // in the tileset
    layout::Rect destination; // in the target
    bool scaled;              // the squeezed remainder; the others are copied 1:1

    // A piece without area on either side draws nothing.
    bool drawable() const { return !source.empty() && !destination.empty(); }
};

// Where the pieces of a strip `length` long at (x, y) go. `count` whole middle pieces
// follow the first cap; only those numbered [from, to) can meet `visible` (the
// target's clip rectangle), since every piece stays inside its own destination: the
// others would draw nothing, so the work stays bounded by what can be seen.
struct Plan {
    bool divides; // false for a middle of 0: only the first cap can be drawn
    Piece first;
    int64_t count; // (length - first - last) / middle, truncated toward zero
    int64_t from, to;
    Piece rest; // drawable only when something is left after the whole pieces
    Piece last;

    // The k-th whole middle piece.
    Piece middle(int64_t k) const;

    Skin skin;
    Axis axis;
    int64_t x, y;
};

// Worked out in 64 bits: `x`, `y` and `length` come from a widget's 32-bit fields, and
// the pieces at its far end lie where they are, also beyond the int range.
Plan plan(const Skin& skin, Axis axis, int64_t x, int64_t y, int64_t length,
          const layout::Rect& visible);

} // namespace strip
