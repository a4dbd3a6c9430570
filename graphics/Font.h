// TFont: the text attributes of a canvas. Published for form streams: Charset, Color,
// Height, Name, Pitch, Size (not stored: it follows Height) and Style. Size is in points
// and Height in pixels (negative: character height without internal leading), linked
// through PixelsPerInch (96): Height = -MulDiv(Size, PixelsPerInch, 72).
#pragma once

#include <string>

#include "graphics/GraphicsObject.h"
#include "graphics/GraphicsTypes.h"

namespace graphics {

class TFont : public TGraphicsObject {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    static const formstream::TPropInfo Published[];

    static constexpr int DefaultPixelsPerInch = 96;

    TFont();

    void Assign(formstream::TPersistent* source) override;

    HFONT Handle() { return reinterpret_cast<HFONT>(GdiHandle()); }

    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    const std::string& Name() const { return FName; }
    void SetName(std::string value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value);
    int Size() const;
    void SetSize(int value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);

    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value) { FPixelsPerInch = value > 0 ? value : DefaultPixelsPerInch; }

    // The logical font these attributes describe.
    LOGFONTA LogFont() const;

protected:
    HGDIOBJ CreateGdiHandle() override;

private:
    TFontCharset FCharset = TFontCharset(DEFAULT_CHARSET);
    TColor FColor = formstream::clWindowText;
    int FHeight = -11;
    std::string FName = "MS Sans Serif";
    TFontPitch FPitch = fpDefault;
    TFontStyles FStyle;
    int FPixelsPerInch = DefaultPixelsPerInch;
};

} // namespace graphics
