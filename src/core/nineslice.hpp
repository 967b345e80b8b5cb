// Nine-slice geometry: a framed tile cut into a 3x3 grid and spread over a
// rectangle of any size. Corners keep their size, the edges stretch along their
// length, the centre both ways. This computes the nine pieces; the caller blits them.
#pragma once

#include "core/layout.hpp"

#include <array>

namespace nineslice {

// The grid in the tileset: its top-left corner, the three column widths and the
// three row heights.
struct Skin {
    int32_t x, y;
    int32_t leftWidth, middleWidth, rightWidth;
    int32_t topHeight, middleHeight, bottomHeight;
};

struct Piece {
    layout::Rect source;      // in the tileset
    layout::Rect destination; // in the target
    bool scaled;              // stretched to the destination; corners are copied 1:1

    // A piece with no area on either side draws nothing.
    bool drawable() const { return !source.empty() && !destination.empty(); }
};

// The nine pieces in drawing order: row by row from the top, left to right. The
// right column starts at destination.x + w - rightWidth and the bottom row at
// destination.y + h - bottomHeight, whatever the size.
std::array<Piece, 9> pieces(const Skin& skin, const layout::Rect& destination);

} // namespace nineslice
