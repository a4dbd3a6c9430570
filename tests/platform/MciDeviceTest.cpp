// The digital-video device on the headless backend: real FFmpeg decoding of clips the
// tests write, driven by the virtual clock.
#include <cstdlib>
#include <filesystem>

#include "MciClip.h"
#include "MciFixture.h"
#include "app/Clips.h"
#include "platform/media/MciDriver.h"
#include "tests/common/TempDir.h"
#include "tools/generators/clipgen/ClipPainter.h"

namespace {

namespace fs = std::filesystem;
using platform::testing::AdvanceClock;
using platform::testing::RunFor;

class MciDevice : public MciTest {};

TEST_F(MciDevice, LengthIsTheExactFrameCountWhateverTheHeaderSays) {
    struct Case {
        const char* Name;
        mciclip::Spec Spec;
        std::int64_t Lie; // a frame count written into the headers, or -1
    };
    const Case cases[] = {
        {"one.avi", {1, 48, 32, 15, true}, -1},
        {"seven.avi", {7, 64, 48, 15, false}, -1},
        {"forty.avi", {40, 64, 48, 25, true}, -1},
        {"lies_more.avi", {12, 48, 32, 15, true}, 999},
        {"lies_zero.avi", {12, 48, 32, 15, true}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string path = Clip(c.Name, c.Spec);
        if (c.Lie >= 0)
            mciclip::LieAboutFrames(path, std::uint32_t(c.Lie));
        MCIDEVICEID id = OpenOk(path);
        EXPECT_EQ(Status(id, MCI_STATUS_LENGTH), DWORD_PTR(c.Spec.Frames));
        EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 0u);
        EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_STOP);
        EXPECT_EQ(Status(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_FRAMES);
        EXPECT_EQ(Status(id, MCI_STATUS_NUMBER_OF_TRACKS), 1u);
        MCI_SET_PARMS set{0, MCI_FORMAT_MILLISECONDS, 0};
        ASSERT_EQ(mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&set)), 0u);
        EXPECT_EQ(Status(id, MCI_STATUS_LENGTH), DWORD_PTR(c.Spec.Frames * 1000 / c.Spec.Fps));
        EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
    }
}

TEST_F(MciDevice, CapabilitiesAndRefusalsOfTheDigitalVideoDevice) {
    MCIDEVICEID id = OpenOk(Clip("caps.avi"));
    struct Cap {
        DWORD Item;
        DWORD Answer;
    };
    const Cap caps[] = {
        {MCI_GETDEVCAPS_CAN_PLAY, TRUE},   {MCI_GETDEVCAPS_CAN_RECORD, FALSE},
        {MCI_GETDEVCAPS_CAN_EJECT, FALSE}, {MCI_GETDEVCAPS_HAS_VIDEO, TRUE},
        {MCI_GETDEVCAPS_HAS_AUDIO, TRUE},  {MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_DIGITAL_VIDEO}};
    for (const Cap& c : caps) {
        SCOPED_TRACE(c.Item);
        MCI_GETDEVCAPS_PARMS p{0, 0xDEAD, c.Item};
        EXPECT_EQ(
            mciSendCommandA(id, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, DWORD_PTR(&p)), 0u);
        EXPECT_EQ(p.dwReturn, c.Answer);
    }
    MCI_DGV_RECT_PARMS where{};
    for (DWORD flag : {MCI_DGV_WHERE_SOURCE, MCI_DGV_WHERE_DESTINATION}) {
        ASSERT_EQ(mciSendCommandA(id, MCI_WHERE, flag, DWORD_PTR(&where)), 0u);
        EXPECT_EQ(where.rc.right - where.rc.left, 64);
        EXPECT_EQ(where.rc.bottom - where.rc.top, 48);
    }
    struct Refusal {
        UINT Command;
        DWORD Flags;
        DWORD Format;
        MCIERROR Error;
    };
    const Refusal refusals[] = {
        {MCI_SET, MCI_SET_TIME_FORMAT, MCI_FORMAT_TMSF, MCIERR_BAD_TIME_FORMAT},
        {MCI_SET, MCI_SET_TIME_FORMAT, MCI_FORMAT_SMPTE_25, MCIERR_BAD_TIME_FORMAT},
        {MCI_SET, MCI_SET_DOOR_OPEN, 0, MCIERR_UNSUPPORTED_FUNCTION},
        {MCI_RECORD, MCI_WAIT, 0, MCIERR_UNSUPPORTED_FUNCTION},
        {MCI_SEEK, MCI_WAIT, 0, MCIERR_MISSING_PARAMETER},
        {MCI_SEEK, MCI_SEEK_TO_START | MCI_SEEK_TO_END, 0, MCIERR_FLAGS_NOT_COMPATIBLE},
        {MCI_STATUS, MCI_WAIT, 0, MCIERR_MISSING_PARAMETER},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.Command);
        MCI_SET_PARMS p{DWORD_PTR(Top), r.Format, 0};
        EXPECT_EQ(mciSendCommandA(id, r.Command, r.Flags | MCI_NOTIFY, DWORD_PTR(&p)), r.Error);
    }
    EXPECT_TRUE(Outcomes().empty()) << "a failed command notifies nothing";
    EXPECT_EQ(Status(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_FRAMES);
    EXPECT_EQ(Play(id, MCI_TO, 0, 16), MCIERR_OUTOFRANGE);
}

