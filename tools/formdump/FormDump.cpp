#include "tools/formdump/FormDump.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "formstream/Component.h"
#include "formstream/FormText.h"
#include "formstream/Reader.h"
#include "formstream/Writer.h"
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
        "Usage: formdump FILE\n"
        "Reads the binary form stream FILE into live components and lists them: class,\n"
        "name, the properties that differ from their defaults, and events by handler name.\n"
        "On a failure the reader's message goes to standard error and the exit status is 1.\n";
    if (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
        out << usage;
        return 0;
    }
    if (argc != 2 || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        err << usage;
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream data;
    if (!in || !(data << in.rdbuf())) {
        err << "formdump: cannot read " << argv[1] << "\n";
        return 1;
    }
    try {
        out << DumpFormStream(data.str());
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
