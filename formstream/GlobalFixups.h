// Internal to the form stream library: what the reader shares with the global
// services of GlobalFixups.cpp (the public ones are declared in Reader.h).
#pragma once

#include <string_view>

#include "formstream/Reader.h"

namespace formstream {

// Readers alive on this thread, told when an object they refer to goes.
void RegisterActiveReader(TReader* reader);
void UnregisterActiveReader(TReader* reader);

// The global fix-up list: a reference waiting for a root not read yet, and the removal
// of those made for one property of one object.
void AddGlobalFixup(TPropFixup fixup);
void RemoveGlobalFixupsFor(const TPersistent* instance, const TPropInfo* prop);

// Follows a reference path from `root` (defined with the reader).
TComponent* FindNestedComponent(TComponent* root, std::string_view path);

} // namespace formstream
