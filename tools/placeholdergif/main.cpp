// placeholdergif: writes the four pictures of the main window as placeholder GIF files
// with exactly the structure and byte sizes that the window's form resource is built
// from, until the real artwork replaces them:
//
//   "GIF89a", logical screen = image size, packed 0xF7, background 0, aspect 0;
//   a 256-entry colour table (0 black, 1 white, then a ramp);
//   one graphic control extension (transparent index 1, no delay);
//   one image descriptor covering the screen, not interlaced, no local table;
//   minimum code size 8 and the image data in sub-blocks of 255 bytes and a last one of
//   the listed size; the block terminator and the trailer 0x3B.
//
// The image data is valid LZW (banded colours, every code 9 bits wide, a clear code
// before the table would grow) followed by the end code; the bytes after the end code,
// up to the listed size, are 0.
//
// Usage: placeholdergif OUTDIR
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct TPicture {
    const char* File;
    int Width;
    int Height;
    int FullBlocks; // sub-blocks of 255 bytes
    int LastBlock;  // size of the last sub-block
    int Hue;        // which ramp the bands use
};

constexpr TPicture Pictures[] = {
    {"MainImage.gif", 1280, 1024, 4104, 83, 0},
    {"SelectImage.gif", 650, 491, 550, 171, 1},
    {"SelectImage_eng.gif", 650, 484, 553, 123, 2},
    {"start.gif", 650, 504, 480, 40, 3},
};

class TBitWriter {
public:
    void Put(unsigned code, int bits) {
        FAcc |= std::uint32_t(code) << FCount;
        FCount += bits;
        while (FCount >= 8) {
            Bytes.push_back(static_cast<std::uint8_t>(FAcc));
            FAcc >>= 8;
            FCount -= 8;
        }
    }
    void Flush() {
        if (FCount > 0)
            Bytes.push_back(static_cast<std::uint8_t>(FAcc));
        FAcc = 0;
        FCount = 0;
    }
    std::vector<std::uint8_t> Bytes;

private:
    std::uint32_t FAcc = 0;
    int FCount = 0;
};

std::uint8_t PixelAt(const TPicture& p, int x, int y) {
    const int border = 4;
    if (x < border || y < border || x >= p.Width - border || y >= p.Height - border)
        return 0;
    return static_cast<std::uint8_t>(2 + p.Hue * 60 + (y * 16 / p.Height) * 3);
}

// LZW with minimum code size 8, every code 9 bits: a clear code follows every 249 codes
// so that the table never reaches 512 entries.
std::vector<std::uint8_t> Encode(const TPicture& p) {
    constexpr unsigned Clear = 256, End = 257;
    constexpr int SegmentCodes = 249;
    TBitWriter out;
    std::unordered_map<std::uint32_t, unsigned> table;
    unsigned next = 258;
    int count = 0;
    out.Put(Clear, 9);
    unsigned w = PixelAt(p, 0, 0);
    const long total = long(p.Width) * p.Height;
    for (long i = 1; i < total; ++i) {
        const unsigned c = PixelAt(p, int(i % p.Width), int(i / p.Width));
        const std::uint32_t key = (w << 8) | c;
        if (auto it = table.find(key); it != table.end()) {
            w = it->second;
            continue;
        }
        out.Put(w, 9);
        if (++count >= SegmentCodes) {
            out.Put(Clear, 9);
            table.clear();
            next = 258;
            count = 0;
        } else {
            table[key] = next++;
        }
        w = c;
    }
    out.Put(w, 9);
    out.Put(End, 9);
    out.Flush();
    return out.Bytes;
}

bool Write(const std::string& dir, const TPicture& p) {
    std::vector<std::uint8_t> g;
    auto word = [&](int v) {
        g.push_back(static_cast<std::uint8_t>(v & 0xFF));
        g.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    for (char c : std::string("GIF89a"))
        g.push_back(static_cast<std::uint8_t>(c));
    word(p.Width);
    word(p.Height);
    g.push_back(0xF7);
    g.push_back(0);
    g.push_back(0);
    for (int i = 0; i < 256; ++i) {
        std::uint8_t r = 0, gr = 0, b = 0;
        if (i == 1) {
            r = gr = b = 255;
        } else if (i >= 2) {
            const int k = i - 2;
            r = static_cast<std::uint8_t>(40 + (k * 53) % 200);
            gr = static_cast<std::uint8_t>(60 + (k * 29) % 180);
            b = static_cast<std::uint8_t>(90 + (k * 17) % 160);
        }
        g.push_back(r);
        g.push_back(gr);
        g.push_back(b);
    }
    // Graphic control extension: transparent colour 1.
    for (int v : {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00})
        g.push_back(static_cast<std::uint8_t>(v));
    // Image descriptor.
    g.push_back(0x2C);
    word(0);
    word(0);
    word(p.Width);
    word(p.Height);
    g.push_back(0);
    g.push_back(8);
    std::vector<std::uint8_t> data = Encode(p);
    const std::size_t size = std::size_t(p.FullBlocks) * 255 + std::size_t(p.LastBlock);
    if (data.size() > size) {
        std::fprintf(stderr, "placeholdergif: %s: image data too large (%zu > %zu)\n", p.File,
                     data.size(), size);
        return false;
    }
    data.resize(size, 0);
    std::size_t pos = 0;
    for (int i = 0; i <= p.FullBlocks; ++i) {
        const std::size_t n = i < p.FullBlocks ? 255 : std::size_t(p.LastBlock);
        g.push_back(static_cast<std::uint8_t>(n));
        g.insert(g.end(), data.begin() + long(pos), data.begin() + long(pos + n));
        pos += n;
    }
    g.push_back(0);
    g.push_back(0x3B);

    const std::string path = dir + "/" + p.File;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(g.data(), 1, g.size(), f) != g.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "placeholdergif: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help") {
        std::fprintf(argc == 2 ? stdout : stderr,
                     "Usage: placeholdergif OUTDIR\n"
                     "Writes MainImage.gif, SelectImage.gif, SelectImage_eng.gif and start.gif\n"
                     "(placeholders of the main window's pictures) into OUTDIR.\n");
        return argc == 2 ? 0 : 2;
    }
    for (const TPicture& p : Pictures)
        if (!Write(argv[1], p))
            return 1;
    return 0;
}
