// The catalogue program.
#include "app/Program.h"

int main() {
    app::StartFramework();
    return app::QuillotMain();
}
