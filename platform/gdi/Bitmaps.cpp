// Bitmaps: device-dependent (monochrome and 32-bit) and device-independent sections,
// and the conversions between them and caller memory in DIB layout.
#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/gdi/Bitmaps.h"
#include "platform/gdi/Raster.h"

namespace platform::gdi {

namespace {

constexpr std::size_t MaxBitmapBytes = std::size_t(1) << 30;
constexpr int MaxDimension = 1 << 16;

void FillStandardTable(int bpp, std::vector<RGBQUAD>& table) {
    table.clear();
    if (bpp == 1) {
        table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        return;
    }
    static const BYTE vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (const auto& c : vga)
        table.push_back(RGBQUAD{c[2], c[1], c[0], 0});
    if (bpp == 4)
        return;
    // 8 bits: the sixteen colours, a 6x6x6 cube, then a grey ramp.
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table.push_back(RGBQUAD{BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0});
    for (int i = 0; table.size() < 256; ++i) {
        BYTE v = BYTE(8 + i * 10);
        table.push_back(RGBQUAD{v, v, v, 0});
    }
}

} // namespace

std::shared_ptr<Bitmap> NewBitmap(int width, int height, int bpp, bool dib, bool topDown) {
    if (width <= 0 || height <= 0 || width > MaxDimension || height > MaxDimension)
        return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return nullptr;
    std::size_t bitsPerRow = std::size_t(width) * std::size_t(bpp);
    std::size_t stride = dib ? (bitsPerRow + 31) / 32 * 4 : (bitsPerRow + 15) / 16 * 2;
    if (stride > MaxBitmapBytes / std::size_t(height))
        return nullptr;
    auto bm = std::make_shared<Bitmap>();
    bm->Width = width;
    bm->Height = height;
    bm->Bpp = bpp;
    bm->Dib = dib;
    bm->TopDown = topDown;
    bm->Stride = int(stride);
    bm->BitsSize = stride * std::size_t(height);
    bm->Bits.reset(new (std::nothrow) std::uint8_t[bm->BitsSize]());
    if (!bm->Bits)
        return nullptr;
    return bm;
}

bool ParseDib(const BITMAPINFO* info, UINT usage, const DC* dc, DibDesc& out) {
    if (!info)
        return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 4096)
        return false;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > MaxDimension)
        return false;
    if (h.biHeight < -MaxDimension || h.biHeight > MaxDimension)
        return false;
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return false;
    const std::uint8_t* after = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
    if (h.biCompression == BI_BITFIELDS) {
        DWORD masks[3];
        std::memcpy(masks, after, sizeof masks);
        bool std32 = bpp == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
        bool std16 = bpp == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
        if (!std32 && !std16)
            return false;
    } else if (h.biCompression != BI_RGB) {
        return false;
    }
    out.Width = h.biWidth;
    out.Height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    out.TopDown = h.biHeight < 0;
    out.Bpp = bpp;
    out.Stride = int((std::size_t(out.Width) * std::size_t(bpp) + 31) / 32 * 4);
    if (std::size_t(out.Stride) > MaxBitmapBytes / std::size_t(out.Height))
        return false;
    out.Table.clear();
    if (bpp <= 8) {
        std::size_t full = std::size_t(1) << bpp;
        std::size_t count = h.biClrUsed ? std::min<std::size_t>(h.biClrUsed, full) : full;
        out.Table.assign(full, RGBQUAD{0, 0, 0, 0});
        if (usage == DIB_PAL_COLORS) {
            for (std::size_t i = 0; i < count; ++i) {
                WORD index;
                std::memcpy(&index, after + 2 * i, sizeof index);
                std::uint32_t pix = dc ? ResolveColor(*dc, PALETTEINDEX(index)) : 0;
                out.Table[i] = RGBQUAD{BYTE(pix), BYTE(pix >> 8), BYTE(pix >> 16), 0};
            }
        } else {
            std::memcpy(out.Table.data(), after, count * sizeof(RGBQUAD));
        }
        for (auto& q : out.Table)
            q.rgbReserved = 0;
    }
    return true;
}

PixelGrid GridOfMemory(const DibDesc& d, const void* bits, int firstRow, int rows) {
    // A band of `rows` image rows starting at image row `firstRow` (top-down numbering),
    // stored in DIB order in `bits`.
    PixelGrid g;
    g.Width = d.Width;
    g.Height = rows;
    g.Bpp = d.Bpp;
    if (d.Bpp <= 8) {
        g.Table = d.Table.data();
        g.TableSize = int(d.Table.size());
    }
    auto* base = static_cast<std::uint8_t*>(const_cast<void*>(bits));
    (void)firstRow;
    if (d.TopDown) {
        g.Row0 = base;
        g.Pitch = d.Stride;
    } else {
        g.Row0 = base + std::size_t(rows - 1) * std::size_t(d.Stride);
        g.Pitch = -std::ptrdiff_t(d.Stride);
    }
    return g;
}

