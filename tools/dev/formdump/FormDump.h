// formdump: reads a binary form stream with the real form reader into a new root of the
// stream's (registered) class and lists the component tree: each component's class and
// name, its published properties that differ from their defaults, its defined
// properties, component references by name and events by handler name, in the text
// form of formc (large binary blocks only by their size).
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace formdump {

// The listing of the form in `bytes`; raises what the reader raises.
std::string DumpFormStream(std::string_view bytes);

// The command line: "formdump [--resource NAME] FILE", FILE a form stream or a Windows
// executable (its RCDATA resource TFORM1, or NAME). The listing goes to `out`; a
// failure's exact message to `err` (exit status 1); a wrong command line gives status 2.
int FormDumpMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Registers the classes that forms may name (the program's component classes).
void RegisterFormDumpClasses();

} // namespace formdump
