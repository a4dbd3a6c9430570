#include "formstream/ClassRegistry.h"
#include "formstream/IdentMaps.h"
#include "tools/dev/formdump/FormDump.h"
#ifdef FORMDUMP_PROGRAM_CLASSES
#include "app/Main.h"
#include "gif/GifImage.h"
#include "media/MPlayer.h"
#include "ui/Forms.h"
#endif

namespace formdump {

// The program's component classes: the framework's forms and controls, the media
// player, and the main window (as the bare form the reader fills).
void RegisterFormDumpClasses() {
    formstream::RegisterStandardIdentMaps();
#ifdef FORMDUMP_PROGRAM_CLASSES
    gif::RegisterGifUnit();
    ui::RegisterFormsUnit();
    media::RegisterMediaUnit();
    if (!formstream::LookupStreamClass("TForm1"))
        formstream::RegisterStreamClass(&app::TForm1::ReadingClass());
#endif
}

} // namespace formdump
