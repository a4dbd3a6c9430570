// A clip played into a child window of a real window on a display (run under xvfb-run):
// screenshots of the display taken some time apart show the frames the device reports,
// and the other windows stay as they were.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "RealDisplay.h"
#include "platform/testing/Testing.h"
#include "platform/win32.h"
#include "tests/common/DisplayNeeds.h"
#include "tests/platform/MciClip.h"
#include "tools/generators/clipgen/ClipPainter.h"

namespace {

namespace fs = std::filesystem;

using Shot = realdisplay::Ppm;

template <class Pred> bool Pump(Pred done) {
    return realdisplay::PumpUntil(done, 20);
}

bool Grab(const std::string& path, Shot& out) {
    return std::system(("import -window root -depth 8 " + path).c_str()) == 0 &&
           realdisplay::ReadPpm(path, out);
}

DWORD_PTR Position(MCIDEVICEID id) {
    MCI_STATUS_PARMS s{0, 0, MCI_STATUS_POSITION, 0};
    mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&s));
    return s.dwReturn;
}

// The frame of `frames` the screenshot shows at (x, y), by the smallest difference.
int ShownFrame(const Shot& shot, int x, int y,
               const std::vector<std::vector<std::uint32_t>>& frames, int w, int h,
               long& bestError) {
    int best = -1;
    bestError = -1;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        long error = 0;
        for (int j = 0; j < h; j += 3)
            for (int i = 0; i < w; i += 3) {
                const std::uint32_t a = shot.At(x + i, y + j);
                const std::uint32_t b = frames[k][std::size_t(j) * std::size_t(w) + std::size_t(i)];
                for (int s = 0; s < 24; s += 8)
                    error += std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF));
            }
        if (bestError < 0 || error < bestError) {
            bestError = error;
            best = int(k);
        }
    }
    return best;
}

} // namespace

TEST(MciGui, ClipPlaysIntoAChildWindowAndNowhereElse) {
    if (const std::string why = testutil::DisplayMissing({"import"}); !why.empty())
        GTEST_SKIP() << why;
    std::string dir = (fs::temp_directory_path() / "mcigui-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string clip = dir + "/gui.avi";
    const int W = 160, H = 120, N = 75;
    mciclip::Write(clip, {N, W, H, 15, true});
    std::vector<std::vector<std::uint32_t>> frames;
    for (int k = 0; k < N; ++k) {
        int w = 0, h = 0;
        frames.push_back(mciclip::ReferenceFrame(clip, k, w, h));
    }

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = CreateSolidBrush(RGB(0, 150, 0));
    wc.lpszClassName = "MciGuiTop";
    RegisterClassA(&wc);
    wc.hbrBackground = CreateSolidBrush(RGB(180, 0, 180));
    wc.lpszClassName = "MciGuiOther";
    RegisterClassA(&wc);
    const int left = 60, top = 50;
    HWND main = CreateWindowExA(0, "MciGuiTop", "mci gui", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                left, top, 400, 300, nullptr, nullptr, nullptr, nullptr);
    HWND panel = CreateWindowExA(0, "MciGuiTop", "", WS_CHILD | WS_VISIBLE, 40, 30, 200, 150, main,
                                 nullptr, nullptr, nullptr);
    HWND other = CreateWindowExA(0, "MciGuiOther", "other", WS_POPUP | WS_VISIBLE, 600, 50, 200,
                                 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(main && panel && other);
    SetTimer(main, 1, 30, nullptr);
    DWORD until = GetTickCount() + 1500;
    Pump([&] { return GetTickCount() >= until; });

    MCI_OPEN_PARMSA open{0, 0, nullptr, clip.c_str(), nullptr};
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open)), 0u);
    const MCIDEVICEID id = open.wDeviceID;
    MCI_DGV_WINDOW_PARMSA bind{0, panel, 0, nullptr};
    ASSERT_EQ(mciSendCommandA(id, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, DWORD_PTR(&bind)),
              0u);
    MCI_PLAY_PARMS play{DWORD_PTR(main), 0, 0};
    ASSERT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)), 0u);

    std::vector<int> shown;
    for (DWORD_PTR at : {DWORD_PTR(15), DWORD_PTR(45)}) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(Pump([&] { return Position(id) >= at; }));
        // Hold the picture still while the screen is read.
        MCI_GENERIC_PARMS generic{0};
        ASSERT_EQ(mciSendCommandA(id, MCI_PAUSE, MCI_WAIT, DWORD_PTR(&generic)), 0u);
        const DWORD_PTR position = Position(id);
        until = GetTickCount() + 300;
        Pump([&] { return GetTickCount() >= until; });
        Shot shot;
        ASSERT_TRUE(Grab(dir + "/screen.ppm", shot));
        long error = 0;
        const int frame = ShownFrame(shot, left + 40, top + 30, frames, W, H, error);
        EXPECT_EQ(frame, int(position)) << "error " << error;
        EXPECT_LT(error, long(W / 3) * (H / 3) * 3 * 3) << "the picture is the decoded frame";
        // The frame number the clip writer drew into the frame says the same.
        EXPECT_EQ(clipgen::ReadFrameCode(
                      W, H, [&](int x, int y) { return shot.At(left + 40 + x, top + 30 + y); }),
                  int(position));
        shown.push_back(frame);
        // The panel beyond the video, the main window around the panel, the other window.
        EXPECT_EQ(shot.At(left + 40 + W + 10, top + 30 + 10), 0x009600u);
        EXPECT_EQ(shot.At(left + 10, top + 10), 0x009600u);
        EXPECT_EQ(shot.At(left + 300, top + 250), 0x009600u);
        EXPECT_EQ(shot.At(700, 150), 0xB400B4u) << "the other window is untouched";
        ASSERT_EQ(mciSendCommandA(id, MCI_RESUME, MCI_NOTIFY, DWORD_PTR(&play)), 0u);
    }
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_GT(shown[1], shown[0]);
    mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0);
    DestroyWindow(other);
    DestroyWindow(main);
    fs::remove_all(dir);
}
