#include "formstream/Reader.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>

#include "formstream/ClassRegistry.h"
#include "formstream/Collection.h"
#include "formstream/Component.h"
#include "formstream/IdentMaps.h"
#include "formstream/TextCodec.h"
#include "rtl/Exceptions.h"
#include "rtl/Locks.h"
#include "rtl/Restore.h"
#include "rtl/Stream.h"

namespace formstream {

namespace {

// Deeper nesting of components, lists or collections than this is refused, so that a
// damaged stream cannot exhaust the stack.
constexpr int MaxNesting = 200;
// Blocks whose length the stream cannot vouch for are read in pieces of this size.
constexpr std::size_t BlockChunk = 1 << 20;
constexpr std::size_t SkipChunk = 256;

struct TGlobalFixupList {
    std::recursive_mutex Lock;
    std::vector<TPropFixup> List;
    std::atomic<int> Count{0};
    void Sync() { Count.store(static_cast<int>(List.size())); }
};

TGlobalFixupList& GlobalFixups() {
    static TGlobalFixupList list;
    return list;
}

thread_local std::vector<TReader*> tActiveReaders;
thread_local std::vector<std::unique_ptr<std::vector<TComponent*>>> tLoadingStack;

[[noreturn]] void ReadError() {
    throw rtl::EReadError(rtl::SReadError);
}
[[noreturn]] void InvalidValue() {
    throw rtl::EReadError(rtl::SInvalidPropertyValue);
}

bool IsIntegerTag(TValueTag tag) {
    return tag == tagInt8 || tag == tagInt16 || tag == tagInt32;
}

// Follows a reference path from `root`: segments separated by "." or "-" (optionally
// "->"), each an owned component of the one before; "Owner" that names no owned
// component stays where it is.
TComponent* FindNestedComponent(TComponent* root, std::string_view path) {
    TComponent* current = root;
    std::size_t i = 0;
    for (;;) {
        std::size_t j = i;
        while (j < path.size() && path[j] != '.' && path[j] != '-')
            ++j;
        const std::string_view segment = path.substr(i, j - i);
        TComponent* found = current->FindOwnedComponent(segment);
        if (!found) {
            if (!rtl::SameText(segment, "Owner"))
                return nullptr;
            found = current;
        }
        current = found;
        if (j >= path.size())
            return current;
        i = j + 1;
        if (path[j] == '-' && i < path.size() && path[i] == '>')
            ++i;
    }
}

void RemoveGlobalFixupsFor(const TPersistent* instance, const TPropInfo* prop) {
    TGlobalFixupList& g = GlobalFixups();
    if (g.Count.load() == 0)
        return;
    std::lock_guard lock(g.Lock);
    std::erase_if(g.List,
                  [&](const TPropFixup& f) { return f.Instance == instance && f.Prop == prop; });
    g.Sync();
}

void AddGlobalFixup(TPropFixup fixup) {
    TGlobalFixupList& g = GlobalFixups();
    std::lock_guard lock(g.Lock);
    g.List.push_back(std::move(fixup));
    g.Sync();
}

std::uint32_t LoadLE32(const std::uint8_t* b) {
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}
std::uint64_t LoadLE64(const std::uint8_t* b) {
    return std::uint64_t(LoadLE32(b)) | (std::uint64_t(LoadLE32(b + 4)) << 32);
}

} // namespace

// Counts nesting levels of one reader; refuses to go deeper than MaxNesting.
class TNestingGuard {
public:
    explicit TNestingGuard(TReader& reader) : FReader(reader) {
        if (FReader.FDepth >= MaxNesting)
            ReadError();
        ++FReader.FDepth;
    }
    ~TNestingGuard() { --FReader.FDepth; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;

private:
    TReader& FReader;
};

// --- 80-bit floats

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

// --- construction, buffer

TReader::TReader(rtl::TStream& stream, int bufSize)
    : FStream(stream), FBufSize(static_cast<std::size_t>(bufSize < 1 ? 1 : bufSize)) {
    FBuffer.reset(new std::uint8_t[FBufSize]);
    tActiveReaders.push_back(this);
}

TReader::~TReader() {
    std::erase(tActiveReaders, this);
    if (FBufPos < FBufEnd) {
        try {
            FStream.Seek(-static_cast<std::int64_t>(FBufEnd - FBufPos),
                         rtl::TSeekOrigin::soCurrent);
        } catch (const rtl::Exception&) {
            // The stream cannot move back; the unread bytes stay consumed.
        }
    }
}

void TReader::Refill() {
    const std::size_t n = FStream.Read(FBuffer.get(), FBufSize);
    if (n == 0)
        ReadError();
    FBufPos = 0;
    FBufEnd = n;
}

std::uint8_t TReader::ReadByte() {
    if (FBufPos == FBufEnd)
        Refill();
    return FBuffer[FBufPos++];
}

void TReader::UnreadByte() {
    if (FBufPos > 0)
        --FBufPos;
}

void TReader::Read(void* buffer, std::size_t count) {
    auto* dest = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        if (FBufPos == FBufEnd) {
            if (count >= FBufSize) {
                // A large block goes straight from the stream to its destination.
                const std::size_t n = FStream.Read(dest, count);
                if (n == 0)
                    ReadError();
                dest += n;
                count -= n;
                continue;
            }
            Refill();
        }
        const std::size_t n = std::min(count, FBufEnd - FBufPos);
        std::memcpy(dest, FBuffer.get() + FBufPos, n);
        FBufPos += n;
        dest += n;
        count -= n;
    }
}

void TReader::SkipBytes(std::uint64_t count) {
    const std::uint64_t inBuffer = std::min<std::uint64_t>(count, FBufEnd - FBufPos);
    FBufPos += static_cast<std::size_t>(inBuffer);
    count -= inBuffer;
    if (count == 0)
        return;
    const std::int64_t remaining = Remaining();
    if (remaining >= 0 && count > static_cast<std::uint64_t>(remaining))
        ReadError();
    std::uint8_t scratch[SkipChunk];
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, SkipChunk));
        Read(scratch, n);
        count -= n;
    }
}

