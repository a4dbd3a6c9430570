// The services shared by all readers of a thread or of the process: the fix-up records,
// the global fix-up list (references to components of other roots, waiting for a root of
// that name to be read), the global loading list of one thread (used by LoadFormResources
// so that Loaded runs once after all classes' resources are read), and the global
// name-space lock that every form read holds for writing. They know a running read only
// as an IActiveRead, so this unit sits below the reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formstream/FixupRemoval.h"

namespace rtl {
class TMultiReadExclusiveWriteSynchronizer;
}

namespace formstream {

class TComponent;
class TObject;
class TPersistent;
struct TPropInfo;

// A reference from a property to a component, set once the names are known.
struct TPropFixup {
    TPersistent* Instance = nullptr; // the object whose property refers
    TComponent* Component = nullptr; // the component being read when it was made
    TComponent* Root = nullptr;      // the root of the read that made it
    const TPropInfo* Prop = nullptr;
    std::string RootName; // global fix-ups: the name of the root to wait for
    std::string Name;     // the path of the component, from the root
};

// A running read of this thread: told when an object goes, so that it drops its fix-ups
// and loaded entries of that object.
class IActiveRead {
public:
    virtual void RemoveFixupsOf(const TObject* obj) = 0;

protected:
    ~IActiveRead() = default;
};

// Reads alive on this thread, told when an object they refer to goes.
void RegisterActiveReader(IActiveRead* reader);
void UnregisterActiveReader(IActiveRead* reader);

// The global fix-up list: a reference waiting for a root not read yet, and the removal
// of those made for one property of one object.
void AddGlobalFixup(TPropFixup fixup);
void RemoveGlobalFixupsFor(const TPersistent* instance, const TPropInfo* prop);

// Follows a reference path ("Panel1.Button1", "Owner", "Frame1->Label1") from `root`.
TComponent* FindNestedComponent(TComponent* root, std::string_view path);

// The lock on the global name space (the top-level components that FindGlobalRoot
// knows); a form read holds it for writing.
rtl::TMultiReadExclusiveWriteSynchronizer& GlobalNameSpace();

// --- global fix-ups
// Resolves the global fix-ups whose root now exists (FindGlobalRoot); those whose root is
// still unknown and whose property is still null stay.
void GlobalFixupReferences();
// Removes the global fix-ups made by reading `root` (all of them for null).
void RemoveFixupReferences(TComponent* root);
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
