// The media control interface without a real device: the error texts, the recording
// driver that stands in for the devices, and the answers of the table of devices.
#include <cstring>

#include "HeadlessFixture.h"

namespace {

using platform::testing::InstallMciRecorder;
using platform::testing::MciCall;

class MciInterface : public HeadlessTest {};

TEST_F(MciInterface, ErrorTextsAreSentencesWithTheApiBufferRules) {
    // Every code the devices answer has a text ending with a full stop.
    const MCIERROR codes[] = {0,
                              MCIERR_INVALID_DEVICE_ID,
                              MCIERR_INVALID_DEVICE_NAME,
                              MCIERR_MISSING_PARAMETER,
                              MCIERR_UNSUPPORTED_FUNCTION,
                              MCIERR_FILE_NOT_FOUND,
                              MCIERR_OUTOFRANGE,
                              MCIERR_FLAGS_NOT_COMPATIBLE,
                              MCIERR_BAD_TIME_FORMAT,
                              MCIERR_INVALID_FILE,
                              MCIERR_NULL_PARAMETER_BLOCK,
                              MCIERR_NONAPPLICABLE_FUNCTION,
                              MCIERR_FILENAME_REQUIRED,
                              MCIERR_MISSING_STRING_ARGUMENT,
                              MCIERR_CANNOT_LOAD_DRIVER,
                              MCIERR_OUT_OF_MEMORY,
                              MCIERR_FILE_READ,
                              MCIERR_NO_WINDOW};
    for (MCIERROR code : codes) {
        SCOPED_TRACE(code);
        char text[4096];
        ASSERT_TRUE(mciGetErrorStringA(code, text, sizeof text));
        std::size_t n = std::strlen(text);
        ASSERT_GT(n, 10u);
        EXPECT_EQ(text[n - 1], '.') << text;
        // A short buffer gets the start of the text, cut and terminated.
        char small[8];
        std::memset(small, 'x', sizeof small);
        EXPECT_TRUE(mciGetErrorStringA(code, small, sizeof small));
        EXPECT_EQ(std::string(small), std::string(text, 7));
    }
    char text[16] = "junk";
    EXPECT_FALSE(mciGetErrorStringA(12345, text, sizeof text));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(mciGetErrorStringA(MCIERR_INVALID_FILE, nullptr, 100));
    EXPECT_FALSE(mciGetErrorStringA(MCIERR_INVALID_FILE, text, 0));
}

TEST_F(MciInterface, UnknownDeviceAndBadOpenRecordsAnswerTheApiErrors) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_POSITION;
    EXPECT_EQ(mciSendCommandA(0, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&status)),
              MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(mciSendCommandA(77, MCI_PLAY, 0, 0), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, 0), MCIERR_NULL_PARAMETER_BLOCK);
    MCI_OPEN_PARMSA open{};
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_WAIT, DWORD_PTR(&open)), MCIERR_MISSING_PARAMETER);
    const char* types[] = {"CDAudio", "Scanner", "Videodisc", "Sequencer", "nonsense", ""};
    for (const char* type : types) {
        SCOPED_TRACE(type);
        open = MCI_OPEN_PARMSA{};
        open.lpstrDeviceType = type;
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_WAIT, DWORD_PTR(&open)),
                  MCIERR_INVALID_DEVICE_NAME);
        EXPECT_EQ(open.wDeviceID, 0u);
    }
}

