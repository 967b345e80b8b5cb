// A multimap from addresses to 32-bit values: which of the records a caller keeps name an
// object at a given address. Open addressing with linear probing; an address may be
// entered several times, with the same value or others. Addresses are only compared, never
// followed. No Python, no SDL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class AddressIndex {
  public:
    // Empty, with room for about `expected` entries.
    void clear(size_t expected);
    void insert(const void* address, uint32_t value);
    // One entry of exactly this address and value, if there is one.
    void erase(const void* address, uint32_t value);
    // Every value entered with the address: visit(value).
    template <class Visit> void forEach(const void* address, Visit visit) const {
        if (slots_.empty()) return;
        auto key = reinterpret_cast<uintptr_t>(address);
        for (size_t slot = slotOf(key);; slot = (slot + 1) & mask_) {
            const Entry& entry = slots_[slot];
            if (entry.key == empty) return;
            if (entry.key == key) visit(entry.value);
        }
    }

  private:
    struct Entry {
        uintptr_t key;
        uint32_t value;
    };
    // No object lies at either address.
    static constexpr uintptr_t empty = 0, erased = 1;

    size_t slotOf(uintptr_t key) const {
        // Objects are aligned: the low bits of their addresses carry nothing.
        return size_t((uint64_t(key) >> 4) * 0x9e3779b97f4a7c15ull >> 20) & mask_;
    }
    void rebuild(size_t expected);

    std::vector<Entry> slots_;
    size_t mask_ = 0;
    size_t used_ = 0;   // entries
    size_t erased_ = 0; // slots of erased entries, which probes pass over
};
