// A reset leaves nothing behind: the same scripted sequence run twice in one process,
// with a reset between, sees the same window manager both times.
#include <algorithm>
#include <string>
#include <vector>

#include "HeadlessFixture.h"

namespace t = platform::testing;

namespace {

std::string Point(POINT p) {
    return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
}

// What a program can see of the state one run leaves to the next, and of the run itself.
// Handles differ between runs (they are never reused), so windows are named by role.
std::vector<std::string> Observe(HWND top) {
    auto name = [top](HWND h) { return h == nullptr ? "none" : h == top ? "top" : "other"; };
    POINT cursor{};
    GetCursorPos(&cursor);
    DWORD pos = GetMessagePos();
    return {
        "cursor at " + Point(cursor),
        "cursor shape " + std::to_string(reinterpret_cast<std::uintptr_t>(GetCursor())),
        "message pos " + Point(POINT{SHORT(LOWORD(pos)), SHORT(HIWORD(pos))}),
        std::string("focus ") + name(GetFocus()),
        std::string("active ") + name(GetActiveWindow()),
        std::string("capture ") + name(GetCapture()),
        "shift " + std::to_string(GetKeyState(VK_SHIFT)),
    };
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& lines) {
    to.insert(to.end(), lines.begin(), lines.end());
}

} // namespace

class StateReset : public HeadlessTest {
protected:
    static std::vector<std::string> Scenario();
};

std::vector<std::string> StateReset::Scenario() {
    std::vector<std::string> seen = Observe(nullptr);
    // Counting down from the start shows whether an earlier run left the cursor hidden.
    seen.push_back("show count " + std::to_string(ShowCursor(FALSE)));
    seen.push_back("queue empty " + std::to_string(!GetQueueStatus(QS_ALLINPUT)));

    HWND top = CreateWindowExA(0, "Recorder", "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                               300, 200, nullptr, nullptr, nullptr, nullptr);
    Drain();
    Log().clear();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // Two clicks at one spot make a double click; the third starts over.
    t::ClickClient(top, 10, 10);
    t::ClickClient(top, 10, 10);
    t::ClickClient(top, 10, 10);
    t::KeyDown(VK_SHIFT);
    SetTimer(top, 5, 100, nullptr);
    seen.push_back("thread timer " + std::to_string(SetTimer(nullptr, 0, 50, nullptr)));
    Drain();
    t::AdvanceClock(120);
    Drain();
    t::MouseMove(300, 250);
    SetCapture(top);
    PostQuitMessage(7);
    for (const MSG& m : Drain())
        if (m.message == WM_QUIT)
            seen.push_back("quit " + std::to_string(m.wParam));
    for (const Recorded& r : Log())
        if ((r.Msg >= WM_LBUTTONDOWN && r.Msg <= WM_LBUTTONDBLCLK) || r.Msg == WM_TIMER ||
            r.Msg == WM_KEYDOWN)
            seen.push_back("message " + std::to_string(r.Msg) + " " + std::to_string(r.WParam) +
                           " " + std::to_string(r.LParam));
    Append(seen, Observe(top));
    seen.push_back("show count " + std::to_string(ShowCursor(FALSE)));
    return seen;
}

TEST_F(StateReset, SameScenarioTwiceSeesTheSameWindowManager) {
    std::vector<std::string> first = Scenario();
    t::Reset();
    Log().clear();
    std::vector<std::string> second = Scenario();
    EXPECT_EQ(first, second);
    // The run itself did what it scripted, so the comparison compares something.
    auto has = [&first](const std::string& line) {
        return std::find(first.begin(), first.end(), line) != first.end();
    };
    EXPECT_TRUE(has("quit 7"));
    EXPECT_TRUE(has("message " + std::to_string(WM_LBUTTONDBLCLK) + " 1 655370"));
    EXPECT_TRUE(has("capture top"));
    EXPECT_TRUE(has("show count -1"));
    EXPECT_TRUE(has("show count -2"));
}
