#include "formstream/IdentMaps.h"
#include "tools/formdump/FormDump.h"

namespace formdump {

// The program's component classes join here as their libraries come (each library's
// registration function).
void RegisterFormDumpClasses() {
    formstream::RegisterStandardIdentMaps();
}

} // namespace formdump
