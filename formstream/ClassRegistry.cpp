#include "formstream/ClassRegistry.h"

#include <algorithm>
#include <mutex>

#include "formstream/Persistent.h"
#include "rtl/Exceptions.h"

namespace formstream {

namespace {

struct TRegGroup {
    TClass Head = nullptr;
    bool Active = false;
    std::vector<TClass> Classes;
    std::vector<std::pair<std::string, TClass>> Aliases;
    // Roots moved here by GroupDescendentsWith: their descendants belong to this group.
    std::vector<TClass> Grouped;

    TClass Find(std::string_view name) const {
        for (TClass c : Classes)
            if (rtl::SameText(c->Name, name))
                return c;
        for (const auto& [alias, c] : Aliases)
            if (rtl::SameText(alias, name))
                return c;
        return nullptr;
    }
    bool Holds(TClass c) const {
        return std::find(Classes.begin(), Classes.end(), c) != Classes.end();
    }
    // How closely `c` descends from this group's roots: the distance to the nearest root,
    // or -1 when it descends from none.
    int Distance(TClass c) const {
        int best = -1;
        auto consider = [&](TClass root) {
            int d = 0;
            for (TClass k = c; k; k = k->Parent, ++d)
                if (k == root) {
                    if (best < 0 || d < best)
                        best = d;
                    return;
                }
        };
        consider(Head);
        for (TClass r : Grouped)
            consider(r);
        return best;
    }
};

struct TRegistry {
    std::recursive_mutex Lock;
    std::vector<std::unique_ptr<TRegGroup>> Groups;

    TRegistry() { Reset(); }
    void Reset() {
        Groups.clear();
        auto g = std::make_unique<TRegGroup>();
        g->Head = &TPersistent::ClassInfo;
        g->Active = true;
        Groups.push_back(std::move(g));
    }
    // The group `c` belongs in: the one whose roots it descends from most closely.
    TRegGroup* GroupFor(TClass c) {
        TRegGroup* best = nullptr;
        int bestDistance = -1;
        for (auto& g : Groups) {
            const int d = g->Distance(c);
            if (d >= 0 && (bestDistance < 0 || d < bestDistance)) {
                best = g.get();
                bestDistance = d;
            }
        }
        return best;
    }
    TRegGroup* GroupHolding(TClass c) {
        for (auto& g : Groups)
            if (g->Holds(c))
                return g.get();
        return nullptr;
    }
    TRegGroup* GroupHeadedBy(TClass c) {
        for (auto& g : Groups)
            if (g->Head == c)
                return g.get();
        return nullptr;
    }
    TClass Lookup(std::string_view name) {
        for (auto& g : Groups)
            if (g->Active)
                if (TClass c = g->Find(name))
                    return c;
        return nullptr;
    }
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

} // namespace

void RegisterStreamClass(TClass c) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    for (; c; c = c->Parent) {
        if (r.GroupHolding(c))
            break;
        TRegGroup* group = r.GroupFor(c);
        if (!group)
            break; // not a streamable class
        if (group->Find(c->Name))
            throw rtl::EFilerError(rtl::SDuplicateClass, c->Name);
        group->Classes.push_back(c);
        if (c == &TPersistent::ClassInfo)
            break;
    }
}

void RegisterStreamClasses(std::initializer_list<TClass> classes) {
    for (TClass c : classes)
        RegisterStreamClass(c);
}

void RegisterStreamClassAlias(TClass c, std::string_view alias) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    RegisterStreamClass(c);
    if (TRegGroup* g = r.GroupHolding(c))
        g->Aliases.emplace_back(alias, c);
}

void UnregisterStreamClass(TClass c) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    for (auto& g : r.Groups) {
        std::erase(g->Classes, c);
        std::erase_if(g->Aliases, [c](const auto& a) { return a.second == c; });
    }
}

TClass LookupStreamClass(std::string_view name) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    return r.Lookup(name);
}

TClass FindStreamClass(std::string_view name) {
    if (TClass c = LookupStreamClass(name))
        return c;
    throw rtl::EClassNotFound(rtl::SClassNotFound, name);
}

void StartClassGroup(TClass groupClass) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    if (r.GroupHeadedBy(groupClass))
        return;
    auto g = std::make_unique<TRegGroup>();
    g->Head = groupClass;
    g->Active = true;
    r.Groups.push_back(std::move(g));
}

TClass ActivateClassGroup(TClass c) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    TRegGroup* target = r.GroupHeadedBy(c);
    if (!target)
        target = r.GroupHolding(c);
    if (!target)
        throw rtl::EFilerError(rtl::SNoRegGroup, c->Name);
    TClass previous = nullptr;
    for (auto& g : r.Groups) {
        if (g->Active && !previous)
            previous = g->Head;
        g->Active = false;
    }
    target->Active = true;
    return previous;
}

void GroupDescendentsWith(TClass c, TClass groupClass) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    TRegGroup* target = r.GroupHeadedBy(groupClass);
    if (!target)
        throw rtl::EFilerError(rtl::SNoRegGroup, groupClass->Name);
    for (auto& g : r.Groups) {
        if (g.get() == target)
            continue;
        for (auto it = g->Classes.begin(); it != g->Classes.end();) {
            if ((*it)->InheritsFrom(c)) {
                target->Classes.push_back(*it);
                it = g->Classes.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (std::find(target->Grouped.begin(), target->Grouped.end(), c) == target->Grouped.end())
        target->Grouped.push_back(c);
}

TClass ClassGroupOf(TClass c) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    if (TRegGroup* g = r.GroupHolding(c))
        return g->Head;
    return nullptr;
}

void ResetClassRegistry() {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    r.Reset();
}

TClassFinder::TClassFinder(TClass rootClass, bool includeActiveGroups) {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    for (auto& g : r.Groups)
        if ((rootClass && g->Distance(rootClass) >= 0) || (includeActiveGroups && g->Active))
            FGroups.push_back(g.get());
}

TClassFinder::~TClassFinder() = default;

TClass TClassFinder::GetClass(std::string_view name) const {
    TRegistry& r = Registry();
    std::lock_guard lock(r.Lock);
    for (const void* p : FGroups) {
        // The group may have been dropped by a reset since; only look at live ones.
        for (auto& g : r.Groups)
            if (g.get() == p)
                if (TClass c = g->Find(name))
                    return c;
    }
    return nullptr;
}

// --- global roots

namespace {
struct TGlobalRoots {
    std::recursive_mutex Lock;
    std::vector<TFindGlobalRootFunc> Funcs;
};
TGlobalRoots& GlobalRoots() {
    static TGlobalRoots roots;
    return roots;
}
} // namespace

void RegisterFindGlobalRoot(TFindGlobalRootFunc func) {
    auto& g = GlobalRoots();
    std::lock_guard lock(g.Lock);
    g.Funcs.push_back(func);
}

void UnregisterFindGlobalRoot(TFindGlobalRootFunc func) {
    auto& g = GlobalRoots();
    std::lock_guard lock(g.Lock);
    std::erase(g.Funcs, func);
}

TComponent* FindGlobalRoot(std::string_view name) {
    auto& g = GlobalRoots();
    std::lock_guard lock(g.Lock);
    for (auto it = g.Funcs.rbegin(); it != g.Funcs.rend(); ++it)
        if (TComponent* c = (*it)(name))
            return c;
    return nullptr;
}

} // namespace formstream
