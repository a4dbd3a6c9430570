// TSpeedButton: a window-less push button with a caption and an optional glyph. It
// tracks a left press itself: the face shows pushed while the pointer is inside (the row
// just below the button counts as inside), and a release inside runs OnClick after
// OnMouseUp. A disabled button draws its caption engraved. With GroupIndex above 0 it
// latches: a click toggles Down, and the buttons of one group raise each other unless
// AllowAllUp lets all stay up.
#pragma once

#include <cstdint>
#include <string_view>

#include "graphics/Bitmap.h"
#include "ui/Controls.h"

namespace ui {

enum TButtonLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
inline constexpr std::string_view TButtonLayoutNames[] = {"blGlyphLeft", "blGlyphRight",
                                                          "blGlyphTop", "blGlyphBottom"};

enum TButtonState : std::uint8_t { bsUp, bsDisabled, bsDown, bsExclusive };

} // namespace ui

namespace formstream {
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TButtonLayout> = EnumTypeInfo("TButtonLayout",
                                                                        ui::TButtonLayoutNames);
} // namespace formstream

namespace ui {

class TSpeedButton : public TGraphicControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;

    TButtonState State() const { return FState; }
    bool Down() const { return FDown; }
    void SetDown(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    graphics::TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(graphics::TBitmap* value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool MouseInControl() const { return FMouseInControl; }
    // Where the caption is drawn for the current state (client coordinates).
    rtl::TRect CaptionRect();

    void Click() override;
    void Loaded() override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void CancelMode() override;
    void EnabledChanged() override;

private:
    bool IsInside(int x, int y) const;
    void UpdateExclusive();
    void ButtonPressed(int groupIndex, TSpeedButton* sender);
    void GlyphChanged(TObject* sender);
    void LayoutContent(const rtl::TRect& client, rtl::TPoint offset, rtl::TRect& glyphRect,
                       rtl::TRect& textRect);
    void DrawGlyph(const rtl::TRect& rect);

    TButtonState FState = bsUp;
    bool FDown = false;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FFlat = false;
    bool FDragging = false;
    bool FMouseInControl = false;
    formstream::TOwned<graphics::TBitmap> FGlyph;
    int FNumGlyphs = 1;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
    bool FTransparent = true;

    static const TPropInfo Published[];
};

} // namespace ui