TEST_F(MciInterface, RecorderKeepsTheFieldsTheFlagsName) {
    auto rec = InstallMciRecorder();
    HWND w = TopLevel(0, 0, 100, 100);
    const DWORD_PTR cb = DWORD_PTR(w);

    MCI_OPEN_PARMSA open{cb, 0, "AVIVideo", "C:\\clips\\a.avi", "alias"};
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open)), 0u);
    EXPECT_EQ(open.wDeviceID, 1u);
    MCI_PLAY_PARMS play{cb, 5, 9};
    mciSendCommandA(1, MCI_PLAY, MCI_NOTIFY | MCI_TO, DWORD_PTR(&play));
    MCI_STATUS_PARMS status{cb, 0, MCI_STATUS_POSITION, 3};
    mciSendCommandA(1, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK | MCI_WAIT, DWORD_PTR(&status));
    MCI_DGV_WINDOW_PARMSA window{cb, w, 5, nullptr};
    mciSendCommandA(1, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, DWORD_PTR(&window));
    MCI_DGV_STEP_PARMS step{cb, 4};
    mciSendCommandA(1, MCI_STEP, MCI_DGV_STEP_FRAMES | MCI_DGV_STEP_REVERSE, DWORD_PTR(&step));
    MCI_SET_PARMS set{cb, MCI_FORMAT_TMSF, 0};
    mciSendCommandA(1, MCI_SET, MCI_SET_TIME_FORMAT | MCI_NOTIFY, DWORD_PTR(&set));
    mciSendCommandA(1, MCI_CLOSE, MCI_WAIT, 0);
    mciSendCommandA(1, MCI_STOP, MCI_WAIT, 0);

    char hwnd[32];
    std::snprintf(hwnd, sizeof hwnd, "0x%llx", static_cast<unsigned long long>(cb));
    const std::string h = hwnd;
    const std::vector<std::string> expected = {
        "dev=0 MCI_OPEN wait element=\"C:\\clips\\a.avi\" callback=" + h,
        "dev=1 MCI_PLAY notify to=9 callback=" + h,
        "dev=1 MCI_STATUS wait track=3 item=position callback=" + h,
        "dev=1 MCI_WINDOW wait hwnd=" + h + " callback=" + h,
        "dev=1 MCI_STEP reverse frames=4 callback=" + h,
        "dev=1 MCI_SET notify time_format=tmsf callback=" + h,
        "dev=1 MCI_CLOSE wait (no record)",
        "dev=1 MCI_STOP wait (no record) -> MCIERR_INVALID_DEVICE_ID",
    };
    EXPECT_EQ(rec->Lines(), expected);
}

TEST_F(MciInterface, RecorderAnswersWithScriptedResults) {
    auto rec = InstallMciRecorder();
    rec->ScriptDigitalVideo(494, 700, 628);
    rec->QueueResult(MCI_OPEN, MCIERR_FILE_NOT_FOUND);
    HWND w = TopLevel(0, 0, 100, 100);

    MCI_OPEN_PARMSA open{DWORD_PTR(w), 0, nullptr, "x.avi", nullptr};
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, DWORD_PTR(&open)),
              MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(open.wDeviceID, 0u);
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, DWORD_PTR(&open)), 0u);
    const MCIDEVICEID id = open.wDeviceID;
    EXPECT_EQ(id, 1u);

    struct StatusCase {
        DWORD Item;
        DWORD_PTR Answer;
    };
    const StatusCase cases[] = {{MCI_STATUS_LENGTH, 494},
                                {MCI_STATUS_MODE, MCI_MODE_STOP},
                                {MCI_STATUS_TIME_FORMAT, MCI_FORMAT_FRAMES},
                                {MCI_STATUS_NUMBER_OF_TRACKS, 1}};
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.Item);
        MCI_STATUS_PARMS status{0, 999, c.Item, 0};
        EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&status)),
                  0u);
        EXPECT_EQ(status.dwReturn, c.Answer);
    }
    MCI_GETDEVCAPS_PARMS caps{0, 0, MCI_GETDEVCAPS_DEVICE_TYPE};
    mciSendCommandA(id, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, DWORD_PTR(&caps));
    EXPECT_EQ(caps.dwReturn, MCI_DEVTYPE_DIGITAL_VIDEO);
    MCI_DGV_RECT_PARMS where{};
    mciSendCommandA(id, MCI_WHERE, MCI_DGV_WHERE_DESTINATION, DWORD_PTR(&where));
    EXPECT_EQ(where.rc.right, 700);
    EXPECT_EQ(where.rc.bottom, 628);

    rec->SetResult(MCI_PLAY, MCIERR_DEVICE_NOT_READY);
    MCI_PLAY_PARMS play{DWORD_PTR(w), 0, 0};
    EXPECT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)), MCIERR_DEVICE_NOT_READY);

    // A scripted notification reaches the callback of the last notify request.
    Log().clear();
    ASSERT_TRUE(rec->Notify(MCI_NOTIFY_SUCCESSFUL));
    Drain();
    auto notes = Received(MM_MCINOTIFY, w);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].WParam, MCI_NOTIFY_SUCCESSFUL);
    EXPECT_EQ(notes[0].LParam, LPARAM(id));

    // Reset puts the real devices back: the identifier is unknown to them.
    platform::testing::Reset();
    MCI_STATUS_PARMS status{0, 0, MCI_STATUS_LENGTH, 0};
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, DWORD_PTR(&status)),
              MCIERR_INVALID_DEVICE_ID);
}

} // namespace
