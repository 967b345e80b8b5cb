#include "core/addressIndex.hpp"

void AddressIndex::clear(size_t expected) {
    size_t slots = 16;
    while (slots < 2 * expected)
        slots *= 2;
    slots_.assign(slots, {empty, 0});
    mask_ = slots - 1;
    used_ = erased_ = 0;
}

void AddressIndex::rebuild(size_t expected) {
    std::vector<Entry> entries;
    entries.reserve(used_);
    for (const Entry& entry : slots_)
        if (entry.key != empty && entry.key != erased) entries.push_back(entry);
    clear(expected);
    for (const Entry& entry : entries)
        insert(reinterpret_cast<const void*>(entry.key), entry.value);
}

void AddressIndex::insert(const void* address, uint32_t value) {
    // At most half the slots taken, erased ones included: probes stay short.
    if (2 * (used_ + erased_ + 1) > slots_.size()) rebuild(2 * (used_ + 1));
    auto key = reinterpret_cast<uintptr_t>(address);
    // Into the first erased slot on the way, if any: probes pass over it either way.
    size_t slot = slotOf(key);
    while (slots_[slot].key != empty && slots_[slot].key != erased)
        slot = (slot + 1) & mask_;
    if (slots_[slot].key == erased) --erased_;
    slots_[slot] = {key, value};
    ++used_;
}

void AddressIndex::erase(const void* address, uint32_t value) {
    if (slots_.empty()) return;
    auto key = reinterpret_cast<uintptr_t>(address);
    for (size_t slot = slotOf(key); slots_[slot].key != empty; slot = (slot + 1) & mask_) {
        if (slots_[slot].key == key && slots_[slot].value == value) {
            slots_[slot].key = erased;
            --used_;
            ++erased_;
            return;
        }
    }
}
