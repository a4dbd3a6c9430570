// The digital-video device's window and rectangles: MCI_WINDOW, MCI_WHERE and MCI_PUT, on
// a device opened on a clip and on one opened by its type alone, without a file.
#include <functional>
#include <optional>
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

    static MCIERROR Put(MCIDEVICEID id, DWORD flags, std::optional<RECT> rect) {
        MCI_DGV_PUT_PARMS p{0, rect ? *rect : RECT{}};
        return mciSendCommandA(id, MCI_PUT, flags | (rect ? MCI_DGV_RECT : 0) | MCI_WAIT,
                               DWORD_PTR(&p));
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
        {"put a destination",
         [&](RECT&) {
             return Put(id, MCI_DGV_PUT_DESTINATION, RECT{5, 6, 70, 80});
         },
         0, none},
        {"where destination: the one put",
         [&](RECT& r) { return Where(id, MCI_DGV_WHERE_DESTINATION, r); }, 0, "5,6 70x80"},
        {"put a source: there is no frame to take it from",
         [&](RECT&) {
             return Put(id, MCI_DGV_PUT_SOURCE, RECT{0, 0, 1, 1});
         },
         MCIERR_OUTOFRANGE, none},
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
    EXPECT_EQ(Put(sound, MCI_DGV_PUT_DESTINATION, RECT{0, 0, 8, 8}), MCIERR_UNSUPPORTED_FUNCTION);
}

// Checks every pixel of the panel: inside the destination, the source pixel that scaling
// to the nearest pixel gives; outside it, the panel's white.
void ExpectPlaced(const platform::testing::Image& shot, const std::vector<std::uint32_t>& frame,
                  int frameWidth, RECT src, RECT dst) {
    int wrong = 0;
    for (int y = 0; y < shot.Height; ++y)
        for (int x = 0; x < shot.Width; ++x) {
            const bool inside = x >= dst.left && x < dst.left + dst.right && y >= dst.top &&
                                y < dst.top + dst.bottom;
            std::uint32_t want = 0xFFFFFF;
            if (inside) {
                const int sx = src.left + (x - dst.left) * src.right / dst.right;
                const int sy = src.top + (y - dst.top) * src.bottom / dst.bottom;
                want = frame[std::size_t(sy) * std::size_t(frameWidth) + std::size_t(sx)];
            }
            wrong += shot.At(x, y) != want;
        }
    EXPECT_EQ(wrong, 0) << "pixels of the panel other than the placed picture says";
}

