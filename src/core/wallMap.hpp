// Which cells of a level's grid hold a block, one bit per cell. The movement pass tells
// from it that no wall lies within a mover's reach: a few bits that stay in the nearest
// cache, where the cells themselves (seven bytes each, a row apart from their neighbours
// above and below) would be fetched from farther for every mover. No Python, no SDL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace collision {

class WallMap {
  public:
    // The largest grid mapped: a bigger one is read from its cells directly.
    static constexpr uint64_t mostCells = uint64_t(1) << 22;

    // Maps the grid; false (and nothing mapped) when it is larger than mostCells.
    bool build(const uint8_t* cells, int32_t width, int32_t height);

    // Whether cell (x, y), which lies inside the grid, holds a block.
    bool solid(size_t x, size_t y) const {
        return (bits_[y * wordsPerRow_ + (x >> 6)] >> (x & 63)) & 1u;
    }

  private:
    std::vector<uint64_t> bits_;
    size_t wordsPerRow_ = 0;
};

} // namespace collision
