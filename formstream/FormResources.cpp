#include "formstream/FormResources.h"

#include <atomic>
#include <vector>

#include "formstream/Component.h"
#include "formstream/Reader.h"
#include "rtl/Exceptions.h"
#include "rtl/Locks.h"
#include "rtl/ResourceStream.h"
#include "rtl/Stream.h"

namespace formstream {

namespace {

// The form streams compiled into the executable: RCDATA resources named after classes.
std::unique_ptr<rtl::TStream> ExecutableFormResource(std::string_view className) {
    const std::string name(className);
    HINSTANCE module = GetModuleHandleA(nullptr);
    if (!rtl::ResourceExists(module, name, RT_RCDATA))
        return nullptr;
    return std::make_unique<rtl::TResourceStream>(module, name, RT_RCDATA);
}

std::atomic<TFormResourceLookup> gLookup{&ExecutableFormResource};

} // namespace

void SetFormResourceLookup(TFormResourceLookup lookup) {
    gLookup.store(lookup ? lookup : &ExecutableFormResource);
}

TFormResourceLookup GetFormResourceLookup() {
    return gLookup.load();
}

bool LoadFormResources(TComponent* instance, TClass rootAncestor) {
    rtl::TWriteLock lock(GlobalNameSpace());
    const bool startsList = !instance->HasState(stLoading) && !instance->HasState(stInline);
    if (startsList)
        BeginGlobalLoading();
    try {
        std::vector<TClass> chain;
        for (TClass c = instance->ClassType();
             c && c != rootAncestor && c != &TComponent::ClassInfo; c = c->Parent)
            chain.push_back(c);
        bool result = false;
        const TFormResourceLookup lookup = gLookup.load();
        for (auto it = chain.rbegin(); lookup && it != chain.rend(); ++it) {
            std::unique_ptr<rtl::TStream> stream = lookup((*it)->Name);
            if (!stream)
                continue;
            TReader reader(*stream, 4096);
            reader.ReadRootEntry(instance);
            result = true;
        }
        if (startsList) {
            NotifyGlobalLoading();
            EndGlobalLoading();
        }
        return result;
    } catch (...) {
        if (startsList)
            EndGlobalLoading();
        throw;
    }
}

void InitInheritedComponent(TComponent* instance, TClass rootAncestor) {
    if (!LoadFormResources(instance, rootAncestor))
        throw rtl::EResNotFound(rtl::SResNotFound, instance->ClassName());
}

} // namespace formstream
