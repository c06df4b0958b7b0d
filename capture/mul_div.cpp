// MulDiv: proportional sizes and 16.16 steps.
#include "mul_div.h"

#include <cstdint>
#include <limits>

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    // |a x b| <= 2^62 and |c| <= 2^31, so the rounded magnitude fits unsigned 64 bits.
    const uint64_t num =
        product < 0 ? uint64_t(0) - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
    const uint64_t den =
        c < 0 ? uint64_t(0) - static_cast<uint64_t>(static_cast<int64_t>(c)) : static_cast<uint64_t>(c);
    const uint64_t magnitude = (num + den / 2) / den;
    if (negative) {
        if (magnitude > uint64_t(std::numeric_limits<int>::max()) + 1) return -1;
        return static_cast<int>(-static_cast<int64_t>(magnitude));
    }
    if (magnitude > uint64_t(std::numeric_limits<int>::max())) return -1;
    return static_cast<int>(magnitude);
}
