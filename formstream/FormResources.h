// Loading the form resources of a component's class chain: each class from the one
// just below the root ancestor down to the instance's own class may have a form stream
// (resource type 10, named after the class without regard to case), read into the
// instance with TReader::ReadRootEntry. Loaded runs once, after every resource of the
// chain is read, through the thread's global loading list.
//
// Where the streams come from is a hook: SetFormResourceLookup installs a function that
// returns the stream of a class name (or null when there is none). By default (and after
// SetFormResourceLookup(nullptr)) they are the RCDATA resources of the executable.
#pragma once

#include <memory>
#include <string_view>

#include "formstream/Object.h"

namespace rtl {
class TStream;
}

namespace formstream {

class TComponent;

using TFormResourceLookup = std::unique_ptr<rtl::TStream> (*)(std::string_view className);
void SetFormResourceLookup(TFormResourceLookup lookup);
TFormResourceLookup GetFormResourceLookup();

// Reads the resources of the classes of `instance` below `rootAncestor` (TComponent ends
// the walk too), most ancestral first. Returns whether any was read. Holds the global
// name-space lock for writing throughout.
bool LoadFormResources(TComponent* instance, TClass rootAncestor);

// As LoadFormResources, raising EResNotFound "Resource %s not found" with the instance's
// class name when no resource was read (what a form constructor does).
void InitInheritedComponent(TComponent* instance, TClass rootAncestor);

} // namespace formstream
