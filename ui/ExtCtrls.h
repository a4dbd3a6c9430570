// Pictures, panels and the periodic timer.
//
// TImage shows a TPicture: at its natural size from the top-left corner, stretched,
// proportionally scaled and/or centred, clipped to its bounds; without a picture it
// draws nothing but still takes clicks (a hot-spot). TPanel is a windowed control with
// bevels, a border, a filled face and a one-line caption. TTimer calls OnTimer every
// Interval milliseconds through a system timer on a hidden window of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "formstream/Graphic.h"
#include "ui/Controls.h"

namespace ui {

enum TBevelCut : std::uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
inline constexpr std::string_view TBevelCutNames[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
// A panel's border: none or a single line (named bsNone and bsSingle in streams).
enum TPanelBorderStyle : std::uint8_t { pbsNone, pbsSingle };
inline constexpr std::string_view TPanelBorderStyleNames[] = {"bsNone", "bsSingle"};

} // namespace ui

namespace formstream {
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TBevelCut> = EnumTypeInfo("TBevelCut",
                                                                    ui::TBevelCutNames);
template <>
inline constexpr TTypeInfo
    TypeInfoOf<ui::TPanelBorderStyle> = EnumTypeInfo("TBorderStyle", ui::TPanelBorderStyleNames);
} // namespace formstream

namespace ui {

// The rectangle a picture of w x h pixels takes in a client area of cw x ch: stretched
// (proportionally when asked, quotients cut toward zero) or at its own size, from (0, 0)
// or centred (offsets halved toward zero).
rtl::TRect ImageDestRect(int w, int h, int cw, int ch, bool stretch, bool proportional,
                         bool center);

class TImage : public TGraphicControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TImage(TComponent* owner);
    ~TImage() override;

    formstream::TPicture* Picture() const { return FPicture.get(); }
    void SetPicture(formstream::TPicture* value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Proportional() const { return FProportional; }
    void SetProportional(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool IncrementalDisplay() const { return FIncrementalDisplay; }
    void SetIncrementalDisplay(bool value) { FIncrementalDisplay = value; }
    // The rectangle the picture is drawn into, in client coordinates.
    rtl::TRect DestRect() const;

    formstream::TProgressEvent OnProgress;

protected:
    void Paint() override;
    void PictureChanged(TObject* sender);
    void PictureProgress(TObject* sender, formstream::TProgressStage stage,
                         std::uint8_t percentDone, bool redrawNow, const rtl::TRect& r,
                         const std::string& msg);

private:
    bool DoPaletteChange();

    formstream::TOwned<formstream::TPicture> FPicture;
    bool FAutoSize = false;
    bool FCenter = false;
    bool FStretch = false;
    bool FProportional = false;
    bool FTransparent = false;
    bool FIncrementalDisplay = false;
    bool FDrawing = false;

    static const TPropInfo Published[];
};

class TCustomPanel : public TCustomControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TCustomPanel(TComponent* owner);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    TPanelBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TPanelBorderStyle value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool FullRepaint() const { return FFullRepaint; }
    void SetFullRepaint(bool value) { FFullRepaint = value; }

protected:
    void Paint() override;
    void CreateParams(TCreateParams& params) override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TPanelBorderStyle FBorderStyle = pbsNone;
    TAlignment FAlignment = taCenter;
    bool FFullRepaint = true;

    static const TPropInfo Published[];
};

class TPanel : public TCustomPanel {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TCustomPanel::TCustomPanel;
};

class TTimer : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    // Makes the hidden "TPUtilWindow" window; no system timer runs until OnTimer is set.
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    void BeforeDestruction() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return FInterval; }
    void SetInterval(std::uint32_t value);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    // Stores the handler and restarts the timer, always.
    void SetOnTimer(TNotifyEvent value);
    HWND WindowHandle() const { return FWindowHandle; }

protected:
    // One tick: runs OnTimer with the timer as sender.
    virtual void Timer();

private:
    void UpdateTimer();
    void ReleaseWindow();
    static LRESULT TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    TNotifyEvent GetOnTimerProp() const { return FOnTimer; }

    bool FEnabled = true;
    std::uint32_t FInterval = 1000;
    TNotifyEvent FOnTimer;
    HWND FWindowHandle = nullptr;

    static const TPropInfo Published[];
};

} // namespace ui
