// The catalogue as its own entry point runs it, with the recording driver in place of the
// media devices: English is chosen (its clip opened and played), "Close" is pressed, and
// the program returns from main. Every command the driver receives is printed as it
// arrives, and "main returned" marks the start of the process's exit steps, so that a test
// sees what the program sends on its way out and in which order.
#include <cstdio>
#include <memory>

#include "app/Main.h"
#include "app/Program.h"
#include "platform/testing/Testing.h"

namespace pt = platform::testing;

// Kept to the very end of the process (the exit steps still send to the recorder), and
// reachable from here, so that the leak checker does not count it.
std::shared_ptr<pt::MciRecorder>* gRecorder = nullptr;

int main() {
    pt::UseHeadless();
    app::StartFramework();
    // In the loop, after the framework registered its exit step, as a click would.
    pt::RunAt(pt::Now() + 500, [] {
        gRecorder = new std::shared_ptr<pt::MciRecorder>(pt::InstallMciRecorder());
        auto* recorder = gRecorder;
        (*recorder)->ScriptDigitalVideo(153, 700, 628);
        (*recorder)->OnCall = [](const pt::MciCall& call) {
            std::printf("%s\n", call.Text().c_str());
            std::fflush(stdout);
        };
        app::Form1->b_englishClick(nullptr);
        app::Form1->closeClick(nullptr);
    });
    const int code = app::QuillotMain();
    std::printf("main returned\n");
    std::fflush(stdout);
    return code;
}
