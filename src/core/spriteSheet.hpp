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

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The grid of a sheet: the frame size is the sheet size divided by the counts,
// truncated; what is left over at the right and bottom edges belongs to no frame.
// `columns` and `rows` are at least 1.
Grid gridOf(int32_t sheetWidth, int32_t sheetHeight, int32_t columns, int32_t rows);

// Frame n lies in column n mod columns and row n div columns. False when there is no
// such frame to draw: the grid has a count below 1 or an empty frame, the frame is
// negative or past the last row, or its rectangle leaves the sheet. A grid restored
// from a pickled state may hold any numbers, so every reader goes through here.
bool frameRect(const Grid& grid, int32_t frame, int32_t sheetWidth, int32_t sheetHeight, Rect& out);

} // namespace sprites
