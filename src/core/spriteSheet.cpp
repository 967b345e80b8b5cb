#include "core/spriteSheet.hpp"

namespace sprites {

Grid gridOf(int32_t sheetWidth, int32_t sheetHeight, int32_t columns, int32_t rows) {
    return {sheetWidth / columns, sheetHeight / rows, columns, rows};
}

bool frameRect(const Grid& grid, int32_t frame, int32_t sheetWidth, int32_t sheetHeight,
               Rect& out) {
    if (grid.columns < 1 || grid.rows < 1 || grid.frameWidth < 1 || grid.frameHeight < 1 ||
        frame < 0)
        return false;
    int32_t column = frame % grid.columns;
    int32_t row = frame / grid.columns;
    if (row >= grid.rows) return false;
    // 64 bits: a count times a frame size of 32 bits each cannot overflow them.
    int64_t x = int64_t(column) * grid.frameWidth;
    int64_t y = int64_t(row) * grid.frameHeight;
    if (x + grid.frameWidth > sheetWidth || y + grid.frameHeight > sheetHeight) return false;
    out = {int32_t(x), int32_t(y), grid.frameWidth, grid.frameHeight};
    return true;
}

} // namespace sprites
