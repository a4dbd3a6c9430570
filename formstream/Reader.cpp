#include "formstream/Reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "formstream/ClassRegistry.h"
#include "formstream/Collection.h"
#include "formstream/Component.h"
#include "formstream/GlobalFixups.h"
#include "formstream/IdentMaps.h"
#include "formstream/ReaderSupport.h"
#include "formstream/TextCodec.h"
#include "rtl/Exceptions.h"
#include "rtl/Locks.h"
#include "rtl/Restore.h"
#include "rtl/Stream.h"

namespace formstream {

using namespace readersupport;

// --- construction, buffer

TReader::TReader(rtl::TStream& stream, int bufSize)
    : FStream(stream), FBufSize(static_cast<std::size_t>(bufSize < 1 ? 1 : bufSize)) {
    FBuffer.reset(new std::uint8_t[FBufSize]);
    RegisterActiveReader(this);
}

TReader::~TReader() {
    UnregisterActiveReader(this);
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
        TNestingGuard guard(FDepth);
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
        TNestingGuard guard(FDepth);
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
    TNestingGuard guard(FDepth);
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

void TReader::CheckWritable(TPersistent* instance, const TPropInfo& prop) {
    if (prop.Set)
        return;
    // A read-only property may still hold a sub-component whose properties follow.
    if (prop.Kind() == TTypeKind::tkClass)
        if (auto* c = DynCast<TComponent>(GetObjectProp(instance, prop)))
            if (c->ComponentStyle().Contains(csSubComponent))
                return;
    SkipAnyValue();
    throw rtl::EReadError(rtl::SReadOnlyProperty);
}

void TReader::ReadIntegerProperty(TPersistent* instance, const TPropInfo& prop) {
    if (PeekValueTag() != tagIdent) {
        SetOrdProp(instance, prop, ReadIntegerValue());
        return;
    }
    ReadValueTag();
    const std::string ident = ReadShortStr();
    std::int32_t value = 0;
    if (!IdentToInt(*prop.PropType, ident, value))
        InvalidValue();
    SetOrdProp(instance, prop, value);
}

void TReader::AddFixup(TPropFixup fixup) {
    if (FFixups) {
        FFixups->push_back(std::move(fixup));
        return;
    }
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

void TReader::ReadClassProperty(TPersistent* instance, const TPropInfo& prop) {
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
        AddFixup(std::move(fixup));
    }
}

void TReader::ReadMethodProperty(TPersistent* instance, const TPropInfo& prop) {
    if (PeekValueTag() == tagNil) {
        ReadValueTag();
        SetMethodProp(instance, prop, TMethod{});
        return;
    }
    const std::string name = ReadIdentValue();
    const TMethod method = FRoot ? FindPublishedMethod(FRoot, name) : TMethod{};
    if (!method)
        InvalidValue();
    SetMethodProp(instance, prop, method);
}

void TReader::ReadPropertyValue(TPersistent* instance, const TPropInfo& prop) {
    CheckWritable(instance, prop);
    const TTypeInfo& type = *prop.PropType;
    switch (type.Kind) {
    case TTypeKind::tkInteger:
        ReadIntegerProperty(instance, prop);
        break;
    case TTypeKind::tkChar:
        SetOrdProp(instance, prop, static_cast<unsigned char>(ReadCharValue()));
        break;
    case TTypeKind::tkEnumeration: {
        const int ordinal = GetEnumValue(type, ReadIdentValue());
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
    case TTypeKind::tkClass:
        ReadClassProperty(instance, prop);
        break;
    case TTypeKind::tkMethod:
        ReadMethodProperty(instance, prop);
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

void TReader::CreateEntryComponent(TFilerFlags flags, const std::string& className,
                                   const std::string& name, TComponent*& result, bool& created) {
    if (flags & cfInherited) {
        // An inherited entry names a component the ancestor already made.
        FindComponentClass(className);
        result = FLookupRoot ? FLookupRoot->FindOwnedComponent(name) : nullptr;
        if (!result)
            throw rtl::EReadError(rtl::SAncestorNotFound, name);
        FParent = result->ParentForReading();
        if (!FParent)
            FParent = FRoot;
        return;
    }
    TClass c = FindComponentClass(className);
    result = static_cast<TComponent*>(c->Create(FOwner));
    created = true;
    if (flags & cfInline) {
        result->SetState(stLoading);
        result->SetState(stInline);
    }
}

bool TReader::RecoverEntry(const rtl::Exception& e, TComponent* made) {
    if (made)
        Free(made);
    const std::string message = e.Message();
    try {
        SkipComponentEntry(false);
        return Error(message);
    } catch (const rtl::Exception&) {
        return false;
    }
}

void TReader::LoadEntry(TComponent* result, TFilerFlags flags, int childPos) {
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
}

TComponent* TReader::ReadComponentEntry(TComponent* component) {
    TNestingGuard guard(FDepth);
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
    try {
        if (!result)
            CreateEntryComponent(flags, className, name, result, created);
        result->SetState(stLoading);
        if (!(flags & cfInherited)) {
            result->AttachToParent(FParent);
            result->SetName(name);
        }
    } catch (const rtl::Exception& e) {
        if (!RecoverEntry(e, created ? result : nullptr))
            throw;
        return nullptr;
    }
    try {
        LoadEntry(result, flags, childPos);
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

} // namespace formstream
