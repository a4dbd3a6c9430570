// The PE/COFF resource reader: headers, section table, resource directory tree.
#include "platform/kernel/PeImage.h"

#include <unordered_set>

namespace platform::pe {

namespace {

struct TSection {
    std::uint32_t VirtualAddress = 0;
    std::uint32_t RawSize = 0;
    std::uint32_t RawOffset = 0;
};

class TReader {
public:
    TReader(const unsigned char* data, std::size_t size) : FData(data), FSize(size) {}

    // True when [at, at + length) lies inside the file.
    bool Has(std::uint64_t at, std::uint64_t length) const {
        return at <= FSize && length <= FSize - at;
    }
    std::uint16_t U16(std::size_t at) const {
        return std::uint16_t(FData[at] | FData[at + 1] << 8);
    }
    std::uint32_t U32(std::size_t at) const {
        return std::uint32_t(U16(at)) | std::uint32_t(U16(at + 2)) << 16;
    }

    std::string ReadHeaders(TImage& image);
    std::string ReadTree(TImage& image);

private:
    std::string MapRva(std::uint64_t rva, std::uint64_t length, std::size_t& offset) const;
    std::string ReadDirectory(std::uint32_t offset, int level, TResource& key, TImage& image);
    std::string ReadIdentifier(std::uint32_t field, std::size_t& nameAt, std::uint16_t& id) const;
    std::string ReadDataEntry(std::uint32_t offset, TResource& resource) const;

    const unsigned char* FData;
    std::size_t FSize;
    std::vector<TSection> FSections;
    std::uint32_t FResourceRva = 0;
    std::size_t FTreeStart = 0; // file offset of the root directory
    std::size_t FTreeEnd = 0;   // end of the section's data that holds it
    std::unordered_set<std::uint32_t> FVisited;
    std::uint64_t FEntries = 0; // entries of all directories read so far
};

std::string TReader::ReadHeaders(TImage& image) {
    if (!Has(0, 2) || U16(0) != 0x5A4D) // "MZ"
        return NotPe;
    if (!Has(0, 0x40))
        return Truncated;
    const std::uint64_t pe = U32(0x3C);
    if (!Has(pe, 24))
        return Has(pe, 0) ? Truncated : NotPe;
    if (U32(std::size_t(pe)) != 0x00004550) // "PE\0\0"
        return NotPe;
    const std::uint16_t sections = U16(std::size_t(pe) + 6);
    const std::uint16_t optionalSize = U16(std::size_t(pe) + 20);
    const std::size_t optional = std::size_t(pe) + 24;
    if (!Has(optional, optionalSize) || !Has(optional, 2))
        return Truncated;
    const std::uint16_t magic = U16(optional);
    if (magic != 0x10B && magic != 0x20B)
        return NotPe;
    image.Pe64 = magic == 0x20B;
    // The count of data directories and the directories themselves follow the fields
    // whose size differs between the two kinds.
    const std::size_t countAt = image.Pe64 ? 108 : 92;
    if (optionalSize < countAt + 4)
        return NotPe;
    const std::uint32_t directories = U32(optional + countAt);
    const std::size_t resourceAt = countAt + 4 + 2 * 8;
    if (directories > 2 && optionalSize >= resourceAt + 8)
        FResourceRva = U32(optional + resourceAt);
    const std::size_t table = optional + optionalSize;
    if (!Has(table, std::uint64_t(sections) * 40))
        return Truncated;
    for (std::size_t i = 0; i < sections; ++i) {
        const std::size_t at = table + 40 * i;
        FSections.push_back({U32(at + 12), U32(at + 16), U32(at + 20)});
    }
    return "";
}

// The file offset of [rva, rva + length), which must lie in one section's data.
std::string TReader::MapRva(std::uint64_t rva, std::uint64_t length, std::size_t& offset) const {
    for (const TSection& s : FSections) {
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.RawSize)
            continue;
        if (!Has(s.RawOffset, s.RawSize))
            return Truncated;
        if (length > s.RawSize - (rva - s.VirtualAddress))
            return Oversized;
        offset = std::size_t(s.RawOffset + (rva - s.VirtualAddress));
        return "";
    }
    return Outside;
}

std::string TReader::ReadTree(TImage& image) {
    if (FResourceRva == 0)
        return "";
    image.HasResources = true;
    if (std::string e = MapRva(FResourceRva, 16, FTreeStart); !e.empty())
        return e == Oversized ? Outside : e;
    for (const TSection& s : FSections)
        if (FResourceRva >= s.VirtualAddress && FResourceRva - s.VirtualAddress < s.RawSize)
            FTreeEnd = std::size_t(s.RawOffset) + s.RawSize;
    TResource key;
    return ReadDirectory(0, 0, key, image);
}

// A directory at `offset` from the root: level 0 holds types, 1 names, 2 languages.
std::string TReader::ReadDirectory(std::uint32_t offset, int level, TResource& key, TImage& image) {
    if (!FVisited.insert(offset).second)
        return Loops;
    const std::uint64_t at = std::uint64_t(FTreeStart) + offset;
    if (at + 16 > FTreeEnd)
        return Outside;
    const std::uint32_t count =
        std::uint32_t(U16(std::size_t(at) + 12)) + U16(std::size_t(at) + 14);
    if (at + 16 + std::uint64_t(count) * 8 > FTreeEnd)
        return Outside;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(at) + 16 + 8 * std::size_t(i);
        const std::uint32_t nameField = U32(entry);
        const std::uint32_t target = U32(entry + 4);
        std::size_t nameAt = 0;
        std::uint16_t id = 0;
        if (std::string e = ReadIdentifier(nameField, nameAt, id); !e.empty())
            return e;
        const bool isDirectory = (target & 0x80000000u) != 0;
        const std::uint32_t child = target & 0x7FFFFFFFu;
        if (level == 0) {
            key.TypeNameAt = nameAt;
            key.TypeId = id;
        } else if (level == 1) {
            key.NameAt = nameAt;
            key.NameId = id;
        } else {
            key.Language = id;
        }
        if (level < 2) {
            // A data entry where a directory belongs carries no name or language: skipped.
            if (!isDirectory)
                continue;
            if (std::string e = ReadDirectory(child, level + 1, key, image); !e.empty())
                return e;
            continue;
        }
        if (isDirectory)
            return TooDeep;
        TResource resource = key;
        if (std::string e = ReadDataEntry(child, resource); !e.empty())
            return e;
        image.Resources.push_back(std::move(resource));
    }
    return "";
}

