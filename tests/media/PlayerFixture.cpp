#include "PlayerFixture.h"

#include <cstdio>
#include <cstring>

namespace media::testing {

std::string HexOf(const void* handle) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle)));
    return buffer;
}

void PlayerTest::SetUp() {
    platform::testing::UseHeadless();
    platform::testing::Reset();
    platform::testing::SetScreenSize(1280, 1024);
    ui::InitApplication();
    RegisterMediaUnit();
    Recorder = platform::testing::InstallMciRecorder();
    Form = new ui::TForm(nullptr);
    Form->SetBounds(10, 10, 400, 300);
    Form->SetClientSize(400, 300);
    Panel = new ui::TPanel(Form);
    Panel->SetParent(Form);
    Panel->SetBounds(0, 0, 320, 240);
    Player = new TMediaPlayer(Form);
    Player->SetParent(Form);
    Player->SetBounds(0, 250, 253, 30);
    Form->Show();
    platform::testing::PumpMessages();
}

void PlayerTest::TearDown() {
    formstream::Free(Form);
    ui::DoneApplication();
    platform::testing::RemoveMciRecorder();
    Recorder.reset();
    platform::testing::Reset();
}

void PlayerTest::OpenDigitalVideo() {
    Recorder->ScriptDigitalVideo(100, 320, 240);
    Player->SetFileName("clip.avi");
    Player->Open();
    Recorder->Clear();
}

std::vector<std::string> PlayerTest::Expand(const std::vector<std::string>& lines) const {
    const std::string cb = HexOf(Player->Handle());
    const std::string panel = HexOf(Panel->Handle());
    std::vector<std::string> out;
    for (std::string line : lines) {
        for (auto [key, value] :
             {std::pair<std::string, std::string>{"{cb}", cb}, {"{panel}", panel}}) {
            for (std::size_t at; (at = line.find(key)) != std::string::npos;)
                line.replace(at, key.size(), value);
        }
        out.push_back(line);
    }
    return out;
}

} // namespace media::testing
