#include "graphics/Font.h"

#include <algorithm>
#include <cstring>

#include "platform/winbase.h"

namespace graphics {

using namespace formstream;

constinit const TPropInfo TFont::Published[] = {
    Prop<&TFont::Charset, &TFont::SetCharset>("Charset"),
    Prop<&TFont::Color, &TFont::SetColor>("Color"),
    Prop<&TFont::Height, &TFont::SetHeight>("Height"),
    Prop<&TFont::Name, &TFont::SetName>("Name"),
    Prop<&TFont::Pitch, &TFont::SetPitch>("Pitch", Default(fpDefault)),
    Prop<&TFont::Size, &TFont::SetSize>("Size", NotStored),
    Prop<&TFont::Style, &TFont::SetStyle>("Style"),
};
constinit const TClassInfo TFont::ClassInfo =
    ClassInfoOf<TFont, TGraphicsObject>("TFont", TFont::Published);

TFont::TFont() = default;

void TFont::Assign(TPersistent* source) {
    if (auto* font = DynCast<TFont>(source)) {
        FCharset = font->FCharset;
        FColor = font->FColor;
        FHeight = font->FHeight;
        FName = font->FName;
        FPitch = font->FPitch;
        FStyle = font->FStyle;
        FPixelsPerInch = font->FPixelsPerInch;
        Changed();
        return;
    }
    TGraphicsObject::Assign(source);
}

void TFont::SetCharset(TFontCharset value) {
    if (value != FCharset) {
        FCharset = value;
        Changed();
    }
}

void TFont::SetColor(TColor value) {
    if (value != FColor) {
        FColor = value;
        Changed();
    }
}

void TFont::SetHeight(int value) {
    if (value != FHeight) {
        FHeight = value;
        Changed();
    }
}

void TFont::SetName(std::string value) {
    if (!value.empty() && value != FName) {
        FName = std::move(value);
        Changed();
    }
}

void TFont::SetPitch(TFontPitch value) {
    if (value != FPitch) {
        FPitch = value;
        Changed();
    }
}

int TFont::Size() const {
    return -::MulDiv(FHeight, 72, FPixelsPerInch);
}

void TFont::SetSize(int value) {
    SetHeight(-::MulDiv(value, FPixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles value) {
    if (value != FStyle) {
        FStyle = value;
        Changed();
    }
}

LOGFONTA TFont::LogFont() const {
    LOGFONTA lf{};
    lf.lfHeight = FHeight;
    lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = FStyle.Contains(fsItalic);
    lf.lfUnderline = FStyle.Contains(fsUnderline);
    lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
    lf.lfCharSet = BYTE(FCharset);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FPitch == fpFixed      ? FIXED_PITCH
                          : FPitch == fpVariable ? VARIABLE_PITCH
                                                 : DEFAULT_PITCH;
    const std::size_t n = std::min<std::size_t>(FName.size(), LF_FACESIZE - 1);
    std::memcpy(lf.lfFaceName, FName.data(), n);
    lf.lfFaceName[n] = '\0';
    return lf;
}

HGDIOBJ TFont::CreateGdiHandle() {
    const LOGFONTA lf = LogFont();
    return reinterpret_cast<HGDIOBJ>(CreateFontIndirectA(&lf));
}

} // namespace graphics
