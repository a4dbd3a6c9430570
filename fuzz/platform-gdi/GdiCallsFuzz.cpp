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

// What one run works on: the input, a surface of its own, and every context and object
// made so far (also handles that are no longer valid, which the calls must survive).
struct Session {
    Session(const std::uint8_t* data, std::size_t size) : R(data, size) {}
    ~Session() {
        for (HDC dc : SurfaceDcs)
            platform::DeleteSurfaceDC(dc);
        for (HDC dc : Dcs)
            DeleteDC(dc);
        for (HGDIOBJ obj : Objects)
            DeleteObject(obj);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    template <class H> void Keep(H handle) { Objects.push_back(reinterpret_cast<HGDIOBJ>(handle)); }

    Chaos R;
    std::vector<std::uint32_t> Pixels = std::vector<std::uint32_t>(64 * 48, 0x123456);
    platform::Surface Surface{Pixels.data(), 64, 48, 64};
    std::vector<HDC> Dcs;
    std::vector<HGDIOBJ> Objects;
    std::vector<HDC> SurfaceDcs;
};

// Calls 0-8: contexts, bitmaps, pens, brushes, fonts, regions.
void MakeObject(Session& s, unsigned call) {
    switch (call) {
    case 0:
        s.Dcs.push_back(CreateCompatibleDC(s.R.Pick(2) ? nullptr : s.R.From(s.Dcs)));
        break;
    case 1: {
        HDC dc = platform::CreateSurfaceDC(
            s.Surface, POINT{s.R.Coord() % 64, s.R.Coord() % 48},
            {RECT{s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord()}, RECT{0, 0, 30, 30}});
        s.SurfaceDcs.push_back(dc);
        s.Dcs.push_back(dc);
        break;
    }
    case 2:
        s.Keep(CreateCompatibleBitmap(s.R.From(s.Dcs), s.R.Coord() % 300, s.R.Coord() % 300));
        break;
    case 3: {
        struct {
            BITMAPINFOHEADER H;
            RGBQUAD C[256];
        } info{};
        info.H.biSize = s.R.Pick(8) ? 40 : s.R.Pick(2) ? 12 : 100000;
        info.H.biWidth = s.R.Coord() % 200;
        info.H.biHeight = s.R.Coord() % 200;
        info.H.biPlanes = 1;
        static const WORD depths[] = {1, 4, 8, 16, 24, 32, 0, 7};
        info.H.biBitCount = depths[s.R.Pick(8)];
        info.H.biCompression = s.R.Pick(10) ? BI_RGB : s.R.Pick(4);
        info.H.biClrUsed = s.R.Pick(3) ? 0 : DWORD(s.R.Coord());
        void* bits = nullptr;
        s.Keep(CreateDIBSection(s.R.From(s.Dcs), reinterpret_cast<BITMAPINFO*>(&info), s.R.Pick(2),
                                &bits, nullptr, 0));
        break;
    }
    case 4:
        s.Keep(CreatePen(int(s.R.Pick(8)), s.R.Coord() % 20, s.R.Colour()));
        break;
    case 5:
        s.Keep(CreateSolidBrush(s.R.Colour()));
        break;
    case 6:
        s.Keep(CreatePatternBrush(reinterpret_cast<HBITMAP>(s.R.From(s.Objects))));
        break;
    case 7:
        s.Keep(CreateFontA(s.R.Coord() % 100, 0, 0, 0, s.R.Pick(1000), s.R.Pick(2), s.R.Pick(2),
                           s.R.Pick(2), s.R.Pick(256), 0, 0, 0, 0,
                           s.R.Pick(3) ? "MS Sans Serif" : "Nonexistent"));
        break;
    case 8:
        s.Keep(CreateRectRgn(s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord()));
        break;
    default:
        break;
    }
}

// Calls 9, 10 and 18-21: selection, deletion, colours and modes, clipping, saved states.
void ChangeState(Session& s, unsigned call) {
    switch (call) {
    case 9:
        SelectObject(s.R.From(s.Dcs), s.R.From(s.Objects));
        break;
    case 10:
        DeleteObject(s.R.From(s.Objects));
        break;
    case 18:
        SetPixel(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Colour());
        GetPixel(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord());
        SetBkColor(s.R.From(s.Dcs), s.R.Colour());
        SetTextColor(s.R.From(s.Dcs), s.R.Colour());
        SetBkMode(s.R.From(s.Dcs), int(s.R.Pick(4)));
        SetROP2(s.R.From(s.Dcs), int(s.R.Pick(18)));
        break;
    case 19:
        IntersectClipRect(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord());
        ExcludeClipRect(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord());
        SelectClipRgn(s.R.From(s.Dcs),
                      s.R.Pick(3) ? reinterpret_cast<HRGN>(s.R.From(s.Objects)) : nullptr);
        SetViewportOrgEx(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), nullptr);
        SetWindowOrgEx(s.R.From(s.Dcs), s.R.Coord() % 50, s.R.Coord() % 50, nullptr);
        break;
    case 20:
        if (s.R.Pick(2))
            SaveDC(s.R.From(s.Dcs));
        else
            RestoreDC(s.R.From(s.Dcs), int(s.R.Pick(5)) - 2);
        break;
    case 21: {
        HDC dc = s.R.From(s.Dcs);
        if (s.R.Pick(2)) {
            DeleteDC(dc);
        } else if (!s.SurfaceDcs.empty()) {
            platform::RetargetSurfaceDC(s.R.From(s.SurfaceDcs), s.Surface,
                                        POINT{s.R.Coord() % 64, s.R.Coord() % 64},
                                        {RECT{0, 0, s.R.Coord(), s.R.Coord()}});
        }
        break;
    }
    default:
        break;
    }
}

