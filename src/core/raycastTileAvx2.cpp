// The tile drawer built for AVX2, chosen at run time on processors that have it. The
// instruction set changes only how many lanes one instruction handles, never a value:
// no fused multiply-add is enabled. Everything this file includes is compiled before
// the target switch, so that no shared inline function is built for AVX2.
#include "core/raycastPlan.hpp"
#include "core/raycastShading.hpp"

#include <cmath>
#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace raycast::plan {

#if defined(__x86_64__)

#pragma GCC push_options
#pragma GCC target("avx2")
#define TILE_EIGHT_COLUMNS
#define TILE_HAS_GATHER
namespace avx2 {
#include "core/raycastTile.inc"
} // namespace avx2
#undef TILE_EIGHT_COLUMNS
#undef TILE_HAS_GATHER
#pragma GCC pop_options

bool avx2Available() {
    return __builtin_cpu_supports("avx2");
}

void drawTileAvx2(const Plan& plan, int32_t x0, int32_t x1) {
    avx2::drawTile(plan, x0, x1);
}

void drawSkyRowsAvx2(const Plan& plan, int32_t y0, int32_t y1) {
    avx2::drawSkyRows(plan, y0, y1);
}

#else

bool avx2Available() {
    return false;
}

void drawTileAvx2(const Plan& plan, int32_t x0, int32_t x1) {
    drawTileBaseline(plan, x0, x1);
}

void drawSkyRowsAvx2(const Plan& plan, int32_t y0, int32_t y1) {
    drawSkyRowsBaseline(plan, y0, y1);
}

#endif

} // namespace raycast::plan
