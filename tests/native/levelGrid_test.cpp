// The level grid: byte counts that refuse negative and overflowing sizes, cell
// offsets in 64 bits, and the walled grid.
#include "check.hpp"
#include "core/levelGrid.hpp"

#include <climits>
#include <cstdint>
#include <vector>

NATIVE_TEST(gridBytesAreSevenPerCell) {
    size_t bytes = 1;
    CHECK(levelGrid::gridBytes(30, 30, UINT64_MAX, bytes));
    CHECK_EQ(bytes, 6300u);
    CHECK(levelGrid::gridBytes(0, 5, UINT64_MAX, bytes));
    CHECK_EQ(bytes, 0u);
    CHECK(levelGrid::gridBytes(1024, 1024, UINT64_MAX, bytes));
    CHECK_EQ(bytes, 7340032u);
}

NATIVE_TEST(gridBytesRefuseWhatNoArrayCanHold) {
    struct Case {
        int32_t width, height;
        uint64_t limit;
    } cases[] = {
        {-1, 5, UINT64_MAX},                // negative
        {5, INT32_MIN, UINT64_MAX},         // negative
        {-2, -3, UINT64_MAX},               // both negative: their product is not a size
        {INT32_MAX, INT32_MAX, UINT64_MAX}, // 7 * (2^31 - 1)^2 passes 2^64
        {3, 3, 62},                         // over the caller's limit
    };
    for (const Case& c : cases) {
        size_t bytes = 11;
        CHECK(!levelGrid::gridBytes(c.width, c.height, c.limit, bytes));
        CHECK_EQ(bytes, 11u); // left as it was
    }
    size_t bytes = 0;
    CHECK(levelGrid::gridBytes(3, 3, 63, bytes)); // exactly the limit
}

NATIVE_TEST(offsetsAreComputedIn64Bits) {
    // (y * width + x) * 7 for the last cell of a huge grid passes 32 bits.
    size_t last = levelGrid::offset(INT32_MAX, INT32_MAX - 1, INT32_MAX - 1, levelGrid::WEST);
    CHECK(last == (size_t(INT32_MAX - 1) * size_t(INT32_MAX) + size_t(INT32_MAX - 1)) * 7 + 6);
    CHECK_EQ(levelGrid::offset(30, 2, 1, levelGrid::FLOOR), size_t((1 * 30 + 2) * 7 + 1));
    CHECK(levelGrid::inside(30, 30, 0, 29));
    CHECK(!levelGrid::inside(30, 30, 30, 0));
    CHECK(!levelGrid::inside(30, 30, -1, 0));
    CHECK(!levelGrid::inside(0, 0, 0, 0));
}

NATIVE_TEST(cellsAreZeroedAndOwned) {
    levelGrid::Cells cells;
    CHECK(levelGrid::Cells::allocate(6300, cells));
    CHECK_EQ(cells.size(), 6300u);
    for (size_t i = 0; i < cells.size(); ++i)
        CHECK_EQ(cells.data()[i], 0);
    levelGrid::Cells empty;
    CHECK(levelGrid::Cells::allocate(0, empty));
    CHECK_EQ(empty.size(), 0u);
    CHECK(levelGrid::Cells::allocate(14, cells)); // replaces the array it had
    CHECK_EQ(cells.size(), 14u);
}

NATIVE_TEST(walledGridHasSquaresAllRound) {
    std::vector<uint8_t> cells(5 * 4 * levelGrid::CELL_BYTES, 0xAB);
    levelGrid::buildWalled(cells.data(), 5, 4);
    int walls = 0;
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 5; ++x) {
            bool border = x == 0 || y == 0 || x == 4 || y == 3;
            CHECK_EQ(cells[levelGrid::offset(5, x, y, levelGrid::BLOCK)],
                     border ? levelGrid::SQUARE : levelGrid::EMPTY);
            walls += border;
            for (size_t k = 1; k < levelGrid::CELL_BYTES; ++k)
                CHECK_EQ(cells[levelGrid::offset(5, x, y, k)], 0);
        }
    CHECK_EQ(walls, 14);
    std::vector<uint8_t> one(levelGrid::CELL_BYTES, 0xAB);
    levelGrid::buildWalled(one.data(), 1, 1);
    CHECK_EQ(one[0], levelGrid::SQUARE);
    CHECK_EQ(one[6], 0);
}
