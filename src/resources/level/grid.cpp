// The level's grid and surface array, replaced only whole and only where their
// invariants hold at once (resources/level.hpp).
#include "resources/level.hpp"

#include "resources/level/parts.hpp"

#include <new>
#include <utility>

namespace levelParts {

bool resizeGrid(Level* level, int32_t width, int32_t height) {
    if (width == level->width && height == level->height) return true;
    size_t bytes;
    levelGrid::Cells cells;
    if (!levelGrid::gridBytes(width, height, uint64_t(PY_SSIZE_T_MAX), bytes) ||
        !levelGrid::Cells::allocate(bytes, cells)) {
        PyErr_NoMemory();
        return false;
    }
    level->width = width;
    level->height = height;
    level->native.cells = std::move(cells);
    return true;
}

bool setSurfaceTextures(Level* level, std::vector<py::Ref> textures) {
    std::vector<pixels::ConstArea> areas;
    try {
        areas.resize(textures.size());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        return false;
    }
    std::swap(level->native.surfaceTextures, textures);
    level->native.surfaceAreas = std::move(areas);
    return true; // the old textures are released as `textures` ends
}

} // namespace levelParts
