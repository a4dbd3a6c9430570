#include "tools/dev/formdump/FormDump.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "formstream/Component.h"
#include "formstream/FormText.h"
#include "formstream/Reader.h"
#include "formstream/Writer.h"
#include "platform/win32.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace formdump {

using namespace formstream;

namespace {

// A read-only stream over bytes that someone else keeps.
class TBytesStream : public rtl::TCustomMemoryStream {
public:
    explicit TBytesStream(std::string_view bytes) {
        SetPointer(const_cast<char*>(bytes.data()), static_cast<std::int64_t>(bytes.size()));
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
};

constexpr std::size_t ListedBlockBytes = 64;

// The form resource `name` (RCDATA) of the Windows executable `path`, or the reason it
// cannot be read.
bool ReadFormResource(const std::string& path, const std::string& name, std::string& bytes,
                      std::string& reason) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        reason = platform::LastModuleError();
        return false;
    }
    HRSRC info = FindResourceA(module, name.c_str(), RT_RCDATA);
    const void* data = info ? LockResource(LoadResource(module, info)) : nullptr;
    if (data)
        bytes.assign(static_cast<const char*>(data), SizeofResource(module, info));
    else
        reason = std::string(platform::LastModuleError()) + " (" + name + ")";
    FreeLibrary(module);
    return data != nullptr;
}

} // namespace

std::string DumpFormStream(std::string_view bytes) {
    TBytesStream source(bytes);
    TOwned<TComponent> root;
    {
        TReader reader(source, 4096);
        root.reset(reader.ReadRootEntry(nullptr));
    }
    rtl::TMemoryStream written;
    {
        TWriter writer(written);
        writer.WriteRootComponent(root.get());
    }
    return formstream::DescribeFormStream(
        std::string_view(reinterpret_cast<const char*>(written.Memory()),
                         static_cast<std::size_t>(written.Size())),
        ListedBlockBytes);
}

int FormDumpMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    static const char* const usage =
        "Usage: formdump [--resource NAME] FILE\n"
        "Reads the binary form stream FILE into live components and lists them: class,\n"
        "name, the properties that differ from their defaults, and events by handler name.\n"
        "FILE may be a Windows executable: its form resource TFORM1 (type 10), or NAME, is\n"
        "listed. On a failure the reader's message goes to standard error and the exit\n"
        "status is 1.\n";
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        out << usage;
        return 0;
    }
    std::string resource;
    std::size_t next = 0;
    if (args.size() == 3 && args[0] == "--resource" && !args[1].empty()) {
        resource = args[1];
        next = 2;
    }
    if (args.size() != next + 1 || (args[next].size() > 1 && args[next][0] == '-')) {
        err << usage;
        return 2;
    }
    const std::string file(args[next]);
    std::ifstream in(file, std::ios::binary);
    std::ostringstream data;
    if (!in || !(data << in.rdbuf())) {
        err << "formdump: cannot read " << file << "\n";
        return 1;
    }
    std::string bytes = data.str();
    // A Windows executable begins with "MZ"; a form stream never does.
    if (!resource.empty() || bytes.rfind("MZ", 0) == 0) {
        std::string reason;
        if (!ReadFormResource(file, resource.empty() ? "TFORM1" : resource, bytes, reason)) {
            err << "formdump: " << file << ": " << reason << "\n";
            return 1;
        }
    }
    try {
        out << DumpFormStream(bytes);
    } catch (const rtl::Exception& e) {
        err << e.Message() << "\n";
        return 1;
    } catch (const formstream::EFormTextError& e) {
        err << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace formdump