std::int64_t TReader::Remaining() {
    try {
        const std::int64_t size = FStream.Size();
        const std::int64_t pos = FStream.Position();
        return static_cast<std::int64_t>(FBufEnd - FBufPos) + std::max<std::int64_t>(0, size - pos);
    } catch (const rtl::Exception&) {
        return -1;
    }
}

// A 4-byte length of `unitSize`-byte units, refused when the stream cannot hold that much.
std::uint32_t TReader::ReadLength(std::uint64_t unitSize) {
    std::uint8_t b[4];
    Read(b, 4);
    const std::uint32_t n = LoadLE32(b);
    const std::uint64_t bytes = std::uint64_t(n) * unitSize;
    if (bytes > FBufEnd - FBufPos) {
        const std::int64_t remaining = Remaining();
        if (remaining >= 0 && bytes > static_cast<std::uint64_t>(remaining))
            ReadError();
    }
    return n;
}

namespace {
// Reads `count` elements into a growable buffer, in bounded pieces when the stream could
// not vouch for the length. `read` fills n elements at p.
template <class Buf, class ReadFn>
void ReadSized(Buf& buf, std::size_t count, bool vouched, ReadFn&& read) {
    if (vouched) {
        buf.resize(count);
        if (count)
            read(buf.data(), count);
        return;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, BlockChunk);
        buf.resize(done + n);
        read(buf.data() + done, n);
        done += n;
    }
}
} // namespace

std::string TReader::ReadShortStr() {
    const std::uint8_t len = ReadByte();
    std::string s(len, '\0');
    Read(s.data(), len);
    return s;
}

void TReader::ReadSignature() {
    char sig[4];
    Read(sig, 4);
    if (std::memcmp(sig, FilerSignature, 4) != 0)
        throw rtl::EReadError(rtl::SInvalidImage);
}

// --- structure

TValueTag TReader::ReadValueTag() {
    return static_cast<TValueTag>(ReadByte());
}

TValueTag TReader::PeekValueTag() {
    const TValueTag tag = ReadValueTag();
    UnreadByte();
    return tag;
}

bool TReader::AtListEnd() {
    return PeekValueTag() == tagNull;
}

void TReader::ValueError() {
    UnreadByte();
    SkipAnyValue();
    InvalidValue();
}

