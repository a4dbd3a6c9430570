// Completion notifications of the digital-video device: for each command, sent with and
// without MCI_NOTIFY, in each state a device can be in, the outcomes that the request
// already pending (window A) and the command's own request (window B) receive, up to the
// end of everything the command started. docs/MCI.md holds the same table.
#include <functional>
#include <map>

#include "HeadlessFixture.h"
#include "MciClip.h"
#include "tests/common/TempDir.h"

namespace {

using platform::testing::AdvanceClock;
using platform::testing::RunFor;

enum State { Stopped, PlayingNotify, PlayingQuiet, Paused, StateCount };
constexpr const char* StateNames[StateCount] = {"stopped", "playing, request pending",
                                                "playing, no request", "paused"};

class MciNotify : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        A = TopLevel(0, 0, 200, 150);
        B = TopLevel(210, 0, 200, 150);
        Path = Temp.String() + "/notify.avi";
        mciclip::Write(Path, {90, 48, 32, 15, false}); // six seconds
        Drain();
    }

    MCIDEVICEID Open() {
        MCI_OPEN_PARMSA open{0, 0, nullptr, Path.c_str(), nullptr};
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open)), 0u);
        return open.wDeviceID;
    }
    // Brings a fresh device into `state` half a second into a play; what that costs in
    // notifications is forgotten.
    void Enter(MCIDEVICEID id, State state) {
        MCI_PLAY_PARMS play{DWORD_PTR(A), 0, 0};
        if (state != Stopped) {
            const DWORD flags = state == PlayingQuiet ? 0 : MCI_NOTIFY;
            ASSERT_EQ(mciSendCommandA(id, MCI_PLAY, flags, DWORD_PTR(&play)), 0u);
        }
        AdvanceClock(500);
        if (state == Paused) {
            ASSERT_EQ(mciSendCommandA(id, MCI_PAUSE, MCI_WAIT, DWORD_PTR(&play)), 0u);
        }
        Drain();
        Log().clear();
    }
    // "A:aborted B:successful": the outcomes both windows received, in order.
    std::string Outcomes() {
        Drain();
        static const std::map<WPARAM, std::string> names = {{MCI_NOTIFY_SUCCESSFUL, "successful"},
                                                            {MCI_NOTIFY_SUPERSEDED, "superseded"},
                                                            {MCI_NOTIFY_ABORTED, "aborted"},
                                                            {MCI_NOTIFY_FAILURE, "failure"}};
        std::string out;
        for (const Recorded& r : Received(MM_MCINOTIFY)) {
            out += out.empty() ? "" : " ";
            out += (r.Hwnd == A ? "A:" : r.Hwnd == B ? "B:" : "?:") + names.at(r.WParam);
        }
        return out;
    }

    testutil::TTempDir Temp{"mcinotify"};
    std::string Path;
    HWND A = nullptr, B = nullptr;
};

// A command as a function of the device and the notify flag (0 or MCI_NOTIFY), with B as
// the callback of its record.
using Send = std::function<MCIERROR(MCIDEVICEID, DWORD)>;

