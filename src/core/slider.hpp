// The arithmetic of a slider: the position of its value in its range as a single-
// precision fraction, the value a fraction stands for, and the thumb's offset along
// the track. Written out as single- and double-precision operations in the order the
// slider defines them; differences and sums of the 32-bit fields are worked out in 64
// bits, and results that leave the int range stay at its ends. No Python, no SDL.
#pragma once

#include <cstdint>
#include <optional>

namespace slider {

// (value - min) / (max - min): both differences converted to float and divided in
// float. An empty range (max equal to min) has nowhere to go: 0.
float percent(int32_t value, int32_t min, int32_t max);

// trunc(p * f) + min, where f is (max - min) as a float and the product is a float:
// the value that p stands for, before the slider clamps it to its range. Nothing when
// the product is not a number; a sum beyond the int range stays at its end, which the
// range clamp treats exactly as the sum itself.
std::optional<int32_t> valueAt(float p, int32_t min, int32_t max);

// What the slider stores for an assigned value: above max, max; otherwise at least min
// (the upper bound is tested first).
int32_t clampToRange(int32_t value, int32_t min, int32_t max);

// A 64-bit result at the nearer end of the int range.
int32_t saturate(int64_t value);

// A double narrowed to a float as IEEE rounding does, beyond the float range included
// (where a C++ conversion would be undefined): to the nearest float, infinity past the
// largest one.
float narrow(double value);

// The thumb's offset along a track with `travel` pixels of play: percent * travel
// truncated toward zero, the product in float (drawing) or in double (the press that
// starts a drag), clamped to the int range before the conversion.
int32_t offset(float percent, int64_t travel);
int32_t offsetInDouble(double percent, int64_t travel);

} // namespace slider
