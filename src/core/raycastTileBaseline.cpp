// The tile drawer for the baseline instruction set (SSE2 on x86-64).
#include "core/raycastPlan.hpp"
#include "core/raycastShading.hpp"

#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace raycast::plan {

// Its vectors wider than the baseline registers never cross a function boundary that
// another file sees, so the calling convention the compiler warns about does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#if defined(__SSE2__)
#define TILE_FOUR_COLUMNS
#endif
namespace baseline {
#include "core/raycastTile.inc"
} // namespace baseline
#undef TILE_FOUR_COLUMNS

const Build& baselineBuild() {
    static const Build build{baseline::drawTile, baseline::drawSkyRows};
    return build;
}

} // namespace raycast::plan
