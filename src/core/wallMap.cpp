#include "core/wallMap.hpp"

#include "core/levelGrid.hpp"

namespace collision {

bool WallMap::build(const uint8_t* cells, int32_t width, int32_t height) {
    bits_.clear();
    wordsPerRow_ = 0;
    around_.clear();
    width_ = 0;
    if (width <= 0 || height <= 0) return true; // no cell to read
    if (uint64_t(width) * uint64_t(height) > mostCells) return false;
    size_t columns = size_t(width), rows = size_t(height);
    wordsPerRow_ = (columns + 63) / 64;
    bits_.assign(wordsPerRow_ * rows, 0);
    width_ = columns;
    around_.assign(columns * rows, 0);
    for (size_t y = 0; y < rows; ++y)
        for (size_t x = 0; x < columns; ++x) {
            if (cells[(y * columns + x) * levelGrid::CELL_BYTES] == levelGrid::EMPTY) continue;
            bits_[y * wordsPerRow_ + (x >> 6)] |= uint64_t(1) << (x & 63);
            // The solid cell is the neighbour (-dx, -dy) of the cell (x + dx, y + dy).
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx < 0 && x == 0) || (dx > 0 && x + 1 == columns) || (dy < 0 && y == 0) ||
                        (dy > 0 && y + 1 == rows))
                        continue;
                    around_[(y + size_t(dy)) * columns + (x + size_t(dx))] |=
                        uint16_t(1u << aroundBit(-dx, -dy));
                }
        }
    return true;
}

} // namespace collision
