// TPen: the line attributes of a canvas. Published: Color (default clBlack), Mode
// (default pmCopy), Style (default psSolid), Width (default 1).
#pragma once

#include "graphics/GraphicsObject.h"
#include "graphics/GraphicsTypes.h"

namespace graphics {

class TPen : public TGraphicsObject {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    static const formstream::TPropInfo Published[];

    TPen() = default;

    void Assign(formstream::TPersistent* source) override;

    HPEN Handle() { return reinterpret_cast<HPEN>(GdiHandle()); }

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    // The mode is no part of the handle: the canvas applies it with SetROP2.
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    int Width() const { return FWidth; }
    void SetWidth(int value);

protected:
    HGDIOBJ CreateGdiHandle() override;

private:
    TColor FColor = formstream::clBlack;
    TPenMode FMode = pmCopy;
    TPenStyle FStyle = psSolid;
    int FWidth = 1;
};

} // namespace graphics
