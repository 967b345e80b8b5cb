#include "core/spriteSheet.hpp"

namespace sprites {

Grid gridOf(int32_t sheetWidth, int32_t sheetHeight, int32_t columns, int32_t rows) {
    return {sheetWidth / columns, sheetHeight / rows, columns, rows};
}

} // namespace sprites