void StandardTable(int bpp, std::vector<RGBQUAD>& table) {
    FillStandardTable(bpp, table);
}

namespace {

std::shared_ptr<Bitmap> CompatibleBitmap(DC* dc, int width, int height) {
    if (dc && !dc->IsSurface && dc->St.SelBitmap) {
        const Bitmap& sel = *dc->St.SelBitmap;
        if (sel.Bpp == 1 && !sel.Dib)
            return NewBitmap(width, height, 1, false, true);
        if (sel.Dib && sel.Bpp <= 8) {
            auto bm = NewBitmap(width, height, sel.Bpp, true, sel.TopDown);
            if (bm)
                bm->Table = sel.Table;
            return bm;
        }
    }
    return NewBitmap(width, height, 32, false, true);
}

// Copies rows between a bitmap and caller memory; columns beyond the narrower of the two
// are left alone.
void CopyBand(Bitmap& bm, const PixelGrid& mem, int firstRow, int rows, bool toBitmap) {
    PixelGrid bg = GridOf(bm);
    int width = std::min(bm.Width, mem.Width);
    StretchMap map;
    map.X.resize(std::size_t(width));
    for (int i = 0; i < width; ++i)
        map.X[std::size_t(i)] = i;
    map.Y.resize(std::size_t(rows));
    if (toBitmap) {
        for (int j = 0; j < rows; ++j)
            map.Y[std::size_t(j)] = j;
        Converter conv = DibConverter(mem, bg);
        std::vector<RECT> clip{RECT{0, 0, bm.Width, bm.Height}};
        TransferRop(bg, clip, RECT{0, firstRow, width, firstRow + rows}, &mem, map, conv, nullptr,
                    0xCC);
    } else {
        for (int j = 0; j < rows; ++j)
            map.Y[std::size_t(j)] = firstRow + j;
        Converter conv = DibConverter(bg, mem);
        std::vector<RECT> clip{RECT{0, 0, mem.Width, rows}};
        TransferRop(mem, clip, RECT{0, 0, width, rows}, &bg, map, conv, nullptr, 0xCC);
    }
}

// Image rows [first, first + rows) (top-down) covered by scan lines [start, start + lines)
// of a DIB of `height` rows: scan lines count from the bottom for bottom-up DIBs.
bool ScanBand(bool topDown, int height, UINT start, UINT lines, int& first, int& rows) {
    if (start >= UINT(height) || lines == 0)
        return false;
    rows = int(std::min<UINT>(lines, UINT(height) - start));
    first = topDown ? int(start) : height - int(start) - rows;
    return true;
}

} // namespace

} // namespace platform::gdi

using namespace platform::gdi;

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
    GdiLock lock(GdiMutex());
    if (width < 0 || height < 0 || planes != 1 || bitCount > 32)
        return nullptr;
    if (width == 0 || height == 0)
        return reinterpret_cast<HBITMAP>(DefaultBitmap()->Handle);
    int bpp = bitCount <= 1 ? 1 : 32;
    auto bm = NewBitmap(width, height, bpp, false, true);
    if (!bm)
        return nullptr;
    if (bits && (bitCount == 1 || bitCount == 32))
        std::memcpy(bm->Bits.get(), bits, bm->BitsSize);
    return reinterpret_cast<HBITMAP>(AddObject(bm));
}

HBITMAP CreateBitmapIndirect(const BITMAP* b) {
    if (!b)
        return nullptr;
    return CreateBitmap(b->bmWidth, b->bmHeight, b->bmPlanes, b->bmBitsPixel, b->bmBits);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || width < 0 || height < 0)
        return nullptr;
    if (width == 0 || height == 0)
        return reinterpret_cast<HBITMAP>(DefaultBitmap()->Handle);
    auto bm = CompatibleBitmap(dc.get(), width, height);
    return bm ? reinterpret_cast<HBITMAP>(AddObject(bm)) : nullptr;
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    GdiLock lock(GdiMutex());
    if (bits)
        *bits = nullptr;
    auto dc = hdc ? LookupDC(hdc) : nullptr;
    if (hdc && !dc)
        return nullptr;
    if (usage == DIB_PAL_COLORS && !dc)
        return nullptr;
    DibDesc d;
    if (!ParseDib(info, usage, dc.get(), d))
        return nullptr;
    auto bm = NewBitmap(d.Width, d.Height, d.Bpp, true, d.TopDown);
    if (!bm)
        return nullptr;
    bm->Table = d.Table;
    if (bits)
        *bits = bm->Bits.get();
    return reinterpret_cast<HBITMAP>(AddObject(bm));
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !header)
        return nullptr;
    int width = header->biWidth;
    int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (width <= 0 || height <= 0)
        return nullptr;
    auto bm = CompatibleBitmap(dc.get(), width, height);
    if (!bm)
        return nullptr;
    HBITMAP h = reinterpret_cast<HBITMAP>(AddObject(bm));
    if ((init & CBM_INIT) && bits && info) {
        if (SetDIBits(hdc, h, 0, UINT(height), bits, info, usage) == 0) {
            DeleteObject(h);
            return nullptr;
        }
    }
    return h;
}

