// TReader: turns a form stream into live components.
//
// A reader works on one source stream through a read buffer of fixed size and, when it
// is destroyed, moves the stream back to the first byte it did not consume. The entry
// point is ReadRootEntry: it checks the "TPF0" signature, names or creates the root,
// reads the root's properties and its children (each created from its class, owned by
// the root, named, and given its properties), binds events to the root's published
// methods, resolves component references once the whole root is read, and calls Loaded
// on every component read, root first. Failures are exceptions (EReadError,
// EClassNotFound, EComponentError) with the framework's messages; a failing property
// entry is reported as "Error reading <name>.<path>: <message>". No input, however
// damaged, makes the reader read outside its buffers or allocate more than the stream
// can hold.
//
// The services shared by all readers (the global fix-up list, the global loading list
// and the global name-space lock) are declared in GlobalFixups.h, included here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/GlobalFixups.h"
#include "formstream/Persistent.h"
#include "formstream/ValueTags.h"

namespace rtl {
class TStream;
class Exception;
} // namespace rtl

namespace formstream {

class TComponent;
class TCollection;
class TClassFinder;

class TReader : public TFiler, public IActiveRead {
public:
    // A buffer size below 1 is taken as 1.
    TReader(rtl::TStream& stream, int bufSize = 4096);
    // Gives back the bytes read into the buffer but not consumed.
    ~TReader() override;
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    // --- whole components
    // Reads the signature and the root entry into `root`, or into a new instance of the
    // stream's class when `root` is null; returns the root.
    TComponent* ReadRootEntry(TComponent* root);
    // Reads one component entry; returns the component, or null when a failure was
    // declared handled by Error().
    TComponent* ReadComponentEntry(TComponent* component);
    // The property list and the children of `instance` (the default ReadStoredState).
    void ReadComponentData(TComponent* instance);
    void ReadSignature();

    // --- properties
    void ReadPropertyEntry(TPersistent* instance);
    void ReadPropertyValue(TPersistent* instance, const TPropInfo& prop);

    // --- typed values (for the read handlers of defined properties)
    std::int32_t ReadIntegerValue();
    std::int64_t ReadInt64Value();
    std::string ReadStringValue();
    std::u16string ReadWideStringValue();
    std::string ReadIdentValue();
    char ReadCharValue();
    bool ReadBoolValue();
    long double ReadFloatValue();
    float ReadSingleValue();
    std::int64_t ReadCurrencyValue(); // ten-thousandths
    double ReadDateValue();
    // The bit mask of the elements of `setType` (a set type) named in the stream.
    std::uint32_t ReadSetValue(const TTypeInfo& setType);
    void ReadCollectionValue(TCollection* collection);
    TVariant ReadVariantValue();

    // --- structure
    TValueTag ReadValueTag();
    TValueTag PeekValueTag();
    bool AtListEnd();
    void ExpectListBegin();
    void ExpectListEnd();
    std::string ReadShortStr();
    // Reads the optional header-flags byte (and the child position when cfChildPos is
    // set; -1 otherwise).
    void ReadHeaderFlags(TFilerFlags& flags, int& childPos);
    void SkipAnyValue();
    void SkipPropertyEntry();
    void SkipComponentEntry(bool skipHeader);
    // Reads exactly `count` raw bytes (EReadError "Stream read error" when the stream
    // ends first).
    void Read(void* buffer, std::size_t count);

    // --- defined properties (called from DefineProperties)
    void DeclareProperty(std::string_view name, TReaderProc readData, TWriterProc writeData,
                         bool hasData) override;
    void DeclareBinaryProperty(std::string_view name, TStreamProc readData, TStreamProc writeData,
                               bool hasData) override;

    TComponent* Owner() const { return FOwner; }
    void SetOwner(TComponent* owner) { FOwner = owner; }
    TComponent* Parent() const { return FParent; }
    void SetParent(TComponent* parent) { FParent = parent; }
    // The name of the property being read (its last path segment).
    const std::string& PropName() const { return FPropName; }
    // Components read so far, in the order their entries were finished.
    const std::vector<TComponent*>& LoadedList() const;

    // Forgets the fix-ups of `obj` (as instance, component or root) in this reader.
    void RemoveFixupsOf(const TObject* obj) override;

protected:
    // Asked when a failure could be recovered; true declares it handled. The default
    // declares nothing handled.
    virtual bool Error(const std::string& message);
    virtual void SetRoot(TComponent* root);
    TClass FindComponentClass(std::string_view className);

private:
    void Refill();
    std::uint8_t ReadByte();
    void UnreadByte();
    void SkipBytes(std::uint64_t count);
    // The bytes known to be left (buffer and stream), or -1 when the stream cannot tell.
    std::int64_t Remaining();
    std::uint32_t ReadLength(std::uint64_t unitSize);
    std::string ReadStringBody(TValueTag tag);
    std::u16string ReadWideBody(TValueTag tag);
    [[noreturn]] void ValueError(); // gives back the tag, skips the value, raises
    void SkipSetBody();
    void SkipValue(TValueTag tag);
    void DoFixupReferences();
    std::int64_t ReadIntegerAfterTag(TValueTag tag);
    // Steps of ReadPropertyValue.
    void CheckWritable(TPersistent* instance, const TPropInfo& prop);
    void ReadIntegerProperty(TPersistent* instance, const TPropInfo& prop);
    void ReadClassProperty(TPersistent* instance, const TPropInfo& prop);
    void ReadMethodProperty(TPersistent* instance, const TPropInfo& prop);
    // Queues a reference to resolve, or resolves it at once outside component data.
    void AddFixup(TPropFixup fixup);
    // Steps of ReadComponentEntry.
    void CreateEntryComponent(TFilerFlags flags, const std::string& className,
                              const std::string& name, TComponent*& result, bool& created);
    // Frees `made` (when not null), skips the rest of the entry and asks Error().
    bool RecoverEntry(const rtl::Exception& e, TComponent* made);
    void LoadEntry(TComponent* result, TFilerFlags flags, int childPos);

    rtl::TStream& FStream;
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::size_t FBufSize;
    std::size_t FBufPos = 0;
    std::size_t FBufEnd = 0;

    TComponent* FOwner = nullptr;
    TComponent* FParent = nullptr;
    TComponent* FCurrentComponent = nullptr;
    std::unique_ptr<std::vector<TPropFixup>> FFixups;
    std::vector<TComponent*>* FLoaded = nullptr;
    std::unique_ptr<TClassFinder> FFinder;
    std::string FPropName;
    bool FCanRecover = false;
    int FDepth = 0; // nesting of entries and values being read
};

} // namespace formstream