void TReader::ExpectListBegin() {
    if (ReadValueTag() != tagList)
        ValueError();
}

void TReader::ExpectListEnd() {
    if (ReadValueTag() != tagNull)
        ValueError();
}

void TReader::ReadHeaderFlags(TFilerFlags& flags, int& childPos) {
    flags = 0;
    childPos = -1;
    const std::uint8_t b = ReadByte();
    if ((b & 0xF0) != 0xF0) {
        UnreadByte();
        return;
    }
    flags = b & 0x0F;
    if (flags & cfChildPos)
        childPos = ReadIntegerValue();
}

void TReader::SkipSetBody() {
    for (;;) {
        const std::uint8_t len = ReadByte();
        if (len == 0)
            return;
        SkipBytes(len);
    }
}

void TReader::SkipValue(TValueTag tag) {
    switch (tag) {
    case tagList: {
        TNestingGuard guard(*this);
        while (!AtListEnd())
            SkipValue(ReadValueTag());
        ReadByte();
        break;
    }
    case tagInt8:
        SkipBytes(1);
        break;
    case tagInt16:
        SkipBytes(2);
        break;
    case tagInt32:
    case tagSingle:
        SkipBytes(4);
        break;
    case tagExtended:
        SkipBytes(10);
        break;
    case tagString:
    case tagIdent:
        SkipBytes(ReadByte());
        break;
    case tagBinary:
    case tagLString:
    case tagUtf8String: {
        std::uint8_t b[4];
        Read(b, 4);
        SkipBytes(LoadLE32(b));
        break;
    }
    case tagWString: {
        std::uint8_t b[4];
        Read(b, 4);
        SkipBytes(std::uint64_t(LoadLE32(b)) * 2);
        break;
    }
    case tagSet:
        SkipSetBody();
        break;
    case tagCollection: {
        TNestingGuard guard(*this);
        while (!AtListEnd()) {
            if (IsIntegerTag(PeekValueTag()))
                SkipAnyValue();
            SkipBytes(1); // the item's list-begin tag
            while (!AtListEnd())
                SkipPropertyEntry();
            ReadByte();
        }
        ReadByte();
        break;
    }
    case tagCurrency:
    case tagDate:
    case tagInt64:
        SkipBytes(8);
        break;
    default: // tags without payload, and unknown tags
        break;
    }
}

void TReader::SkipAnyValue() {
    SkipValue(ReadValueTag());
}

void TReader::SkipPropertyEntry() {
    SkipBytes(ReadByte());
    SkipAnyValue();
}

void TReader::SkipComponentEntry(bool skipHeader) {
    TNestingGuard guard(*this);
    if (skipHeader) {
        TFilerFlags flags;
        int pos;
        ReadHeaderFlags(flags, pos);
        SkipBytes(ReadByte());
        SkipBytes(ReadByte());
    }
    while (!AtListEnd())
        SkipPropertyEntry();
    ReadByte();
    while (!AtListEnd())
        SkipComponentEntry(true);
    ReadByte();
}

// --- typed values

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
    TNestingGuard guard(*this);
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

// --- defined properties

void TReader::DeclareProperty(std::string_view name, TReaderProc readData, TWriterProc, bool) {
    if (FPropName.empty() || !readData || !rtl::SameText(name, FPropName))
        return;
    readData(*this);
    FPropName.clear();
}

void TReader::DeclareBinaryProperty(std::string_view name, TStreamProc readData, TStreamProc,
                                    bool) {
    if (FPropName.empty() || !readData || !rtl::SameText(name, FPropName))
        return;
    if (ReadValueTag() != tagBinary) {
        UnreadByte();
        SkipAnyValue();
        FCanRecover = true;
        InvalidValue();
    }
    const std::uint32_t len = ReadLength(1);
    rtl::TMemoryStream block;
    if (Remaining() >= 0) {
        block.SetSize(len);
        if (len)
            Read(block.Memory(), len);
    } else {
        std::size_t done = 0;
        while (done < len) {
            const std::size_t n = std::min<std::size_t>(len - done, BlockChunk);
            block.SetSize(static_cast<std::int64_t>(done + n));
            Read(block.Memory() + done, n);
            done += n;
        }
    }
    block.SetPosition(0);
    FCanRecover = true;
    readData(block);
    FPropName.clear();
}

