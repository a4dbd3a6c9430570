// The services shared by all readers of a thread or of the process: the lock on the
// global name space, the global fix-up list (references to roots not read yet), the
// reference paths they follow, and the stack of loading lists.
#include "formstream/GlobalFixups.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "formstream/ClassRegistry.h"
#include "formstream/Component.h"
#include "rtl/Locks.h"
#include "rtl/SysUtils.h"

namespace formstream {

namespace {

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

thread_local std::vector<IActiveRead*> tActiveReaders;
thread_local std::vector<std::unique_ptr<std::vector<TComponent*>>> tLoadingStack;

} // namespace

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

void RegisterActiveReader(IActiveRead* reader) {
    tActiveReaders.push_back(reader);
}

void UnregisterActiveReader(IActiveRead* reader) {
    std::erase(tActiveReaders, reader);
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
    for (IActiveRead* r : tActiveReaders)
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
