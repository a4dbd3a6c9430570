// The headers and chunk lists of an AVI file's streams, read straight from the RIFF
// structure.
#include "platform/media/AviChunks.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::media {

namespace {

// A read-only file read at offsets; every read is checked against the file's size.
class RiffFile {
public:
    explicit RiffFile(const std::string& path) : FFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st {};
        if (FFd >= 0 && ::fstat(FFd, &st) == 0)
            FSize = st.st_size;
    }
    ~RiffFile() {
        if (FFd >= 0)
            ::close(FFd);
    }
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    std::int64_t Size() const { return FSize; }
    bool Read(std::int64_t at, void* to, std::size_t n) const {
        return FFd >= 0 && at >= 0 && at <= FSize - std::int64_t(n) &&
               ::pread(FFd, to, n, off_t(at)) == ssize_t(n);
    }
    // A chunk header: its four-character code and the size of its data.
    bool Header(std::int64_t at, char tag[4], std::uint32_t& size) const {
        unsigned char h[8];
        if (!Read(at, h, sizeof h))
            return false;
        std::memcpy(tag, h, 4);
        size = std::uint32_t(h[4]) | std::uint32_t(h[5]) << 8 | std::uint32_t(h[6]) << 16 |
               std::uint32_t(h[7]) << 24;
        return true;
    }
    bool Fourcc(std::int64_t at, const char* want) const {
        char tag[4];
        return Read(at, tag, 4) && std::memcmp(tag, want, 4) == 0;
    }

private:
    int FFd;
    std::int64_t FSize = 0;
};

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Where the parts of the file lie that the headers and chunk lists are read from.
struct Layout {
    std::int64_t Hdrl = -1, HdrlEnd = -1; // the contents of the first part's hdrl list
    std::int64_t MoviTag = -1;            // the first movi list's "movi", the base of idx1 offsets
    std::vector<std::int64_t> Movi;       // pairs: start and end of each movi list's contents
    std::int64_t Idx1 = -1;               // the data of the legacy index
    std::uint32_t Idx1Size = 0;
    bool Extended = false; // RIFF-AVIX parts follow, which idx1 does not cover
};

// The end of a chunk with data `size` at `at`, padded to an even offset.
std::int64_t ChunkEnd(std::int64_t at, std::uint32_t size) {
    return at + 8 + std::int64_t(size) + (size & 1);
}

// The stream headers in the hdrl list [at, end): one for each strl list.
std::vector<AviStreamHeader> StreamHeaders(const RiffFile& f, std::int64_t at, std::int64_t end) {
    std::vector<AviStreamHeader> streams;
    char tag[4];
    std::uint32_t size;
    while (at + 12 <= end && f.Header(at, tag, size)) {
        if (std::memcmp(tag, "LIST", 4) == 0 && f.Fourcc(at + 8, "strl")) {
            AviStreamHeader& h = streams.emplace_back();
            const std::int64_t listEnd = std::min(ChunkEnd(at, size), end);
            std::uint32_t in_size;
            for (std::int64_t in = at + 12; in + 8 <= listEnd; in = ChunkEnd(in, in_size)) {
                if (!f.Header(in, tag, in_size))
                    break;
                const std::int64_t n = std::min<std::int64_t>(in_size, listEnd - in - 8);
                if (std::memcmp(tag, "strh", 4) == 0 && h.Type.empty()) {
                    // fccType, fccHandler, dwFlags, wPriority, wLanguage, dwInitialFrames,
                    // dwScale, dwRate, dwStart, dwLength, dwSuggestedBufferSize,
                    // dwQuality, dwSampleSize.
                    unsigned char b[48] = {};
                    if (!f.Read(in + 8, b, std::size_t(std::clamp<std::int64_t>(n, 0, 48))))
                        break;
                    h.Type.assign(reinterpret_cast<const char*>(b), 4);
                    h.Handler.assign(reinterpret_cast<const char*>(b + 4), 4);
                    h.Scale = Le32(b + 20);
                    h.Rate = Le32(b + 24);
                    h.Start = Le32(b + 28);
                    h.Length = Le32(b + 32);
                    h.SampleSize = Le32(b + 44);
                } else if (std::memcmp(tag, "strf", 4) == 0 && h.Format.empty() && n > 0) {
                    h.Format.resize(std::size_t(n));
                    if (!f.Read(in + 8, h.Format.data(), h.Format.size()))
                        h.Format.clear();
                }
            }
        }
        at = ChunkEnd(at, size);
    }
    return streams;
}

