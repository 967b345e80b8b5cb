#include "core/nineslice.hpp"

#include <cstddef>

namespace nineslice {

std::array<Piece, 9> pieces(const Skin& s, const layout::Rect& d) {
    // Columns and rows: where each starts and how wide (or high) it is, in the
    // tileset and in the target. In 64 bits: a piece near the end of the int range
    // stays where it is instead of wrapping round to the other end.
    int64_t middleWidth = d.w - s.leftWidth - s.rightWidth;
    int64_t middleHeight = d.h - s.topHeight - s.bottomHeight;
    int64_t sourceX[3] = {s.x, int64_t(s.x) + s.leftWidth,
                          int64_t(s.x) + s.leftWidth + s.middleWidth};
    int64_t sourceY[3] = {s.y, int64_t(s.y) + s.topHeight,
                          int64_t(s.y) + s.topHeight + s.middleHeight};
    int64_t sourceW[3] = {s.leftWidth, s.middleWidth, s.rightWidth};
    int64_t sourceH[3] = {s.topHeight, s.middleHeight, s.bottomHeight};
    int64_t targetX[3] = {d.x, d.x + s.leftWidth, d.x + s.leftWidth + middleWidth};
    int64_t targetY[3] = {d.y, d.y + s.topHeight, d.y + s.topHeight + middleHeight};
    int64_t targetW[3] = {s.leftWidth, middleWidth, s.rightWidth};
    int64_t targetH[3] = {s.topHeight, middleHeight, s.bottomHeight};
    std::array<Piece, 9> result;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            result[size_t(row * 3 + column)] = {
                {sourceX[column], sourceY[row], sourceW[column], sourceH[row]},
                {targetX[column], targetY[row], targetW[column], targetH[row]},
                row == 1 || column == 1};
    return result;
}

} // namespace nineslice
