// libFuzzer target for the form reader: any input ends in a root or in one of the
// framework's exceptions, never in a crash, a hang, a leak or a huge allocation.
// The first byte picks the read buffer size and whether the root is given or created.
#include <cstddef>
#include <cstdint>

#include "MainFormStandIns.h"
#include "rtl/Exceptions.h"

using namespace formstream;

namespace {

class TFuzzStream : public rtl::TCustomMemoryStream {
public:
    TFuzzStream(const std::uint8_t* data, std::size_t size) {
        SetPointer(const_cast<std::uint8_t*>(data), static_cast<std::int64_t>(size));
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
};

bool Setup() {
    testclasses::RegisterTestClasses();
    RegisterStreamClasses({&mainformstandins::TForm1::ClassInfo,
                           &mainformstandins::TImage::ClassInfo,
                           &mainformstandins::TTimer::ClassInfo, &testclasses::TGadget::ClassInfo});
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = Setup();
    (void)ready;
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    static constexpr int bufferSizes[] = {1, 2, 3, 7, 16, 256, 4096, 65536};
    TFuzzStream stream(data + 1, size - 1);
    try {
        TReader reader(stream, bufferSizes[mode & 7]);
        if (mode & 8) {
            TOwned<testclasses::TTestRoot> root(new testclasses::TTestRoot(nullptr));
            reader.ReadRootEntry(root.get());
        } else if (mode & 16) {
            TOwned<mainformstandins::TForm1> root(new mainformstandins::TForm1(nullptr));
            reader.ReadRootEntry(root.get());
        } else {
            TOwned<TComponent> root(reader.ReadRootEntry(nullptr));
        }
    } catch (const rtl::Exception&) {
    }
    RemoveFixupReferences(nullptr);
    testclasses::gEvents.clear();
    mainformstandins::gLoaded.clear();
    return 0;
}