// --- properties

void TReader::ReadPropertyEntry(TPersistent* instance) {
    std::string path;
    try {
        path = ReadShortStr();
        FCanRecover = true;
        TPersistent* current = instance;
        std::size_t start = 0;
        for (std::size_t dot = path.find('.'); dot != std::string::npos;
             start = dot + 1, dot = path.find('.', start)) {
            const std::string_view segment = std::string_view(path).substr(start, dot - start);
            const TPropInfo* prop = GetPropInfo(current, segment);
            if (!prop) {
                SkipAnyValue();
                throw rtl::EReadError(rtl::SUnknownProperty, segment);
            }
            TPersistent* next = prop->Kind() == TTypeKind::tkClass
                                    ? DynCast<TPersistent>(GetObjectProp(current, *prop))
                                    : nullptr;
            if (!next) {
                SkipAnyValue();
                throw rtl::EReadError(rtl::SInvalidPropertyPath);
            }
            current = next;
        }
        FPropName = path.substr(start);
        if (const TPropInfo* prop = GetPropInfo(current, FPropName)) {
            ReadPropertyValue(current, *prop);
        } else {
            FCanRecover = false;
            current->DefineProperties(*this);
            FCanRecover = true;
            if (!FPropName.empty()) {
                const std::string name = FPropName;
                SkipAnyValue();
                throw rtl::EReadError(rtl::SUnknownProperty, name);
            }
        }
    } catch (const rtl::Exception& e) {
        const auto* component = DynCast<TComponent>(instance);
        const std::string name = component && !component->Name().empty()
                                     ? component->Name()
                                     : std::string(instance->ClassName());
        rtl::EReadError wrapped(rtl::SPropertyException, name, ".", path, e.Message());
        if (FCanRecover && Error(wrapped.Message()))
            return;
        throw wrapped;
    }
}

void TReader::ReadPropertyValue(TPersistent* instance, const TPropInfo& prop) {
    if (!prop.Set) {
        bool subComponent = false;
        if (prop.Kind() == TTypeKind::tkClass)
            if (auto* c = DynCast<TComponent>(GetObjectProp(instance, prop)))
                subComponent = c->ComponentStyle().Contains(csSubComponent);
        if (!subComponent) {
            SkipAnyValue();
            throw rtl::EReadError(rtl::SReadOnlyProperty);
        }
    }
    const TTypeInfo& type = *prop.PropType;
    switch (type.Kind) {
    case TTypeKind::tkInteger:
        if (PeekValueTag() == tagIdent) {
            ReadValueTag();
            const std::string ident = ReadShortStr();
            std::int32_t value = 0;
            if (!IdentToInt(type, ident, value))
                InvalidValue();
            SetOrdProp(instance, prop, value);
        } else {
            SetOrdProp(instance, prop, ReadIntegerValue());
        }
        break;
    case TTypeKind::tkChar:
        SetOrdProp(instance, prop, static_cast<unsigned char>(ReadCharValue()));
        break;
    case TTypeKind::tkEnumeration: {
        const std::string ident = ReadIdentValue();
        const int ordinal = GetEnumValue(type, ident);
        if (ordinal < 0)
            InvalidValue();
        SetOrdProp(instance, prop, ordinal);
        break;
    }
    case TTypeKind::tkFloat:
        SetPropValue(instance, prop, TValue(ReadFloatValue()));
        break;
    case TTypeKind::tkString:
        SetStrProp(instance, prop, ReadStringValue());
        break;
    case TTypeKind::tkSet:
        SetOrdProp(instance, prop, ReadSetValue(type));
        break;
    case TTypeKind::tkClass: {
        const TValueTag tag = PeekValueTag();
        if (tag == tagNil) {
            ReadValueTag();
            SetObjectProp(instance, prop, nullptr);
        } else if (tag == tagCollection) {
            auto* collection = DynCast<TCollection>(GetObjectProp(instance, prop));
            if (!collection) {
                SkipAnyValue();
                InvalidValue();
            }
            ReadCollectionValue(collection);
        } else {
            TPropFixup fixup;
            fixup.Instance = instance;
            fixup.Component = FCurrentComponent;
            fixup.Root = FRoot;
            fixup.Prop = &prop;
            fixup.Name = ReadIdentValue();
            if (FFixups) {
                FFixups->push_back(std::move(fixup));
            } else {
                // Read outside component data: resolve at once.
                FFixups = std::make_unique<std::vector<TPropFixup>>();
                FFixups->push_back(std::move(fixup));
                try {
                    DoFixupReferences();
                } catch (...) {
                    FFixups.reset();
                    throw;
                }
                FFixups.reset();
            }
        }
        break;
    }
    case TTypeKind::tkMethod:
        if (PeekValueTag() == tagNil) {
            ReadValueTag();
            SetMethodProp(instance, prop, TMethod{});
        } else {
            const std::string name = ReadIdentValue();
            const TMethod method = FRoot ? FindPublishedMethod(FRoot, name) : TMethod{};
            if (!method)
                InvalidValue();
            SetMethodProp(instance, prop, method);
        }
        break;
    case TTypeKind::tkWString:
        SetPropValue(instance, prop, TValue(ReadWideStringValue()));
        break;
    case TTypeKind::tkVariant:
        SetPropValue(instance, prop, TValue(ReadVariantValue()));
        break;
    case TTypeKind::tkInt64:
        SetOrdProp(instance, prop, ReadInt64Value());
        break;
    default: // interfaces and kinds without a stream form
        SkipAnyValue();
        InvalidValue();
    }
}

