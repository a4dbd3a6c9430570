// The class registry: how a class name in a stream becomes a class. Classes live in
// registration groups; at start-up one group, headed by TPersistent, exists and is
// active. RegisterStreamClass puts a class and its not yet registered ancestors (up to
// TPersistent) into the group whose head class each descends from most closely.
// Lookups search the active groups, by class name and then by alias, ignoring ASCII case.
// Every operation holds the registry's lock.
//
// Also here: the global root lookups behind FindGlobalRoot (a form library registers
// one that finds forms on the screen by name).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Object.h"

namespace formstream {

class TComponent;

// Registers `c` and each ancestor not yet registered. Raises EFilerError "A class named
// %s already exists" when another class of that name is in the group already.
void RegisterStreamClass(TClass c);
void RegisterStreamClasses(std::initializer_list<TClass> classes);
// Registers `c` (once) and `alias` as another name for it.
void RegisterStreamClassAlias(TClass c, std::string_view alias);
void UnregisterStreamClass(TClass c);
// The class of that name in the active groups, or null.
TClass LookupStreamClass(std::string_view name);
// As LookupStreamClass, but raises EClassNotFound "Class %s not found".
TClass FindStreamClass(std::string_view name);

// Starts a new active group headed by `groupClass`.
void StartClassGroup(TClass groupClass);
// Makes the group that holds `c` the only active one; returns the head class of the
// group that was active before (null when none). EFilerError when `c` is in no group.
TClass ActivateClassGroup(TClass c);
// Moves the registered descendants of `c` (and `c` itself) into the group headed by
// `groupClass`; raises EFilerError "%s not in a class registration group" when no group
// has that head.
void GroupDescendentsWith(TClass c, TClass groupClass);
// The head class of the group that holds `c`, or null.
TClass ClassGroupOf(TClass c);

// Restores the start-up state (one active TPersistent group, nothing registered).
// For tests.
void ResetClassRegistry();

// Finds classes for one read: the groups that the root's class belongs to, plus every
// active group when asked.
class TClassFinder {
public:
    TClassFinder(TClass rootClass, bool includeActiveGroups);
    ~TClassFinder();
    TClass GetClass(std::string_view name) const;

private:
    std::vector<const void*> FGroups;
};

// --- global roots

using TFindGlobalRootFunc = TComponent* (*)(std::string_view name);
void RegisterFindGlobalRoot(TFindGlobalRootFunc func);
void UnregisterFindGlobalRoot(TFindGlobalRootFunc func);
// Asks the registered lookups, newest first; the first answer wins. Null when none knows.
TComponent* FindGlobalRoot(std::string_view name);

} // namespace formstream
