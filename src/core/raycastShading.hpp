// The colour rules of the raycasting renderer, one pixel at a time, and the
// conversions that turn distances into fog weights and heights into rows.
//
// Colours are 0xAARRGGBB words. Every rule works on red, green and blue separately
// with integer arithmetic and a shift by 8 (not a division by 255), so a blend of
// weight 0 still scales a channel by 255/256.
#pragma once

#include <cstdint>

namespace raycast {

// Truncation toward zero into 32 bits, saturating at the ends; NaN gives 0. Heights
// of walls right in front of the eye, and brightnesses there, would not fit otherwise.
inline int32_t truncSaturated(double value) {
    if (!(value > -2147483649.0)) return value != value ? 0 : INT32_MIN;
    if (!(value < 2147483648.0)) return INT32_MAX;
    return int32_t(value);
}

// Whether a value truncates to a 32-bit integer without saturating.
inline bool fitsInt32(double value) {
    return value > -2147483649.0 && value < 2147483648.0;
}

inline int32_t clampInt(int64_t value, int64_t low, int64_t high) {
    return int32_t(value < low ? low : value > high ? high : value);
}

// Distance fog weight of a distance, 0 to 255; 255 means "all fog". A density of 0 or
// less is no fog at all (weight 0), and so is a negative distance.
inline int32_t fogWeight(double distance, int32_t density) {
    if (density <= 0) return 0;
    int32_t weight = truncSaturated(distance * double(density));
    return weight < 0 ? 0 : weight > 255 ? 255 : weight;
}

// Ground fog amount of a distance, 0 to 255 (0 when the density is 0 or less).
inline int32_t groundFogAmount(double distance, int32_t density) {
    if (density <= 0) return 0;
    int32_t amount = truncSaturated(double(density) * distance);
    return amount < 0 ? 0 : amount > 255 ? 255 : amount;
}

// The ground fog weight at a fraction t of a slice: t squared in double, back to
// single precision, times the amount in single precision.
inline int32_t groundFogWeight(int32_t amount, float t) {
    float squared = float(double(t) * double(t));
    return int32_t(float(amount) * squared) & 255;
}

// Each channel becomes (k * fog + (255 - k) * colour) >> 8; the alpha stays colour's.
inline uint32_t fogBlend(uint32_t colour, uint32_t fog, uint32_t weight) {
    uint32_t inverse = 255 - weight;
    uint32_t redBlue = ((fog & 0x00ff00ffu) * weight + (colour & 0x00ff00ffu) * inverse) >> 8;
    uint32_t green = ((fog & 0x0000ff00u) * weight + (colour & 0x0000ff00u) * inverse) >> 8;
    return (colour & 0xff000000u) | (redBlue & 0x00ff00ffu) | (green & 0x0000ff00u);
}

inline uint32_t saturateChannel(uint32_t value) {
    return value > 255 ? 255 : value;
}

// Each channel becomes min((target * 256 + light * brightness) >> 8, 255); the alpha
// stays the target's.
inline uint32_t lightAdd(uint32_t target, uint32_t light, uint32_t brightness) {
    uint32_t result = target & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sum =
            (((target >> shift) & 255) * 256 + ((light >> shift) & 255) * brightness) >> 8;
        result |= saturateChannel(sum) << shift;
    }
    return result;
}

// Sprite pixels, with a the source's alpha: blend gives (a * s + (255 - a) * d) >> 8,
// add gives min((d * 256 + a * s) >> 8, 255); the alpha stays the target's.
inline uint32_t spriteBlend(uint32_t source, uint32_t target) {
    uint32_t alpha = source >> 24;
    uint32_t inverse = 255 - alpha;
    uint32_t redBlue = ((source & 0x00ff00ffu) * alpha + (target & 0x00ff00ffu) * inverse) >> 8;
    uint32_t green = ((source & 0x0000ff00u) * alpha + (target & 0x0000ff00u) * inverse) >> 8;
    return (target & 0xff000000u) | (redBlue & 0x00ff00ffu) | (green & 0x0000ff00u);
}

inline uint32_t spriteAdd(uint32_t source, uint32_t target) {
    return lightAdd(target, source, source >> 24);
}

} // namespace raycast
