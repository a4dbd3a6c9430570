// Other threads and the window manager: a send from a helper thread runs the window
// procedure on the window's own thread, and a device context handed to a helper thread
// stays safe to draw on while its window is resized, hidden and destroyed. These tests
// are meant to run clean under ThreadSanitizer as well.
#include <atomic>
#include <thread>

#include "HeadlessFixture.h"

namespace t = platform::testing;

namespace {

std::thread::id GuiThreadId;
std::vector<std::thread::id> ProcThreads; // touched only by the window's thread
std::vector<UINT> UserMessages;
bool Finished = false;

LRESULT WorkerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER && msg < WM_APP) {
        ProcThreads.push_back(std::this_thread::get_id());
        UserMessages.push_back(msg);
        return LRESULT(wParam * 2);
    }
    if (msg == WM_SETTEXT)
        ProcThreads.push_back(std::this_thread::get_id());
    if (msg == WM_APP)
        Finished = true;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeWorker() {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "Worker", &wc)) {
        wc.lpfnWndProc = WorkerProc;
        wc.lpszClassName = "Worker";
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, "Worker", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                           nullptr);
}

// The program's message loop, until a WM_APP says the helper is through.
void LoopUntilFinished() {
    MSG m;
    while (!Finished && GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
}

class Threads : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        GuiThreadId = std::this_thread::get_id();
        ProcThreads.clear();
        UserMessages.clear();
        Finished = false;
    }
};

} // namespace

TEST_F(Threads, SendFromAnotherThreadRunsTheProcedureOnTheWindowsThread) {
    HWND w = MakeWorker();
    HWND gone = MakeWorker();
    DestroyWindow(gone);
    LRESULT doubled = -1, toGone = -1, text = -1;
    std::thread helper([&] {
        doubled = SendMessageA(w, WM_USER, 21, 0);
        toGone = SendMessageA(gone, WM_USER, 1, 0);
        // A pointer into this thread's stack stays valid: the sender waits.
        char caption[] = "from the helper";
        text = SendMessageA(w, WM_SETTEXT, 0, LPARAM(caption));
        PostMessageA(w, WM_APP, 0, 0);
    });
    LoopUntilFinished();
    helper.join();
    EXPECT_EQ(doubled, 42);
    EXPECT_EQ(toGone, 0);
    EXPECT_EQ(text, TRUE);
    char buffer[32]{};
    GetWindowTextA(w, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "from the helper");
    ASSERT_EQ(ProcThreads.size(), 2u);
    for (std::thread::id id : ProcThreads)
        EXPECT_EQ(id, GuiThreadId);
}

TEST_F(Threads, SendToAWindowDestroyedBeforeItsTurnReturnsZero) {
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "test reset" : "window destroyed");
        HWND w = MakeWorker();
        LRESULT result = -1;
        std::thread helper([&] { result = SendMessageA(w, WM_USER + 1, 5, 0); });
        // The message waits until this thread looks at its queue.
        while (!(GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE))
            std::this_thread::yield();
        if (reset) {
            t::Reset(); // the sender is not left waiting
        } else {
            DestroyWindow(w);
            MSG m;
            EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)); // handled, not returned
        }
        helper.join();
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(UserMessages.empty());
    }
}

TEST_F(Threads, AContextDrawnOnByAHelperSurvivesResizeHideAndDestroy) {
    HWND top = TopLevel(0, 0, 300, 200);
    HWND child = Child(top, 20, 20, 100, 100);
    Drain();
    HDC dc = GetDC(child);
    ASSERT_NE(dc, nullptr);
    std::atomic<int> drawn{0};
    std::atomic<bool> stop{false};
    std::thread helper([&] {
        HBRUSH brushes[2] = {CreateSolidBrush(RGB(255, 0, 0)), CreateSolidBrush(RGB(0, 0, 255))};
        RECT all{0, 0, 400, 400};
        for (int i = 0; !stop; ++i) {
            FillRect(dc, &all, brushes[i & 1]); // fails harmlessly once the context is gone
            drawn = i + 1;
            std::this_thread::yield();
        }
        DeleteObject(brushes[0]);
        DeleteObject(brushes[1]);
    });
    // Every change replaces or moves the surface the helper draws on.
    for (int i = 0; i < 40; ++i) {
        SetWindowPos(top, nullptr, 0, 0, 300 + (i % 7) * 31, 200 + (i % 5) * 17,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        MoveWindow(child, 10 + i % 3, 20, 100 + i % 11, 100, TRUE);
        if (i % 10 == 5)
            ShowWindow(top, SW_HIDE);
        if (i % 10 == 7)
            ShowWindow(top, SW_SHOW);
        t::Image shot = t::CaptureWindow(top);
        EXPECT_EQ(shot.Pixels.size(), std::size_t(shot.Width) * std::size_t(shot.Height));
        t::CaptureScreen();
        t::PumpMessages();
        // Let the helper get some drawing in between.
        for (int seen = drawn; drawn == seen && i % 4 == 0;)
            std::this_thread::yield();
    }
    DestroyWindow(top); // the context goes with the window, under the helper's feet
    int atDestroy = drawn;
    while (drawn < atDestroy + 3)
        std::this_thread::yield();
    stop = true;
    helper.join();
    EXPECT_EQ(ReleaseDC(child, dc), 0); // already gone
    EXPECT_GT(drawn.load(), 3);
}
