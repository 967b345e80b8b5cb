#include "core/instructions.hpp"

#include <algorithm>
#include <atomic>

namespace instructions {

namespace {

std::atomic<int> widestAllowed{int(Set::avx512)};

Set probe() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq"))
        return Set::avx512;
    if (avx2) return Set::avx2;
#endif
#if defined(__SSE2__)
    return Set::sse2;
#else
    return Set::plain;
#endif
}

} // namespace

Set supported() {
    static const Set widest = probe();
    return widest;
}

Set inUse() {
    return std::min(supported(), Set(widestAllowed.load(std::memory_order_relaxed)));
}

void limit(Set widest) {
    widestAllowed.store(int(widest), std::memory_order_relaxed);
}

} // namespace instructions
