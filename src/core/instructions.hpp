// The instruction sets that the core's vector loops are built for: what the processor
// has, probed once, and the one choice that the pixel loops and the raycaster's tile
// drawer both follow. Every set gives the same results byte for byte; only the speed
// differs.
#pragma once

namespace instructions {

// Narrowest first. The pixel loops have plain, SSE2 and AVX2 loops (AVX-512 runs the
// AVX2 ones); the tile drawer has a baseline build (compiled for the target's baseline,
// which is SSE2 on x86-64, and run for plain and SSE2 alike), an AVX2 and an AVX-512 one.
enum class Set { plain, sse2, avx2, avx512 };

// The widest set the processor has. AVX-512 counts only with AVX2 and AVX-512's F, BW
// and DQ parts, which the tile drawer uses together.
Set supported();

// The set in use: the widest one supported, at most the limit (AVX-512 unless changed).
Set inUse();

// Uses at most `widest` from now on, for tests that compare the sets and benchmarks that
// time them.
void limit(Set widest);

} // namespace instructions
