// The one choice of instruction set that the pixel loops and the raycaster follow.
#include "check.hpp"
#include "core/instructions.hpp"

#include <algorithm>

using instructions::Set;

NATIVE_TEST(theWidestSupportedSetIsUsedUnlessLimited) {
    CHECK(instructions::inUse() == instructions::supported());
#if defined(__SSE2__)
    CHECK(instructions::supported() >= Set::sse2);
#endif
    for (Set set : {Set::plain, Set::sse2, Set::avx2, Set::avx512}) {
        instructions::limit(set);
        CHECK(instructions::inUse() == std::min(set, instructions::supported()));
    }
    instructions::limit(Set::avx512);
    CHECK(instructions::inUse() == instructions::supported());
}