namespace {

// Answers a query (bit count 0): describes the bitmap in the caller's header.
int DescribeBitmap(const Bitmap& bm, BITMAPINFOHEADER& h) {
    h.biWidth = bm.Width;
    h.biHeight = bm.Dib && bm.TopDown ? -bm.Height : bm.Height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bm.Bpp);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD((std::size_t(bm.Width) * bm.Bpp + 31) / 32 * 4 * bm.Height);
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    return bm.Height;
}

// Writes the colour table of a result of 8 bits or fewer into the caller's header: the
// bitmap's own table when the depths agree, the standard one otherwise.
void ReportColorTable(Bitmap& bm, DibDesc& d, LPBITMAPINFO info, UINT usage) {
    BITMAPINFOHEADER& h = info->bmiHeader;
    PixelGrid bg = GridOf(bm);
    std::vector<RGBQUAD> table;
    if (bm.Bpp == d.Bpp) {
        int n = 1 << d.Bpp;
        for (int i = 0; i < n; ++i) {
            std::uint32_t p = bg.TableEntry(i);
            table.push_back(RGBQUAD{BYTE(p), BYTE(p >> 8), BYTE(p >> 16), 0});
        }
    } else {
        StandardTable(d.Bpp, table);
    }
    d.Table = table;
    if (usage == DIB_PAL_COLORS) {
        std::uint8_t* idx = reinterpret_cast<std::uint8_t*>(info) + h.biSize;
        for (std::size_t i = 0; i < table.size(); ++i) {
            WORD index = WORD(i);
            std::memcpy(idx + 2 * i, &index, sizeof index);
        }
    } else {
        std::memcpy(info->bmiColors, table.data(), table.size() * sizeof(RGBQUAD));
    }
    h.biClrUsed = 0;
}

// Copies the band of scan lines the caller asked for into `bits`; returns the lines
// copied.
int CopyBandOut(Bitmap& bm, const DibDesc& d, UINT start, UINT lines, LPVOID bits) {
    int first, rows;
    int height = bm.Height;
    if (!ScanBand(d.TopDown, height, start, lines, first, rows) || start >= UINT(d.Height))
        return 0;
    // The caller's buffer holds the lines its header describes and no more, even when the
    // bitmap is taller.
    rows = std::min(rows, d.Height - int(start));
    if (!d.TopDown)
        first = height - int(start) - rows;
    // Row padding comes out zeroed rather than as whatever the buffer held.
    std::memset(bits, 0, std::size_t(rows) * std::size_t(d.Stride));
    PixelGrid mem = GridOfMemory(d, bits, first, rows);
    CopyBand(bm, mem, first, rows, false);
    return rows;
}

} // namespace

int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
              UINT usage) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    auto bm = Lookup<Bitmap>(hbm, OBJ_BITMAP);
    if (!dc || !bm || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biBitCount == 0)
        return DescribeBitmap(*bm, h);
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)
        return 0;
    BITMAPINFOHEADER saved = h;
    if (h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)) {
        // The result is in the plain layout; report its masks.
        const DWORD masks16[3] = {0x7C00, 0x03E0, 0x001F};
        const DWORD masks32[3] = {0xFF0000, 0xFF00, 0xFF};
        std::memcpy(reinterpret_cast<std::uint8_t*>(info) + h.biSize,
                    h.biBitCount == 16 ? masks16 : masks32, sizeof masks16);
    }
    DibDesc d;
    if (!ParseDib(info, DIB_RGB_COLORS, dc.get(), d)) {
        h = saved;
        return 0;
    }
    if (d.Bpp <= 8)
        ReportColorTable(*bm, d, info, usage);
    h.biSizeImage = DWORD(std::size_t(d.Stride) * std::size_t(bm->Height));
    if (!bits)
        return bm->Height;
    return CopyBandOut(*bm, d, start, lines, bits);
}

