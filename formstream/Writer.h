// TWriter: writes components as form streams, choosing the smallest form for each
// value: integers as tagInt8 / tagInt16 / tagInt32 (tagInt64 outside 32 bits), 8-bit
// strings as tagString below 256 bytes and tagLString above, the identifiers False,
// True, Null and nil (any case) as their own tags, floats as tagExtended, and names cut
// to 255 bytes. The header-flags byte of a component entry is written only when a flag
// is set.
//
// WriteRootComponent writes a live root: its published properties that differ from
// their defaults (objects that are no components as dotted sub-properties such as
// "Font.Height", component references by name, events by the name of the root's
// published method), its defined properties, and its owned components as children.
// WriteDescendent compares with an ancestor root instead of the defaults.
//
// The value operations are public too, so that a stream can be written from any
// description (the form compiler writes from text).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Persistent.h"
#include "formstream/ValueTags.h"

namespace rtl {
class TStream;
}

namespace formstream {

class TComponent;
class TCollection;

class TWriter : public TFiler {
public:
    explicit TWriter(rtl::TStream& stream, int bufSize = 4096);
    // Flushes the buffer (errors are dropped here: call FlushBuffer to see them).
    ~TWriter() override;
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;
    void FlushBuffer();

    // --- whole components
    void WriteSignature();
    // The signature and the root entry.
    void WriteRootComponent(TComponent* root);
    // As WriteRootComponent, writing only what differs from `ancestor` (a root of an
    // ancestor class); children that the ancestor has (by name) are marked inherited.
    void WriteDescendent(TComponent* root, TComponent* ancestor);
    // One component entry: header, the component's stored state.
    void WriteComponent(TComponent* component);
    // Properties, list end, children, list end (the default WriteStoredState).
    void WriteComponentData(TComponent* instance);
    // The published properties of `instance` that are to be stored, then its defined
    // properties.
    void WriteProperties(TPersistent* instance);

    // --- structure
    void WriteValueTag(TValueTag tag);
    void WriteListBegin() { WriteValueTag(tagList); }
    void WriteListEnd() { WriteValueTag(tagNull); }
    // A short string (length byte and at most 255 bytes).
    void WriteShortStr(std::string_view s);
    // A property path: the current prefix ("Font.") followed by `name`.
    void WritePropName(std::string_view name);
    // The header-flags byte (only when a flag is set) and the child position.
    void WriteHeader(TFilerFlags flags, int childPos);
    void Write(const void* data, std::size_t count);

    // --- values
    void WriteInteger(std::int64_t value);
    void WriteBoolean(bool value);
    void WriteString(std::string_view s);
    void WriteWideString(std::u16string_view s);
    void WriteUtf8String(std::string_view s);
    void WriteIdent(std::string_view ident);
    void WriteFloat(long double value);
    void WriteSingle(float value);
    void WriteCurrency(std::int64_t tenThousandths);
    void WriteDate(double value);
    // The elements of `setType` (a set type) whose bits are set.
    void WriteSet(std::uint32_t bits, const TTypeInfo& setType);
    void WriteSetNames(std::span<const std::string> names);
    void WriteCollection(TCollection* collection);
    void WriteVariant(const TVariant& value);
    void WriteBinary(const void* data, std::size_t count);

    // --- defined properties (called from DefineProperties)
    void DeclareProperty(std::string_view name, TReaderProc readData, TWriterProc writeData,
                         bool hasData) override;
    void DeclareBinaryProperty(std::string_view name, TStreamProc readData, TStreamProc writeData,
                               bool hasData) override;

    // The name by which a reference to `component` is written ("" when it cannot be).
    std::string ComponentReferenceName(const TComponent* component) const;

private:
    void WriteProperty(TPersistent* instance, const TPropInfo& prop);
    // Steps of WriteProperty: an event handler (by name) and an ordinal value.
    void WriteMethodProperty(const TObject* ancestor, const TPropInfo& prop, const TMethod& m);
    void WriteOrdinalProperty(bool hasAncestor, const TPropInfo& prop, std::int64_t v);
    void WriteObjectProperty(TPersistent* instance, const TPropInfo& prop);
    void WriteSubProperties(std::string_view name, TPersistent* value, TPersistent* ancestor);
    void WriteLE(std::uint64_t value, int bytes);
    static std::string ReferenceName(const TComponent* component, const TComponent* lookupRoot);
    static std::string CollectionBytes(TCollection* collection, TComponent* lookupRoot);

    rtl::TStream& FStream;
    std::vector<std::uint8_t> FBuffer;
    std::size_t FBufSize;
    TComponent* FRootAncestor = nullptr;
    std::string FPropPath;
};

} // namespace formstream
