// The digital-video device's window and rectangles: MCI_WINDOW, MCI_WHERE and MCI_PUT, on
// a device opened on a clip and on one opened by its type alone, without a file.
#include <functional>
#include <string>

#include "HeadlessFixture.h"
#include "MciClip.h"
#include "tests/common/TempDir.h"

namespace {

class MciWindow : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        Top = TopLevel(0, 0, 400, 300);
        Panel = Child(Top, 10, 20, 200, 150);
        Drain();
    }
    // Opens by device type ("AVIVideo") when `element` is empty, else on the file.
    MCIDEVICEID Open(const char* type, const std::string& element = {}) {
        MCI_OPEN_PARMSA open{0, 0, type, element.c_str(), nullptr};
        const DWORD flags =
            MCI_WAIT | (type ? MCI_OPEN_TYPE : 0) | (element.empty() ? 0 : MCI_OPEN_ELEMENT);
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, flags, DWORD_PTR(&open)), 0u);
        return open.wDeviceID;
    }
    static MCIERROR Window(MCIDEVICEID id, DWORD flags, HWND hwnd, UINT show = 0,
                           const char* text = nullptr) {
        MCI_DGV_WINDOW_PARMSA p{0, hwnd, show, const_cast<LPSTR>(text)};
        return mciSendCommandA(id, MCI_WINDOW, flags | MCI_WAIT, DWORD_PTR(&p));
    }
    static MCIERROR Where(MCIDEVICEID id, DWORD flags, RECT& rect) {
        MCI_DGV_RECT_PARMS p{0, RECT{-1, -1, -1, -1}};
        const MCIERROR result = mciSendCommandA(id, MCI_WHERE, flags | MCI_WAIT, DWORD_PTR(&p));
        rect = p.rc;
        return result;
    }

    testutil::TTempDir Temp{"mciwindow"};
    HWND Top = nullptr, Panel = nullptr;
};

// "10,20 200x150": a rectangle as the interface gives it (left, top, width, height).
std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) +
           "x" + std::to_string(r.bottom);
}

TEST_F(MciWindow, OpenedByTypeWithoutAFileTakesAWindowAndAnswersWhere) {
    const MCIDEVICEID id = Open("AVIVideo");
    struct Step {
        const char* What;
        std::function<MCIERROR(RECT&)> Send;
        MCIERROR Result;
        const char* Rect; // what MCI_WHERE gives, if anything
    };
    const char* const none = nullptr;
    const Step steps[] = {
        {"bind the panel", [&](RECT&) { return Window(id, MCI_DGV_WINDOW_HWND, Panel); }, 0, none},
        {"where source: no picture", [&](RECT& r) { return Where(id, MCI_DGV_WHERE_SOURCE, r); }, 0,
         "0,0 0x0"},
        {"where destination: no picture",
         [&](RECT& r) { return Where(id, MCI_DGV_WHERE_DESTINATION, r); }, 0, "0,0 0x0"},
        {"where window: the panel's place in its parent and its size",
         [&](RECT& r) { return Where(id, MCI_DGV_WHERE_WINDOW, r); }, 0, "10,20 200x150"},
        {"back to the default window",
         [&](RECT&) { return Window(id, MCI_DGV_WINDOW_HWND, nullptr); }, 0, none},
        {"its caption", [&](RECT&) { return Window(id, MCI_DGV_WINDOW_TEXT, nullptr, 0, "clip"); },
         0, none},
        {"hidden", [&](RECT&) { return Window(id, MCI_DGV_WINDOW_STATE, nullptr, SW_HIDE); }, 0,
         none},
        {"a window that does not exist",
         [&](RECT&) { return Window(id, MCI_DGV_WINDOW_HWND, reinterpret_cast<HWND>(0x7777)); },
         MCIERR_NO_WINDOW, none},
        {"where without saying which rectangle", [&](RECT& r) { return Where(id, 0, r); },
         MCIERR_MISSING_PARAMETER, none},
        {"where source and destination at once",
         [&](RECT& r) { return Where(id, MCI_DGV_WHERE_SOURCE | MCI_DGV_WHERE_DESTINATION, r); },
         MCIERR_FLAGS_NOT_COMPATIBLE, none},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.What);
        RECT rect{-1, -1, -1, -1};
        EXPECT_EQ(s.Send(rect), s.Result);
        if (s.Rect) {
            EXPECT_EQ(Text(rect), s.Rect);
        }
    }
    // The sound device has no window at all.
    const std::string clip = Temp.String() + "/sound.avi";
    mciclip::Write(clip, {15, 48, 32, 15, true});
    const MCIDEVICEID sound = Open("WaveAudio", clip);
    RECT r{};
    EXPECT_EQ(Window(sound, MCI_DGV_WINDOW_HWND, Panel), MCIERR_UNSUPPORTED_FUNCTION);
    EXPECT_EQ(Where(sound, MCI_DGV_WHERE_SOURCE, r), MCIERR_UNSUPPORTED_FUNCTION);
}

} // namespace
