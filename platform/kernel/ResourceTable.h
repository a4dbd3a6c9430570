// Internal to the platform layer and to the sources that tools/generators/rescomp generates: the
// registry of resource tables that FindResourceA and its companions search. A table is
// an array of entries that stays alive for the whole run (static data of the program).
#pragma once

#include <cstddef>

#include "platform/windef.h"

namespace platform {

struct ResourceEntry {
    const char* TypeName; // null when the type is a number
    WORD TypeId;
    const char* Name; // null when the name is a number
    WORD NameId;
    const unsigned char* Data;
    std::size_t Size;
};

// Adds a table; returns true (so that generated sources can call it from a static
// initialiser). Tables registered earlier are searched first.
bool RegisterResourceTable(const ResourceEntry* entries, std::size_t count);

} // namespace platform