// --- components

bool TReader::Error(const std::string&) {
    return false;
}

void TReader::SetRoot(TComponent* root) {
    FRoot = root;
}

const std::vector<TComponent*>& TReader::LoadedList() const {
    static const std::vector<TComponent*> empty;
    return FLoaded ? *FLoaded : empty;
}

TClass TReader::FindComponentClass(std::string_view className) {
    TClass c = FRoot ? FRoot->ClassType()->FindFieldClass(className) : nullptr;
    if (!c)
        c = FFinder ? FFinder->GetClass(className) : LookupStreamClass(className);
    if (!c && FLookupRoot && FLookupRoot != FRoot) {
        c = FLookupRoot->ClassType()->FindFieldClass(className);
        if (!c)
            c = TClassFinder(FLookupRoot->ClassType(), true).GetClass(className);
    }
    if (!c || !c->InheritsFrom(&TComponent::ClassInfo))
        throw rtl::EClassNotFound(rtl::SClassNotFound, className);
    return c;
}

TComponent* TReader::ReadComponentEntry(TComponent* component) {
    TNestingGuard guard(*this);
    TFilerFlags flags = 0;
    int childPos = -1;
    ReadHeaderFlags(flags, childPos);
    const std::string className = ReadShortStr();
    const std::string name = ReadShortStr();
    rtl::TRestore<TComponent*> keepParent(FParent);
    rtl::TRestore<TComponent*> keepLookupRoot(FLookupRoot);

    TComponent* result = component;
    bool created = false;
    // Creating, finding or naming failed: drop what this entry made, skip the rest of the
    // entry and ask whether the failure is handled.
    auto recover = [&](const rtl::Exception& e) -> bool {
        if (created)
            Free(result);
        result = nullptr;
        created = false;
        const std::string message = e.Message();
        try {
            SkipComponentEntry(false);
            return Error(message);
        } catch (const rtl::Exception&) {
            return false;
        }
    };

    if (!result) {
        try {
            if (flags & cfInherited) {
                FindComponentClass(className);
                result = FLookupRoot ? FLookupRoot->FindOwnedComponent(name) : nullptr;
                if (!result)
                    throw rtl::EReadError(rtl::SAncestorNotFound, name);
                FParent = result->ParentForReading();
                if (!FParent)
                    FParent = FRoot;
            } else {
                TClass c = FindComponentClass(className);
                result = static_cast<TComponent*>(c->Create(FOwner));
                created = true;
                if (flags & cfInline) {
                    result->SetState(stLoading);
                    result->SetState(stInline);
                }
            }
            result->SetState(stLoading);
        } catch (const rtl::Exception& e) {
            if (!recover(e))
                throw;
            return nullptr;
        }
    }

    result->SetState(stLoading);
    if (!(flags & cfInherited)) {
        try {
            result->AttachToParent(FParent);
            result->SetName(name);
        } catch (const rtl::Exception& e) {
            if (!recover(e))
                throw;
            return nullptr;
        }
    }

    try {
        if (result->HasState(stInline))
            FLookupRoot = result;
        result->SetState(stReading);
        result->ReadStoredState(*this);
        result->ClearState(stReading);
        if ((flags & cfChildPos) && FParent)
            FParent->SetChildPosition(result, childPos);
        if (FLoaded) {
            const bool once = (flags & cfInherited) || result->HasState(stInline);
            if (!once || std::find(FLoaded->begin(), FLoaded->end(), result) == FLoaded->end())
                FLoaded->push_back(result);
        }
    } catch (...) {
        if (created)
            Free(result);
        throw;
    }
    return result;
}

