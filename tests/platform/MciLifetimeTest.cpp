// The media control interface at the end of a program: devices still open, playing on
// their helper threads, are closed from static objects' destructors and from steps
// registered at exit, in whatever order the process runs them, without a crash.
#include <cstdlib>
#include <filesystem>

#include "HeadlessFixture.h"
#include "MciClip.h"
#include "tests/common/TempDir.h"

namespace {


// Closes its device when destroyed. A device closed already (by the interface's own step
// at exit) answers that it is not open; any other failure ends the process with a code
// the test sees.
struct CloseWhenDestroyed {
    MCIDEVICEID Id = 0;
    bool MustStillBeOpen = false;
    ~CloseWhenDestroyed() {
        if (!Id)
            return;
        const MCIERROR result = mciSendCommandA(Id, MCI_CLOSE, MCI_WAIT, 0);
        if (result != 0 && (MustStillBeOpen || result != MCIERR_INVALID_DEVICE_ID))
            std::_Exit(3);
    }
};

// Made before main, before the interface's table of devices, so destroyed after it
// would have been had the table been an ordinary static object.
CloseWhenDestroyed gMadeBeforeTheTable;

MCIDEVICEID gClosedByAnExitStep = 0;

void CloseAtExit() {
    if (gClosedByAnExitStep && mciSendCommandA(gClosedByAnExitStep, MCI_CLOSE, MCI_WAIT, 0) != 0)
        std::_Exit(4);
}

class MciLifetime : public HeadlessTest {
protected:
    void SetUp() override { HeadlessTest::SetUp(); }
    testutil::TTempDir Temp{"mcilifetime"};
    std::string Dir = Temp.String();
};

MCIDEVICEID OpenAndPlay(const std::string& clip, HWND window) {
    MCI_OPEN_PARMSA open{0, 0, nullptr, clip.c_str(), nullptr};
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open)) != 0)
        std::_Exit(5);
    MCI_DGV_WINDOW_PARMSA bind{0, window, 0, nullptr};
    mciSendCommandA(open.wDeviceID, MCI_WINDOW, MCI_DGV_WINDOW_HWND, DWORD_PTR(&bind));
    MCI_PLAY_PARMS play{DWORD_PTR(window), 0, 0};
    mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play));
    return open.wDeviceID;
}

TEST_F(MciLifetime, DevicesClosedAtExitInAnyOrder) {
    const std::string clip = Dir + "/lifetime.avi";
    mciclip::Write(clip, {60, 64, 48, 15, true});
    HWND top = TopLevel(0, 0, 200, 200);
    HWND panel = Child(top, 0, 0, 64, 48);
    EXPECT_EXIT(
        {
            platform::testing::MciUseRealTime(true);
            gMadeBeforeTheTable.Id = OpenAndPlay(clip, panel);
            static CloseWhenDestroyed madeAfterTheTable;
            madeAfterTheTable.Id = OpenAndPlay(clip, panel);
            madeAfterTheTable.MustStillBeOpen = true;
            gClosedByAnExitStep = OpenAndPlay(clip, panel);
            std::atexit(&CloseAtExit);
            OpenAndPlay(clip, panel); // left for the interface to close
            HeadlessTest::Drain();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
