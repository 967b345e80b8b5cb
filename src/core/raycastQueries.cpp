#include "core/raycastQueries.hpp"

#include "core/raycastShading.hpp"

namespace raycast {

ScreenPoint screenToWorld(const RayHit& column, double y, int32_t height, int32_t pitch,
                          double ratio, const Vec2& cameraPos) {
    double horizon = 0.5 * height + pitch;
    double base = height / ratio;
    // The wall's half height, truncated (the drawing rounds instead).
    int32_t half = 0;
    if (!column.outOfMap && column.dist != 0.0) half = truncSaturated(base / column.dist);
    ScreenPoint point;
    double rowDist;
    if (y > horizon + half) {
        point.kind = levelGrid::FLOOR;
        rowDist = base / (y - horizon);
    } else if (y < horizon - half) {
        point.kind = levelGrid::CEILING;
        rowDist = base / (horizon - y);
    } else {
        point.kind = column.side;
        point.cellX = column.cellX;
        point.cellY = column.cellY;
        return point;
    }
    point.world.x = cameraPos.x + column.rayDir.x * rowDist;
    point.world.y = cameraPos.y + column.rayDir.y * rowDist;
    return point;
}

} // namespace raycast