void TReader::ReadComponentData(TComponent* instance) {
    const bool ownsFixups = !FFixups;
    if (ownsFixups)
        FFixups = std::make_unique<std::vector<TPropFixup>>();
    try {
        {
            rtl::TRestore<TComponent*> keepCurrent(FCurrentComponent);
            FCurrentComponent = instance;
            while (!AtListEnd())
                ReadPropertyEntry(instance);
            ExpectListEnd();
            rtl::TRestore<TComponent*> keepParent(FParent);
            rtl::TRestore<TComponent*> keepOwner(FOwner);
            FParent = instance->ChildParentForReading();
            FOwner = instance->ChildOwnerForReading();
            if (!FOwner)
                FOwner = FRoot;
            while (!AtListEnd())
                ReadComponentEntry(nullptr);
            ExpectListEnd();
        }
        if (ownsFixups)
            DoFixupReferences();
    } catch (...) {
        if (ownsFixups)
            FFixups.reset();
        throw;
    }
    if (ownsFixups)
        FFixups.reset();
}

void TReader::DoFixupReferences() {
    // Entries of destroyed objects are blanked (not erased) by RemoveFixupsOf, so the
    // indices stay valid while property setters run.
    for (std::size_t i = 0; i < FFixups->size(); ++i) {
        const TPropFixup fixup = (*FFixups)[i];
        if (!fixup.Instance)
            continue;
        TComponent* target = fixup.Root ? FindNestedComponent(fixup.Root, fixup.Name) : nullptr;
        RemoveGlobalFixupsFor(fixup.Instance, fixup.Prop);
        if (target) {
            SetObjectProp(fixup.Instance, *fixup.Prop, target);
        } else if (const auto dot = fixup.Name.find('.'); dot != std::string::npos) {
            TPropFixup global = fixup;
            global.RootName = fixup.Name.substr(0, dot);
            global.Name = fixup.Name.substr(dot + 1);
            AddGlobalFixup(std::move(global));
        } else {
            SetObjectProp(fixup.Instance, *fixup.Prop, nullptr);
        }
    }
}

void TReader::RemoveFixupsOf(const TObject* obj) {
    if (FFixups)
        for (TPropFixup& f : *FFixups)
            if (f.Instance == obj || f.Component == obj || f.Root == obj)
                f = TPropFixup{};
    if (FLoaded)
        std::erase(*FLoaded, obj);
}

namespace {
// Makes the root's name unique among the global roots: the stored name, else
// "<name>_1", "<name>_2", ...
std::string FindUniqueName(const std::string& name, TComponent* self) {
    auto taken = [self](const std::string& candidate) {
        TComponent* other = FindGlobalRoot(candidate);
        return other && other != self;
    };
    if (!taken(name))
        return name;
    for (int i = 1;; ++i) {
        std::string candidate = rtl::Format("%s_%d", name, i);
        if (!taken(candidate))
            return candidate;
    }
}
} // namespace