// An entry's name: a number, or (high bit set) the offset of a length-prefixed UTF-16
// string, which must lie inside the resource section.
std::string TReader::ReadIdentifier(std::uint32_t field, std::size_t& nameAt,
                                    std::uint16_t& id) const {
    nameAt = 0;
    id = 0;
    if (!(field & 0x80000000u)) {
        id = std::uint16_t(field);
        return "";
    }
    const std::uint64_t at = std::uint64_t(FTreeStart) + (field & 0x7FFFFFFFu);
    if (at + 2 > FTreeEnd || at + 2 + 2 * std::uint64_t(U16(std::size_t(at))) > FTreeEnd)
        return Outside;
    nameAt = std::size_t(at);
    return "";
}

// A data entry: the data's address (relative to the image) and size.
std::string TReader::ReadDataEntry(std::uint32_t offset, TResource& resource) const {
    const std::uint64_t at = std::uint64_t(FTreeStart) + offset;
    if (at + 16 > FTreeEnd)
        return Outside;
    const std::uint32_t rva = U32(std::size_t(at));
    resource.Size = U32(std::size_t(at) + 4);
    return MapRva(rva, resource.Size, resource.Offset);
}

} // namespace

std::string NameText(const unsigned char* data, std::size_t at) {
    auto u16 = [&](std::size_t i) { return std::uint32_t(data[i] | data[i + 1] << 8); };
    const std::size_t length = u16(at);
    std::string name;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t c = u16(at + 2 + 2 * i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length) {
            const std::uint32_t low = u16(at + 4 + 2 * i);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD; // an unpaired surrogate
        if (c < 0x80) {
            name += char(c);
        } else if (c < 0x800) {
            name += char(0xC0 | c >> 6);
            name += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            name += char(0xE0 | c >> 12);
            name += char(0x80 | (c >> 6 & 0x3F));
            name += char(0x80 | (c & 0x3F));
        } else {
            name += char(0xF0 | c >> 18);
            name += char(0x80 | (c >> 12 & 0x3F));
            name += char(0x80 | (c >> 6 & 0x3F));
            name += char(0x80 | (c & 0x3F));
        }
    }
    return name;
}

std::string ReadImage(const unsigned char* data, std::size_t size, TImage& image) {
    image = TImage();
    TReader reader(data, size);
    std::string error = reader.ReadHeaders(image);
    if (error.empty())
        error = reader.ReadTree(image);
    if (!error.empty())
        image.Resources.clear();
    return error;
}

} // namespace platform::pe
