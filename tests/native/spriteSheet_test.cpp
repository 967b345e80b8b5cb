// Cutting a sheet into frames.
#include "check.hpp"
#include "core/spriteSheet.hpp"

NATIVE_TEST(framesDivideTheSheetByTheCounts) {
    sprites::Grid grid = sprites::gridOf(64, 32, 4, 2);
    CHECK_EQ(grid.frameWidth, 16);
    CHECK_EQ(grid.frameHeight, 16);
    CHECK_EQ(grid.columns, 4);
    CHECK_EQ(grid.rows, 2);
}

NATIVE_TEST(pixelsLeftOverAtTheEdgesBelongToNoFrame) {
    sprites::Grid grid = sprites::gridOf(70, 20, 4, 3);
    CHECK_EQ(grid.frameWidth, 17);
    CHECK_EQ(grid.frameHeight, 6);
}