TEST_F(MciDevice, PositionFollowsTheVirtualClockAndRestsAtTheEnd) {
    MCIDEVICEID id = OpenOk(Clip("clock.avi", {40, 48, 32, 15, true}));
    ASSERT_EQ(Play(id), 0u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    struct Step {
        DWORD Advance;
        DWORD_PTR Position;
    };
    // 15 frames per second: frame k is due at ceil(k * 1000 / 15) ms.
    const Step steps[] = {{66, 0}, {1, 1}, {933, 15}, {1000, 30}, {599, 38}, {67, 39}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Advance);
        AdvanceClock(s.Advance);
        EXPECT_EQ(Status(id, MCI_STATUS_POSITION), s.Position);
    }
    EXPECT_TRUE(Outcomes().empty());
    RunFor(1); // 2667 ms: the end of frame 39
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 40u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    RunFor(5000);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 40u);
    EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
    const auto notes = Received(MM_MCINOTIFY, Top);
    EXPECT_EQ(notes[0].LParam, LPARAM(id));
}

TEST_F(MciDevice, WaitMessageJumpsToTheEndOfAPlay) {
    MCIDEVICEID id = OpenOk(Clip("jump.avi", {30, 48, 32, 15, false}));
    const DWORD start = platform::testing::Now();
    ASSERT_EQ(Play(id), 0u);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0)) {
        DispatchMessageA(&m);
        if (m.message == MM_MCINOTIFY)
            break;
    }
    EXPECT_EQ(m.wParam, MCI_NOTIFY_SUCCESSFUL);
    EXPECT_EQ(platform::testing::Now() - start, 2000u);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 30u);
    // A play with MCI_WAIT returns at the end, the clock moved on by the clip's length.
    ASSERT_EQ(Play(id, MCI_WAIT | MCI_NOTIFY | MCI_FROM, 15), 0u);
    EXPECT_EQ(platform::testing::Now() - start, 3000u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(Outcomes(), (std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_SUCCESSFUL}));
}

TEST_F(MciDevice, FromToPausesAndResumes) {
    MCIDEVICEID id = OpenOk(Clip("range.avi", {60, 48, 32, 15, true}));
    ASSERT_EQ(Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO, 10, 25), 0u);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 10u);
    AdvanceClock(400);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 16u);
    ASSERT_EQ(Simple(id, MCI_PAUSE), 0u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_PAUSE);
    AdvanceClock(5000);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 16u);
    ASSERT_EQ(Simple(id, MCI_RESUME, MCI_NOTIFY), 0u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    RunFor(10000);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 25u) << "the resumed play keeps its end";
    EXPECT_EQ(Outcomes(), (std::vector<WPARAM>{MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL}));
    // Milliseconds: from 1000 ms to 2000 ms is frames 15 to 30.
    MCI_SET_PARMS set{0, MCI_FORMAT_MILLISECONDS, 0};
    ASSERT_EQ(mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&set)), 0u);
    ASSERT_EQ(Play(id, MCI_FROM | MCI_TO, 1000, 2000), 0u);
    RunFor(3000);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 2000u);
    EXPECT_EQ(Simple(id, MCI_RESUME, MCI_WAIT), MCIERR_NONAPPLICABLE_FUNCTION);
}

