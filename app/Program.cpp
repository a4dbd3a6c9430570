#include "app/Program.h"

#include "app/Main.h"
#include "app/Volume.h"
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

namespace {

// The volume named on the command line. It stays open to the end of the process, since
// the window's icon and glyphs may come from it; CloseVolume ends it for a later run in
// the same process.
TVolume* gOpenVolume = nullptr;

// Creates the main window. A failure to read a named volume's form (or its pictures) is
// shown with the file it comes from.
void MakeMainForm(ui::TApplication* application, const TVolume* volume) {
    if (!volume) {
        application->MakeForm(Form1);
        return;
    }
    try {
        application->MakeForm(Form1);
    } catch (const rtl::Exception& e) {
        throw EVolumeError("The form of the volume \"" + volume->FormFile() +
                           "\" cannot be read: " + e.Message());
    }
}

} // namespace

void CloseVolume() {
    if (!gOpenVolume)
        return;
    UseVolume(nullptr);
    delete gOpenVolume;
    gOpenVolume = nullptr;
}

int QuillotMain(const TCommandLine& line) {
    ui::TApplication* application = ui::Application;
    CloseVolume();
    try {
        try {
            application->Startup();
            if (!line.Volume.empty()) {
                gOpenVolume = TVolume::Open(line.Volume).release();
                UseVolume(gOpenVolume);
            }
            MakeMainForm(application, gOpenVolume);
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
        // A volume asked for and not shown is a failure the caller should see.
        if (!line.Volume.empty())
            return 1;
    }
    return 0;
}

} // namespace app