// Calls 11-17: blits, fills, frames, shapes, lines, text.
void Draw(Session& s, unsigned call) {
    switch (call) {
    case 11:
        BitBlt(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord() % 100, s.R.Coord() % 100,
               s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Rop());
        break;
    case 12:
        SetStretchBltMode(s.R.From(s.Dcs), int(s.R.Pick(5)));
        StretchBlt(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord() % 100, s.R.Coord() % 100,
                   s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Rop());
        break;
    case 13: {
        RECT rc{s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord()};
        FillRect(s.R.From(s.Dcs), &rc,
                 s.R.Pick(3) ? reinterpret_cast<HBRUSH>(s.R.From(s.Objects))
                             : reinterpret_cast<HBRUSH>(std::uintptr_t(s.R.Pick(40))));
        DrawEdge(s.R.From(s.Dcs), &rc, s.R.Pick(16), s.R.Pick(0x10000));
        DrawFocusRect(s.R.From(s.Dcs), &rc);
        break;
    }
    case 14: {
        RECT rc{s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord()};
        DrawFrameControl(s.R.From(s.Dcs), &rc, s.R.Pick(6), s.R.Pick(0x10000));
        FrameRect(s.R.From(s.Dcs), &rc, reinterpret_cast<HBRUSH>(s.R.From(s.Objects)));
        InvertRect(s.R.From(s.Dcs), &rc);
        break;
    }
    case 15:
        Rectangle(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord());
        Ellipse(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord());
        break;
    case 16: {
        MoveToEx(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), nullptr);
        LineTo(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord());
        POINT pts[4] = {{s.R.Coord(), s.R.Coord()},
                        {s.R.Coord(), s.R.Coord()},
                        {s.R.Coord(), s.R.Coord()},
                        {s.R.Coord(), s.R.Coord()}};
        Polygon(s.R.From(s.Dcs), pts, int(s.R.Pick(5)));
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
        const char* t = texts[s.R.Pick(7)];
        RECT rc{s.R.Coord(), s.R.Coord(), s.R.Coord(), s.R.Coord()};
        DrawTextA(s.R.From(s.Dcs), t,
                  s.R.Pick(3) ? -1 : int(s.R.Pick(unsigned(std::strlen(t)) + 1)), &rc,
                  s.R.Pick(0x400000));
        SetTextAlign(s.R.From(s.Dcs), s.R.Pick(32));
        TextOutA(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), t, int(std::strlen(t)));
        ExtTextOutA(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Pick(8), &rc, t,
                    UINT(std::strlen(t)), nullptr);
        break;
    }
    default:
        break;
    }
}

// Call 22: pixels in and out of bitmaps and contexts.
void MoveBits(Session& s, unsigned call) {
    switch (call) {
    case 22: {
        std::vector<std::uint8_t> buffer(64 * 64 * 4 + 64);
        struct {
            BITMAPINFOHEADER H;
            RGBQUAD C[256];
        } info{};
        info.H.biSize = 40;
        info.H.biWidth = int(s.R.Pick(64)) + 1;
        info.H.biHeight = (int(s.R.Pick(64)) + 1) * (s.R.Pick(2) ? 1 : -1);
        info.H.biPlanes = 1;
        static const WORD depths[] = {1, 4, 8, 16, 24, 32};
        info.H.biBitCount = depths[s.R.Pick(6)];
        auto* bi = reinterpret_cast<BITMAPINFO*>(&info);
        HBITMAP bm = reinterpret_cast<HBITMAP>(s.R.From(s.Objects));
        GetDIBits(s.R.From(s.Dcs), bm, s.R.Pick(70), s.R.Pick(70), buffer.data(), bi,
                  DIB_RGB_COLORS);
        SetDIBits(s.R.From(s.Dcs), bm, s.R.Pick(70), s.R.Pick(70), buffer.data(), bi,
                  DIB_RGB_COLORS);
        StretchDIBits(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Coord() % 100,
                      s.R.Coord() % 100, s.R.Coord() % 80, s.R.Coord() % 80, s.R.Coord() % 80,
                      s.R.Coord() % 80, buffer.data(), bi, DIB_RGB_COLORS, s.R.Rop());
        SetDIBitsToDevice(s.R.From(s.Dcs), s.R.Coord(), s.R.Coord(), s.R.Pick(70), s.R.Pick(70),
                          s.R.Coord() % 80, s.R.Coord() % 80, s.R.Pick(70), s.R.Pick(70),
                          buffer.data(), bi, DIB_RGB_COLORS);
        break;
    }
    default:
        break;
    }
}

// The other calls: questions about objects and contexts.
void Ask(Session& s) {
    std::uint8_t out[sizeof(DIBSECTION) + 8];
    GetObjectA(s.R.From(s.Objects), int(s.R.Pick(sizeof out)), out);
    TEXTMETRICA tm;
    GetTextMetricsA(s.R.From(s.Dcs), &tm);
    SIZE sz;
    GetTextExtentPoint32A(s.R.From(s.Dcs), "abc", int(s.R.Pick(4)), &sz);
    RECT box;
    GetClipBox(s.R.From(s.Dcs), &box);
}

void RunCalls(const std::uint8_t* data, std::size_t size) {
    Session s(data, size);
    for (int step = 0; step < MaxSteps && !s.R.Done(); ++step) {
        const unsigned call = s.R.Pick(24);
        if (call <= 8)
            MakeObject(s, call);
        else if (call <= 10 || (call >= 18 && call <= 21))
            ChangeState(s, call);
        else if (call <= 17)
            Draw(s, call);
        else if (call == 22)
            MoveBits(s, call);
        else
            Ask(s);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RunCalls(data, size);
    return 0;
}
