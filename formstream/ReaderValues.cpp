// The reader's typed values: integers, strings, identifiers, floats, sets, collections
// and variants, each after its value tag.
#include <bit>
#include <cstring>

#include "formstream/Collection.h"
#include "formstream/Reader.h"
#include "formstream/ReaderSupport.h"
#include "formstream/TextCodec.h"
#include "rtl/Exceptions.h"

namespace formstream {

using namespace readersupport;

std::int64_t TReader::ReadIntegerAfterTag(TValueTag tag) {
    switch (tag) {
    case tagInt8:
        return static_cast<std::int8_t>(ReadByte());
    case tagInt16: {
        std::uint8_t b[2];
        Read(b, 2);
        return static_cast<std::int16_t>(std::uint16_t(b[0] | (b[1] << 8)));
    }
    case tagInt32: {
        std::uint8_t b[4];
        Read(b, 4);
        return static_cast<std::int32_t>(LoadLE32(b));
    }
    default:
        ValueError();
    }
}

std::int32_t TReader::ReadIntegerValue() {
    return static_cast<std::int32_t>(ReadIntegerAfterTag(ReadValueTag()));
}

std::int64_t TReader::ReadInt64Value() {
    const TValueTag tag = ReadValueTag();
    if (tag == tagInt64) {
        std::uint8_t b[8];
        Read(b, 8);
        return static_cast<std::int64_t>(LoadLE64(b));
    }
    return ReadIntegerAfterTag(tag);
}

std::string TReader::ReadStringBody(TValueTag tag) {
    if (tag == tagString) {
        const std::uint8_t len = ReadByte();
        std::string s(len, '\0');
        Read(s.data(), len);
        return s;
    }
    // tagLString, tagUtf8String: a 4-byte byte count.
    const std::uint32_t len = ReadLength(1);
    std::string s;
    ReadSized(s, len, Remaining() >= 0, [this](char* p, std::size_t n) { Read(p, n); });
    return s;
}

std::u16string TReader::ReadWideBody(TValueTag tag) {
    if (tag == tagWString) {
        const std::uint32_t count = ReadLength(2);
        std::u16string w;
        ReadSized(w, count, Remaining() >= 0,
                  [this](char16_t* p, std::size_t n) { Read(p, n * sizeof(char16_t)); });
        if constexpr (std::endian::native == std::endian::big)
            for (char16_t& c : w)
                c = static_cast<char16_t>((c >> 8) | (c << 8));
        return w;
    }
    return Utf8ToUtf16(ReadStringBody(tag));
}

std::string TReader::ReadStringValue() {
    const TValueTag tag = ReadValueTag();
    switch (tag) {
    case tagString:
    case tagLString:
        return ReadStringBody(tag);
    case tagWString:
    case tagUtf8String:
        return Utf16ToAnsi(ReadWideBody(tag));
    default:
        ValueError();
    }
}

std::u16string TReader::ReadWideStringValue() {
    const TValueTag tag = ReadValueTag();
    switch (tag) {
    case tagString:
    case tagLString:
        return AnsiToUtf16(ReadStringBody(tag));
    case tagWString:
    case tagUtf8String:
        return ReadWideBody(tag);
    default:
        ValueError();
    }
}

std::string TReader::ReadIdentValue() {
    switch (ReadValueTag()) {
    case tagIdent:
        return ReadShortStr();
    case tagFalse:
        return "False";
    case tagTrue:
        return "True";
    case tagNil:
        return "nil";
    case tagNull:
        return "Null";
    default:
        ValueError();
    }
}

char TReader::ReadCharValue() {
    const std::string s = ReadStringValue();
    if (s.size() > 1)
        InvalidValue();
    return s.empty() ? '\0' : s[0];
}

bool TReader::ReadBoolValue() {
    return ReadValueTag() == tagTrue;
}

long double TReader::ReadFloatValue() {
    if (ReadValueTag() == tagExtended) {
        std::uint8_t b[10];
        Read(b, 10);
        return ExtendedToLongDouble(b);
    }
    UnreadByte();
    return ReadIntegerValue();
}

float TReader::ReadSingleValue() {
    if (ReadValueTag() == tagSingle) {
        std::uint8_t b[4];
        Read(b, 4);
        return std::bit_cast<float>(LoadLE32(b));
    }
    UnreadByte();
    return static_cast<float>(ReadIntegerValue());
}

std::int64_t TReader::ReadCurrencyValue() {
    if (ReadValueTag() == tagCurrency) {
        std::uint8_t b[8];
        Read(b, 8);
        return static_cast<std::int64_t>(LoadLE64(b));
    }
    UnreadByte();
    return std::int64_t(ReadIntegerValue()) * 10000;
}

double TReader::ReadDateValue() {
    if (ReadValueTag() == tagDate) {
        std::uint8_t b[8];
        Read(b, 8);
        return std::bit_cast<double>(LoadLE64(b));
    }
    UnreadByte();
    return ReadIntegerValue();
}

std::uint32_t TReader::ReadSetValue(const TTypeInfo& setType) {
    if (ReadValueTag() != tagSet || setType.Kind != TTypeKind::tkSet || !setType.CompType)
        ValueError();
    std::uint32_t bits = 0;
    try {
        for (;;) {
            const std::string name = ReadShortStr();
            if (name.empty())
                break;
            const int ordinal = GetEnumValue(*setType.CompType, name);
            if (ordinal >= 0 && ordinal < 32)
                bits |= std::uint32_t(1) << ordinal;
        }
    } catch (const rtl::Exception&) {
        try {
            SkipSetBody();
        } catch (const rtl::Exception&) {
        }
        throw;
    }
    return bits;
}

void TReader::ReadCollectionValue(TCollection* collection) {
    if (ReadValueTag() != tagCollection || !collection)
        ValueError();
    TNestingGuard guard(FDepth);
    collection->BeginUpdate();
    try {
        if (!AtListEnd())
            collection->Clear();
        while (!AtListEnd()) {
            if (IsIntegerTag(PeekValueTag()))
                ReadIntegerValue();
            TCollectionItem* item = collection->Add();
            ExpectListBegin();
            while (!AtListEnd())
                ReadPropertyEntry(item);
            ExpectListEnd();
        }
        ExpectListEnd();
    } catch (...) {
        collection->EndUpdate();
        throw;
    }
    collection->EndUpdate();
}

TVariant TReader::ReadVariantValue() {
    using V = TVariant::TVarType;
    TVariant v;
    const TValueTag tag = ReadValueTag();
    switch (tag) {
    case tagNil:
        v.VType = V::varEmpty;
        break;
    case tagNull:
        v.VType = V::varNull;
        break;
    case tagInt8:
    case tagInt16:
    case tagInt32:
        v.VType = V::varInteger;
        v.Int = ReadIntegerAfterTag(tag);
        break;
    case tagExtended:
    case tagSingle:
        UnreadByte();
        v.VType = V::varDouble;
        v.Float = tag == tagExtended ? ReadFloatValue() : ReadSingleValue();
        break;
    case tagCurrency:
        UnreadByte();
        v.VType = V::varCurrency;
        v.Int = ReadCurrencyValue();
        break;
    case tagDate:
        UnreadByte();
        v.VType = V::varDate;
        v.Float = ReadDateValue();
        break;
    case tagString:
    case tagLString:
        v.VType = V::varString;
        v.Str = ReadStringBody(tag);
        break;
    case tagWString:
    case tagUtf8String:
        v.VType = V::varWString;
        v.WStr = ReadWideBody(tag);
        break;
    case tagFalse:
    case tagTrue:
        v.VType = V::varBoolean;
        v.Int = tag == tagTrue ? 1 : 0;
        break;
    case tagInt64:
        UnreadByte();
        v.VType = V::varInt64;
        v.Int = ReadInt64Value();
        break;
    default:
        // Custom variants (tagBinary) need a variant type that this program does not
        // have; other tags are no variant at all.
        ReadError();
    }
    return v;
}

} // namespace formstream
