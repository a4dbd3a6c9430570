// Feeds arbitrary bytes to the PE resource reader. A refusal (a reason text) is fine; a
// crash, a sanitizer report, or an accepted resource whose data lies outside the input
// is a finding. The data of every resource found is read whole, so that the bounds the
// reader promises are checked by AddressSanitizer too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/kernel/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size: reads past it are reported.
    std::vector<unsigned char> bytes(data, data + size);
    platform::pe::TImage image;
    if (!platform::pe::ReadImage(bytes.data(), bytes.size(), image).empty())
        return 0;
    unsigned sum = 0;
    for (const platform::pe::TResource& r : image.Resources) {
        if (r.Offset > bytes.size() || r.Size > bytes.size() - r.Offset)
            std::abort();
        for (std::size_t i = 0; i < r.Size; ++i)
            sum += bytes[r.Offset + i];
    }
    // Memory stays bounded by the input: at most one resource per 8 bytes of directory.
    if (image.Resources.size() > size / 8 + 1)
        std::abort();
    return int(sum & 0);
}