// The outcomes of each command in each state: MciNotifyTest.
TEST_F(MciDevice, SeekAndStepLandWhereTheySayAndCloseEndsTheDevice) {
    MCIDEVICEID id = OpenOk(Clip("outcomes.avi", {90, 48, 32, 15, false}));
    MCI_SEEK_PARMS seek{0, 50};
    MCI_DGV_STEP_PARMS step{0, 3};
    // Seek and step land where they say.
    ASSERT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_TO, DWORD_PTR(&seek)), 0u);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 50u);
    ASSERT_EQ(
        mciSendCommandA(id, MCI_STEP, MCI_DGV_STEP_FRAMES | MCI_DGV_STEP_REVERSE, DWORD_PTR(&step)),
        0u);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 47u);
    ASSERT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_SEEK_TO_END, 0), 0u);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 90u);
    // The closed device is gone.
    ASSERT_EQ(Simple(id, MCI_CLOSE), 0u);
    MCI_STATUS_PARMS s{0, 0, MCI_STATUS_POSITION, 0};
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, DWORD_PTR(&s)),
              MCIERR_INVALID_DEVICE_ID);
}

TEST_F(MciDevice, DamagedInputsAnswerErrorsOrPlayAsFarAsTheyCan) {
    const std::string good = Clip("good.avi", {30, 64, 48, 15, true});
    const std::vector<char> bytes = mciclip::ReadAll(good);
    auto make = [&](const std::string& name, std::vector<char> content) {
        std::string path = (fs::path(Dir) / name).string();
        mciclip::WriteAll(path, content);
        return path;
    };
    std::mt19937 random(7);
    std::vector<char> noise(20000);
    for (char& c : noise)
        c = char(random());
    std::vector<char> damaged = bytes;
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 1500; ++i)
        damaged[i] = char(random());
    struct Case {
        const char* What;
        std::string Path;
        MCIERROR Error;
    };
    const Case failing[] = {
        {"missing", (fs::path(Dir) / "missing.avi").string(), MCIERR_FILE_NOT_FOUND},
        {"empty name", "", MCIERR_FILENAME_REQUIRED},
        {"zero bytes", make("zero.avi", {}), MCIERR_INVALID_FILE},
        {"random bytes", make("random.avi", noise), MCIERR_INVALID_FILE},
        {"header only", make("header.avi", std::vector<char>(bytes.begin(), bytes.begin() + 200)),
         MCIERR_INVALID_FILE},
        {"folder", Dir, platform::media::MCIERR_DGV_FOLDER},
    };
    for (const Case& c : failing) {
        SCOPED_TRACE(c.What);
        MCIDEVICEID id = 99;
        EXPECT_EQ(Open(c.Path, id), c.Error);
        char text[4096];
        EXPECT_TRUE(mciGetErrorStringA(c.Error, text, sizeof text));
        // Only damaged files are called damaged.
        EXPECT_EQ(std::string(text).find("damaged") != std::string::npos,
                  c.Error == MCIERR_INVALID_FILE)
            << text;
    }
    char text[4096];
    mciGetErrorStringA(platform::media::MCIERR_DGV_FOLDER, text, sizeof text);
    EXPECT_EQ(std::string(text), Dir + " is a folder, not a media file.");
    const Case playing[] = {
        {"truncated",
         make("cut.avi",
              std::vector<char>(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2))),
         0},
        {"damaged middle", make("damaged.avi", damaged), 0},
        {"backslashes", Dir + "\\good.avi", 0},
    };
    for (const Case& c : playing) {
        SCOPED_TRACE(c.What);
        Log().clear();
        MCIDEVICEID id = OpenOk(c.Path);
        const DWORD_PTR length = Status(id, MCI_STATUS_LENGTH);
        EXPECT_GT(length, 0u);
        EXPECT_LE(length, 30u);
        HWND child = Child(Top, 0, 0, 64, 48);
        ASSERT_EQ(Bind(id, child), 0u);
        ASSERT_EQ(Play(id), 0u);
        RunFor(3000);
        EXPECT_EQ(Status(id, MCI_STATUS_POSITION), length);
        EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
        platform::testing::CaptureWindow(Top);
        EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
        DestroyWindow(child);
    }
}

