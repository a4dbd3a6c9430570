#include "app/Program.h"

#include "app/Main.h"
#include "gif/GifImage.h"
#include "media/MPlayer.h"
#include "rtl/Exceptions.h"
#include "ui/Forms.h"

namespace app {

void StartFramework() {
    gif::RegisterGifUnit();
    ui::RegisterFormsUnit();
    media::RegisterMediaUnit();
    RegisterMainClasses();
    ui::InitApplication();
}

int QuillotMain(const TCommandLine& line) {
    ui::TApplication* application = ui::Application;
    try {
        try {
            application->Startup();
            application->MakeForm(Form1);
            if (line.FullScreen && Form1)
                Form1->SetFullScreen(true);
            application->RunLoop();
        } catch (const rtl::Exception&) {
            throw;
        } catch (...) {
            // Anything that is no framework exception is shown as one without a message.
            throw rtl::Exception(std::string());
        }
    } catch (const rtl::Exception& e) {
        application->ShowErrorMessage(e);
    }
    return 0;
}

} // namespace app
