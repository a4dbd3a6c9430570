// TMediaPlayer's device control, checked command by command against the recording driver
// of the media control interface: device, command, flags word and the record's fields.
#include <functional>

#include "PlayerFixture.h"
#include "formstream/ClassRegistry.h"
#include "formstream/IdentMaps.h"
#include "tests/common/ExceptionMessage.h"

namespace media::testing {
namespace {

using Lines_t = std::vector<std::string>;

std::string Status(const std::string& item) {
    return "dev=1 MCI_STATUS wait item=" + item;
}
std::string Caps(const std::string& item) {
    return "dev=1 MCI_GETDEVCAPS wait item=" + item;
}
const std::string PositionRead = Status("position");
const std::string LengthRead = Status("length");
const std::string ModeRead = Status("mode");
const std::string FormatRead = Status("time_format");
const std::string CountRead = Status("tracks");
std::string TrackRead(int track) {
    return "dev=1 MCI_STATUS wait track=" + std::to_string(track) + " item=position";
}
const std::string RewindSeek = "dev=1 MCI_SEEK wait to_start";

// What an open on a digital-video device sends after MCI_OPEN, up to the window binding.
Lines_t OpenQueries() {
    return {LengthRead,        Caps("can_play"),    Caps("can_record"),      Caps("can_eject"),
            Caps("has_video"), Caps("device_type"), "dev=1 MCI_WHERE source"};
}
Lines_t Join(std::initializer_list<Lines_t> parts) {
    Lines_t all;
    for (const Lines_t& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

using PlayerTestDevice = PlayerTest;

TEST_F(PlayerTestDevice, OpenSendsOpenQueriesBindingAndWhereInOrder) {
    Recorder->ScriptDigitalVideo(100, 320, 240);
    Player->SetDisplay(Panel);
    EXPECT_TRUE(Lines().empty()) << "a display assigned while closed waits for the open";
    Player->SetFileName("C:\\clips\\main.avi");
    Player->Open();
    EXPECT_EQ(Lines(), Expand(Join({{"dev=0 MCI_OPEN wait element=\"C:\\clips\\main.avi\" "
                                     "callback={cb}"},
                                    OpenQueries(),
                                    {"dev=1 MCI_WINDOW wait hwnd={panel}",
                                     "dev=1 MCI_WHERE destination", ModeRead}})));
    EXPECT_TRUE(Player->IsOpen());
    EXPECT_EQ(Player->DeviceID(), 1u);
    EXPECT_EQ(Player->StepSize(), 10);
    EXPECT_EQ(Player->DisplaySize(), (rtl::TPoint{320, 240}));
    EXPECT_EQ(Player->Display(), Panel);
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPlay, btNext, btPrev, btStep, btBack}));
    EXPECT_TRUE(Player->CanPlay() && Player->HasVideo() && Player->CanStep());
    EXPECT_FALSE(Player->CanRecord() || Player->CanEject());
}

TEST_F(PlayerTestDevice, OpenVariants) {
    using R = platform::testing::MciRecorder;
    struct Case {
        const char* Name;
        std::function<void(TMediaPlayer&, R&)> Arrange;
        std::string OpenLine; // then the queries of every open, then Tail
        Lines_t Tail;
        TButtonSet ExpectedButtons;
    };
    const Lines_t where = {"dev=1 MCI_WHERE destination", ModeRead};
    const TButtonSet video{btPlay, btNext, btPrev, btStep, btBack};
    // clang-format off
    const Case cases[] = {
        {"a device type is sent instead of the file name",
         [](TMediaPlayer& p, R&) { p.SetDeviceType(dtAVIVideo); },
         "dev=0 MCI_OPEN wait type=\"AVIVideo\" callback={cb}", where, video},
        {"shareable", [](TMediaPlayer& p, R&) { p.SetShareable(true); },
         "dev=0 MCI_OPEN wait shareable element=\"clip.avi\" callback={cb}", where, video},
        {"pending requests shape the open's flags",
         [](TMediaPlayer& p, R&) { p.SetWait(false), p.SetNotify(true); },
         "dev=0 MCI_OPEN notify element=\"clip.avi\" callback={cb}", where, video},
        {"CD audio switches to tracks, minutes, seconds, frames",
         [](TMediaPlayer& p, R& r) {
             p.SetDeviceType(dtCDAudio);
             r.SetDevCaps(MCI_GETDEVCAPS_HAS_VIDEO, FALSE);
             r.SetDevCaps(MCI_GETDEVCAPS_CAN_EJECT, TRUE);
             r.SetDevCaps(MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_CD_AUDIO);
         },
         "dev=0 MCI_OPEN wait type=\"CDAudio\" callback={cb}",
         {"dev=1 MCI_SET notify time_format=tmsf callback={cb}", ModeRead},
         {btPlay, btNext, btPrev, btEject}},
        {"a device already playing offers pause and stop",
         [](TMediaPlayer&, R& r) {
             r.SetStatus(MCI_STATUS_MODE, MCI_MODE_PLAY);
             r.SetDevCaps(MCI_GETDEVCAPS_CAN_RECORD, TRUE);
         },
         "dev=0 MCI_OPEN wait element=\"clip.avi\" callback={cb}", where,
         {btPause, btStop, btNext, btPrev, btStep, btBack}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        Recorder->ScriptDigitalVideo(100, 320, 240);
        Player->SetFileName("clip.avi");
        c.Arrange(*Player, *Recorder);
        Player->Open();
        EXPECT_EQ(Lines(), Expand(Join({{c.OpenLine}, OpenQueries(), c.Tail})));
        EXPECT_EQ(Player->AutoButtons(), c.ExpectedButtons);
    }
}

TEST_F(PlayerTestDevice, FailedOpenRaisesTheDeviceTextAndStaysClosed) {
    Recorder->QueueResult(MCI_OPEN, MCIERR_FILE_NOT_FOUND);
    char text[256] = {};
    ASSERT_TRUE(mciGetErrorStringA(MCIERR_FILE_NOT_FOUND, text, sizeof text));
    EXPECT_EQ(MessageOf<EMCIDeviceError>([&] { Player->Open(); }), std::string(text));
    EXPECT_EQ(Lines(),
              Expand({"dev=0 MCI_OPEN wait element=\"\" callback={cb} -> MCIERR_FILE_NOT_FOUND"}));
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_EQ(Player->DeviceID(), 0u);
    EXPECT_EQ(Player->Error(), MCIERR_FILE_NOT_FOUND);
    // The shell may poll after a failed open: no exception, a position no clip ends at.
    EXPECT_EQ(Player->Position(), 0);
}

TEST_F(PlayerTestDevice, ReopenClosesTheFirstDeviceAndAFailedReopenLeavesBothClosed) {
    OpenDigitalVideo();
    Recorder->QueueResult(MCI_OPEN, MCIERR_INVALID_FILE);
    EXPECT_THROW(Player->Open(), EMCIDeviceError);
    EXPECT_EQ(Lines(), Expand({"dev=1 MCI_CLOSE wait callback={cb}",
                               "dev=0 MCI_OPEN wait element=\"clip.avi\" callback={cb} -> "
                               "MCIERR_INVALID_FILE"}));
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_TRUE(Player->AutoButtons().Empty());
    // A device that cannot step, opened after one that could, offers no Step or Back.
    Recorder->SetDevCaps(MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_WAVEFORM_AUDIO);
    Player->Open();
    EXPECT_FALSE(Player->CanStep());
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPlay, btNext, btPrev}));
}

