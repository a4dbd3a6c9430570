#include "formstream/Writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "formstream/Collection.h"
#include "formstream/Component.h"
#include "formstream/IdentMaps.h"
#include "formstream/TextCodec.h"
#include "rtl/Exceptions.h"
#include "rtl/Restore.h"
#include "rtl/Stream.h"

namespace formstream {

namespace {

// The published properties of a class in writing order: ancestors' first; a property
// that a descendant publishes again keeps its ancestor's place and takes the
// descendant's entry.
std::vector<const TPropInfo*> PropertyList(TClass cls) {
    std::vector<TClass> chain;
    for (TClass c = cls; c; c = c->Parent)
        chain.push_back(c);
    std::vector<const TPropInfo*> list;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        for (const TPropInfo& p : (*it)->Tables.Props) {
            auto same = std::find_if(list.begin(), list.end(), [&](const TPropInfo* q) {
                return rtl::SameText(q->Name, p.Name);
            });
            if (same != list.end())
                *same = &p;
            else
                list.push_back(&p);
        }
    return list;
}

} // namespace

TWriter::TWriter(rtl::TStream& stream, int bufSize)
    : FStream(stream), FBufSize(static_cast<std::size_t>(bufSize < 1 ? 1 : bufSize)) {
    FBuffer.reserve(FBufSize);
}

TWriter::~TWriter() {
    try {
        FlushBuffer();
    } catch (const rtl::Exception&) {
    }
}

void TWriter::FlushBuffer() {
    if (FBuffer.empty())
        return;
    FStream.WriteBuffer(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
}

void TWriter::Write(const void* data, std::size_t count) {
    if (FBuffer.size() + count > FBufSize) {
        FlushBuffer();
        if (count >= FBufSize) {
            FStream.WriteBuffer(data, count);
            return;
        }
    }
    const auto* p = static_cast<const std::uint8_t*>(data);
    FBuffer.insert(FBuffer.end(), p, p + count);
}

void TWriter::WriteLE(std::uint64_t value, int bytes) {
    std::uint8_t b[8];
    for (int i = 0; i < bytes; ++i)
        b[i] = static_cast<std::uint8_t>(value >> (8 * i));
    Write(b, static_cast<std::size_t>(bytes));
}

// --- structure

void TWriter::WriteValueTag(TValueTag tag) {
    const std::uint8_t b = tag;
    Write(&b, 1);
}

void TWriter::WriteShortStr(std::string_view s) {
    const std::size_t n = std::min<std::size_t>(s.size(), 255);
    const std::uint8_t len = static_cast<std::uint8_t>(n);
    Write(&len, 1);
    Write(s.data(), n);
}

void TWriter::WritePropName(std::string_view name) {
    if (FPropPath.empty())
        WriteShortStr(name);
    else
        WriteShortStr(FPropPath + std::string(name));
}

void TWriter::WriteHeader(TFilerFlags flags, int childPos) {
    flags &= 0x0F;
    if (flags == 0)
        return;
    const std::uint8_t b = 0xF0 | flags;
    Write(&b, 1);
    if (flags & cfChildPos)
        WriteInteger(childPos);
}

void TWriter::WriteSignature() {
    Write(FilerSignature, 4);
}

// --- values

void TWriter::WriteInteger(std::int64_t value) {
    if (value >= -128 && value <= 127) {
        WriteValueTag(tagInt8);
        WriteLE(static_cast<std::uint64_t>(value), 1);
    } else if (value >= -32768 && value <= 32767) {
        WriteValueTag(tagInt16);
        WriteLE(static_cast<std::uint64_t>(value), 2);
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        WriteValueTag(tagInt32);
        WriteLE(static_cast<std::uint64_t>(value), 4);
    } else {
        WriteValueTag(tagInt64);
        WriteLE(static_cast<std::uint64_t>(value), 8);
    }
}

void TWriter::WriteBoolean(bool value) {
    WriteValueTag(value ? tagTrue : tagFalse);
}

void TWriter::WriteString(std::string_view s) {
    if (s.size() < 256) {
        WriteValueTag(tagString);
        WriteShortStr(s);
    } else {
        WriteValueTag(tagLString);
        WriteLE(s.size(), 4);
        Write(s.data(), s.size());
    }
}

void TWriter::WriteUtf8String(std::string_view s) {
    WriteValueTag(tagUtf8String);
    WriteLE(s.size(), 4);
    Write(s.data(), s.size());
}

void TWriter::WriteWideString(std::u16string_view s) {
    if (!HasLoneSurrogate(s)) {
        // The 8-bit form (the system code page, UTF-8) keeps every character.
        WriteString(Utf16ToAnsi(s));
        return;
    }
    // Only the wide form keeps a lone surrogate.
    WriteValueTag(tagWString);
    WriteLE(s.size(), 4);
    for (char16_t c : s)
        WriteLE(c, 2);
}

void TWriter::WriteIdent(std::string_view ident) {
    if (rtl::SameText(ident, "False"))
        WriteValueTag(tagFalse);
    else if (rtl::SameText(ident, "True"))
        WriteValueTag(tagTrue);
    else if (rtl::SameText(ident, "Null"))
        WriteValueTag(tagNull);
    else if (rtl::SameText(ident, "nil"))
        WriteValueTag(tagNil);
    else {
        WriteValueTag(tagIdent);
        WriteShortStr(ident);
    }
}

void TWriter::WriteFloat(long double value) {
    std::uint8_t b[10];
    LongDoubleToExtended(value, b);
    WriteValueTag(tagExtended);
    Write(b, 10);
}

void TWriter::WriteSingle(float value) {
    WriteValueTag(tagSingle);
    WriteLE(std::bit_cast<std::uint32_t>(value), 4);
}

void TWriter::WriteCurrency(std::int64_t tenThousandths) {
    WriteValueTag(tagCurrency);
    WriteLE(static_cast<std::uint64_t>(tenThousandths), 8);
}

void TWriter::WriteDate(double value) {
    WriteValueTag(tagDate);
    WriteLE(std::bit_cast<std::uint64_t>(value), 8);
}

void TWriter::WriteSet(std::uint32_t bits, const TTypeInfo& setType) {
    WriteValueTag(tagSet);
    if (setType.CompType)
        for (int i = 0; i < 32; ++i)
            if (bits & (std::uint32_t(1) << i)) {
                const std::string_view name = GetEnumName(*setType.CompType, i);
                if (!name.empty())
                    WriteShortStr(name);
            }
    WriteShortStr("");
}

void TWriter::WriteSetNames(std::span<const std::string> names) {
    WriteValueTag(tagSet);
    for (const std::string& n : names)
        if (!n.empty())
            WriteShortStr(n);
    WriteShortStr("");
}

void TWriter::WriteCollection(TCollection* collection) {
    WriteValueTag(tagCollection);
    if (collection) {
        rtl::TRestore<std::string> keepPath(FPropPath);
        FPropPath.clear();
        for (int i = 0; i < collection->Count(); ++i) {
            WriteListBegin();
            WriteProperties(collection->Items(i));
            WriteListEnd();
        }
    }
    WriteListEnd();
}

void TWriter::WriteVariant(const TVariant& value) {
    using V = TVariant::TVarType;
    switch (value.VType) {
    case V::varEmpty:
        WriteValueTag(tagNil);
        break;
    case V::varNull:
        WriteValueTag(tagNull);
        break;
    case V::varInteger:
        WriteInteger(static_cast<std::int32_t>(value.Int));
        break;
    case V::varInt64:
        WriteValueTag(tagInt64);
        WriteLE(static_cast<std::uint64_t>(value.Int), 8);
        break;
    case V::varDouble:
        WriteFloat(value.Float);
        break;
    case V::varCurrency:
        WriteCurrency(value.Int);
        break;
    case V::varDate:
        WriteDate(static_cast<double>(value.Float));
        break;
    case V::varString:
        WriteString(value.Str);
        break;
    case V::varWString:
        WriteWideString(value.WStr);
        break;
    case V::varBoolean:
        WriteBoolean(value.Int != 0);
        break;
    }
}

void TWriter::WriteBinary(const void* data, std::size_t count) {
    WriteValueTag(tagBinary);
    WriteLE(count, 4);
    Write(data, count);
}

// --- defined properties

void TWriter::DeclareProperty(std::string_view name, TReaderProc, TWriterProc writeData,
                              bool hasData) {
    if (!hasData || !writeData)
        return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DeclareBinaryProperty(std::string_view name, TStreamProc, TStreamProc writeData,
                                    bool hasData) {
    if (!hasData || !writeData)
        return;
    rtl::TMemoryStream block;
    writeData(block);
    WritePropName(name);
    WriteBinary(block.Memory(), static_cast<std::size_t>(block.Size()));
}

// --- components

std::string TWriter::ComponentReferenceName(const TComponent* component) const {
    return ReferenceName(component, FLookupRoot);
}

std::string TWriter::ReferenceName(const TComponent* component, const TComponent* lookupRoot) {
    if (!component)
        return {};
    if (component == lookupRoot)
        return "Owner";
    if (component->Owner() == lookupRoot)
        return component->Name();
    if (component->Owner() && !component->Owner()->Name().empty() && !component->Name().empty())
        return component->Owner()->Name() + "." + component->Name();
    return {};
}

void TWriter::WriteRootComponent(TComponent* root) {
    WriteDescendent(root, nullptr);
}

void TWriter::WriteDescendent(TComponent* root, TComponent* ancestor) {
    FRoot = root;
    FLookupRoot = root;
    FRootAncestor = ancestor;
    FAncestor = ancestor;
    WriteSignature();
    WriteComponent(root);
    FlushBuffer();
}

void TWriter::WriteComponent(TComponent* component) {
    TFilerFlags flags = 0;
    if (FAncestor && component != FRoot)
        flags |= cfInherited;
    if (flags == 0 && component->ClassName().size() >= 0xF0) {
        // The length byte of so long a class name would read as a header byte.
        const std::uint8_t b = 0xF0;
        Write(&b, 1);
    }
    WriteHeader(flags, -1);
    WriteShortStr(component->ClassName());
    WriteShortStr(component->Name());
    component->SetState(stWriting);
    try {
        component->WriteStoredState(*this);
    } catch (...) {
        component->ClearState(stWriting);
        throw;
    }
    component->ClearState(stWriting);
}

void TWriter::WriteComponentData(TComponent* instance) {
    WriteProperties(instance);
    WriteListEnd();
    // The root's owned components are its children; nested components are written by
    // classes that override WriteStoredState.
    if (instance == FLookupRoot) {
        rtl::TRestore<TPersistent*> keepAncestor(FAncestor);
        for (int i = 0; i < instance->ComponentCount(); ++i) {
            TComponent* child = instance->Components(i);
            if (child->ComponentStyle().Contains(csSubComponent) ||
                child->ComponentStyle().Contains(csTransient))
                continue;
            FAncestor = FRootAncestor && !child->Name().empty()
                            ? FRootAncestor->FindOwnedComponent(child->Name())
                            : nullptr;
            WriteComponent(child);
        }
    }
    WriteListEnd();
}

void TWriter::WriteProperties(TPersistent* instance) {
    for (const TPropInfo* prop : PropertyList(instance->ClassType()))
        WriteProperty(instance, *prop);
    instance->DefineProperties(*this);
}

void TWriter::WriteMethodProperty(const TObject* ancestor, const TPropInfo& prop,
                                  const TMethod& m) {
    // Handlers compare by name: the ancestor's are bound to the ancestor root.
    const std::string_view name = m ? FindPublishedMethodName(FLookupRoot, m) : "";
    if (m && name.empty())
        return; // not a handler of the root: it has no name to be written by
    if (ancestor) {
        const TMethod a = GetMethodProp(ancestor, prop);
        const std::string_view ancestorName =
            a && FRootAncestor ? FindPublishedMethodName(FRootAncestor, a) : "";
        if (name == ancestorName)
            return;
    } else if (!m) {
        return;
    }
    WritePropName(prop.Name);
    if (m)
        WriteIdent(name);
    else
        WriteValueTag(tagNil);
}

void TWriter::WriteOrdinalProperty(bool hasAncestor, const TPropInfo& prop, std::int64_t v) {
    const TTypeInfo& type = *prop.PropType;
    if (!hasAncestor && prop.HasDefault && v == prop.Default)
        return;
    if (type.Kind == TTypeKind::tkEnumeration && GetEnumName(type, v).empty())
        return;
    WritePropName(prop.Name);
    std::string ident;
    if (type.Kind == TTypeKind::tkInteger && IntToIdent(type, static_cast<std::int32_t>(v), ident))
        WriteIdent(ident);
    else if (type.Kind == TTypeKind::tkInteger || type.Kind == TTypeKind::tkInt64)
        WriteInteger(v);
    else if (type.Kind == TTypeKind::tkChar)
        WriteString(v ? std::string(1, static_cast<char>(v)) : std::string());
    else if (type.Kind == TTypeKind::tkEnumeration)
        WriteIdent(GetEnumName(type, v));
    else
        WriteSet(static_cast<std::uint32_t>(v), type);
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo& prop) {
    if (prop.NeverStored || (prop.IsStored && !prop.IsStored(instance)))
        return;
    if (prop.Kind() == TTypeKind::tkClass) {
        WriteObjectProperty(instance, prop);
        return;
    }
    if (!prop.Set)
        return;
    // The ancestor's value, when the ancestor is an object of a class that has the
    // same property.
    const TObject* ancestor =
        FAncestor && FAncestor->ClassType()->FindProp(prop.Name) == &prop ? FAncestor : nullptr;
    const TTypeInfo& type = *prop.PropType;
    const TValue value = GetPropValue(instance, prop);
    if (type.Kind == TTypeKind::tkMethod) {
        WriteMethodProperty(ancestor, prop, std::get<TMethod>(value));
        return;
    }
    if (ancestor && GetPropValue(ancestor, prop) == value)
        return;
    // Without an ancestor, the empty value of each kind is the default and is left out.
    auto named = [&](bool empty) {
        if (!ancestor && empty)
            return false;
        WritePropName(prop.Name);
        return true;
    };
    switch (type.Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkChar:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkSet:
    case TTypeKind::tkInt64:
        WriteOrdinalProperty(ancestor != nullptr, prop, std::get<std::int64_t>(value));
        break;
    case TTypeKind::tkFloat:
        if (const long double v = std::get<long double>(value); named(v == 0))
            WriteFloat(v);
        break;
    case TTypeKind::tkString:
        if (const std::string& v = std::get<std::string>(value); named(v.empty()))
            WriteString(v);
        break;
    case TTypeKind::tkWString:
        if (const std::u16string& v = std::get<std::u16string>(value); named(v.empty()))
            WriteWideString(v);
        break;
    case TTypeKind::tkVariant:
        if (const TVariant& v = std::get<TVariant>(value);
            named(v.VType == TVariant::TVarType::varEmpty))
            WriteVariant(v);
        break;
    default:
        break; // no stream form
    }
}

std::string TWriter::CollectionBytes(TCollection* collection, TComponent* lookupRoot) {
    if (!collection)
        return {};
    rtl::TMemoryStream s;
    {
        TWriter w(s);
        w.FRoot = lookupRoot;
        w.FLookupRoot = lookupRoot;
        w.WriteCollection(collection);
    }
    return std::string(reinterpret_cast<const char*>(s.Memory()),
                       static_cast<std::size_t>(s.Size()));
}

void TWriter::WriteObjectProperty(TPersistent* instance, const TPropInfo& prop) {
    TObject* obj = GetObjectProp(instance, prop);
    TPersistent* ancestorObj = nullptr;
    if (FAncestor && FAncestor->ClassType()->FindProp(prop.Name) == &prop)
        ancestorObj = DynCast<TPersistent>(GetObjectProp(FAncestor, prop));
    auto* component = DynCast<TComponent>(obj);
    if (component && component->ComponentStyle().Contains(csSubComponent) &&
        component->Owner() == instance) {
        WriteSubProperties(prop.Name, component, ancestorObj);
        return;
    }
    if (!obj || component) {
        if (!prop.Set)
            return;
        const std::string name = ComponentReferenceName(component);
        const std::string ancestorName =
            FAncestor ? ReferenceName(DynCast<TComponent>(ancestorObj), FRootAncestor)
                      : std::string();
        if (FAncestor ? name == ancestorName : name.empty())
            return;
        WritePropName(prop.Name);
        if (name.empty())
            WriteValueTag(tagNil);
        else
            WriteIdent(name);
        return;
    }
    if (auto* collection = DynCast<TCollection>(obj)) {
        if (!prop.Set)
            return;
        if (FAncestor ? CollectionBytes(collection, FLookupRoot) ==
                            CollectionBytes(DynCast<TCollection>(ancestorObj), FRootAncestor)
                      : collection->Count() == 0)
            return;
        WritePropName(prop.Name);
        WriteCollection(collection);
        return;
    }
    if (auto* persistent = DynCast<TPersistent>(obj))
        WriteSubProperties(prop.Name, persistent, ancestorObj);
}

void TWriter::WriteSubProperties(std::string_view name, TPersistent* value, TPersistent* ancestor) {
    rtl::TRestore<std::string> keepPath(FPropPath);
    rtl::TRestore<TPersistent*> keepAncestor(FAncestor);
    FPropPath += std::string(name) + ".";
    FAncestor = ancestor && ancestor->ClassType() == value->ClassType() ? ancestor : nullptr;
    WriteProperties(value);
}

} // namespace formstream
