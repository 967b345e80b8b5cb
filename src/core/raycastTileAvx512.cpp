// The tile drawer built for AVX-512, run where the instruction set in use has it: the
// bands of sixteen columns, with the AVX2 build's eight-column code beside them. Built
// as the AVX2 one is (raycastTileAvx2.cpp): no fused multiply-add, nothing shared.
#include "core/raycastPlan.hpp"
#include "core/raycastShading.hpp"

#include <cmath>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>

namespace raycast::plan {

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq")
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

const Build* avx512Build() {
    static const Build build{avx512::drawTile, avx512::drawSkyRows};
    return &build;
}

} // namespace raycast::plan

#else

const raycast::plan::Build* raycast::plan::avx512Build() {
    return nullptr;
}

#endif
