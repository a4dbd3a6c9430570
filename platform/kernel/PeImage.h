// Internal to the platform layer: the resources of a Windows executable (PE/COFF image,
// 32-bit PE32 or 64-bit PE32+) read from the file's bytes. The reader follows the DOS
// header to the PE signature, the COFF and optional headers to the resource data
// directory, maps its relative addresses through the section table and walks the
// resource tree (type, name, language). It checks every offset and size against the
// section and the file, so that a damaged file is rejected with a reason and never read
// out of bounds; nothing of the file is executed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::pe {

// A string type or name is kept as where it lies in the file (a 16-bit length and as
// many UTF-16 units, checked to lie in the resource section), so that what is kept per
// resource stays small whatever the names' lengths.
struct TResource {
    std::size_t TypeNameAt = 0; // the type's name, or 0 when the type is the number TypeId
    std::uint16_t TypeId = 0;
    std::size_t NameAt = 0; // the resource's name, or 0 when it is the number NameId
    std::uint16_t NameId = 0;
    std::uint16_t Language = 0;
    std::size_t Offset = 0; // of the data in the file
    std::uint32_t Size = 0;
};

struct TImage {
    bool Pe64 = false;
    bool HasResources = false; // the image has a resource directory
    std::vector<TResource> Resources;
};

// Reasons a file is rejected (the text of LastModuleError).
inline constexpr const char* NotPe = "not a Windows executable";
inline constexpr const char* Truncated = "truncated";
inline constexpr const char* Loops = "resource directory loops";
inline constexpr const char* TooDeep = "resource directory nested too deep";
inline constexpr const char* Overlap = "resource directories overlap";
inline constexpr const char* Outside = "points outside the file";
inline constexpr const char* Oversized = "resource size overflows";

// Reads the image in data[0, size); "" on success, else one of the reasons above.
std::string ReadImage(const unsigned char* data, std::size_t size, TImage& image);

// The name at `at` of an image ReadImage accepted, as UTF-8.
std::string NameText(const unsigned char* data, std::size_t at);

} // namespace platform::pe
