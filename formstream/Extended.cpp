// 80-bit extended-precision floats as form streams store them (after tagExtended): the
// reader, the writer and the text form compiler share this codec.
#include <cmath>
#include <cstdint>

#include "formstream/ValueTags.h"

namespace formstream {

namespace {

std::uint64_t LoadLE64(const std::uint8_t* b) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | b[i];
    return v;
}

} // namespace

long double ExtendedToLongDouble(const std::uint8_t bytes[10]) {
    const std::uint64_t mantissa = LoadLE64(bytes);
    const unsigned se = unsigned(bytes[8]) | (unsigned(bytes[9]) << 8);
    const bool negative = (se & 0x8000) != 0;
    const int exponent = static_cast<int>(se & 0x7FFF);
    long double v;
    if (exponent == 0x7FFF) {
        v = (mantissa << 1) == 0 ? HUGE_VALL : std::nanl("");
    } else if (exponent == 0 && mantissa == 0) {
        v = 0.0L;
    } else {
        const int e = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        v = std::ldexp(static_cast<long double>(mantissa), e);
    }
    return negative ? -v : v;
}

void LongDoubleToExtended(long double value, std::uint8_t bytes[10]) {
    std::uint64_t mantissa = 0;
    unsigned exponent = 0;
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        exponent = 0x7FFF;
        mantissa = 0xC000000000000000ull;
    } else if (std::isinf(value)) {
        exponent = 0x7FFF;
        mantissa = 0x8000000000000000ull;
    } else if (value != 0) {
        int e = 0;
        const long double m = std::frexp(std::fabs(value), &e); // [0.5, 1)
        long double scaled = std::ldexp(m, 64);
        if (scaled >= 18446744073709551616.0L)
            scaled = 18446744073709551615.0L;
        mantissa = static_cast<std::uint64_t>(scaled);
        int biased = e - 1 + 16383;
        if (biased >= 0x7FFF) {
            biased = 0x7FFF;
            mantissa = 0x8000000000000000ull;
        } else if (biased <= 0) {
            const int shift = 1 - biased;
            mantissa = shift >= 64 ? 0 : mantissa >> shift;
            biased = 0;
        }
        exponent = static_cast<unsigned>(biased);
    }
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    const unsigned se = exponent | (negative ? 0x8000u : 0u);
    bytes[8] = static_cast<std::uint8_t>(se);
    bytes[9] = static_cast<std::uint8_t>(se >> 8);
}

} // namespace formstream
