// Builds form stream bytes by hand for tests, one field at a time, so that each test
// shows the stream it reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formstream/ValueTags.h"
#include "rtl/Stream.h"

namespace testclasses {

class TBytes {
public:
    TBytes& Sig() { return Raw("TPF0"); }
    TBytes& Raw(std::string_view s) {
        FBytes += s;
        return *this;
    }
    TBytes& Byte(int b) {
        FBytes += static_cast<char>(b);
        return *this;
    }
    TBytes& LE(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            Byte(static_cast<int>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    // A short string: length byte and characters.
    TBytes& Str(std::string_view s) { return Byte(static_cast<int>(s.size())).Raw(s); }
    // A component header without flags: class and name.
    TBytes& Obj(std::string_view cls, std::string_view name) { return Str(cls).Str(name); }
    // A 0 byte: the end of a property list, a children list or a list value.
    TBytes& End() { return Byte(0); }
    TBytes& Prop(std::string_view path) { return Str(path); }
    TBytes& Int(std::int64_t v) {
        if (v >= -128 && v <= 127)
            return Byte(formstream::tagInt8).LE(static_cast<std::uint64_t>(v), 1);
        if (v >= -32768 && v <= 32767)
            return Byte(formstream::tagInt16).LE(static_cast<std::uint64_t>(v), 2);
        return Byte(formstream::tagInt32).LE(static_cast<std::uint64_t>(v), 4);
    }
    TBytes& Ident(std::string_view s) { return Byte(formstream::tagIdent).Str(s); }
    TBytes& String(std::string_view s) { return Byte(formstream::tagString).Str(s); }
    TBytes& Tag(formstream::TValueTag t) { return Byte(t); }

    const std::string& Bytes() const { return FBytes; }
    std::size_t Size() const { return FBytes.size(); }

    // A memory stream holding the bytes, positioned at the start.
    void LoadInto(rtl::TMemoryStream& s) const {
        s.Clear();
        s.WriteBuffer(FBytes.data(), FBytes.size());
        s.SetPosition(0);
    }

private:
    std::string FBytes;
};

} // namespace testclasses
