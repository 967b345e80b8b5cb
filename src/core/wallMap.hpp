// Which cells of a level's grid hold a block, one bit per cell, and for each cell which
// of the nine cells around it (itself included) do. The movement pass tells from them that
// no wall lies within a mover's reach: a few bits that stay in the nearest cache, where
// the cells themselves (seven bytes each, a row apart from their neighbours above and
// below) would be fetched from farther for every mover. Most movers stand where none of
// the nine is solid, which one load of the neighbourhood tells. No Python, no SDL.
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

    // The solid cells of the three by three block centred on cell (x, y), which lies
    // inside the grid: bit aroundBit(dx, dy) stands for cell (x + dx, y + dy). Cells
    // beyond the grid's edge are not solid.
    uint16_t around(size_t x, size_t y) const { return around_[y * width_ + x]; }
    static constexpr unsigned aroundBit(int dx, int dy) { return unsigned(3 * (dy + 1) + dx + 1); }

  private:
    std::vector<uint64_t> bits_;
    size_t wordsPerRow_ = 0;
    std::vector<uint16_t> around_;
    size_t width_ = 0;
};

} // namespace collision