TEST_F(MciDevice, OpenByTypeAndSoundOnlyFiles) {
    const std::string clip = Clip("typed.avi", {15, 48, 32, 15, true});
    const std::string sound = Clip("sound.avi", {15, 48, 32, 15, true, false});
    struct Case {
        const char* Type; // null: chosen from the element
        const std::string* Element;
        MCIERROR Error;
        DWORD HasVideo;
        DWORD DeviceType;
    };
    const Case cases[] = {
        {"AVIVideo", nullptr, 0, TRUE, MCI_DEVTYPE_DIGITAL_VIDEO},
        {"digitalvideo", &clip, 0, TRUE, MCI_DEVTYPE_DIGITAL_VIDEO},
        {"WaveAudio", &clip, 0, FALSE, MCI_DEVTYPE_WAVEFORM_AUDIO},
        {nullptr, &sound, 0, FALSE, MCI_DEVTYPE_WAVEFORM_AUDIO},
        {"AVIVideo", &sound, MCIERR_INVALID_FILE, 0, 0},
        {"CDAudio", &clip, MCIERR_INVALID_DEVICE_NAME, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Type ? c.Type : "auto");
        MCI_OPEN_PARMSA open{0, 0, c.Type, c.Element ? c.Element->c_str() : nullptr, nullptr};
        DWORD flags = MCI_WAIT | MCI_OPEN_SHAREABLE | (c.Type ? MCI_OPEN_TYPE : 0) |
                      (c.Element ? MCI_OPEN_ELEMENT : 0);
        ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, flags, DWORD_PTR(&open)), c.Error);
        if (c.Error)
            continue;
        ASSERT_NE(open.wDeviceID, 0u);
        MCI_GETDEVCAPS_PARMS caps{0, 0, MCI_GETDEVCAPS_HAS_VIDEO};
        mciSendCommandA(open.wDeviceID, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, DWORD_PTR(&caps));
        EXPECT_EQ(caps.dwReturn, c.HasVideo);
        caps.dwItem = MCI_GETDEVCAPS_DEVICE_TYPE;
        mciSendCommandA(open.wDeviceID, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, DWORD_PTR(&caps));
        EXPECT_EQ(caps.dwReturn, c.DeviceType);
        EXPECT_EQ(Simple(open.wDeviceID, MCI_CLOSE), 0u);
    }
    // A sound-only device counts in milliseconds and plays its sound.
    MCIDEVICEID id = OpenOk(sound);
    EXPECT_EQ(Status(id, MCI_STATUS_LENGTH), 1000u);
    EXPECT_EQ(Status(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MILLISECONDS);
    ASSERT_EQ(Play(id), 0u);
    AdvanceClock(500);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 500u);
    EXPECT_EQ(platform::testing::MciSoundPlayed(id).Samples, 22050u / 2);
    RunFor(1000);
    EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
}

} // namespace

namespace {

using platform::testing::Image;

// Counts the pixels of `region` (client coordinates of the capture) that equal the
// reference frame drawn at (ox, oy), and those that differ.
std::pair<int, int> Compare(const Image& shot, const std::vector<std::uint32_t>& frame, int fw,
                            int fh, int ox, int oy, RECT region) {
    int same = 0, different = 0;
    for (int y = region.top; y < region.bottom; ++y)
        for (int x = region.left; x < region.right; ++x) {
            const std::uint32_t want =
                frame[std::size_t(y - oy) * std::size_t(fw) + std::size_t(x - ox)];
            (shot.At(x, y) == want ? same : different)++;
        }
    (void)fh;
    return {same, different};
}

} // namespace