// The top-level chunks of the RIFF parts: the headers, the movi lists, idx1.
Layout ReadLayout(const RiffFile& f) {
    Layout layout;
    std::int64_t part = 0;
    char tag[4];
    std::uint32_t size;
    std::uint32_t partSize;
    while (f.Header(part, tag, partSize) && std::memcmp(tag, "RIFF", 4) == 0) {
        const bool first = part == 0;
        if (!f.Fourcc(part + 8, first ? "AVI " : "AVIX"))
            break;
        layout.Extended |= !first;
        // A part's size may overstate a file cut short.
        const std::int64_t partEnd = std::min(ChunkEnd(part, partSize), f.Size());
        std::int64_t at = part + 12;
        while (at + 8 <= partEnd && f.Header(at, tag, size)) {
            const std::int64_t end = std::min(ChunkEnd(at, size), partEnd);
            if (std::memcmp(tag, "LIST", 4) == 0 && f.Fourcc(at + 8, "hdrl") && first &&
                layout.Hdrl < 0) {
                layout.Hdrl = at + 12;
                layout.HdrlEnd = end;
            } else if (std::memcmp(tag, "LIST", 4) == 0 && f.Fourcc(at + 8, "movi")) {
                if (layout.MoviTag < 0)
                    layout.MoviTag = at + 8;
                layout.Movi.push_back(at + 12);
                layout.Movi.push_back(end);
            } else if (std::memcmp(tag, "idx1", 4) == 0 && first && layout.Idx1 < 0) {
                layout.Idx1 = at + 8;
                layout.Idx1Size = std::uint32_t(std::min<std::int64_t>(size, end - at - 8));
            }
            at = ChunkEnd(at, size);
        }
        part = partEnd;
    }
    return layout;
}

// What a chunk of the file is to the stream read.
enum class Role { None, Main, Palette };

struct StreamTag {
    char Digits[2];
    bool Video;
    // A video stream's frames are compressed (dc) or uncompressed (db), and its palette
    // changes are pc chunks; a sound stream's chunks are wb. Other chunks are not the
    // stream's.
    Role Of(const char tag[4]) const {
        if (tag[0] != Digits[0] || tag[1] != Digits[1])
            return Role::None;
        if (!Video)
            return tag[2] == 'w' && tag[3] == 'b' ? Role::Main : Role::None;
        if (tag[2] == 'd' && (tag[3] == 'c' || tag[3] == 'b'))
            return Role::Main;
        return tag[2] == 'p' && tag[3] == 'c' ? Role::Palette : Role::None;
    }
};

// The chunks of one stream, its main ones and its palette changes.
struct Lists {
    std::vector<AviChunk> Main;
    std::vector<AviChunk> Palette;
};

// The index's flag of a key frame (AVIIF_KEYFRAME).
constexpr std::uint32_t KeyFrameFlag = 0x10;

// The stream's chunks as idx1 lists them, when every entry names a chunk of that tag
// and size that lies within the first movi list, in ascending order.
std::optional<Lists> FromIdx1(const RiffFile& f, const Layout& layout, StreamTag stream) {
    if (layout.Idx1 < 0 || layout.Extended || layout.Movi.empty())
        return std::nullopt;
    std::vector<unsigned char> index(layout.Idx1Size / 16 * 16);
    if (index.empty() || !f.Read(layout.Idx1, index.data(), index.size()))
        return std::nullopt;
    const std::int64_t moviEnd = layout.Movi[1];
    Lists lists;
    std::int64_t last = -1;
    std::int64_t base = -1; // offsets count from "movi", or from the start of the file
    for (std::size_t e = 0; e < index.size(); e += 16) {
        const char* id = reinterpret_cast<const char*>(&index[e]);
        const Role role = stream.Of(id);
        if (role == Role::None)
            continue;
        const std::uint32_t flags = Le32(&index[e + 4]);
        const std::uint32_t offset = Le32(&index[e + 8]), size = Le32(&index[e + 12]);
        char tag[4];
        std::uint32_t actual;
        if (base < 0) {
            for (std::int64_t b : {layout.MoviTag, std::int64_t(0)})
                if (f.Header(b + offset, tag, actual) && std::memcmp(tag, id, 4) == 0) {
                    base = b;
                    break;
                }
            if (base < 0)
                return std::nullopt;
        }
        const std::int64_t at = base + offset;
        if (at <= last || at < layout.Movi[0] || at + 8 + std::int64_t(size) > moviEnd ||
            !f.Header(at, tag, actual) || std::memcmp(tag, id, 4) != 0 || actual != size)
            return std::nullopt;
        last = at;
        (role == Role::Main ? lists.Main : lists.Palette)
            .push_back({at, size, (flags & KeyFrameFlag) != 0});
    }
    if (lists.Main.empty())
        return std::nullopt;
    return lists;
}

