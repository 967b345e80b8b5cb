// The tile drawer built for AVX2, run where the instruction set in use has it. The
// instruction set changes only how many lanes one instruction handles, never a value:
// no fused multiply-add is enabled. Everything this file includes is compiled before
// the target switch, so that no shared inline function is built for AVX2.
#include "core/raycastPlan.hpp"
#include "core/raycastShading.hpp"

#include <cmath>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>

namespace raycast::plan {

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

const Build* avx2Build() {
    static const Build build{avx2::drawTile, avx2::drawSkyRows};
    return &build;
}

} // namespace raycast::plan

#else

const raycast::plan::Build* raycast::plan::avx2Build() {
    return nullptr;
}

#endif
