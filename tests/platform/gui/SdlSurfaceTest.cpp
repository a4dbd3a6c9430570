// A real window's pixels on a display (run under xvfb-run) through the changes that move
// them: made, drawn on outside a paint, resized, minimised and restored. After each step
// the screen shows what the window holds, and once presented the window draws straight
// into the display's image of it (SDL's window surface) rather than into pixels of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "RealDisplay.h"
#include "platform/testing/Testing.h"
#include "platform/user/WindowManager.h"
#include "platform/win32.h"
#include "tests/common/DisplayNeeds.h"
#include "tests/common/TempDir.h"

namespace {

using realdisplay::Ppm;
using realdisplay::PumpUntil;

int Paints = 0;

LRESULT TopProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT)
        ++Paints;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The window's pixels are the display's own: it keeps none of its own.
bool InDisplaySurface(HWND hwnd) {
    platform::user::PixelLock lock = platform::user::LockPixels();
    platform::user::Window* w = platform::user::FromHandleQuiet(hwnd);
    return w && w->Surf.Pixels && w->Pixels.Empty();
}

void Settle(int ms) {
    const DWORD until = GetTickCount() + DWORD(ms);
    PumpUntil([&] { return GetTickCount() >= until; });
}

// Draws through a window context outside any WM_PAINT.
void FillOutsidePaint(HWND h, HBRUSH brush, RECT r) {
    HDC dc = GetDC(h);
    FillRect(dc, &r, brush);
    ReleaseDC(h, dc);
}

} // namespace

TEST(SdlSurface, WindowPixelsLiveInTheDisplaySurfaceThroughResizesAndDrawing) {
    if (const std::string why = testutil::DisplayMissing({"import"}); !why.empty())
        GTEST_SKIP() << why;

    WNDCLASSA wc{};
    wc.lpfnWndProc = TopProc;
    wc.hbrBackground = CreateSolidBrush(RGB(0, 160, 0));
    wc.lpszClassName = "SurfaceTop";
    ASSERT_NE(RegisterClassA(&wc), 0);
    const int left = 60, top = 50;
    HWND main = CreateWindowExA(0, "SurfaceTop", "surface test", WS_POPUP | WS_VISIBLE, left, top,
                                300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    SetTimer(main, 1, 50, nullptr); // keeps the loop turning while the server works
    HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));

    struct Probe {
        int X, Y; // client coordinates
        std::uint32_t Rgb;
    };
    struct Step {
        const char* Name;
        void (*Act)(HWND, HBRUSH);
        int Width, Height; // the client size after the step
        std::vector<Probe> Probes;
    };
    const Step steps[] = {
        {"made", [](HWND, HBRUSH) {}, 300, 200, {{5, 5, 0x00A000}, {295, 195, 0x00A000}}},
        {"drawn on outside a paint",
         [](HWND h, HBRUSH b) {
             FillOutsidePaint(h, b, RECT{10, 10, 50, 40});
         },
         300,
         200,
         {{20, 20, 0xC80000}, {60, 20, 0x00A000}}},
        {"made larger",
         [](HWND h, HBRUSH) {
             SetWindowPos(h, nullptr, 0, 0, 420, 260, SWP_NOMOVE | SWP_NOZORDER);
         },
         420,
         260,
         {{5, 5, 0x00A000}, {415, 255, 0x00A000}, {20, 20, 0x00A000}}},
        {"made smaller",
         [](HWND h, HBRUSH) {
             SetWindowPos(h, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
         },
         200,
         150,
         {{5, 5, 0x00A000}, {195, 145, 0x00A000}}},
        {"drawn on again",
         [](HWND h, HBRUSH b) {
             FillOutsidePaint(h, b, RECT{150, 100, 190, 140});
         },
         200,
         150,
         {{160, 110, 0xC80000}, {140, 110, 0x00A000}}},
        {"minimised and restored",
         [](HWND h, HBRUSH) {
             ShowWindow(h, SW_MINIMIZE);
             Settle(300);
             ShowWindow(h, SW_RESTORE);
         },
         200,
         150,
         {{5, 5, 0x00A000}, {195, 145, 0x00A000}}},
    };
    testutil::TTempDir dir("platform-gui-surface");
    const std::string shot = dir / "screen.ppm";
    for (const Step& step : steps) {
        SCOPED_TRACE(step.Name);
        Paints = 0;
        step.Act(main, red);
        // Painted (where a paint is due), presented, and the server has shown it.
        PumpUntil([&] { return InDisplaySurface(main); }, 5);
        Settle(600);
        RECT cr{};
        GetClientRect(main, &cr);
        EXPECT_EQ(cr.right, step.Width);
        EXPECT_EQ(cr.bottom, step.Height);
        EXPECT_TRUE(InDisplaySurface(main)) << "the window keeps pixels of its own";
        ASSERT_EQ(std::system(("import -window root -depth 8 " + shot).c_str()), 0);
        Ppm img;
        ASSERT_TRUE(realdisplay::ReadPpm(shot, img));
        for (const Probe& p : step.Probes)
            EXPECT_EQ(img.At(left + p.X, top + p.Y), p.Rgb) << "at " << p.X << ", " << p.Y;
    }
    DestroyWindow(main);
    DeleteObject(red);
}
