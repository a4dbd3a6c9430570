// TGraphicsObject: the common part of fonts, pens and brushes. Each keeps its attributes,
// makes its drawing-system handle lazily (on the first Handle() after a change) and tells
// its change event whenever an attribute changes, so that a canvas using it reselects it.
// A handle that has been replaced is deleted only when the next one is made, after the
// canvases using the object have been told (they deselect it first).
#pragma once

#include "formstream/Persistent.h"
#include "platform/wingdi.h"

namespace graphics {

class TGraphicsObject : public formstream::TPersistent {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    TGraphicsObject() = default;
    ~TGraphicsObject() override;

    // Told after every change of an attribute (sender: the object).
    formstream::TNotifyEvent OnChange;

    // The drawing-system handle for the current attributes (made on demand).
    HGDIOBJ GdiHandle();
    bool HandleAllocated() const { return FHandle != nullptr; }

protected:
    // Marks the handle stale and tells the change event.
    virtual void Changed();
    // Makes a handle for the current attributes.
    virtual HGDIOBJ CreateGdiHandle() = 0;

private:
    void DeleteHandle();
    HGDIOBJ FHandle = nullptr;
    bool FStale = true;
};

} // namespace graphics
