// A level's grid: width x height cells of seven bytes, row by row, with no header and
// no padding: the layout of the level's cell file. Plain data and arithmetic for the
// renderer and the movement code, which read the grid in every ray step; no Python,
// no SDL.
//
// Cell (x, y) starts at byte (y * width + x) * 7; its bytes are the block type, then
// the texture indices of the floor, the ceiling and the north, east, south and west
// faces. A floor or ceiling byte of 255 means "no texture". Texture indices are
// positions in the level's texture array; nothing guarantees that a byte lies below
// the array's count (a saved empty level names texture 0 and has none), so readers go
// through View::texture.
#pragma once

#include "core/pixels.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

namespace levelGrid {

constexpr size_t CELL_BYTES = 7;

enum CellByte : uint8_t {
    BLOCK = 0, // the block type
    FLOOR = 1,
    CEILING = 2,
    NORTH = 3, // the face at the cell's low-y edge
    EAST = 4,
    SOUTH = 5,
    WEST = 6,
};

enum BlockType : uint8_t {
    EMPTY = 0,
    SQUARE = 1,
    TRIANGLE_NORTH_WEST = 2,
    TRIANGLE_NORTH_EAST = 3,
    TRIANGLE_SOUTH_EAST = 4,
    TRIANGLE_SOUTH_WEST = 5,
};

constexpr uint8_t TEXTURE_NONE = 255; // in a floor or ceiling byte

// The byte count of a width x height grid, in 64 bits: false when a size is negative
// or the count exceeds `limit`.
bool gridBytes(int32_t width, int32_t height, uint64_t limit, size_t& out);

constexpr bool inside(int32_t width, int32_t height, int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x < width && y < height;
}

// Byte `k` of cell (x, y), for a cell inside the grid and k below CELL_BYTES.
constexpr size_t offset(int32_t width, int32_t x, int32_t y, size_t k) {
    return (size_t(y) * size_t(width) + size_t(x)) * CELL_BYTES + k;
}

// An owned, zero-filled cell array of a fixed size. Zero-filled by calloc: a large
// array read from a file is written once, not cleared first.
//
// Its tag tells contents apart: whoever derives something from the bytes (the movement
// code's map of solid cells) keeps the tag with it and knows it still holds while the
// tag is the same. The tag changes whenever the bytes may change, that is whenever a
// writable pointer is handed out, and comes from one counter for all arrays, so no two
// contents ever share one. Readers take the bytes through a const array.
class Cells {
  public:
    Cells() noexcept = default;
    Cells(Cells&& other) noexcept { *this = std::move(other); }
    Cells& operator=(Cells&& other) noexcept {
        bytes_ = std::move(other.bytes_);
        size_ = std::exchange(other.size_, 0);
        tag_ = std::exchange(other.tag_, nextTag());
        return *this;
    }
    // `bytes` zeroed bytes; false (and nothing changed) when they cannot be had.
    static bool allocate(size_t bytes, Cells& out) noexcept;

    uint8_t* data() noexcept {
        tag_ = nextTag();
        return bytes_.get();
    }
    const uint8_t* data() const noexcept { return bytes_.get(); }
    size_t size() const noexcept { return size_; }
    uint64_t tag() const noexcept { return tag_; }

  private:
    static uint64_t nextTag() noexcept;

    struct Free {
        void operator()(uint8_t* bytes) const noexcept { std::free(bytes); }
    };
    std::unique_ptr<uint8_t[], Free> bytes_;
    size_t size_ = 0;
    uint64_t tag_ = nextTag();
};

// Every byte 0 (empty cells, texture 0 everywhere), then square blocks all round the
// border: the rows y = 0 and y = height - 1 and the columns x = 0 and x = width - 1.
// `cells` holds exactly the grid's bytes.
void buildWalled(uint8_t* cells, int32_t width, int32_t height);

// The level's fogs: packed colours 0xAARRGGBB and densities.
struct Fog {
    uint32_t color;
    int32_t density;
    uint32_t groundColor;
    int32_t groundDensity;
};

// What the renderer and the movement code read of a level. Taken from the level at the
// start of a frame; valid until Python code next runs (which may reload the level or
// re-initialise one of its textures).
struct View {
    const uint8_t* cells = nullptr; // width * height * CELL_BYTES bytes; null for none
    size_t cellBytes = 0;
    int32_t width = 0;
    int32_t height = 0;
    // By texture index: textureCount areas; an area whose texture has no surface is
    // empty (null pixels, 0 x 0).
    const pixels::ConstArea* textures = nullptr;
    size_t textureCount = 0;
    pixels::ConstArea sky; // empty when the level has no sky
    Fog fog{};
};

} // namespace levelGrid
