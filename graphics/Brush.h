// TBrush: the fill attributes of a canvas. Published: Color (default clWhite) and Style
// (default bsSolid). A brush with a Bitmap fills with that bitmap as a pattern (the brush
// keeps its own copy of the bitmap; the members that handle it are in BrushPattern.cpp).
#pragma once

#include <memory>

#include "graphics/GraphicsObject.h"
#include "graphics/GraphicsTypes.h"

namespace graphics {

class TBitmap;

class TBrush : public TGraphicsObject {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    static const formstream::TPropInfo Published[];

    TBrush();
    ~TBrush() override;

    void Assign(formstream::TPersistent* source) override;

    HBRUSH Handle() { return reinterpret_cast<HBRUSH>(GdiHandle()); }

    TColor Color() const { return FColor; }
    // Setting a colour while the style is bsClear makes the brush solid.
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    TBitmap* Bitmap() const { return FBitmap.get(); }
    // Stores a copy of `value` (null: no pattern).
    void SetBitmap(TBitmap* value);

protected:
    // A pattern brush when the bitmap has pixels, else one of the colour and style.
    HGDIOBJ CreateGdiHandle() override;

private:
    HGDIOBJ CreateStyleHandle() const;

    TColor FColor = formstream::clWhite;
    TBrushStyle FStyle = bsSolid;
    formstream::TOwned<TBitmap> FBitmap;
};

} // namespace graphics
