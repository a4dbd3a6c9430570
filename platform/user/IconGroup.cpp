// Group-icon resources of Windows executables: the group directory names its images by
// RT_ICON number; joined with them it becomes .ico data (the same header, each entry's
// resource number replaced by its image's offset).
#include <cstdint>

#include "platform/user/IconDecoder.h"
#include "platform/winbase.h"

namespace platform::user {

bool AssembleIconFile(HMODULE module, const unsigned char* group, std::size_t size,
                      std::vector<unsigned char>& ico) {
    constexpr std::size_t groupEntry = 14, fileEntry = 16;
    if (!group || size < 6 || group[0] != 0 || group[1] != 0 || group[2] != 1 || group[3] != 0)
        return false;
    const std::size_t count = std::size_t(group[4] | group[5] << 8);
    if (count == 0 || size < 6 + count * groupEntry)
        return false;
    // The images may be shared between entries: the whole is bounded, not each.
    constexpr std::uint64_t maxIcoBytes = std::uint64_t(64) << 20;
    std::uint64_t total = 0;
    std::vector<std::pair<const unsigned char*, DWORD>> images;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* e = group + 6 + i * groupEntry;
        const WORD id = WORD(e[12] | e[13] << 8);
        HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id), RT_ICON);
        if (!res)
            return false;
        images.emplace_back(
            static_cast<const unsigned char*>(LockResource(LoadResource(module, res))),
            SizeofResource(module, res));
        total += images.back().second;
        if (!images.back().first || total > maxIcoBytes)
            return false;
    }
    ico.assign(group, group + 6);
    std::uint64_t offset = 6 + count * fileEntry;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* e = group + 6 + i * groupEntry;
        ico.insert(ico.end(), e, e + 8); // size, colours, planes, bit count
        const DWORD bytes = images[i].second;
        for (int b = 0; b < 4; ++b)
            ico.push_back((unsigned char)(bytes >> (8 * b)));
        for (int b = 0; b < 4; ++b)
            ico.push_back((unsigned char)(offset >> (8 * b)));
        offset += bytes;
    }
    for (const auto& [data, bytes] : images)
        ico.insert(ico.end(), data, data + bytes);
    return true;
}

} // namespace platform::user
