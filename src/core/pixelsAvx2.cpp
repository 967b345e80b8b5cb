// The row loops built for AVX2, eight pixels per step, run where the instruction set in
// use (instructions.hpp) has it. Everything this file includes is compiled before the target
// switch, so that no shared inline function is built for AVX2.
#include "core/pixelsRows.hpp"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>

namespace pixels::rows {

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// Cached stores, 128 bytes per step on 32-byte boundaries; the first and the last eight
// pixels are stored unaligned, overlapping the aligned ones where they meet.
void fillRow(uint32_t* row, size_t count, uint32_t value) {
    if (count < 8) {
        for (size_t x = 0; x < count; ++x)
            row[x] = value;
        return;
    }
    const __m256i eight = _mm256_set1_epi32(int(value));
    uint32_t* end = row + count;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row), eight);
    uint32_t* at = row + ((32 - (reinterpret_cast<uintptr_t>(row) & 31)) & 31) / sizeof(uint32_t);
    for (; end - at >= 32; at += 32) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(at), eight);
        _mm256_store_si256(reinterpret_cast<__m256i*>(at + 8), eight);
        _mm256_store_si256(reinterpret_cast<__m256i*>(at + 16), eight);
        _mm256_store_si256(reinterpret_cast<__m256i*>(at + 24), eight);
    }
    for (; end - at >= 8; at += 8)
        _mm256_store_si256(reinterpret_cast<__m256i*>(at), eight);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(end - 8), eight);
}

// Eight pixels split into their red and blue and their alpha and green channels, each in
// a 16-bit lane, as blendOne splits them: the same sums, divided by 255 as
// (t * 257) >> 16. Only shifts and masks, no shuffles, so that the multiplies set the pace.
inline __m256i blendEight(__m256i source, __m256i target) {
    const __m256i lowBytes = _mm256_set1_epi32(0x00ff00ff);
    const __m256i alphaLane = _mm256_set1_epi32(0x00ff0000);
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i half = _mm256_set1_epi16(128);
    const __m256i spread = _mm256_set1_epi16(257);
    __m256i alpha = _mm256_srli_epi32(source, 24);
    alpha = _mm256_or_si256(alpha, _mm256_slli_epi32(alpha, 16));
    __m256i inverse = _mm256_sub_epi16(full, alpha);
    __m256i redBlue = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(source, lowBytes), alpha),
                         _mm256_mullo_epi16(_mm256_and_si256(target, lowBytes), inverse)),
        half);
    // The source's alpha lane counts as 255, so the result is alpha + targetAlpha * inverse / 255.
    __m256i alphaGreen = _mm256_add_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_or_si256(_mm256_srli_epi16(source, 8), alphaLane), alpha),
            _mm256_mullo_epi16(_mm256_srli_epi16(target, 8), inverse)),
        half);
    return _mm256_or_si256(_mm256_mulhi_epu16(redBlue, spread),
                           _mm256_slli_epi16(_mm256_mulhi_epu16(alphaGreen, spread), 8));
}

// Eight opaque source pixels are the result as they are, eight transparent ones leave
// the target: sprites and skins are mostly made of such runs. The last pixels of a row
// go through the same step in a buffer of eight.
void blendRow(uint32_t* target, const uint32_t* source, size_t count) {
    const __m256i alphaMask = _mm256_set1_epi32(int(0xff000000u));
    size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        __m256i from = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + x));
        if (_mm256_testc_si256(from, alphaMask)) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x), from);
            continue;
        }
        if (_mm256_testz_si256(from, alphaMask)) continue;
        __m256i to = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target + x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x), blendEight(from, to));
    }
    size_t rest = count - x;
    if (rest == 0) return;
    uint32_t from[8] = {}, to[8] = {};
    std::memcpy(from, source + x, rest * sizeof(uint32_t));
    std::memcpy(to, target + x, rest * sizeof(uint32_t));
    __m256i blended = blendEight(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), blended);
    std::memcpy(target + x, to, rest * sizeof(uint32_t));
}

// Four loads, then four stores per step keep the memory pipelines full: the present of
// every frame goes through here.
void copyMaskedRow(uint32_t* target, const uint32_t* source, size_t count, uint32_t keep) {
    const __m256i mask = _mm256_set1_epi32(int(keep));
    auto load = [&](size_t x) {
        return _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + x)),
                                mask);
    };
    auto store = [&](size_t x, __m256i eight) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + x), eight);
    };
    size_t x = 0;
    for (; x + 32 <= count; x += 32) {
        __m256i a = load(x), b = load(x + 8), c = load(x + 16), d = load(x + 24);
        store(x, a);
        store(x + 8, b);
        store(x + 16, c);
        store(x + 24, d);
    }
    for (; x + 8 <= count; x += 8)
        store(x, load(x));
    for (; x < count; ++x)
        target[x] = source[x] & keep;
}

} // namespace

#pragma GCC pop_options

const Loops avx2 = {fillRow, blendRow, copyMaskedRow};

} // namespace pixels::rows

#endif
