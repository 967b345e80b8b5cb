#include "check.hpp"
#include "core/addressIndex.hpp"

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace {

std::vector<uint32_t> valuesOf(const AddressIndex& index, const void* address) {
    std::vector<uint32_t> values;
    index.forEach(address, [&](uint32_t value) { values.push_back(value); });
    std::sort(values.begin(), values.end());
    return values;
}

} // namespace

// Addresses entered, some several times, and erased again in any order, against a plain
// multimap: every address answers exactly its values, through growth and through slots
// that erased entries left and later entries take again.
NATIVE_TEST(theAddressIndexAnswersWhatWasEnteredAndNotErased) {
    std::mt19937_64 random(3);
    // Aligned like objects, crowded into few slots' worth of addresses.
    std::vector<char> block(64 * 1024);
    auto address = [&](size_t k) { return static_cast<const void*>(block.data() + 16 * k); };
    for (size_t expected : {size_t(0), size_t(10), size_t(1000)}) {
        AddressIndex index;
        index.clear(expected);
        std::multimap<const void*, uint32_t> plain;
        for (int step = 0; step < 20000; ++step) {
            const void* at = address(random() % 600);
            if (random() % 3 != 0 || plain.empty()) {
                auto value = uint32_t(random() % 4);
                index.insert(at, value);
                plain.insert({at, value});
            } else {
                auto victim = std::next(plain.begin(), ptrdiff_t(random() % plain.size()));
                index.erase(victim->first, victim->second);
                plain.erase(victim);
            }
            if (step % 97 == 0)
                for (size_t k = 0; k < 600; ++k) {
                    std::vector<uint32_t> expectedValues;
                    auto [first, last] = plain.equal_range(address(k));
                    for (auto it = first; it != last; ++it)
                        expectedValues.push_back(it->second);
                    std::sort(expectedValues.begin(), expectedValues.end());
                    CHECK(valuesOf(index, address(k)) == expectedValues);
                }
        }
        index.erase(address(601), 0); // absent: nothing happens
        CHECK(valuesOf(index, address(601)).empty());
    }
}
