// Sequences of drawing calls with extreme, random and stale arguments, chosen by the
// fuzzer's input: every call must return normally, and the sanitizers check memory
// safety. Each step takes its choices from the next bytes of the input; the sequence
// ends with the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

namespace {

constexpr int MaxSteps = 4000;

// The input as a source of 32-bit choices; zeros once it is used up.
class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    std::uint32_t operator()() {
        std::uint32_t v = 0;
        const std::size_t n = std::min<std::size_t>(4, FSize - FPos);
        if (n > 0)
            std::memcpy(&v, FData + FPos, n);
        FPos += n;
        return v;
    }
    bool Done() const { return FPos >= FSize; }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

class Chaos {
public:
    Chaos(const std::uint8_t* data, std::size_t size) : Rng(data, size) {}
    bool Done() const { return Rng.Done(); }

    int Coord() {
        switch (Pick(6)) {
        case 0:
            return int(Rng() % 40) - 10;
        case 1:
            return int(Rng() % 2000) - 1000;
        case 2:
            return 0;
        case 3:
            return Pick(2) ? 2147483647 : -2147483647 - 1;
        case 4:
            return int(Rng());
        default:
            return int(Rng() % 8);
        }
    }
    unsigned Pick(unsigned n) { return unsigned(Rng() % n); }
    DWORD Rop() {
        static const DWORD rops[] = {SRCCOPY,    SRCPAINT,  SRCAND,    SRCINVERT, SRCERASE,
                                     NOTSRCCOPY, MERGECOPY, PATCOPY,   PATINVERT, DSTINVERT,
                                     BLACKNESS,  WHITENESS, 0x00B8074A};
        return Pick(4) == 0 ? DWORD(Rng()) : rops[Pick(sizeof rops / sizeof rops[0])];
    }
    COLORREF Colour() {
        switch (Pick(4)) {
        case 0:
            return PALETTEINDEX(WORD(Rng()));
        case 1:
            return PALETTERGB(BYTE(Rng()), BYTE(Rng()), BYTE(Rng()));
        case 2:
            return DWORD(Rng());
        default:
            return RGB(BYTE(Rng()), BYTE(Rng()), BYTE(Rng()));
        }
    }
    template <class T> T From(const std::vector<T>& v) {
        if (v.empty() || Pick(8) == 0)
            return reinterpret_cast<T>(std::uintptr_t(Rng()) << Pick(40));
        return v[Pick(unsigned(v.size()))];
    }

private:
    TInput Rng;
};

void RunCalls(const std::uint8_t* data, std::size_t size) {
    Chaos r(data, size);
    std::vector<std::uint32_t> pixels(64 * 48, 0x123456);
    platform::Surface surface{pixels.data(), 64, 48, 64};
    std::vector<HDC> dcs;
    std::vector<HGDIOBJ> objects;
    std::vector<HDC> surfaceDcs;
    auto keep = [&](auto handle) { objects.push_back(reinterpret_cast<HGDIOBJ>(handle)); };
    for (int step = 0; step < MaxSteps && !r.Done(); ++step) {
        switch (r.Pick(24)) {
        case 0:
            dcs.push_back(CreateCompatibleDC(r.Pick(2) ? nullptr : r.From(dcs)));
            break;
        case 1: {
            HDC dc = platform::CreateSurfaceDC(
                surface, POINT{r.Coord() % 64, r.Coord() % 48},
                {RECT{r.Coord(), r.Coord(), r.Coord(), r.Coord()}, RECT{0, 0, 30, 30}});
            surfaceDcs.push_back(dc);
            dcs.push_back(dc);
            break;
        }
        case 2:
            keep(CreateCompatibleBitmap(r.From(dcs), r.Coord() % 300, r.Coord() % 300));
            break;
        case 3: {
            struct {
                BITMAPINFOHEADER H;
                RGBQUAD C[256];
            } info{};
            info.H.biSize = r.Pick(8) ? 40 : r.Pick(2) ? 12 : 100000;
            info.H.biWidth = r.Coord() % 200;
            info.H.biHeight = r.Coord() % 200;
            info.H.biPlanes = 1;
            static const WORD depths[] = {1, 4, 8, 16, 24, 32, 0, 7};
            info.H.biBitCount = depths[r.Pick(8)];
            info.H.biCompression = r.Pick(10) ? BI_RGB : r.Pick(4);
            info.H.biClrUsed = r.Pick(3) ? 0 : DWORD(r.Coord());
            void* bits = nullptr;
            keep(CreateDIBSection(r.From(dcs), reinterpret_cast<BITMAPINFO*>(&info), r.Pick(2),
                                  &bits, nullptr, 0));
            break;
        }
        case 4:
            keep(CreatePen(int(r.Pick(8)), r.Coord() % 20, r.Colour()));
            break;
        case 5:
            keep(CreateSolidBrush(r.Colour()));
            break;
        case 6:
            keep(CreatePatternBrush(reinterpret_cast<HBITMAP>(r.From(objects))));
            break;
        case 7:
            keep(CreateFontA(r.Coord() % 100, 0, 0, 0, r.Pick(1000), r.Pick(2), r.Pick(2),
                             r.Pick(2), r.Pick(256), 0, 0, 0, 0,
                             r.Pick(3) ? "MS Sans Serif" : "Nonexistent"));
            break;
        case 8:
            keep(CreateRectRgn(r.Coord(), r.Coord(), r.Coord(), r.Coord()));
            break;
        case 9:
            SelectObject(r.From(dcs), r.From(objects));
            break;
        case 10:
            DeleteObject(r.From(objects));
            break;
        case 11:
            BitBlt(r.From(dcs), r.Coord(), r.Coord(), r.Coord() % 100, r.Coord() % 100, r.From(dcs),
                   r.Coord(), r.Coord(), r.Rop());
            break;
        case 12:
            SetStretchBltMode(r.From(dcs), int(r.Pick(5)));
            StretchBlt(r.From(dcs), r.Coord(), r.Coord(), r.Coord() % 100, r.Coord() % 100,
                       r.From(dcs), r.Coord(), r.Coord(), r.Coord(), r.Coord(), r.Rop());
            break;
        case 13: {
            RECT rc{r.Coord(), r.Coord(), r.Coord(), r.Coord()};
            FillRect(r.From(dcs), &rc,
                     r.Pick(3) ? reinterpret_cast<HBRUSH>(r.From(objects))
                               : reinterpret_cast<HBRUSH>(std::uintptr_t(r.Pick(40))));
            DrawEdge(r.From(dcs), &rc, r.Pick(16), r.Pick(0x10000));
            DrawFocusRect(r.From(dcs), &rc);
            break;
        }
        case 14: {
            RECT rc{r.Coord(), r.Coord(), r.Coord(), r.Coord()};
            DrawFrameControl(r.From(dcs), &rc, r.Pick(6), r.Pick(0x10000));
            FrameRect(r.From(dcs), &rc, reinterpret_cast<HBRUSH>(r.From(objects)));
            InvertRect(r.From(dcs), &rc);
            break;
        }
        case 15:
            Rectangle(r.From(dcs), r.Coord(), r.Coord(), r.Coord(), r.Coord());
            Ellipse(r.From(dcs), r.Coord(), r.Coord(), r.Coord(), r.Coord());
            break;
        case 16: {
            MoveToEx(r.From(dcs), r.Coord(), r.Coord(), nullptr);
            LineTo(r.From(dcs), r.Coord(), r.Coord());
            POINT pts[4] = {{r.Coord(), r.Coord()},
                            {r.Coord(), r.Coord()},
                            {r.Coord(), r.Coord()},
                            {r.Coord(), r.Coord()}};
            Polygon(r.From(dcs), pts, int(r.Pick(5)));
            break;
        }
        case 17: {
            static const char* texts[] = {"",
                                          "Back",
                                          "&Close",
                                          "a\nb\r\nc",
                                          "\xed\x95\x9c\xea",
                                          "\xff\xfe\x80",
                                          "word word word word"};
            const char* t = texts[r.Pick(7)];
            RECT rc{r.Coord(), r.Coord(), r.Coord(), r.Coord()};
            DrawTextA(r.From(dcs), t, r.Pick(3) ? -1 : int(r.Pick(unsigned(std::strlen(t)) + 1)),
                      &rc, r.Pick(0x400000));
            SetTextAlign(r.From(dcs), r.Pick(32));
            TextOutA(r.From(dcs), r.Coord(), r.Coord(), t, int(std::strlen(t)));
            ExtTextOutA(r.From(dcs), r.Coord(), r.Coord(), r.Pick(8), &rc, t, UINT(std::strlen(t)),
                        nullptr);
            break;
        }
        case 18:
            SetPixel(r.From(dcs), r.Coord(), r.Coord(), r.Colour());
            GetPixel(r.From(dcs), r.Coord(), r.Coord());
            SetBkColor(r.From(dcs), r.Colour());
            SetTextColor(r.From(dcs), r.Colour());
            SetBkMode(r.From(dcs), int(r.Pick(4)));
            SetROP2(r.From(dcs), int(r.Pick(18)));
            break;
        case 19:
            IntersectClipRect(r.From(dcs), r.Coord(), r.Coord(), r.Coord(), r.Coord());
            ExcludeClipRect(r.From(dcs), r.Coord(), r.Coord(), r.Coord(), r.Coord());
            SelectClipRgn(r.From(dcs),
                          r.Pick(3) ? reinterpret_cast<HRGN>(r.From(objects)) : nullptr);
            SetViewportOrgEx(r.From(dcs), r.Coord(), r.Coord(), nullptr);
            SetWindowOrgEx(r.From(dcs), r.Coord() % 50, r.Coord() % 50, nullptr);
            break;
        case 20:
            if (r.Pick(2))
                SaveDC(r.From(dcs));
            else
                RestoreDC(r.From(dcs), int(r.Pick(5)) - 2);
            break;
        case 21: {
            HDC dc = r.From(dcs);
            if (r.Pick(2)) {
                DeleteDC(dc);
            } else if (!surfaceDcs.empty()) {
                platform::RetargetSurfaceDC(r.From(surfaceDcs), surface,
                                            POINT{r.Coord() % 64, r.Coord() % 64},
                                            {RECT{0, 0, r.Coord(), r.Coord()}});
            }
            break;
        }
        case 22: {
            std::vector<std::uint8_t> buffer(64 * 64 * 4 + 64);
            struct {
                BITMAPINFOHEADER H;
                RGBQUAD C[256];
            } info{};
            info.H.biSize = 40;
            info.H.biWidth = int(r.Pick(64)) + 1;
            info.H.biHeight = (int(r.Pick(64)) + 1) * (r.Pick(2) ? 1 : -1);
            info.H.biPlanes = 1;
            static const WORD depths[] = {1, 4, 8, 16, 24, 32};
            info.H.biBitCount = depths[r.Pick(6)];
            auto* bi = reinterpret_cast<BITMAPINFO*>(&info);
            HBITMAP bm = reinterpret_cast<HBITMAP>(r.From(objects));
            GetDIBits(r.From(dcs), bm, r.Pick(70), r.Pick(70), buffer.data(), bi, DIB_RGB_COLORS);
            SetDIBits(r.From(dcs), bm, r.Pick(70), r.Pick(70), buffer.data(), bi, DIB_RGB_COLORS);
            StretchDIBits(r.From(dcs), r.Coord(), r.Coord(), r.Coord() % 100, r.Coord() % 100,
                          r.Coord() % 80, r.Coord() % 80, r.Coord() % 80, r.Coord() % 80,
                          buffer.data(), bi, DIB_RGB_COLORS, r.Rop());
            SetDIBitsToDevice(r.From(dcs), r.Coord(), r.Coord(), r.Pick(70), r.Pick(70),
                              r.Coord() % 80, r.Coord() % 80, r.Pick(70), r.Pick(70), buffer.data(),
                              bi, DIB_RGB_COLORS);
            break;
        }
        default: {
            std::uint8_t out[sizeof(DIBSECTION) + 8];
            GetObjectA(r.From(objects), int(r.Pick(sizeof out)), out);
            TEXTMETRICA tm;
            GetTextMetricsA(r.From(dcs), &tm);
            SIZE sz;
            GetTextExtentPoint32A(r.From(dcs), "abc", int(r.Pick(4)), &sz);
            RECT box;
            GetClipBox(r.From(dcs), &box);
            break;
        }
        }
    }
    for (HDC dc : surfaceDcs)
        platform::DeleteSurfaceDC(dc);
    for (HDC dc : dcs)
        DeleteDC(dc);
    for (HGDIOBJ obj : objects)
        DeleteObject(obj);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RunCalls(data, size);
    return 0;
}