TEST_F(MciDevice, BoundWindowShowsTheDecodedFrameClippedAndKeptAcrossRepaints) {
    const std::string path = Clip("pixels.avi", {20, 64, 48, 15, true});
    HWND panel = CreateWindowExA(0, WhiteClass(), "", WS_CHILD | WS_VISIBLE, 20, 10, 100, 80, Top,
                                 nullptr, nullptr, nullptr);
    // A sibling above the panel covers the panel's top-left corner.
    HWND cover = CreateWindowExA(0, WhiteClass(), "", WS_CHILD | WS_VISIBLE, 0, 0, 30, 20, Top,
                                 nullptr, nullptr, nullptr);
    SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Drain();
    MCIDEVICEID id = OpenOk(path);
    ASSERT_EQ(Bind(id, panel), 0u);
    ASSERT_EQ(Play(id), 0u);
    AdvanceClock(467); // frame 7
    Drain();
    ASSERT_EQ(Status(id, MCI_STATUS_POSITION), 7u);
    int fw = 0, fh = 0;
    const auto frame = mciclip::ReferenceFrame(path, 7, fw, fh);
    ASSERT_EQ(fw, 64);
    ASSERT_EQ(fh, 48);
    const auto other = mciclip::ReferenceFrame(path, 8, fw, fh);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "as played" : "after a repaint of the panel");
        const Image shot = platform::testing::CaptureWindow(Top);
        // The panel's video area outside the cover: exactly frame 7.
        auto [same, different] = Compare(shot, frame, 64, 48, 20, 10, RECT{30, 20, 84, 58});
        EXPECT_EQ(different, 0);
        EXPECT_EQ(Compare(shot, other, 64, 48, 20, 10, RECT{30, 20, 84, 58}).second > 0, true)
            << "frame 8 differs from frame 7";
        // Under the cover and beyond the frame's size: white.
        EXPECT_EQ(shot.At(25, 15), 0xFFFFFFu);
        EXPECT_EQ(shot.At(20 + 64 + 2, 10 + 5), 0xFFFFFFu);
        EXPECT_EQ(shot.At(20 + 5, 10 + 48 + 2), 0xFFFFFFu);
        (void)same;
        InvalidateRect(panel, nullptr, TRUE);
        Drain();
    }
    // Unbinding (window 0) takes the picture out of the panel.
    ASSERT_EQ(Bind(id, nullptr), 0u);
    Drain();
    platform::testing::CaptureWindow(Top);
    Drain();
    const Image after = platform::testing::CaptureWindow(Top);
    EXPECT_EQ(after.At(50, 40), 0xFFFFFFu);
    EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
}

TEST_F(MciDevice, TheNextClipShowsOnlyItsOwnPixels) {
    // The second clip is smaller and reuses the first one's picture memory.
    const std::string first = Clip("first.avi", {20, 64, 48, 15, true});
    const std::string second = Clip("second.avi", {20, 54, 34, 15, false});
    HWND panel = CreateWindowExA(0, WhiteClass(), "", WS_CHILD | WS_VISIBLE, 20, 10, 100, 80, Top,
                                 nullptr, nullptr, nullptr);
    Drain();
    for (const std::string& path : {first, second}) {
        SCOPED_TRACE(path);
        MCIDEVICEID id = OpenOk(path);
        ASSERT_EQ(Bind(id, panel), 0u);
        ASSERT_EQ(Play(id), 0u);
        AdvanceClock(200); // frame 3
        Drain();
        ASSERT_EQ(Status(id, MCI_STATUS_POSITION), 3u);
        int fw = 0, fh = 0;
        const auto frame = mciclip::ReferenceFrame(path, 3, fw, fh);
        const Image shot = platform::testing::CaptureWindow(Top);
        EXPECT_EQ(Compare(shot, frame, fw, fh, 20, 10, RECT{20, 10, 20 + fw, 10 + fh}).second, 0);
        EXPECT_EQ(shot.At(20 + fw + 1, 10 + 2), 0xFFFFFFu) << "beyond the frame: the panel";
        EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
        Drain();
    }
}

