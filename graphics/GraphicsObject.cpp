#include "graphics/GraphicsObject.h"

namespace graphics {

constinit const formstream::TClassInfo TGraphicsObject::ClassInfo =
    formstream::ClassInfoOf<TGraphicsObject, formstream::TPersistent>("TGraphicsObject");

TGraphicsObject::~TGraphicsObject() {
    DeleteHandle();
}

HGDIOBJ TGraphicsObject::GdiHandle() {
    if (FStale || !FHandle) {
        HGDIOBJ handle = CreateGdiHandle();
        DeleteHandle();
        FHandle = handle;
        FStale = false;
    }
    return FHandle;
}

void TGraphicsObject::Changed() {
    FStale = true;
    OnChange(this);
}

void TGraphicsObject::DeleteHandle() {
    if (FHandle)
        DeleteObject(FHandle);
    FHandle = nullptr;
}

} // namespace graphics
