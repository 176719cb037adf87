#pragma once
// Numbers from scripts and data files turned into ints without undefined conversions.
#include <algorithm>
#include <climits>
#include <cmath>

// Toward zero, limited to what an int holds; NaN reads 0.
inline int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<int>(std::clamp(std::trunc(value), double{INT_MIN}, double{INT_MAX}));
}