// The stream's chunks found by walking the movi lists; `rec ` lists are entered. The
// walk stops in a list at a chunk that runs past the list's end (a file cut short or
// damaged there): what lies before it is kept.
Lists Walk(const RiffFile& f, const Layout& layout, StreamTag stream) {
    Lists lists;
    for (std::size_t m = 0; m + 1 < layout.Movi.size(); m += 2) {
        const std::int64_t end = layout.Movi[m + 1];
        char tag[4];
        std::uint32_t size;
        for (std::int64_t at = layout.Movi[m]; at + 8 <= end && f.Header(at, tag, size);) {
            if (std::memcmp(tag, "LIST", 4) == 0) {
                at += 12; // a list of chunks within the movi list: walk into it
                continue;
            }
            if (at + 8 + std::int64_t(size) > end)
                break;
            const Role role = stream.Of(tag);
            if (role != Role::None)
                (role == Role::Main ? lists.Main : lists.Palette).push_back({at, size, false});
            at = ChunkEnd(at, size);
        }
    }
    return lists;
}

// The chunk lists of stream `stream` when its header has the type `type`.
std::optional<Lists> ReadLists(const std::string& path, int stream, const char* type,
                               bool& fromIndex) {
    if (stream < 0 || stream > 99)
        return std::nullopt;
    const RiffFile f(path);
    const Layout layout = ReadLayout(f);
    if (layout.Hdrl < 0 || layout.Movi.empty())
        return std::nullopt;
    const std::vector<AviStreamHeader> headers = StreamHeaders(f, layout.Hdrl, layout.HdrlEnd);
    if (std::size_t(stream) >= headers.size() || headers[std::size_t(stream)].Type != type)
        return std::nullopt;
    const bool video = std::strcmp(type, "vids") == 0;
    const StreamTag tag{{char('0' + stream / 10), char('0' + stream % 10)}, video};
    std::optional<Lists> lists = FromIdx1(f, layout, tag);
    fromIndex = lists.has_value();
    if (!lists)
        lists = Walk(f, layout, tag);
    const bool any = std::any_of(lists->Main.begin(), lists->Main.end(),
                                 [](const AviChunk& c) { return c.Size > 0; });
    if (!any)
        return std::nullopt;
    return lists;
}

} // namespace

std::optional<std::vector<AviStreamHeader>> ReadAviHeaders(const std::string& path) {
    const RiffFile f(path);
    const Layout layout = ReadLayout(f);
    if (layout.Hdrl < 0)
        return std::nullopt;
    std::vector<AviStreamHeader> headers = StreamHeaders(f, layout.Hdrl, layout.HdrlEnd);
    if (headers.empty())
        return std::nullopt;
    return headers;
}

std::optional<AviVideoChunks> ReadAviVideoChunks(const std::string& path, int stream) {
    AviVideoChunks result;
    std::optional<Lists> lists = ReadLists(path, stream, "vids", result.FromIndex);
    if (!lists)
        return std::nullopt;
    result.Slots = std::move(lists->Main);
    result.PaletteChanges = std::move(lists->Palette);
    return result;
}

std::optional<AviSoundChunks> ReadAviSoundChunks(const std::string& path, int stream) {
    AviSoundChunks result;
    std::optional<Lists> lists = ReadLists(path, stream, "auds", result.FromIndex);
    if (!lists)
        return std::nullopt;
    for (const AviChunk& c : lists->Main)
        if (c.Size > 0)
            result.Chunks.push_back(c);
    return result;
}

AviPictureMap::AviPictureMap(const std::vector<AviChunk>& slots) {
    FPictureOfSlot.reserve(slots.size());
    for (std::size_t s = 0; s < slots.size(); ++s) {
        if (slots[s].Size > 0) {
            FSlotOfPicture.push_back(std::int64_t(s));
            FOffsetOfPicture.push_back(slots[s].Offset);
        }
        FPictureOfSlot.push_back(std::max<std::int64_t>(0, Pictures() - 1));
    }
}

std::int64_t AviPictureMap::PictureOf(std::int64_t slot) const {
    if (FPictureOfSlot.empty())
        return 0;
    return FPictureOfSlot[std::size_t(std::clamp<std::int64_t>(slot, 0, Slots() - 1))];
}

std::int64_t AviPictureMap::PictureAt(std::int64_t offset) const {
    for (std::int64_t at : {offset, offset - 8}) {
        auto it = std::lower_bound(FOffsetOfPicture.begin(), FOffsetOfPicture.end(), at);
        if (it != FOffsetOfPicture.end() && *it == at)
            return it - FOffsetOfPicture.begin();
    }
    return -1;
}

} // namespace platform::media
