// player FILE: plays a media file in a window of its own, with the media player's bar of
// nine buttons under the picture (play, pause, stop, next, previous, step, back, record,
// eject). Any file the media layer can open will do.
#include <cstdio>

#include "tools/dev/player/PlayerForm.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: player FILE\n");
        return 2;
    }
    ui::RegisterFormsUnit();
    media::RegisterMediaUnit();
    ui::InitApplication();
    ui::Application->Startup();
    player::TPlayerForm::FileToPlay = argv[1];
    player::TPlayerForm* form = nullptr;
    ui::Application->MakeForm(form);
    ui::Application->RunLoop();
    ui::DoneApplication();
    return 0;
}
