// The catalogue program. The framework's end-of-program step destroys the forms (and a
// clip still open is closed by its player) after main returns.
#include "app/Program.h"

int main() {
    app::StartFramework();
    return app::QuillotMain();
}
