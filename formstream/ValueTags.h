// The byte-level vocabulary of form streams, shared by the reader and the writer: the
// signature, the value tags and the header flags of a component entry.
//
// A stream is "TPF0" followed by one component entry. A component entry is an optional
// header-flags byte (0xF0 | flags, present only when a flag is set), the class name and
// the component name as short strings, property entries (a path as a short string and a
// value), a 0 byte, child entries, and a 0 byte. A value is one tag byte and its payload.
#pragma once

#include <cstdint>

namespace formstream {

inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

enum TValueTag : std::uint8_t {
    tagNull = 0,        // end of a list; as a value the identifier "Null"
    tagList = 1,        // values until a tagNull
    tagInt8 = 2,        // 1 byte, signed
    tagInt16 = 3,       // 2 bytes, signed
    tagInt32 = 4,       // 4 bytes, signed
    tagExtended = 5,    // 10 bytes, 80-bit extended-precision float
    tagString = 6,      // short string
    tagIdent = 7,       // short string
    tagFalse = 8,       // identifier "False"
    tagTrue = 9,        // identifier "True"
    tagBinary = 10,     // 4-byte length, then the bytes
    tagSet = 11,        // short strings ended by an empty one
    tagLString = 12,    // 4-byte length, then 8-bit characters
    tagNil = 13,        // identifier "nil"
    tagCollection = 14, // items until a 0 byte
    tagSingle = 15,     // 4 bytes, IEEE single
    tagCurrency = 16,   // 8 bytes, signed count of ten-thousandths
    tagDate = 17,       // 8 bytes, IEEE double, days
    tagWString = 18,    // 4-byte count of UTF-16 code units, then 2 x count bytes
    tagInt64 = 19,      // 8 bytes, signed
    tagUtf8String = 20, // 4-byte byte count, then UTF-8 bytes
};
inline constexpr std::uint8_t tagLast = tagUtf8String;

// Header flags of a component entry (low nibble of the 0xF0 | flags byte).
enum TFilerFlag : std::uint8_t {
    cfInherited = 1, // the component exists in the ancestor: looked up, not created
    cfChildPos = 2,  // an integer value with the child position follows the byte
    cfInline = 4,    // the component is a nested root
};
using TFilerFlags = std::uint8_t;

// 80-bit extended-precision floats, as stored after tagExtended (little-endian: 8 bytes
// of mantissa with an explicit integer bit, then sign and 15-bit exponent).
long double ExtendedToLongDouble(const std::uint8_t bytes[10]);
void LongDoubleToExtended(long double value, std::uint8_t bytes[10]);

} // namespace formstream
