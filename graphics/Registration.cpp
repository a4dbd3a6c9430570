#include <mutex>

#include "formstream/ClassRegistry.h"
#include "formstream/Graphic.h"
#include "formstream/IdentMaps.h"
#include "graphics/Graphics.h"
#include "platform/winuser.h"

namespace graphics {

void RegisterGraphicsUnit() {
    static std::once_flag once;
    std::call_once(once, [] {
        formstream::RegisterStandardIdentMaps();
        formstream::RegisterStreamClasses(
            {&TBitmap::ClassInfo, &TFont::ClassInfo, &TPen::ClassInfo, &TBrush::ClassInfo});
        formstream::RegisterGraphicFormat("bmp", "Bitmaps", &TBitmap::ClassInfo);
        formstream::RegisterGraphicClipboardFormat(CF_BITMAP, &TBitmap::ClassInfo);
    });
}

} // namespace graphics