TEST_F(MciDevice, HiddenResizedOrDestroyedWindowWhilePlaying) {
    const std::string path = Clip("hidden.avi", {45, 64, 48, 15, true});
    HWND panel = WhiteChild(Top, 10, 10, 64, 48);
    Drain();
    const Image before = platform::testing::CaptureScreen();
    MCIDEVICEID id = OpenOk(path);
    ASSERT_EQ(Bind(id, panel), 0u);
    ShowWindow(panel, SW_HIDE);
    ASSERT_EQ(Play(id), 0u);
    RunFor(1000);
    const Image hidden = platform::testing::CaptureScreen();
    ASSERT_EQ(hidden.Pixels.size(), before.Pixels.size());
    EXPECT_TRUE(hidden.Pixels == before.Pixels) << "a hidden window shows no video anywhere";
    const auto sound = platform::testing::MciSoundPlayed(id);
    EXPECT_EQ(sound.Samples, 22050u);
    EXPECT_EQ(sound.Rate, 22050);
    EXPECT_EQ(sound.Channels, 1);
    EXPECT_NE(sound.Checksum, 0u);

    // Shown again, then made smaller: the video is cut to the window.
    ShowWindow(panel, SW_SHOW);
    MoveWindow(panel, 10, 10, 30, 20, TRUE);
    RunFor(200);
    const Image small = platform::testing::CaptureWindow(Top);
    int fw = 0, fh = 0;
    const auto frame = mciclip::ReferenceFrame(path, 18, fw, fh);
    ASSERT_EQ(Status(id, MCI_STATUS_POSITION), 18u);
    EXPECT_EQ(Compare(small, frame, 64, 48, 10, 10, RECT{10, 10, 40, 30}).second, 0);
    EXPECT_EQ(small.At(45, 35), before.At(45, 35)) << "nothing beyond the window";

    // Destroyed while playing: the play goes on to its end and notifies.
    DestroyWindow(panel);
    RunFor(5000);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 45u);
    EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(platform::testing::MciSoundPlayed(id).Samples, 22050u * 3);
}

TEST_F(MciDevice, SoundChecksumFollowsTheTone) {
    const std::string a = Clip("tone_a.avi", {15, 48, 32, 15, true, true, 440});
    const std::string b = Clip("tone_b.avi", {15, 48, 32, 15, true, true, 660});
    std::vector<std::uint64_t> sums;
    for (const std::string* path : {&a, &a, &b}) {
        MCIDEVICEID id = OpenOk(*path);
        ASSERT_EQ(Play(id, MCI_WAIT), 0u);
        const auto sound = platform::testing::MciSoundPlayed(id);
        EXPECT_EQ(sound.Samples, 22050u);
        sums.push_back(sound.Checksum);
        Simple(id, MCI_CLOSE);
    }
    EXPECT_EQ(sums[0], sums[1]);
    EXPECT_NE(sums[0], sums[2]);
}

TEST_F(MciDevice, TheCatalogueClipsHaveTheirEndPositionsAsLength) {
    const std::string dir = std::string(QUILLOT_BUILD_DIR) + "/app/";
    for (const app::TClipFile& c : app::ClipFiles()) {
        SCOPED_TRACE(std::string(c.FileName));
        // The program names its clips with backslashes.
        MCIDEVICEID id = OpenOk(dir + "\\" + std::string(c.FileName));
        EXPECT_EQ(Status(id, MCI_STATUS_LENGTH), DWORD_PTR(c.Frames));
        MCI_DGV_RECT_PARMS where{};
        mciSendCommandA(id, MCI_WHERE, MCI_DGV_WHERE_SOURCE, DWORD_PTR(&where));
        EXPECT_EQ(where.rc.right, 700);
        EXPECT_EQ(where.rc.bottom, 628);
        EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
    }
}

TEST_F(MciDevice, CatalogueClipShowsTheFrameOfItsPositionAndEndsOnce) {
    const std::string path = std::string(QUILLOT_BUILD_DIR) + "/app/main_eng.avi";
    MoveWindow(Top, 0, 0, 760, 700, TRUE);
    HWND panel = WhiteChild(Top, 20, 20, 700, 628);
    Drain();
    MCIDEVICEID id = OpenOk(path);
    ASSERT_EQ(Bind(id, panel), 0u);
    ASSERT_EQ(Play(id), 0u);
    for (DWORD step : {0u, 1000u, 3333u, 2000u}) {
        SCOPED_TRACE(step);
        RunFor(step);
        const DWORD_PTR position = Status(id, MCI_STATUS_POSITION);
        const Image shot = platform::testing::CaptureWindow(panel);
        const int code =
            clipgen::ReadFrameCode(700, 628, [&](int x, int y) { return shot.At(x, y); });
        EXPECT_EQ(code, int(position));
    }
    RunFor(10000);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 153u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
    const Image last = platform::testing::CaptureWindow(panel);
    EXPECT_EQ(clipgen::ReadFrameCode(700, 628, [&](int x, int y) { return last.At(x, y); }), 152)
        << "at rest at the end, the last frame stays on show";
}
