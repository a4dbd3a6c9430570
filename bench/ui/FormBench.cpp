// The framework on the headless backend: a full repaint of the maximised 1280 x 1024 main
// window holding the 23 components of its definition (pictures decoded once, beforehand),
// beside the peer that bounds it from below, one 1280 x 1024 blit into a plain window;
// a click on a hot-spot until its handler has run; one message step with nothing to do.
#include <benchmark/benchmark.h>

#include "platform/testing/Testing.h"
#include "tests/ui/MainWindow.h"

namespace t = platform::testing;
using namespace mainwindow;

namespace {

TForm1* MainWindow() {
    static TForm1* form = [] {
        t::UseHeadless();
        t::SetScreenSize(1280, 1024);
        InitApplication();
        UseMainForm();
        TForm1* f = nullptr;
        Application->MakeForm(f);
        f->SetWindowState(wsMaximized);
        f->Show();
        t::PumpMessages(); // the first paint decodes the pictures
        return f;
    }();
    return form;
}

void FullRepaintMainWindow(benchmark::State& state) {
    TForm1* form = MainWindow();
    for (auto _ : state) {
        ::InvalidateRect(form->Handle(), nullptr, TRUE);
        benchmark::DoNotOptimize(t::PumpMessages());
    }
}
BENCHMARK(FullRepaintMainWindow)->Unit(benchmark::kMillisecond);

// The peer: a plain window whose paint is one blit of a 1280 x 1024 bitmap.
HBITMAP gPeerBitmap = nullptr;
LRESULT PeerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, gPeerBitmap);
    ::BitBlt(dc, 0, 0, 1280, 1024, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::EndPaint(hwnd, &ps);
    return 0;
}

void PeerBlitOnlyRepaint(benchmark::State& state) {
    MainWindow();
    static HWND peer = [] {
        HDC screen = ::GetDC(nullptr);
        gPeerBitmap = ::CreateCompatibleBitmap(screen, 1280, 1024);
        ::ReleaseDC(nullptr, screen);
        WNDCLASSA wc{};
        wc.lpfnWndProc = PeerProc;
        wc.lpszClassName = "PeerBlit";
        ::RegisterClassA(&wc);
        HWND h = ::CreateWindowExA(0, "PeerBlit", "peer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                   1280, 1024, nullptr, nullptr, nullptr, nullptr);
        ::ShowWindow(h, SW_SHOWMAXIMIZED);
        t::PumpMessages();
        return h;
    }();
    for (auto _ : state) {
        ::InvalidateRect(peer, nullptr, TRUE);
        benchmark::DoNotOptimize(t::PumpMessages());
    }
}
BENCHMARK(PeerBlitOnlyRepaint)->Unit(benchmark::kMillisecond);

void ClickToHandler(benchmark::State& state) {
    TForm1* form = MainWindow();
    form->Timer1->SetEnabled(false); // no ticks between the clicks
    ::BringWindowToTop(form->Handle());
    Application->ProcessMessages();
    TImage* hot = form->b_english;
    const int x = hot->Left() + hot->Width() / 2, y = hot->Top() + hot->Height() / 2;
    for (auto _ : state) {
        const std::size_t before = form->Calls.size();
        t::AdvanceClock(::GetDoubleClickTime() + 1); // a single click each time
        t::ClickClient(form->Handle(), x, y);
        for (int steps = 0; form->Calls.size() == before; ++steps)
            if (steps > 1000) {
                state.SkipWithError("the click did not reach its handler");
                return;
            } else
                Application->HandleMessage(false);
    }
    form->Calls.clear();
    form->Timer1->SetEnabled(true);
}
BENCHMARK(ClickToHandler)->Unit(benchmark::kMicrosecond);

void IdleMessageStep(benchmark::State& state) {
    MainWindow();
    Application->ProcessMessages();
    for (auto _ : state)
        Application->HandleMessage(false);
}
BENCHMARK(IdleMessageStep)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
