// Cutting a sheet into frames, and refusing every frame that a restored state could
// place outside its sheet.
#include "check.hpp"
#include "core/spriteSheet.hpp"

#include <climits>

NATIVE_TEST(framesAreNumberedRowByRowFromTheTopLeft) {
    sprites::Grid grid = sprites::gridOf(64, 32, 4, 2);
    CHECK_EQ(grid.frameWidth, 16);
    CHECK_EQ(grid.frameHeight, 16);
    sprites::Rect rect;
    CHECK(sprites::frameRect(grid, 5, 64, 32, rect));
    CHECK_EQ(rect.x, 16);
    CHECK_EQ(rect.y, 16);
    CHECK_EQ(rect.width, 16);
    CHECK_EQ(rect.height, 16);
    CHECK(sprites::frameRect(grid, 7, 64, 32, rect));
    CHECK_EQ(rect.x, 48);
    CHECK(!sprites::frameRect(grid, 8, 64, 32, rect)); // past the last row
}

NATIVE_TEST(pixelsLeftOverAtTheEdgesBelongToNoFrame) {
    sprites::Grid grid = sprites::gridOf(70, 20, 4, 3);
    CHECK_EQ(grid.frameWidth, 17);
    CHECK_EQ(grid.frameHeight, 6);
    sprites::Rect rect;
    CHECK(sprites::frameRect(grid, 11, 70, 20, rect));
    CHECK_EQ(rect.x + rect.width, 68);
    CHECK_EQ(rect.y + rect.height, 18);
}

NATIVE_TEST(gridsThatDoNotFitTheirSheetGiveNoFrame) {
    struct Case {
        sprites::Grid grid;
        int32_t frame;
    } cases[] = {
        {{16, 16, 0, 2}, 0},                       // no columns
        {{16, 16, 4, 0}, 0},                       // no rows
        {{0, 16, 4, 2}, 0},                        // sheet narrower than its columns
        {{16, -3, 4, 2}, 0},                       // a negative frame size
        {{16, 16, 4, 2}, -1},                      // a negative frame
        {{16, 16, 4, 2}, INT_MIN},                 // the most negative one
        {{100, 16, 4, 2}, 1},                      // frames wider than the sheet
        {{INT_MAX, INT_MAX, 4, 4}, 5},             // sizes whose products overflow 32 bits
        {{16, 16, INT_MAX, INT_MAX}, INT_MAX - 1}, // a far column: 64-bit offset
    };
    for (const Case& c : cases) {
        sprites::Rect rect{1, 2, 3, 4};
        CHECK(!sprites::frameRect(c.grid, c.frame, 64, 32, rect));
        CHECK_EQ(rect.x, 1); // left as it was
    }
}