TEST_F(PlayerTestDevice, ErrorTextFallsBackToUnknownErrorCode) {
    OpenDigitalVideo();
    Recorder->SetResult(MCI_STOP, 0x7777);
    Player->Stop();
    EXPECT_EQ(Player->Error(), 0x7777u);
    EXPECT_EQ(Player->ErrorText(), "Unknown error code");
}

// One operation on an open digital-video device (length 100, stopped) that stands at
// `Position` in `Mode`; `Refused` names a command that the device refuses once.
struct OperationCase {
    const char* Name;
    DWORD Position;
    DWORD Mode;
    UINT Refused;
    std::function<void(TMediaPlayer&)> Act;
    Lines_t Expected;
};

TEST_F(PlayerTestDevice, OperationsSendExactlyTheirCommands) {
    const DWORD stop = MCI_MODE_STOP;
    const std::string play = "dev=1 MCI_PLAY notify callback={cb}";
    const std::string step = "dev=1 MCI_STEP wait frames=10 callback={cb}";
    // clang-format off
    const OperationCase cases[] = {
        {"Play", 0, stop, 0, [](TMediaPlayer& p) { p.Play(); }, {PositionRead, LengthRead, play}},
        {"Play at the end rewinds first", 100, stop, 0, [](TMediaPlayer& p) { p.Play(); },
         {PositionRead, LengthRead, RewindSeek, play}},
        {"Play at the end without auto-rewind", 100, stop, 0,
         [](TMediaPlayer& p) { p.SetAutoRewind(false), p.Play(); }, {play}},
        {"Play from a position neither reads nor rewinds", 100, stop, 0,
         [](TMediaPlayer& p) { p.SetFrom(5), p.Play(); },
         {"dev=1 MCI_PLAY notify from=5 callback={cb}"}},
        {"Play to a position, waiting, without notification", 0, stop, 0,
         [](TMediaPlayer& p) { p.SetTo(50), p.SetWait(true), p.SetNotify(false), p.Play(); },
         {"dev=1 MCI_PLAY wait to=50 callback={cb}"}},
        {"one-shot options are used up by the first command", 0, stop, 0,
         [](TMediaPlayer& p) { p.SetFrom(5), p.Play(), p.Play(); },
         {"dev=1 MCI_PLAY notify from=5 callback={cb}", PositionRead, LengthRead, play}},
        {"Record", 0, stop, 0, [](TMediaPlayer& p) { p.SetFrom(1), p.Record(); },
         {"dev=1 MCI_RECORD notify from=1 callback={cb}"}},
        {"Stop", 0, stop, 0, [](TMediaPlayer& p) { p.Stop(); },
         {"dev=1 MCI_STOP wait callback={cb}"}},
        {"Stop with notification", 0, stop, 0, [](TMediaPlayer& p) { p.SetNotify(true), p.Stop(); },
         {"dev=1 MCI_STOP notify wait callback={cb}"}},
        {"Stop without waiting", 0, stop, 0, [](TMediaPlayer& p) { p.SetWait(false), p.Stop(); },
         {"dev=1 MCI_STOP callback={cb}"}},
        {"PauseDevice", 0, stop, 0, [](TMediaPlayer& p) { p.PauseDevice(); },
         {"dev=1 MCI_PAUSE wait callback={cb}"}},
        {"Resume", 0, stop, 0, [](TMediaPlayer& p) { p.Resume(); },
         {"dev=1 MCI_RESUME notify callback={cb}"}},
        {"Resume refused plays, with the requests it did not use", 0, stop, MCI_RESUME,
         [](TMediaPlayer& p) { p.SetNotify(false), p.Resume(); },
         {"dev=1 MCI_RESUME callback={cb} -> MCIERR_UNSUPPORTED_FUNCTION", PositionRead, LengthRead,
          "dev=1 MCI_PLAY callback={cb}"}},
        {"Pause while stopped", 0, stop, 0, [](TMediaPlayer& p) { p.Pause(); }, {ModeRead}},
        {"Pause while playing", 0, MCI_MODE_PLAY, 0, [](TMediaPlayer& p) { p.Pause(); },
         {ModeRead, "dev=1 MCI_PAUSE wait callback={cb}"}},
        {"Pause while paused", 0, MCI_MODE_PAUSE, 0, [](TMediaPlayer& p) { p.Pause(); },
         {ModeRead, "dev=1 MCI_RESUME notify callback={cb}"}},
        {"Next in frames", 0, stop, 0, [](TMediaPlayer& p) { p.Next(); },
         {FormatRead, "dev=1 MCI_SEEK wait to_end callback={cb}"}},
        {"Previous in frames", 0, stop, 0, [](TMediaPlayer& p) { p.Previous(); },
         {FormatRead, "dev=1 MCI_SEEK wait to_start callback={cb}"}},
        {"Step", 0, stop, 0, [](TMediaPlayer& p) { p.Step(); }, {PositionRead, LengthRead, step}},
        {"Step at the end rewinds first", 100, stop, 0, [](TMediaPlayer& p) { p.Step(); },
         {PositionRead, LengthRead, RewindSeek, step}},
        {"Back never rewinds", 100, stop, 0, [](TMediaPlayer& p) { p.Back(); },
         {"dev=1 MCI_STEP wait reverse frames=10 callback={cb}"}},
        {"Eject without the ability", 0, stop, 0, [](TMediaPlayer& p) { p.Eject(); }, {}},
        {"Rewind", 0, stop, 0, [](TMediaPlayer& p) { p.Rewind(); }, {RewindSeek}},
        {"SetTimeFormat", 0, stop, 0, [](TMediaPlayer& p) { p.SetTimeFormat(0); },
         {"dev=1 MCI_SET notify time_format=milliseconds callback={cb}"}},
        {"status reads", 0, stop, 0, [](TMediaPlayer& p) {
             p.Length(), p.Position(), p.TrackCount(), p.Mode(), p.TimeFormat(), p.TrackStart(2);
         }, {LengthRead, PositionRead, CountRead, ModeRead, FormatRead, TrackRead(2)}},
        {"Close, twice", 0, stop, 0, [](TMediaPlayer& p) { p.Close(), p.Close(); },
         {"dev=1 MCI_CLOSE wait callback={cb}"}},
    };
    // clang-format on
    for (const OperationCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        OpenDigitalVideo();
        Recorder->SetStatus(MCI_STATUS_POSITION, c.Position);
        Recorder->SetStatus(MCI_STATUS_MODE, c.Mode);
        if (c.Refused)
            Recorder->QueueResult(c.Refused, MCIERR_UNSUPPORTED_FUNCTION);
        c.Act(*Player);
        EXPECT_EQ(Lines(), Expand(c.Expected));
    }
}

