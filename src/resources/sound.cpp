#include "resources/sound.hpp"

#include <atomic>

namespace {
std::atomic<int32_t> pendingMusicStops{0};
}

void addMusicStop() { pendingMusicStops.fetch_add(1); }

bool takeMusicStop() {
    int32_t pending = pendingMusicStops.load();
    while (pending > 0)
        if (pendingMusicStops.compare_exchange_weak(pending, pending - 1)) return true;
    return false;
}