int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
    GdiLock lock(GdiMutex());
    auto dc = hdc ? LookupDC(hdc) : nullptr;
    auto bm = Lookup<Bitmap>(hbm, OBJ_BITMAP);
    if ((hdc && !dc) || !bm || !bits || bm->Stock)
        return 0;
    if (usage == DIB_PAL_COLORS && !dc)
        return 0;
    DibDesc d;
    if (!ParseDib(info, usage, dc.get(), d))
        return 0;
    // The DIB's rows map onto the bitmap's rows; width differences are clipped.
    int first, rows;
    if (!ScanBand(d.TopDown, d.Height, start, lines, first, rows))
        return 0;
    PixelGrid mem = GridOfMemory(d, bits, first, rows);
    PixelGrid bg = GridOf(*bm);
    StretchMap map;
    int w = std::min(bm->Width, d.Width);
    map.X.resize(std::size_t(w));
    for (int i = 0; i < w; ++i)
        map.X[std::size_t(i)] = i;
    map.Y.resize(std::size_t(rows));
    for (int j = 0; j < rows; ++j)
        map.Y[std::size_t(j)] = j;
    // DIB rows are counted from the bottom of the DIB; align bottoms for bottom-up DIBs.
    int destTop = d.TopDown ? first : bm->Height - (d.Height - first);
    Converter conv = DibConverter(mem, bg);
    std::vector<RECT> clip{RECT{0, 0, bm->Width, bm->Height}};
    TransferRop(bg, clip, RECT{0, destTop, w, destTop + rows}, &mem, map, conv, nullptr, 0xCC);
    return rows;
}

namespace {

// Runs `copy(table entry, caller's entry, count)` over the colour table of the DIB
// section selected into a memory context, from `start` on; returns the entries copied.
template <class Copy>
UINT WithColorTable(HDC hdc, UINT start, UINT entries, bool haveColors, Copy copy) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || dc->IsSurface || !haveColors || !dc->St.SelBitmap)
        return 0;
    Bitmap& bm = *dc->St.SelBitmap;
    if (!bm.Dib || bm.Bpp > 8 || start >= bm.Table.size())
        return 0;
    UINT n = std::min<UINT>(entries, UINT(bm.Table.size()) - start);
    copy(bm.Table.data() + start, n);
    return n;
}

} // namespace

UINT GetDIBColorTable(HDC hdc, UINT start, UINT entries, RGBQUAD* colors) {
    return WithColorTable(hdc, start, entries, colors != nullptr, [&](RGBQUAD* table, UINT n) {
        std::memcpy(colors, table, n * sizeof(RGBQUAD));
    });
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT entries, const RGBQUAD* colors) {
    return WithColorTable(hdc, start, entries, colors != nullptr, [&](RGBQUAD* table, UINT n) {
        std::memcpy(table, colors, n * sizeof(RGBQUAD));
    });
}

LONG GetBitmapBits(HBITMAP hbm, LONG bytes, LPVOID bits) {
    GdiLock lock(GdiMutex());
    auto bm = Lookup<Bitmap>(hbm, OBJ_BITMAP);
    if (!bm || bytes < 0)
        return 0;
    std::size_t ddbStride = (std::size_t(bm->Width) * bm->Bpp + 15) / 16 * 2;
    std::size_t total = ddbStride * std::size_t(bm->Height);
    if (total > std::size_t(std::numeric_limits<LONG>::max()))
        return 0;
    if (!bits)
        return LONG(total);
    std::size_t want = std::min<std::size_t>(std::size_t(bytes), total);
    auto* out = static_cast<std::uint8_t*>(bits);
    std::size_t done = 0;
    for (int y = 0; y < bm->Height && done < want; ++y) {
        std::size_t n = std::min(ddbStride, want - done);
        std::memcpy(out + done, bm->Row(y), std::min<std::size_t>(n, std::size_t(bm->Stride)));
        done += n;
    }
    return LONG(done);
}

LONG SetBitmapBits(HBITMAP hbm, DWORD bytes, const void* bits) {
    GdiLock lock(GdiMutex());
    auto bm = Lookup<Bitmap>(hbm, OBJ_BITMAP);
    if (!bm || !bits || bm->Stock)
        return 0;
    std::size_t ddbStride = (std::size_t(bm->Width) * bm->Bpp + 15) / 16 * 2;
    std::size_t want = std::min<std::size_t>(bytes, ddbStride * std::size_t(bm->Height));
    const auto* in = static_cast<const std::uint8_t*>(bits);
    std::size_t done = 0;
    for (int y = 0; y < bm->Height && done < want; ++y) {
        std::size_t n = std::min(ddbStride, want - done);
        std::memcpy(bm->Row(y), in + done, std::min<std::size_t>(n, std::size_t(bm->Stride)));
        done += n;
    }
    return LONG(done);
}
