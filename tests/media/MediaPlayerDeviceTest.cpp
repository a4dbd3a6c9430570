// TMediaPlayer's device control, checked command by command against the recording driver
// of the media control interface: device, command, flags word and the record's fields.
#include <functional>

#include "../common/ExceptionMessage.h"
#include "PlayerFixture.h"

namespace media::testing {
namespace {

using Lines_t = std::vector<std::string>;

const std::string Status(int item) {
    return "dev=1 MCI_STATUS flags=0x102 callback=0x0 item=" + std::to_string(item);
}
const std::string Caps(int item) {
    return "dev=1 MCI_GETDEVCAPS flags=0x102 callback=0x0 item=" + std::to_string(item);
}
const std::string PositionRead = Status(MCI_STATUS_POSITION);
const std::string LengthRead = Status(MCI_STATUS_LENGTH);
const std::string ModeRead = Status(MCI_STATUS_MODE);
const std::string FormatRead = Status(MCI_STATUS_TIME_FORMAT);
const std::string CountRead = Status(MCI_STATUS_NUMBER_OF_TRACKS);
std::string TrackRead(int track) {
    return "dev=1 MCI_STATUS flags=0x112 callback=0x0 item=2 track=" + std::to_string(track);
}
const std::string RewindSeek = "dev=1 MCI_SEEK flags=0x102 callback=0x0";

// What an open on a digital-video device sends after MCI_OPEN, up to the window binding.
Lines_t OpenQueries() {
    return {LengthRead,
            Caps(MCI_GETDEVCAPS_CAN_PLAY),
            Caps(MCI_GETDEVCAPS_CAN_RECORD),
            Caps(MCI_GETDEVCAPS_CAN_EJECT),
            Caps(MCI_GETDEVCAPS_HAS_VIDEO),
            Caps(MCI_GETDEVCAPS_DEVICE_TYPE),
            "dev=1 MCI_WHERE flags=0x20000 callback=0x0"};
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
    EXPECT_EQ(Lines(), Expand(Join({{"dev=0 MCI_OPEN flags=0x202 callback={cb} "
                                     "element=\"C:\\clips\\main.avi\""},
                                    OpenQueries(),
                                    {"dev=1 MCI_WINDOW flags=0x10002 callback=0x0 hwnd={panel}",
                                     "dev=1 MCI_WHERE flags=0x40000 callback=0x0", ModeRead}})));
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
    struct Case {
        const char* Name;
        std::function<void(PlayerTest&, TMediaPlayer&, platform::testing::MciRecorder&)> Arrange;
        Lines_t Expected;
        TButtonSet ExpectedButtons;
    };
    const Case cases[] = {
        {"device type sends the type and no file name",
         [](PlayerTest&, TMediaPlayer& p, auto&) { p.SetDeviceType(dtAVIVideo); },
         Join({{"dev=0 MCI_OPEN flags=0x2002 callback={cb} type=\"AVIVideo\""},
               OpenQueries(),
               {"dev=1 MCI_WHERE flags=0x40000 callback=0x0", ModeRead}}),
         {btPlay, btNext, btPrev, btStep, btBack}},
        {"shareable",
         [](PlayerTest&, TMediaPlayer& p, auto&) { p.SetShareable(true); },
         Join({{"dev=0 MCI_OPEN flags=0x302 callback={cb} element=\"clip.avi\""},
               OpenQueries(),
               {"dev=1 MCI_WHERE flags=0x40000 callback=0x0", ModeRead}}),
         {btPlay, btNext, btPrev, btStep, btBack}},
        {"pending requests shape the open's flags",
         [](PlayerTest&, TMediaPlayer& p, auto&) {
             p.SetWait(false);
             p.SetNotify(true);
         },
         Join({{"dev=0 MCI_OPEN flags=0x201 callback={cb} element=\"clip.avi\""},
               OpenQueries(),
               {"dev=1 MCI_WHERE flags=0x40000 callback=0x0", ModeRead}}),
         {btPlay, btNext, btPrev, btStep, btBack}},
        {"CD audio switches to tracks, minutes, seconds, frames",
         [](PlayerTest&, TMediaPlayer& p, platform::testing::MciRecorder& r) {
             p.SetDeviceType(dtCDAudio);
             r.SetDevCaps(MCI_GETDEVCAPS_HAS_VIDEO, FALSE);
             r.SetDevCaps(MCI_GETDEVCAPS_CAN_EJECT, TRUE);
             r.SetDevCaps(MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_CD_AUDIO);
         },
         Join({{"dev=0 MCI_OPEN flags=0x2002 callback={cb} type=\"CDAudio\""},
               OpenQueries(),
               {"dev=1 MCI_SET flags=0x401 callback={cb} format=10", ModeRead}}),
         {btPlay, btNext, btPrev, btEject}},
        {"a device already playing offers pause and stop",
         [](PlayerTest&, TMediaPlayer&, platform::testing::MciRecorder& r) {
             r.SetStatus(MCI_STATUS_MODE, MCI_MODE_PLAY);
             r.SetDevCaps(MCI_GETDEVCAPS_CAN_RECORD, TRUE);
         },
         Join({{"dev=0 MCI_OPEN flags=0x202 callback={cb} element=\"clip.avi\""},
               OpenQueries(),
               {"dev=1 MCI_WHERE flags=0x40000 callback=0x0", ModeRead}}),
         {btPause, btStop, btNext, btPrev, btStep, btBack}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        Recorder->ScriptDigitalVideo(100, 320, 240);
        Player->SetFileName("clip.avi");
        c.Arrange(*this, *Player, *Recorder);
        Player->Open();
        EXPECT_EQ(Lines(), Expand(c.Expected));
        EXPECT_EQ(Player->AutoButtons(), c.ExpectedButtons);
    }
}

TEST_F(PlayerTestDevice, FailedOpenRaisesTheDeviceTextAndStaysClosed) {
    Recorder->QueueResult(MCI_OPEN, MCIERR_FILE_NOT_FOUND);
    char text[256] = {};
    ASSERT_TRUE(mciGetErrorStringA(MCIERR_FILE_NOT_FOUND, text, sizeof text));
    EXPECT_EQ(MessageOf<EMCIDeviceError>([&] { Player->Open(); }), std::string(text));
    EXPECT_EQ(Lines(), Expand({"dev=0 MCI_OPEN flags=0x202 callback={cb} element=\"\" -> 275"}));
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
    EXPECT_EQ(Lines(), Expand({"dev=1 MCI_CLOSE flags=0x2 callback={cb}",
                               "dev=0 MCI_OPEN flags=0x202 callback={cb} element=\"clip.avi\" -> " +
                                   std::to_string(MCIERR_INVALID_FILE)}));
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_TRUE(Player->AutoButtons().Empty());
}

TEST_F(PlayerTestDevice, ErrorTextFallsBackToUnknownErrorCode) {
    OpenDigitalVideo();
    Recorder->SetResult(MCI_STOP, 0x7777);
    Player->Stop();
    EXPECT_EQ(Player->Error(), 0x7777u);
    EXPECT_EQ(Player->ErrorText(), "Unknown error code");
}

// One operation on an open digital-video device (length 100, at 0, stopped).
struct OperationCase {
    const char* Name;
    std::function<void(TMediaPlayer&, platform::testing::MciRecorder&)> Arrange;
    std::function<void(TMediaPlayer&)> Act;
    Lines_t Expected;
};

TEST_F(PlayerTestDevice, OperationsSendExactlyTheirCommands) {
    auto none = [](TMediaPlayer&, platform::testing::MciRecorder&) {};
    const OperationCase cases[] = {
        {"Play",
         none,
         [](TMediaPlayer& p) { p.Play(); },
         {PositionRead, LengthRead, "dev=1 MCI_PLAY flags=0x1 callback={cb}"}},
        {"Play at the end rewinds first",
         [](TMediaPlayer&, auto& r) { r.SetStatus(MCI_STATUS_POSITION, 100); },
         [](TMediaPlayer& p) { p.Play(); },
         {PositionRead, LengthRead, RewindSeek, "dev=1 MCI_PLAY flags=0x1 callback={cb}"}},
        {"Play at the end without auto-rewind",
         [](TMediaPlayer& p, auto& r) {
             r.SetStatus(MCI_STATUS_POSITION, 100);
             p.SetAutoRewind(false);
         },
         [](TMediaPlayer& p) { p.Play(); },
         {"dev=1 MCI_PLAY flags=0x1 callback={cb}"}},
        {"Play with a from position neither reads nor rewinds",
         [](TMediaPlayer& p, auto& r) {
             r.SetStatus(MCI_STATUS_POSITION, 100);
             p.SetFrom(5);
         },
         [](TMediaPlayer& p) { p.Play(); },
         {"dev=1 MCI_PLAY flags=0x5 callback={cb} from=5"}},
        {"Play to a position, waiting, without notification",
         [](TMediaPlayer& p, auto&) {
             p.SetTo(50);
             p.SetWait(true);
             p.SetNotify(false);
         },
         [](TMediaPlayer& p) { p.Play(); },
         {"dev=1 MCI_PLAY flags=0xa callback={cb} to=50"}},
        {"one-shot options are used up by the first command",
         [](TMediaPlayer& p, auto&) { p.SetFrom(5); },
         [](TMediaPlayer& p) {
             p.Play();
             p.Play();
         },
         {"dev=1 MCI_PLAY flags=0x5 callback={cb} from=5", PositionRead, LengthRead,
          "dev=1 MCI_PLAY flags=0x1 callback={cb}"}},
        {"Record",
         [](TMediaPlayer& p, auto&) { p.SetFrom(1); },
         [](TMediaPlayer& p) { p.Record(); },
         {"dev=1 MCI_RECORD flags=0x5 callback={cb} from=1"}},
        {"Stop",
         none,
         [](TMediaPlayer& p) { p.Stop(); },
         {"dev=1 MCI_STOP flags=0x2 callback={cb}"}},
        {"Stop with notification",
         [](TMediaPlayer& p, auto&) { p.SetNotify(true); },
         [](TMediaPlayer& p) { p.Stop(); },
         {"dev=1 MCI_STOP flags=0x3 callback={cb}"}},
        {"Stop without waiting",
         [](TMediaPlayer& p, auto&) { p.SetWait(false); },
         [](TMediaPlayer& p) { p.Stop(); },
         {"dev=1 MCI_STOP flags=0x0 callback={cb}"}},
        {"PauseDevice",
         none,
         [](TMediaPlayer& p) { p.PauseDevice(); },
         {"dev=1 MCI_PAUSE flags=0x2 callback={cb}"}},
        {"Resume",
         none,
         [](TMediaPlayer& p) { p.Resume(); },
         {"dev=1 MCI_RESUME flags=0x1 callback={cb}"}},
        {"Resume refused falls back to Play with the same requests",
         [](TMediaPlayer& p, auto& r) {
             r.QueueResult(MCI_RESUME, MCIERR_UNSUPPORTED_FUNCTION);
             p.SetNotify(false);
         },
         [](TMediaPlayer& p) { p.Resume(); },
         {"dev=1 MCI_RESUME flags=0x0 callback={cb} -> 274", PositionRead, LengthRead,
          "dev=1 MCI_PLAY flags=0x0 callback={cb}"}},
        {"Pause while stopped sends nothing more",
         none,
         [](TMediaPlayer& p) { p.Pause(); },
         {ModeRead}},
        {"Pause while playing pauses",
         [](TMediaPlayer&, auto& r) { r.SetStatus(MCI_STATUS_MODE, MCI_MODE_PLAY); },
         [](TMediaPlayer& p) { p.Pause(); },
         {ModeRead, "dev=1 MCI_PAUSE flags=0x2 callback={cb}"}},
        {"Pause while paused resumes",
         [](TMediaPlayer&, auto& r) { r.SetStatus(MCI_STATUS_MODE, MCI_MODE_PAUSE); },
         [](TMediaPlayer& p) { p.Pause(); },
         {ModeRead, "dev=1 MCI_RESUME flags=0x1 callback={cb}"}},
        {"Next in frames seeks to the end",
         none,
         [](TMediaPlayer& p) { p.Next(); },
         {FormatRead, "dev=1 MCI_SEEK flags=0x202 callback={cb}"}},
        {"Previous in frames seeks to the start",
         none,
         [](TMediaPlayer& p) { p.Previous(); },
         {FormatRead, "dev=1 MCI_SEEK flags=0x102 callback={cb}"}},
        {"Step",
         none,
         [](TMediaPlayer& p) { p.Step(); },
         {PositionRead, LengthRead, "dev=1 MCI_STEP flags=0x20002 callback={cb} frames=10"}},
        {"Step at the end rewinds first",
         [](TMediaPlayer&, auto& r) { r.SetStatus(MCI_STATUS_POSITION, 100); },
         [](TMediaPlayer& p) { p.Step(); },
         {PositionRead, LengthRead, RewindSeek,
          "dev=1 MCI_STEP flags=0x20002 callback={cb} frames=10"}},
        {"Back never rewinds",
         [](TMediaPlayer&, auto& r) { r.SetStatus(MCI_STATUS_POSITION, 100); },
         [](TMediaPlayer& p) { p.Back(); },
         {"dev=1 MCI_STEP flags=0x30002 callback={cb} frames=10"}},
        {"Eject on a device that cannot eject sends nothing",
         none,
         [](TMediaPlayer& p) { p.Eject(); },
         {}},
        {"Rewind", none, [](TMediaPlayer& p) { p.Rewind(); }, {RewindSeek}},
        {"SetTimeFormat",
         none,
         [](TMediaPlayer& p) { p.SetTimeFormat(MCI_FORMAT_MILLISECONDS); },
         {"dev=1 MCI_SET flags=0x401 callback={cb} format=0"}},
        {"status reads",
         none,
         [](TMediaPlayer& p) {
             p.Length();
             p.Position();
             p.TrackCount();
             p.Mode();
             p.TimeFormat();
             p.TrackStart(2);
         },
         {LengthRead, PositionRead, CountRead, ModeRead, FormatRead, TrackRead(2)}},
        {"Close",
         none,
         [](TMediaPlayer& p) { p.Close(); },
         {"dev=1 MCI_CLOSE flags=0x2 callback={cb}"}},
        {"Close twice sends one close",
         none,
         [](TMediaPlayer& p) {
             p.Close();
             p.Close();
         },
         {"dev=1 MCI_CLOSE flags=0x2 callback={cb}"}},
    };
    for (const OperationCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        OpenDigitalVideo();
        c.Arrange(*Player, *Recorder);
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
    EXPECT_EQ(Lines(), Expand({"dev=1 MCI_SET flags=0x102 callback={cb}"}));

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
    EXPECT_EQ(Lines(), (Lines_t{"dev=0 MCI_STATUS flags=0x102 callback=0x0 item=2 -> 257",
                                "dev=0 MCI_STATUS flags=0x102 callback=0x0 item=4 -> 257"}));
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
    const Case cases[] = {
        {"Next from track 1",
         Tmsf(1, 1, 0, 0),
         MCI_MODE_STOP,
         true,
         {FormatRead, PositionRead, CountRead, TrackRead(2), ModeRead,
          "dev=1 MCI_SEEK flags=0xa callback={cb} to=" + to2}},
        {"Next on the last track goes to its start",
         Tmsf(3, 7, 0, 0),
         MCI_MODE_STOP,
         true,
         {FormatRead, PositionRead, CountRead, CountRead, TrackRead(3), ModeRead,
          "dev=1 MCI_SEEK flags=0xa callback={cb} to=" + to3}},
        {"Next while playing plays from the next track",
         Tmsf(1, 1, 0, 0),
         MCI_MODE_PLAY,
         true,
         {FormatRead, PositionRead, CountRead, TrackRead(2), ModeRead,
          "dev=1 MCI_PLAY flags=0x5 callback={cb} from=" + to2}},
        {"Previous within the first second goes to the track before",
         Tmsf(2, 3, 0, 20),
         MCI_MODE_STOP,
         false,
         {FormatRead, PositionRead, PositionRead, TrackRead(2), PositionRead, TrackRead(1),
          ModeRead, "dev=1 MCI_SEEK flags=0xa callback={cb} to=" + to1}},
        {"Previous later in a track goes to its start",
         Tmsf(2, 4, 10, 0),
         MCI_MODE_STOP,
         false,
         {FormatRead, PositionRead, PositionRead, TrackRead(2), ModeRead,
          "dev=1 MCI_SEEK flags=0xa callback={cb} to=" + to2}},
        {"Previous on the first track stays on it",
         Tmsf(1, 0, 2, 5),
         MCI_MODE_STOP,
         false,
         {FormatRead, PositionRead, PositionRead, TrackRead(1), ModeRead,
          "dev=1 MCI_SEEK flags=0xa callback={cb} to=" + to1}},
        {"Previous while playing plays from the track start",
         Tmsf(2, 4, 10, 0),
         MCI_MODE_PLAY,
         false,
         {FormatRead, PositionRead, PositionRead, TrackRead(2), ModeRead,
          "dev=1 MCI_PLAY flags=0x5 callback={cb} from=" + to2}},
    };
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
    EXPECT_EQ(Lines(), Expand({"dev=1 MCI_WINDOW flags=0x10002 callback=0x0 hwnd={panel}"}));
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
    EXPECT_EQ(Lines(), (Lines_t{"dev=1 MCI_WINDOW flags=0x10002 callback=0x0 hwnd=0x0"}));
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
    EXPECT_EQ(Lines(), (Lines_t{"dev=1 MCI_CLOSE flags=0x2 callback=0x0"}));
}

} // namespace
} // namespace media::testing
