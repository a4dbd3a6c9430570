// A program that waits in the framework's message loop with a 100 ms TTimer for a given
// number of seconds (default 10), then ends; idle.sh measures its processor use.
#include <cstdlib>

#include "ui/Forms.h"

namespace {

struct TTicks : formstream::TObject {
    int Left = 100;
    void Tick(formstream::TObject*) {
        if (--Left == 0)
            ui::Application->RequestTerminate();
    }
};

} // namespace

int main(int argc, char** argv) {
    ui::InitApplication();
    TTicks ticks;
    ticks.Left = (argc > 1 ? std::atoi(argv[1]) : 10) * 10;
    ui::TForm* form = nullptr;
    ui::Application->MakeForm(form);
    form->SetBounds(0, 0, 640, 480);
    auto* timer = new ui::TTimer(form);
    timer->SetInterval(100);
    timer->SetOnTimer(formstream::TNotifyEvent::Of<&TTicks::Tick>(&ticks));
    ui::Application->RunLoop();
    ui::DoneApplication();
    return 0;
}
