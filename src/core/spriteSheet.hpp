// Sprite sheets: a sheet is cut into a grid of equal frames, `columns` across and `rows`
// down, numbered row by row from the top left. Plain arithmetic, no Python, no SDL.
#pragma once

#include <cstdint>

namespace sprites {

struct Grid {
    int32_t frameWidth = 0; // pixels
    int32_t frameHeight = 0;
    int32_t columns = 0;
    int32_t rows = 0;
};

// The grid of a sheet: the frame size is the sheet size divided by the counts,
// truncated; what is left over at the right and bottom edges belongs to no frame.
// `columns` and `rows` are at least 1.
Grid gridOf(int32_t sheetWidth, int32_t sheetHeight, int32_t columns, int32_t rows);

} // namespace sprites