TEST_F(PlayerTestDevice, EjectStepAndBackWhereTheDeviceCan) {
    Recorder->ScriptDigitalVideo(100);
    Recorder->SetDevCaps(MCI_GETDEVCAPS_CAN_EJECT, TRUE);
    Player->Open();
    Recorder->Clear();
    Player->Eject();
    EXPECT_EQ(Lines(), Expand({"dev=1 MCI_SET wait door_open callback={cb}"}));

    // Without video neither Step nor Back sends anything, and the error code stays.
    TearDown();
    SetUp();
    Recorder->ScriptDigitalVideo(100);
    Recorder->SetDevCaps(MCI_GETDEVCAPS_HAS_VIDEO, FALSE);
    Player->Open();
    Recorder->SetResult(MCI_STOP, MCIERR_HARDWARE);
    Player->Stop();
    Recorder->Clear();
    Player->Step();
    Player->Back();
    Player->Eject();
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Player->Error(), MCIERR_HARDWARE);
}

TEST_F(PlayerTestDevice, ResultsAreKeptAsTheErrorCodeWhereTheTablesSay) {
    struct Case {
        const char* Name;
        UINT Command;
        std::function<void(TMediaPlayer&)> Act;
        bool Stored;
    };
    const Case cases[] = {
        {"Play", MCI_PLAY, [](TMediaPlayer& p) { p.Play(); }, true},
        {"Record", MCI_RECORD, [](TMediaPlayer& p) { p.Record(); }, true},
        {"Stop", MCI_STOP, [](TMediaPlayer& p) { p.Stop(); }, true},
        {"PauseDevice", MCI_PAUSE, [](TMediaPlayer& p) { p.PauseDevice(); }, true},
        {"Next", MCI_SEEK, [](TMediaPlayer& p) { p.Next(); }, true},
        {"Step", MCI_STEP, [](TMediaPlayer& p) { p.Step(); }, true},
        {"SetTimeFormat", MCI_SET, [](TMediaPlayer& p) { p.SetTimeFormat(0); }, true},
        {"Position", MCI_STATUS, [](TMediaPlayer& p) { EXPECT_EQ(p.Position(), 0); }, true},
        {"Close", MCI_CLOSE, [](TMediaPlayer& p) { p.Close(); }, true},
        {"Rewind", MCI_SEEK, [](TMediaPlayer& p) { p.Rewind(); }, false},
        {"TrackStart", MCI_STATUS, [](TMediaPlayer& p) { EXPECT_EQ(p.TrackStart(1), 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        OpenDigitalVideo();
        Recorder->SetResult(c.Command, MCIERR_DEVICE_NOT_READY);
        c.Act(*Player);
        EXPECT_EQ(Player->Error(), c.Stored ? MCIERR_DEVICE_NOT_READY : 0u);
    }
    // A failed close keeps the device open.
    EXPECT_TRUE(Player->IsOpen());
}

TEST_F(PlayerTestDevice, OperationsOnAClosedPlayerRaiseAndSendNothing) {
    const std::pair<const char*, std::function<void(TMediaPlayer&)>> ops[] = {
        {"Play", [](TMediaPlayer& p) { p.Play(); }},
        {"Record", [](TMediaPlayer& p) { p.Record(); }},
        {"Stop", [](TMediaPlayer& p) { p.Stop(); }},
        {"Pause", [](TMediaPlayer& p) { p.Pause(); }},
        {"PauseDevice", [](TMediaPlayer& p) { p.PauseDevice(); }},
        {"Resume", [](TMediaPlayer& p) { p.Resume(); }},
        {"Next", [](TMediaPlayer& p) { p.Next(); }},
        {"Previous", [](TMediaPlayer& p) { p.Previous(); }},
        {"Step", [](TMediaPlayer& p) { p.Step(); }},
        {"Back", [](TMediaPlayer& p) { p.Back(); }},
        {"Eject", [](TMediaPlayer& p) { p.Eject(); }},
        {"Rewind", [](TMediaPlayer& p) { p.Rewind(); }},
        {"Length", [](TMediaPlayer& p) { p.Length(); }},
        {"TrackCount", [](TMediaPlayer& p) { p.TrackCount(); }},
        {"TimeFormat", [](TMediaPlayer& p) { p.TimeFormat(); }},
    };
    for (const auto& [name, op] : ops) {
        SCOPED_TRACE(name);
        EXPECT_EQ(MessageOf<EMCIDeviceError>([&] { op(*Player); }), "No MCI device open");
    }
    Player->Close();
    EXPECT_TRUE(Lines().empty());
    // Position and Mode ask even a closed player's (absent) device, and raise nothing.
    EXPECT_EQ(Player->Position(), 0);
    EXPECT_EQ(Player->Mode(), mpNotReady);
    EXPECT_EQ(Lines(), (Lines_t{"dev=0 MCI_STATUS wait item=position -> MCIERR_INVALID_DEVICE_ID",
                                "dev=0 MCI_STATUS wait item=mode -> MCIERR_INVALID_DEVICE_ID"}));
}

TEST_F(PlayerTestDevice, ModeIsTheDeviceModeLessNotReady) {
    OpenDigitalVideo();
    const std::pair<DWORD, TMPModes> cases[] = {
        {MCI_MODE_NOT_READY, mpNotReady}, {525, mpStopped},           {526, mpPlaying},
        {MCI_MODE_RECORD, mpRecording},   {MCI_MODE_SEEK, mpSeeking}, {MCI_MODE_PAUSE, mpPaused},
        {MCI_MODE_OPEN, mpOpen},
    };
    for (const auto& [answer, mode] : cases) {
        SCOPED_TRACE(answer);
        Recorder->SetStatus(MCI_STATUS_MODE, answer);
        EXPECT_EQ(Player->Mode(), mode);
    }
}

// A CD in tracks, minutes, seconds, frames: three tracks starting at 0:02, 3:00 and 6:30.
class PlayerTestTracks : public PlayerTest {
protected:
    static constexpr DWORD Tmsf(int t, int m, int s, int f) {
        return DWORD(t) | DWORD(m) << 8 | DWORD(s) << 16 | DWORD(f) << 24;
    }
    void OpenCd(DWORD position, DWORD mode) {
        Recorder->ScriptDigitalVideo(0);
        Recorder->SetDevCaps(MCI_GETDEVCAPS_HAS_VIDEO, FALSE);
        Recorder->SetStatus(MCI_STATUS_TIME_FORMAT, MCI_FORMAT_TMSF);
        Recorder->SetStatus(MCI_STATUS_NUMBER_OF_TRACKS, 3);
        Recorder->SetTrackPosition(1, Tmsf(1, 0, 2, 0));
        Recorder->SetTrackPosition(2, Tmsf(2, 3, 0, 0));
        Recorder->SetTrackPosition(3, Tmsf(3, 6, 30, 0));
        Player->SetDeviceType(dtCDAudio);
        Player->Open();
        Recorder->SetStatus(MCI_STATUS_POSITION, position);
        Recorder->SetStatus(MCI_STATUS_MODE, mode);
        Recorder->Clear();
    }
};

TEST_F(PlayerTestTracks, NextAndPreviousMoveBetweenTrackStarts) {
    const std::string to2 = std::to_string(Tmsf(2, 3, 0, 0));
    const std::string to1 = std::to_string(Tmsf(1, 0, 2, 0));
    const std::string to3 = std::to_string(Tmsf(3, 6, 30, 0));
    struct Case {
        const char* Name;
        DWORD Position;
        DWORD Mode;
        bool NextNotPrevious;
        Lines_t Expected;
    };
    const DWORD stop = MCI_MODE_STOP, play = MCI_MODE_PLAY;
    auto seek = [](const std::string& to) {
        return "dev=1 MCI_SEEK wait to=" + to + " callback={cb}";
    };
    auto from = [](const std::string& at) {
        return "dev=1 MCI_PLAY notify from=" + at + " callback={cb}";
    };
    // clang-format off
    const Case cases[] = {
        {"Next from track 1", Tmsf(1, 1, 0, 0), stop, true,
         {FormatRead, PositionRead, CountRead, TrackRead(2), ModeRead, seek(to2)}},
        {"Next on the last track goes to its start", Tmsf(3, 7, 0, 0), stop, true,
         {FormatRead, PositionRead, CountRead, CountRead, TrackRead(3), ModeRead, seek(to3)}},
        {"Next while playing plays from the next track", Tmsf(1, 1, 0, 0), play, true,
         {FormatRead, PositionRead, CountRead, TrackRead(2), ModeRead, from(to2)}},
        {"Previous within the first second goes to the track before", Tmsf(2, 3, 0, 20), stop,
         false, {FormatRead, PositionRead, PositionRead, TrackRead(2), PositionRead, TrackRead(1),
                 ModeRead, seek(to1)}},
        {"Previous later in a track goes to its start", Tmsf(2, 4, 10, 0), stop, false,
         {FormatRead, PositionRead, PositionRead, TrackRead(2), ModeRead, seek(to2)}},
        {"Previous on the first track stays on it", Tmsf(1, 0, 2, 5), stop, false,
         {FormatRead, PositionRead, PositionRead, TrackRead(1), ModeRead, seek(to1)}},
        {"Previous while playing plays from the track start", Tmsf(2, 4, 10, 0), play, false,
         {FormatRead, PositionRead, PositionRead, TrackRead(2), ModeRead, from(to2)}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        OpenCd(c.Position, c.Mode);
        if (c.NextNotPrevious)
            Player->Next();
        else
            Player->Previous();
        EXPECT_EQ(Lines(), Expand(c.Expected));
        EXPECT_EQ(Player->CurrentButton(), btPlay);
    }
}

TEST_F(PlayerTestDevice, DisplayBindingFollowsAssignmentAndDestruction) {
    OpenDigitalVideo();
    Player->SetDisplay(Panel);
    EXPECT_EQ(Lines(), Expand({"dev=1 MCI_WINDOW wait hwnd={panel}"}));
    EXPECT_EQ(Player->Display(), Panel);

    // A refused binding leaves no display.
    Recorder->Clear();
    Recorder->QueueResult(MCI_WINDOW, MCIERR_NO_WINDOW);
    Player->SetDisplay(Panel);
    EXPECT_EQ(Player->Display(), nullptr);
    EXPECT_EQ(Player->Error(), MCIERR_NO_WINDOW);

    // The display destroyed while open: the device falls back to its own window.
    Player->SetDisplay(Panel);
    Recorder->Clear();
    formstream::Free(Panel);
    EXPECT_EQ(Lines(), (Lines_t{"dev=1 MCI_WINDOW wait hwnd=0x0"}));
    EXPECT_EQ(Player->Display(), nullptr);
    Panel = nullptr;
}

TEST_F(PlayerTestDevice, DisplayDestroyedWhileClosedIsForgotten) {
    auto* other = new ui::TPanel(nullptr);
    other->SetParent(Form);
    Player->SetDisplay(other);
    formstream::Free(other);
    EXPECT_EQ(Player->Display(), nullptr);
    EXPECT_TRUE(Lines().empty());
    Recorder->ScriptDigitalVideo(100);
    Player->Open(); // no binding to a window that is gone
    for (const std::string& line : Lines())
        EXPECT_EQ(line.find("MCI_WINDOW"), std::string::npos) << line;
}

TEST_F(PlayerTestDevice, NotificationsMapOutcomesAndReachOnNotify) {
    struct Counter : formstream::TObject {
        int Calls = 0;
        formstream::TObject* Sender = nullptr;
        void Notified(formstream::TObject* sender) {
            ++Calls;
            Sender = sender;
        }
    } counter;
    Player->OnNotify = formstream::TNotifyEvent::Of<&Counter::Notified>(&counter);
    OpenDigitalVideo();
    Player->Play();
    Recorder->SetStatus(MCI_STATUS_MODE, MCI_MODE_PLAY);
    const std::pair<WPARAM, TMPNotifyValues> cases[] = {
        {MCI_NOTIFY_ABORTED, nvAborted},
        {MCI_NOTIFY_SUPERSEDED, nvSuperseded},
        {3, nvSuperseded},
        {MCI_NOTIFY_FAILURE, nvFailure},
        {0, nvFailure},
        {MCI_NOTIFY_SUCCESSFUL, nvSuccessful},
    };
    int expectedCalls = 0;
    for (const auto& [outcome, value] : cases) {
        SCOPED_TRACE(outcome);
        ASSERT_TRUE(Recorder->Notify(outcome));
        platform::testing::PumpMessages();
        EXPECT_EQ(Player->NotifyValue(), value);
        EXPECT_EQ(counter.Calls, ++expectedCalls);
        EXPECT_EQ(counter.Sender, Player);
    }
}

TEST_F(PlayerTestDevice, NotificationInTheStoppedModeOffersPlayAgain) {
    Recorder->ScriptDigitalVideo(100);
    Recorder->SetStatus(MCI_STATUS_MODE, MCI_MODE_PLAY);
    Player->Open();
    ASSERT_EQ(Player->AutoButtons(), (TButtonSet{btPause, btStop, btNext, btPrev, btStep, btBack}));
    Player->Play(); // asks for the notification
    // Still playing: nothing changes.
    ASSERT_TRUE(Recorder->Notify(MCI_NOTIFY_SUPERSEDED, 1));
    platform::testing::PumpMessages();
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPause, btStop, btNext, btPrev, btStep, btBack}));
    Recorder->SetStatus(MCI_STATUS_MODE, MCI_MODE_STOP);
    ASSERT_TRUE(Recorder->Notify(MCI_NOTIFY_SUCCESSFUL, 1));
    platform::testing::PumpMessages();
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPlay, btNext, btPrev, btStep, btBack}));
    EXPECT_TRUE(Player->ButtonUsable(btPlay));
    EXPECT_FALSE(Player->ButtonUsable(btStop));
}

