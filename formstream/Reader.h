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
// Also here: the global fix-up list (references to components of other roots, waiting
// for a root of that name to be read), the global loading list of one thread (used by
// LoadFormResources so that Loaded runs once after all classes' resources are read), and
// the global name-space lock that every form read holds for writing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Persistent.h"
#include "formstream/ValueTags.h"

namespace rtl {
class TStream;
class TMultiReadExclusiveWriteSynchronizer;
class Exception;
} // namespace rtl

namespace formstream {

class TComponent;
class TCollection;
class TClassFinder;

// A reference from a property to a component, set once the names are known.
struct TPropFixup {
    TPersistent* Instance = nullptr; // the object whose property refers
    TComponent* Component = nullptr; // the component being read when it was made
    TComponent* Root = nullptr;      // the root of the read that made it
    const TPropInfo* Prop = nullptr;
    std::string RootName; // global fix-ups: the name of the root to wait for
    std::string Name;     // the path of the component, from the root
};

class TReader : public TFiler {
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
    void RemoveFixupsOf(const TObject* obj);

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

// The lock on the global name space (the top-level components that FindGlobalRoot
// knows); a form read holds it for writing.
rtl::TMultiReadExclusiveWriteSynchronizer& GlobalNameSpace();

// --- global fix-ups
// Resolves the global fix-ups whose root now exists (FindGlobalRoot); those whose root is
// still unknown and whose property is still null stay.
void GlobalFixupReferences();
// Removes the global fix-ups made by reading `root` (all of them for null).
void RemoveFixupReferences(TComponent* root);
// Removes every fix-up (global, and those of the thread's running reads) that belongs to
// `obj`; components call this when they are destroyed.
void RemoveFixups(const TObject* obj);
// The number of global fix-ups waiting (for tests and diagnostics).
int GlobalFixupCount();

// --- the global loading list of the current thread
// Starts a list (a running one is put aside until EndGlobalLoading); while a list runs,
// ReadRootEntry puts what it reads into it and calls no Loaded.
void BeginGlobalLoading();
// Calls Loaded on every component of the running list, in list order.
void NotifyGlobalLoading();
// Drops the running list and brings back the one put aside.
void EndGlobalLoading();
// The running list of this thread, or null.
std::vector<TComponent*>* GlobalLoadingList();

} // namespace formstream
