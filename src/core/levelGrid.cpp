#include "core/levelGrid.hpp"

#include <atomic>
#include <cstring>

namespace levelGrid {

bool gridBytes(int32_t width, int32_t height, uint64_t limit, size_t& out) {
    if (width < 0 || height < 0) return false;
    // Below 2^62 as a product of two 31-bit numbers; times 7 it can pass 2^64.
    uint64_t cells = uint64_t(width) * uint64_t(height);
    uint64_t bytes;
    if (__builtin_mul_overflow(cells, uint64_t(CELL_BYTES), &bytes) || bytes > limit ||
        bytes > SIZE_MAX)
        return false;
    out = size_t(bytes);
    return true;
}

uint64_t Cells::nextTag() noexcept {
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

bool Cells::allocate(size_t bytes, Cells& out) noexcept {
    // calloc(0) may give null: an empty grid needs no memory.
    uint8_t* memory = bytes ? static_cast<uint8_t*>(std::calloc(bytes, 1)) : nullptr;
    if (bytes && !memory) return false;
    out.bytes_.reset(memory);
    out.size_ = bytes;
    out.tag_ = nextTag();
    return true;
}

void buildWalled(uint8_t* cells, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    std::memset(cells, 0, size_t(width) * size_t(height) * CELL_BYTES);
    for (int32_t x = 0; x < width; ++x) {
        cells[offset(width, x, 0, BLOCK)] = SQUARE;
        cells[offset(width, x, height - 1, BLOCK)] = SQUARE;
    }
    for (int32_t y = 0; y < height; ++y) {
        cells[offset(width, 0, y, BLOCK)] = SQUARE;
        cells[offset(width, width - 1, y, BLOCK)] = SQUARE;
    }
}

} // namespace levelGrid
