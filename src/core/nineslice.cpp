#include "core/nineslice.hpp"

namespace nineslice {

using layout::add;
using layout::sub;

std::array<Piece, 9> pieces(const Skin& s, const layout::Rect& d) {
    // Columns and rows: where each starts and how wide (or high) it is, in the
    // tileset and in the target.
    int32_t middleWidth = sub(sub(d.w, s.leftWidth), s.rightWidth);
    int32_t middleHeight = sub(sub(d.h, s.topHeight), s.bottomHeight);
    int32_t sourceX[3] = {s.x, add(s.x, s.leftWidth), add(add(s.x, s.leftWidth), s.middleWidth)};
    int32_t sourceY[3] = {s.y, add(s.y, s.topHeight), add(add(s.y, s.topHeight), s.middleHeight)};
    int32_t sourceW[3] = {s.leftWidth, s.middleWidth, s.rightWidth};
    int32_t sourceH[3] = {s.topHeight, s.middleHeight, s.bottomHeight};
    int32_t targetX[3] = {d.x, add(d.x, s.leftWidth), add(add(d.x, s.leftWidth), middleWidth)};
    int32_t targetY[3] = {d.y, add(d.y, s.topHeight), add(add(d.y, s.topHeight), middleHeight)};
    int32_t targetW[3] = {s.leftWidth, middleWidth, s.rightWidth};
    int32_t targetH[3] = {s.topHeight, middleHeight, s.bottomHeight};
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
