#include "core/slider.hpp"

#include "core/layout.hpp"

#include <cfloat>
#include <cmath>
#include <limits>

namespace slider {

float percent(int32_t value, int32_t min, int32_t max) {
    float along = float(int64_t(value) - min);
    float range = float(int64_t(max) - min);
    if (range == 0.0f) return 0.0f;
    float result = along / range;
    return result;
}

std::optional<int32_t> valueAt(float p, int32_t min, int32_t max) {
    float range = float(int64_t(max) - min);
    float product = p * range;
    if (std::isnan(product)) return std::nullopt;
    // Beyond 2^40 every sum with min is beyond the int range: no need to convert more.
    constexpr double far = 1099511627776.0;
    double whole = std::trunc(double(product));
    if (whole >= far) return std::numeric_limits<int32_t>::max();
    if (whole <= -far) return std::numeric_limits<int32_t>::min();
    return saturate(int64_t(whole) + min);
}

int32_t clampToRange(int32_t value, int32_t min, int32_t max) {
    if (value > max) return max;
    return value > min ? value : min;
}

int32_t saturate(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

float narrow(double value) {
    // FLT_MAX plus half of its last place: from there on the nearest float is infinity.
    constexpr double overflow = 0x1.ffffffp127;
    if (std::isnan(value) || std::fabs(value) <= FLT_MAX) return float(value);
    if (std::fabs(value) >= overflow)
        return std::signbit(value) ? -std::numeric_limits<float>::infinity()
                                   : std::numeric_limits<float>::infinity();
    return std::signbit(value) ? -FLT_MAX : FLT_MAX;
}

int32_t offset(float percent, int64_t travel) {
    float product = percent * float(travel);
    return layout::truncate(double(product));
}

int32_t offsetInDouble(double percent, int64_t travel) {
    double product = percent * double(travel);
    return layout::truncate(product);
}

} // namespace slider
