// The tile drawer built for AVX-512, chosen at run time on processors that have it: the
// bands of sixteen columns, with the AVX2 build's eight-column code beside them. The
// instruction set changes only how many lanes one instruction handles, never a value:
// no fused multiply-add is enabled. Everything this file includes is compiled before
// the target switch, so that no shared inline function is built for AVX-512.
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
#pragma GCC target("avx2,avx512f,avx512bw")
// GCC 12's AVX-512 intrinsics start their results from a deliberately undefined vector,
// which its own uninitialised-value analysis then reports (GCC bug 105593).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define TILE_EIGHT_COLUMNS
#define TILE_SIXTEEN_COLUMNS
#define TILE_HAS_GATHER
namespace avx512 {
#include "core/raycastTile.inc"
} // namespace avx512
#undef TILE_EIGHT_COLUMNS
#undef TILE_SIXTEEN_COLUMNS
#undef TILE_HAS_GATHER
#pragma GCC diagnostic pop
#pragma GCC pop_options

bool avx512Available() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
           __builtin_cpu_supports("avx512bw");
}

void drawTileAvx512(const Plan& plan, int32_t x0, int32_t x1) {
    avx512::drawTile(plan, x0, x1);
}

#else

bool avx512Available() {
    return false;
}

void drawTileAvx512(const Plan& plan, int32_t x0, int32_t x1) {
    drawTileAvx2(plan, x0, x1);
}

#endif

} // namespace raycast::plan