TEST_F(PlayerTestDevice, LoadedOpensWithAutoOpen) {
    Recorder->ScriptDigitalVideo(100);
    Player->SetFileName("clip.avi");
    Player->Loaded();
    EXPECT_TRUE(Lines().empty());
    Player->SetAutoOpen(true);
    Player->Loaded();
    EXPECT_TRUE(Player->IsOpen());
}

TEST_F(PlayerTestDevice, DestructionClosesWithWaitOnly) {
    OpenDigitalVideo();
    Player->SetNotify(true); // a pending request is not used by the final close
    formstream::Free(Player);
    Player = nullptr;
    EXPECT_EQ(Lines(), (Lines_t{"dev=1 MCI_CLOSE wait"}));
}

} // namespace
} // namespace media::testing

namespace media::testing {
namespace {

TEST_F(PlayerTestDevice, RegisteredWithItsPublishedDefaults) {
    EXPECT_EQ(formstream::FindStreamClass("TMediaPlayer"), &TMediaPlayer::ClassInfo);
    std::int32_t value = -1;
    EXPECT_TRUE(formstream::IdentToInt(formstream::TypeInfoOf<TMPBtnType>, "BTEJECT", value));
    EXPECT_EQ(value, btEject);
    EXPECT_TRUE(formstream::IdentToInt(formstream::TypeInfoOf<TMPDeviceTypes>, "dtVCR", value));
    EXPECT_EQ(value, dtVCR);
    // Defaults are not written; a changed value is.
    for (const char* name : {"VisibleButtons", "AutoEnable", "AutoRewind", "TabStop", "DeviceType"})
        EXPECT_FALSE(formstream::IsStoredProp(Player, *formstream::GetPropInfo(Player, name)))
            << name;
    formstream::SetOrdProp(Player, *formstream::GetPropInfo(Player, "VisibleButtons"), 0x0007);
    EXPECT_EQ(Player->VisibleButtons(), (TButtonSet{btPlay, btPause, btStop}));
    EXPECT_EQ(formstream::GetObjectProp(Player, *formstream::GetPropInfo(Player, "Display")),
              nullptr);
}

} // namespace
} // namespace media::testing