TEST_F(MciWindow, PutPlacesAndScalesThePictureAndWhereReportsIt) {
    const std::string clip = Temp.String() + "/put.avi";
    mciclip::Write(clip, {20, 64, 48, 15, false});
    DestroyWindow(Panel);
    Panel = WhiteChild(Top, 10, 20, 200, 150);
    Drain();
    const MCIDEVICEID id = Open(nullptr, clip);
    ASSERT_EQ(Window(id, MCI_DGV_WINDOW_HWND, Panel), 0u);
    int fw = 0, fh = 0;
    const auto first = mciclip::ReferenceFrame(clip, 0, fw, fh);
    ASSERT_EQ(fw, 64);
    struct Case {
        const char* What;
        std::optional<RECT> Source, Destination; // put when given, in this order
        const char* WhereSource;
        const char* WhereDestination;
    };
    // clang-format off
    const Case cases[] = {
        {"as it opened: the frame at its size in the corner", {}, {}, "0,0 64x48", "0,0 64x48"},
        {"twice the size, moved", {}, RECT{20, 10, 128, 96}, "0,0 64x48", "20,10 128x96"},
        {"a quarter of the frame, shrunk to an odd size", RECT{16, 12, 32, 24},
         RECT{3, 4, 21, 17}, "16,12 32x24", "3,4 21x17"},
        {"stretched across, partly outside the window", RECT{0, 0, 64, 48},
         RECT{-30, 100, 250, 70}, "0,0 64x48", "-30,100 250x70"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        if (c.Source) {
            ASSERT_EQ(Put(id, MCI_DGV_PUT_SOURCE, c.Source), 0u);
        }
        if (c.Destination) {
            ASSERT_EQ(Put(id, MCI_DGV_PUT_DESTINATION, c.Destination), 0u);
        }
        RECT src{}, dst{};
        ASSERT_EQ(Where(id, MCI_DGV_WHERE_SOURCE, src), 0u);
        ASSERT_EQ(Where(id, MCI_DGV_WHERE_DESTINATION, dst), 0u);
        EXPECT_EQ(Text(src), c.WhereSource);
        EXPECT_EQ(Text(dst), c.WhereDestination);
        Drain();
        platform::testing::CaptureWindow(Panel); // the old place repaints
        Drain();
        ExpectPlaced(platform::testing::CaptureWindow(Panel), first, fw, src, dst);
    }
    // Frames that follow keep the placement.
    MCI_PLAY_PARMS play{0, 0, 0};
    ASSERT_EQ(mciSendCommandA(id, MCI_PLAY, 0, DWORD_PTR(&play)), 0u);
    platform::testing::AdvanceClock(467); // frame 7
    Drain();
    const auto seventh = mciclip::ReferenceFrame(clip, 7, fw, fh);
    ExpectPlaced(platform::testing::CaptureWindow(Panel), seventh, fw, RECT{0, 0, 64, 48},
                 RECT{-30, 100, 250, 70});

    // Without a rectangle: the whole frame, the whole client area.
    RECT r{};
    ASSERT_EQ(Put(id, MCI_DGV_PUT_SOURCE, std::nullopt), 0u);
    ASSERT_EQ(Put(id, MCI_DGV_PUT_DESTINATION, std::nullopt), 0u);
    ASSERT_EQ(Where(id, MCI_DGV_WHERE_SOURCE, r), 0u);
    EXPECT_EQ(Text(r), "0,0 64x48");
    ASSERT_EQ(Where(id, MCI_DGV_WHERE_DESTINATION, r), 0u);
    EXPECT_EQ(Text(r), "0,0 200x150");
    ASSERT_EQ(Where(id, MCI_DGV_WHERE_DESTINATION | MCI_DGV_WHERE_MAX, r), 0u);
    EXPECT_EQ(Text(r), "0,0 200x150");

    struct Refusal {
        const char* What;
        DWORD Flags;
        std::optional<RECT> Rect;
        MCIERROR Error;
    };
    const Refusal refusals[] = {
        {"a source beyond the frame", MCI_DGV_PUT_SOURCE, RECT{60, 0, 10, 10}, MCIERR_OUTOFRANGE},
        {"a source left of it", MCI_DGV_PUT_SOURCE, RECT{-1, 0, 10, 10}, MCIERR_OUTOFRANGE},
        {"an empty destination", MCI_DGV_PUT_DESTINATION, RECT{0, 0, 0, 10}, MCIERR_OUTOFRANGE},
        {"a destination of negative height", MCI_DGV_PUT_DESTINATION, RECT{0, 0, 5, -5},
         MCIERR_OUTOFRANGE},
        {"two rectangles at once", MCI_DGV_PUT_SOURCE | MCI_DGV_PUT_DESTINATION, RECT{0, 0, 5, 5},
         MCIERR_FLAGS_NOT_COMPATIBLE},
        {"no rectangle named", 0, RECT{0, 0, 5, 5}, MCIERR_MISSING_PARAMETER},
        {"the window's frame", MCI_DGV_PUT_WINDOW, RECT{0, 0, 5, 5}, MCIERR_UNSUPPORTED_FUNCTION},
    };
    for (const Refusal& f : refusals) {
        SCOPED_TRACE(f.What);
        EXPECT_EQ(Put(id, f.Flags, f.Rect), f.Error);
    }
    ASSERT_EQ(Where(id, MCI_DGV_WHERE_DESTINATION, r), 0u);
    EXPECT_EQ(Text(r), "0,0 200x150") << "a refused put changes nothing";
}

} // namespace
