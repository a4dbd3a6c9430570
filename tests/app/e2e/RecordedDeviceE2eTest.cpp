// The catalogue with the recording driver in place of the real media devices: the end
// is found by equality only, the position is read once per tick and never while no clip
// is watched, and an earlier clip is closed by the next open. The program runs in this
// process through scenario's runner.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/mmsystem.h"
#include "platform/testing/Testing.h"
#include "tools/dev/scenario/Runner.h"

namespace {

namespace pt = platform::testing;

struct TRecorded {
    int Status = -1;
    std::string Out;
    std::string Err;
};

TRecorded RunInProcess(const std::string& script) {
    std::istringstream in(script);
    std::vector<scenario::TCommand> commands;
    scenario::TScriptError error;
    EXPECT_TRUE(scenario::ParseScript(in, commands, error)) << error.Message;
    scenario::TRunOptions options;
    options.ExecutablePath = "/Kiosk/quillot";
    std::ostringstream out, err;
    TRecorded r;
    r.Status = scenario::RunScenario(commands, options, out, err);
    r.Out = out.str();
    r.Err = err.str();
    return r;
}

std::string ShellLine(const std::string& out) {
    const std::size_t p = out.find("shell ");
    return p == std::string::npos ? "" : out.substr(p, out.find('\n', p) - p);
}

bool IsPositionRead(const pt::MciCall& c) {
    return c.Command == MCI_STATUS && c.Item && *c.Item == MCI_STATUS_POSITION;
}

TEST(RecordedDevice, OnlyThePositionEqualToTheEndEndsAClip) {
    struct TCase {
        DWORD Position;
        std::string Shell;
    };
    const TCase cases[] = {
        {152, "shell clipstate=2 korean=0 exedir=\"\\Kiosk\""},
        {154, "shell clipstate=2 korean=0 exedir=\"\\Kiosk\""},
        {153, "shell clipstate=0 korean=0 exedir=\"\\Kiosk\""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("position " + std::to_string(c.Position));
        auto recorder = pt::InstallMciRecorder();
        recorder->ScriptDigitalVideo(153);
        recorder->SetStatus(MCI_STATUS_POSITION, c.Position);
        const TRecorded r = RunInProcess("click b_english\nadvance 1000\ndump\n");
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(ShellLine(r.Out), c.Shell);
    }
}

TEST(RecordedDevice, ThePositionIsReadOncePerTickAndOnlyWhileAClipIsWatched) {
    auto recorder = pt::InstallMciRecorder();
    recorder->ScriptDigitalVideo(494);
    recorder->SetStatus(MCI_STATUS_POSITION, 10);
    const TRecorded r = RunInProcess("advance 1000\nclick b_korean\nadvance 1000\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::size_t open = recorder->Calls.size();
    for (std::size_t i = 0; i < recorder->Calls.size(); ++i)
        if (recorder->Calls[i].Command == MCI_OPEN) {
            open = i;
            break;
        }
    ASSERT_LT(open, recorder->Calls.size()) << "no clip was opened";
    int reads = 0;
    for (std::size_t i = 0; i < recorder->Calls.size(); ++i)
        if (IsPositionRead(recorder->Calls[i])) {
            EXPECT_GT(i, open) << "position read before a clip was watched";
            ++reads;
        }
    // Ten ticks of 100 ms (one more when a tick falls on the last moment).
    EXPECT_GE(reads, 10);
    EXPECT_LE(reads, 11);
}

TEST(RecordedDevice, TheNextOpenClosesTheClipPlayingBehindTheFrame) {
    auto recorder = pt::InstallMciRecorder();
    recorder->ScriptDigitalVideo(153);
    const TRecorded r =
        RunInProcess("click b_english\nadvance 300\nclick back\nclick manImage_eng\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::vector<std::string> sequence;
    for (const pt::MciCall& c : recorder->Calls)
        if (c.Command == MCI_OPEN || c.Command == MCI_CLOSE || c.Command == MCI_PLAY ||
            c.Command == MCI_STOP)
            sequence.push_back(pt::MciCommandName(c.Command) + (c.Element ? " " + *c.Element : ""));
    // "Back" neither stops nor closes; the second open closes the first device; the
    // program's end closes the second.
    const std::vector<std::string> expected = {
        "MCI_OPEN \\Kiosk\\main_eng.avi", "MCI_PLAY", "MCI_CLOSE",
        "MCI_OPEN \\Kiosk\\man_eng.avi",  "MCI_PLAY", "MCI_CLOSE",
    };
    EXPECT_EQ(sequence, expected);
}

} // namespace
