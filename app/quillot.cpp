// The catalogue program.
#include "app/Program.h"
#include "ui/Forms.h"

int main() {
    app::StartFramework();
    const int code = app::QuillotMain();
    // The end of the program (the forms destroyed, a clip still open closed by its
    // player) runs here, before the process's static objects, the platform's device
    // tables among them, are destroyed.
    ui::DoneApplication();
    return code;
}