TEST_F(MciNotify, EachCommandInEachStateGivesTheDocumentedOutcomes) {
    auto generic = [this](UINT command, DWORD flags) -> Send {
        return [this, command, flags](MCIDEVICEID id, DWORD notify) {
            MCI_GENERIC_PARMS p{DWORD_PTR(B)};
            return mciSendCommandA(id, command, flags | notify, DWORD_PTR(&p));
        };
    };
    const Send play = generic(MCI_PLAY, 0);
    const Send playFrom = [this](MCIDEVICEID id, DWORD notify) {
        MCI_PLAY_PARMS p{DWORD_PTR(B), 30, 0};
        return mciSendCommandA(id, MCI_PLAY, MCI_FROM | notify, DWORD_PTR(&p));
    };
    const Send seek = [this](MCIDEVICEID id, DWORD notify) {
        MCI_SEEK_PARMS p{DWORD_PTR(B), 60};
        return mciSendCommandA(id, MCI_SEEK, MCI_TO | MCI_WAIT | notify, DWORD_PTR(&p));
    };
    const Send seekTooFar = [this](MCIDEVICEID id, DWORD notify) {
        MCI_SEEK_PARMS p{DWORD_PTR(B), 999};
        return mciSendCommandA(id, MCI_SEEK, MCI_TO | MCI_WAIT | notify, DWORD_PTR(&p));
    };
    const Send step = [this](MCIDEVICEID id, DWORD notify) {
        MCI_DGV_STEP_PARMS p{DWORD_PTR(B), 3};
        return mciSendCommandA(id, MCI_STEP, MCI_DGV_STEP_FRAMES | MCI_WAIT | notify,
                               DWORD_PTR(&p));
    };
    const Send status = [this](MCIDEVICEID id, DWORD notify) {
        MCI_STATUS_PARMS p{DWORD_PTR(B), 0, MCI_STATUS_POSITION, 0};
        return mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT | notify, DWORD_PTR(&p));
    };
    const Send setFormat = [this](MCIDEVICEID id, DWORD notify) {
        MCI_SET_PARMS p{DWORD_PTR(B), MCI_FORMAT_FRAMES, 0};
        return mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT | notify, DWORD_PTR(&p));
    };
    const Send where = [this](MCIDEVICEID id, DWORD notify) {
        MCI_DGV_RECT_PARMS p{DWORD_PTR(B), {}};
        return mciSendCommandA(id, MCI_WHERE, MCI_DGV_WHERE_SOURCE | MCI_WAIT | notify,
                               DWORD_PTR(&p));
    };
    const Send window = [this](MCIDEVICEID id, DWORD notify) {
        MCI_DGV_WINDOW_PARMSA p{DWORD_PTR(B), A, 0, nullptr};
        return mciSendCommandA(id, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT | notify,
                               DWORD_PTR(&p));
    };
    struct Case {
        const char* Command;
        Send Sent;
        DWORD Notify;
        // Per state, in the order of State; "error" when the command fails.
        const char* Outcomes[StateCount];
    };
    constexpr DWORD N = MCI_NOTIFY;
    const char* const ok = "B:successful";
    // clang-format off
    const Case cases[] = {
        //                           stopped     pending                           quiet  paused
        {"play", play, 0,            {"",        "A:aborted",                      "",    ""}},
        {"play", play, N,            {ok,        "A:aborted B:successful",         ok,    ok}},
        {"play from", playFrom, 0,   {"",        "A:aborted",                      "",    ""}},
        {"play from", playFrom, N,   {ok,        "A:aborted B:successful",         ok,    ok}},
        {"pause", generic(MCI_PAUSE, MCI_WAIT), 0,
                                     {"",        "A:aborted",                      "",    ""}},
        {"pause", generic(MCI_PAUSE, MCI_WAIT), N,
                                     {ok,        "A:aborted B:successful",         ok,    ok}},
        {"stop", generic(MCI_STOP, MCI_WAIT), 0,
                                     {"",        "A:aborted",                      "",    ""}},
        {"stop", generic(MCI_STOP, MCI_WAIT), N,
                                     {ok,        "A:aborted B:successful",         ok,    ok}},
        {"seek", seek, 0,            {"",        "A:aborted",                      "",    ""}},
        {"seek", seek, N,            {ok,        "A:aborted B:successful",         ok,    ok}},
        {"seek out of range", seekTooFar, N,
                                     {"error",   "error",                          "error", "error"}},
        {"step", step, N,            {ok,        "A:aborted B:successful",         ok,    ok}},
        {"resume", generic(MCI_RESUME, 0), 0,
                                     {"error",   "A:successful",                   "",    ""}},
        {"resume", generic(MCI_RESUME, 0), N,
                                     {"error",   "A:superseded B:successful",      ok,    ok}},
        {"status", status, 0,        {"",        "A:successful",                   "",    ""}},
        {"status", status, N,        {ok,        "A:superseded B:successful",      ok,    ok}},
        {"set time format", setFormat, N,
                                     {ok,        "A:superseded B:successful",      ok,    ok}},
        {"where", where, N,          {ok,        "A:superseded B:successful",      ok,    ok}},
        {"window", window, N,        {ok,        "A:superseded B:successful",      ok,    ok}},
        {"close", generic(MCI_CLOSE, MCI_WAIT), 0,
                                     {"",        "A:aborted",                      "",    ""}},
        {"close", generic(MCI_CLOSE, MCI_WAIT), N,
                                     {ok,        "A:aborted B:successful",         ok,    ok}},
    };
    // clang-format on
    for (const Case& c : cases)
        for (int s = 0; s < StateCount; ++s) {
            SCOPED_TRACE(std::string(c.Command) + (c.Notify ? " notify" : "") + ", " +
                         StateNames[s]);
            const MCIDEVICEID id = Open();
            Enter(id, State(s));
            const MCIERROR result = c.Sent(id, c.Notify);
            RunFor(10000); // every play the command left running comes to its end
            const std::string expected = c.Outcomes[s];
            if (expected == "error")
                EXPECT_NE(result, 0u);
            else
                EXPECT_EQ(result, 0u);
            // A failed command leaves the pending request to its end.
            const std::string got = Outcomes();
            if (expected == "error")
                EXPECT_EQ(got, s == PlayingNotify ? "A:successful" : "");
            else
                EXPECT_EQ(got, expected);
            MCI_GENERIC_PARMS p{0};
            mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, DWORD_PTR(&p));
            Drain();
            Log().clear();
        }
}

} // namespace
