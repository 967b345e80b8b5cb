#include "core/wallMap.hpp"

#include "core/levelGrid.hpp"

namespace collision {

bool WallMap::build(const uint8_t* cells, int32_t width, int32_t height) {
    bits_.clear();
    wordsPerRow_ = 0;
    if (width <= 0 || height <= 0) return true; // no cell to read
    if (uint64_t(width) * uint64_t(height) > mostCells) return false;
    wordsPerRow_ = (size_t(width) + 63) / 64;
    bits_.assign(wordsPerRow_ * size_t(height), 0);
    for (size_t y = 0; y < size_t(height); ++y)
        for (size_t x = 0; x < size_t(width); ++x)
            if (cells[(y * size_t(width) + x) * levelGrid::CELL_BYTES] != levelGrid::EMPTY)
                bits_[y * wordsPerRow_ + (x >> 6)] |= uint64_t(1) << (x & 63);
    return true;
}

} // namespace collision
