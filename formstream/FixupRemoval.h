// What a component or a collection item calls when it is destroyed. It is defined with
// the global fix-ups (GlobalFixups.cpp) and declared apart, so that the classes whose
// references the fix-ups resolve need not include the fix-up services.
#pragma once

namespace formstream {

class TObject;

// Removes every fix-up (global, and those of the thread's running reads) that belongs to
// `obj`; components call this when they are destroyed.
void RemoveFixups(const TObject* obj);

} // namespace formstream