TComponent* TReader::ReadRootEntry(TComponent* root) {
    rtl::TWriteLock lock(GlobalNameSpace());
    ReadSignature();
    TComponent* result = root;
    bool created = false;
    std::unique_ptr<std::vector<TComponent*>> ownLoaded;
    try {
        TFilerFlags flags = 0;
        int childPos = -1;
        ReadHeaderFlags(flags, childPos);
        const std::string className = ReadShortStr();
        if (root) {
            root->SetState(stLoading);
            root->SetState(stReading);
            root->SetName(FindUniqueName(ReadShortStr(), root));
        } else {
            TClass c = FindStreamClass(className);
            if (!c->InheritsFrom(&TComponent::ClassInfo))
                throw rtl::EClassNotFound(rtl::SClassNotFound, className);
            result = static_cast<TComponent*>(c->Create(nullptr));
            created = true;
            result->SetName(ReadShortStr());
        }
        SetRoot(result);
        FLookupRoot = result;
        FFinder = std::make_unique<TClassFinder>(result->ClassType(), true);
        FLoaded = GlobalLoadingList();
        if (!FLoaded) {
            ownLoaded = std::make_unique<std::vector<TComponent*>>();
            FLoaded = ownLoaded.get();
        }
        if (std::find(FLoaded->begin(), FLoaded->end(), result) == FLoaded->end())
            FLoaded->push_back(result);
        FOwner = result;
        result->SetState(stLoading);
        result->SetState(stReading);
        result->ReadStoredState(*this);
        result->ClearState(stReading);
        if (ownLoaded) {
            for (std::size_t i = 0; i < ownLoaded->size(); ++i)
                (*ownLoaded)[i]->Loaded();
        }
        FLoaded = nullptr;
        ownLoaded.reset();
        FFinder.reset();
        for (;;) {
            try {
                GlobalFixupReferences();
                break;
            } catch (const rtl::Exception& e) {
                if (!Error(e.Message()))
                    throw;
            }
        }
    } catch (...) {
        FLoaded = nullptr;
        FFinder.reset();
        RemoveFixupReferences(root);
        if (created)
            Free(result);
        throw;
    }
    return result;
}

// --- global services

rtl::TMultiReadExclusiveWriteSynchronizer& GlobalNameSpace() {
    static rtl::TMultiReadExclusiveWriteSynchronizer lock;
    return lock;
}

void GlobalFixupReferences() {
    TGlobalFixupList& g = GlobalFixups();
    if (g.Count.load() == 0)
        return;
    rtl::TWriteLock ns(GlobalNameSpace());
    std::lock_guard lock(g.Lock);
    std::size_t i = 0;
    while (i < g.List.size()) {
        const TPropFixup fixup = g.List[i];
        TComponent* root = FindGlobalRoot(fixup.RootName);
        if (!root && GetObjectProp(fixup.Instance, *fixup.Prop) == nullptr) {
            ++i;
            continue;
        }
        g.List.erase(g.List.begin() + static_cast<std::ptrdiff_t>(i));
        g.Sync();
        if (root)
            SetObjectProp(fixup.Instance, *fixup.Prop, FindNestedComponent(root, fixup.Name));
        i = std::min(i, g.List.size());
    }
}

void RemoveFixupReferences(TComponent* root) {
    TGlobalFixupList& g = GlobalFixups();
    std::lock_guard lock(g.Lock);
    std::erase_if(g.List, [root](const TPropFixup& f) { return !root || f.Root == root; });
    g.Sync();
}

void RemoveFixups(const TObject* obj) {
    TGlobalFixupList& g = GlobalFixups();
    if (g.Count.load() > 0) {
        std::lock_guard lock(g.Lock);
        std::erase_if(g.List, [obj](const TPropFixup& f) {
            return f.Instance == obj || f.Component == obj || f.Root == obj;
        });
        g.Sync();
    }
    for (TReader* r : tActiveReaders)
        r->RemoveFixupsOf(obj);
    for (auto& list : tLoadingStack)
        std::erase(*list, obj);
}

int GlobalFixupCount() {
    return GlobalFixups().Count.load();
}

void BeginGlobalLoading() {
    tLoadingStack.push_back(std::make_unique<std::vector<TComponent*>>());
}

void NotifyGlobalLoading() {
    if (tLoadingStack.empty())
        return;
    std::vector<TComponent*>& list = *tLoadingStack.back();
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i]->Loaded();
}

void EndGlobalLoading() {
    if (!tLoadingStack.empty())
        tLoadingStack.pop_back();
}

std::vector<TComponent*>* GlobalLoadingList() {
    return tLoadingStack.empty() ? nullptr : tLoadingStack.back().get();
}

} // namespace formstream
