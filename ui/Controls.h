// Controls: the visual components of a form.
//
// TControl has bounds in its parent's client area, Visible / Enabled, a cursor, a font
// and a colour that it may take from its parent, and mouse and click events.
// TWinControl owns a window of the platform (made on demand, with its windowed children)
// and hands every message of that window to its control; it paints its graphic children
// itself and routes mouse messages to the topmost graphic child under the pointer.
// TGraphicControl has no window: it paints on its parent's window through a canvas whose
// origin and clip are moved to its bounds. TCustomControl is a windowed control with a
// canvas of its own, painted in Paint.
//
// Click rules: a left press on a control with csClickEvents captures the mouse (for a
// graphic control, its parent's window holds the capture on its behalf) and marks it
// clicked; the release runs Click when the pointer is still inside the control.
// Exceptions that leave a handler reached through a window go to the application
// object's HandleLoopException; nothing crosses the platform's window procedures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Component.h"
#include "formstream/IdentTypes.h"
#include "graphics/Canvas.h"
#include "graphics/Font.h"
#include "platform/win32.h"
#include "rtl/Types.h"

namespace ui {

using formstream::TClass;
using formstream::TClassInfo;
using formstream::TColor;
using formstream::TComponent;
using formstream::TCursor;
using formstream::TNotifyEvent;
using formstream::TObject;
using formstream::TPropInfo;

enum TControlStyleItem : std::uint8_t {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents,
};
using TControlStyle = formstream::TSet<TControlStyleItem>;

enum TControlStateItem : std::uint8_t {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking,
};
using TControlState = formstream::TSet<TControlStateItem>;

enum THelpType : std::uint8_t { htKeyword, htContext };
inline constexpr std::string_view THelpTypeNames[] = {"htKeyword", "htContext"};

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
inline constexpr std::string_view TMouseButtonNames[] = {"mbLeft", "mbRight", "mbMiddle"};

enum TShiftStateItem : std::uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
inline constexpr std::string_view TShiftStateItemNames[] = {
    "ssShift", "ssAlt", "ssCtrl", "ssLeft", "ssRight", "ssMiddle", "ssDouble"};
using TShiftState = formstream::TSet<TShiftStateItem>;

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
inline constexpr std::string_view TAlignmentNames[] = {"taLeftJustify", "taRightJustify",
                                                       "taCenter"};

// Which bounds (and the font) a form stream set on a control; scaling touches only those.
enum TScalingFlag : std::uint8_t { sfLeft, sfTop, sfWidth, sfHeight, sfFont };
using TScalingFlags = formstream::TSet<TScalingFlag>;

} // namespace ui

namespace formstream {
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::THelpType> = EnumTypeInfo("THelpType",
                                                                    ui::THelpTypeNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TMouseButton> = EnumTypeInfo("TMouseButton",
                                                                       ui::TMouseButtonNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TShiftStateItem> = EnumTypeInfo("TShiftStateItem",
                                                                          ui::TShiftStateItemNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TAlignment> = EnumTypeInfo("TAlignment",
                                                                     ui::TAlignmentNames);
} // namespace formstream

namespace ui {

// (Sender, Button, Shift, X, Y) and (Sender, Shift, X, Y).
using TMouseEvent = formstream::TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = formstream::TEvent<TObject*, TShiftState, int, int>;
// (Sender, Key, Shift): a handler may change the key (0 swallows it); (Sender, Key).
using TKeyEvent = formstream::TEvent<TObject*, WORD&, TShiftState>;
using TKeyPressEvent = formstream::TEvent<TObject*, char&>;

// A message as a window procedure receives it, with room for the answer.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// The framework's own messages, sent between controls (above WM_APP's range of others).
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
inline constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
// Keyboard messages offered to a control before dispatching (0x0100..0x0108 + CN_BASE).
inline constexpr UINT CN_BASE = 0xBC00;

class TWinControl;
class TControl;

// A canvas that draws on a control: on its own window, or for a graphic control on its
// parent's window with the origin at the control's top-left corner and the clip at its
// bounds. Inside Paint the canvas uses the paint's device context.
class TControlCanvas : public graphics::TCanvas {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    TControlCanvas() = default;
    ~TControlCanvas() override;

    TControl* Control() const { return FControl; }
    void SetControl(TControl* control);
    // Releases a device context that CreateHandle took from the window.
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TControl* FControl = nullptr;
    HDC FDeviceContext = nullptr;
    HWND FWindowHandle = nullptr;
};

class TControl : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TControl(TComponent* owner);
    ~TControl() override;
    void BeforeDestruction() override;

    // --- parent and bounds
    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value);
    void SetTop(int value);
    void SetWidth(int value);
    void SetHeight(int value);
    // Moves and sizes the control in one step; Resize follows when the size changed.
    virtual void SetBounds(int left, int top, int width, int height);
    rtl::TRect BoundsRect() const { return rtl::Bounds(FLeft, FTop, FWidth, FHeight); }
    virtual rtl::TRect ClientRect() const { return rtl::Rect(0, 0, FWidth, FHeight); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientWidth(int value);
    void SetClientHeight(int value);
    virtual void SetClientSize(int width, int height);
    rtl::TPoint ClientToScreen(rtl::TPoint p) const;
    rtl::TPoint ScreenToClient(rtl::TPoint p) const;
    // The client origin in screen coordinates.
    virtual rtl::TPoint ClientOrigin() const;

    // --- state
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    // Visible here and in every parent up to a shown window.
    virtual bool Showing() const;
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    const std::string& Caption() const { return FText; }
    void SetCaption(const std::string& value) { SetText(value); }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);
    graphics::TFont* Font() const { return FFont.get(); }
    void SetFont(graphics::TFont* value);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    THelpType HelpType() const { return FHelpType; }
    void SetHelpType(THelpType value) { FHelpType = value; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool value);

    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle value) { FControlStyle = value; }
    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState value) { FControlState = value; }
    // Bounds and font the stream set while this control was read.
    TScalingFlags ScalingFlags() const { return FScalingFlags; }
    void ClearScalingFlags() { FScalingFlags = {}; }

    // --- painting
    virtual void Invalidate();
    virtual void Update();
    void Repaint();
    // The parent's window (or the own window) handle, null when none exists.
    HWND ParentWindowHandle() const;

    // --- messages and hit testing
    // Sends a message straight to this control's WndProc; returns its result.
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void WndProc(TMessage& message);
    // Whether this control takes the mouse at `p` (client coordinates); controls with
    // holes answer no there.
    virtual bool HitTest(int x, int y) { return x >= 0 && y >= 0; }
    // Whether the mouse is captured for this control.
    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    // --- actions of users
    virtual void Click();
    virtual void DblClick();

    // Scales the bounds the stream set (all bounds for a control not being loaded), and
    // the font when the stream set it and the control does not take its parent's.
    virtual void ChangeScale(int m, int d);

    // --- reading
    void ReadStoredState(formstream::TReader& reader) override;
    void AttachToParent(TComponent* parent) override;
    TComponent* ParentForReading() override;
    void SetComponentName(const std::string& newName) override;
    void DefineProperties(formstream::TFiler& filer) override;
    void Loaded() override;

    // The parent's font, colour and hint display were changed or newly taken.
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;

    // --- paint hooks for the parent
    // Paints a graphic control on `dc`, whose origin and clip the parent has set.
    virtual void PaintOn(HDC dc);

protected:
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void Resize();
    virtual void FontChanged();
    virtual void ColorChanged() { Invalidate(); }
    virtual void TextChanged() { Invalidate(); }
    virtual void EnabledChanged() { Invalidate(); }
    virtual void VisibleChanging() {}
    virtual void VisibleChanged();
    // The mouse mode of the control was cancelled (WM_CANCELMODE): stop tracking.
    virtual void CancelMode() {}
    // Tells the control that its own window-less area changed: repaint it.
    void InvalidateControl(bool isVisible, bool isOpaque);
    // Sends WM_CANCELMODE to the window with the capture when another control holds it.
    void SendCancelMode(TControl* sender);

    bool IsLoading() const { return HasState(formstream::stLoading); }
    bool IsReading() const { return HasState(formstream::stReading); }

    friend class TWinControl;
    friend class TApplication;

    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    TCursor FCursor = formstream::crDefault;
    std::string FText;
    formstream::TOwned<graphics::TFont> FFont;
    bool FParentFont = true;
    TColor FColor = formstream::clWindow;
    bool FParentColor = true;
    THelpType FHelpType = htContext;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    bool FIsControl = false;
    TControlStyle FControlStyle;
    TControlState FControlState;
    TScalingFlags FScalingFlags;
    bool FTakingParentFont = false;

private:
    void Detach();
    void FontAttrChanged(TObject* sender);
    void DoMouseDownMsg(TMessage& m, TMouseButton button, bool dbl);
    void DoMouseUpMsg(TMessage& m, TMouseButton button);
    void ReadIsControl(formstream::TReader& reader);
    void WriteIsControl(formstream::TWriter& writer);
    void SetFontProp(graphics::TFont* value) { SetFont(value); }
    bool IsFontStored() const { return !FParentFont; }
    bool IsColorStored() const { return !FParentColor; }
    bool IsShowHintStored() const { return !FParentShowHint; }
    std::string GetCaptionProp() const { return FText; }
    void SetCaptionProp(std::string v) { SetText(v); }
    std::string GetHintProp() const { return FHint; }
    void SetHintProp(std::string v) { FHint = std::move(v); }

    static const TPropInfo Published[];
};

// The parameters a windowed control creates its window with.
struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    std::string WinClassName;
    UINT ClassStyle = CS_DBLCLKS;
    HCURSOR ClassCursor = nullptr;
};

class TWinControl : public TControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    void BeforeDestruction() override;

    // The window, made (with its windowed children) on first use. Raises
    // EOutOfResources "Error creating window class" when its class cannot be registered
    // and EInvalidOperation when the window cannot be made.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window (and its children's); the control stays and makes a new one on
    // demand.
    void DestroyHandle();

    // --- children
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls[std::size_t(index)]; }
    // Graphic children in painting order, then windowed children in creation order.
    const std::vector<TControl*>& GraphicControls() const { return FGraphics; }
    const std::vector<TWinControl*>& WinControls() const { return FWinControls; }
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // The topmost child at (x, y) (client coordinates): windowed children first, the
    // last one first, then graphic children from the last to the first; visible ones
    // only, enabled ones unless `allowDisabled`. Null when none.
    TControl* ControlAtPos(rtl::TPoint p, bool allowDisabled, bool allowWinControls = false);

    rtl::TRect ClientRect() const override;
    rtl::TPoint ClientOrigin() const override;
    void SetBounds(int left, int top, int width, int height) override;
    bool Showing() const override;
    void Invalidate() override;
    void Update() override;
    void WndProc(TMessage& message) override;
    void ChangeScale(int m, int d) override;
    void SetParent(TWinControl* parent) override;
    void SetEnabled(bool value) override;

    // Paints the window's own background and its graphic children on `dc`, clipped to
    // what `dc` lets through (the paint handler's work, also used for copies).
    void PaintControlsTo(HDC dc);

    // Keyboard focus on this control's window.
    void SetFocus();
    bool Focused() const;
    bool CanFocus() const;

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int value) { FTabOrder = value; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }

    // The control of a window made by this framework, or null.
    static TWinControl* FindControl(HWND hwnd);

    // Called by the framework's window procedure for every message of the window.
    void MainWndProc(TMessage& message);

protected:
    // Keys that reach the window (WM_KEYDOWN / WM_SYSKEYDOWN, WM_KEYUP / WM_SYSKEYUP,
    // WM_CHAR); the defaults call the events.
    virtual void KeyDown(WORD& key, TShiftState shift) { OnKeyDown(this, key, shift); }
    virtual void KeyUp(WORD& key, TShiftState shift) { OnKeyUp(this, key, shift); }
    virtual void KeyPress(char& key) { OnKeyPress(this, key); }
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void DestroyWnd();
    // Called after the window was made, before children get theirs.
    virtual void CreateHandleDone() {}
    // Paints the window's own face (background); the default fills the client area with
    // Color.
    virtual void PaintWindow(HDC dc);
    void PaintHandler(TMessage& message);
    void PaintControls(HDC dc, TControl* first);
    // Updates the bounds from the window after the system moved or sized it.
    virtual void UpdateBounds();
    virtual void DefaultHandler(TMessage& message);
    void VisibleChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    // The caption of a windowed control is its window's text (a form's title).
    void TextChanged() override;
    // Shows or hides the window after Visible changed.
    virtual void UpdateShowing();

    HWND FHandle = nullptr;
    WNDPROC FDefWndProc = nullptr;

private:
    static LRESULT StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void DestroyChildren();
    bool IsControlMouseMsg(TMessage& message);
    void WMSetCursor(TMessage& message);
    void CreateChildHandles();

    std::vector<TControl*> FControls; // all children, in insertion order
    std::vector<TControl*> FGraphics;
    std::vector<TWinControl*> FWinControls;
    int FTabOrder = -1;
    bool FTabStop = false;
    bool FCreating = false;

    int GetTabOrderProp() const { return FTabOrder; }
    void SetTabOrderProp(int v) { FTabOrder = v; }

    static const TPropInfo Published[];
};

class TGraphicControl : public TControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;

    TControlCanvas* Canvas() const { return FCanvas.get(); }
    void PaintOn(HDC dc) override;

protected:
    virtual void Paint() {}

private:
    formstream::TOwned<TControlCanvas> FCanvas;
};

class TCustomControl : public TWinControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;

    TControlCanvas* Canvas() const { return FCanvas.get(); }

protected:
    // Draws the whole face of the control on Canvas.
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

private:
    formstream::TOwned<TControlCanvas> FCanvas;
};

// The control of the framework that holds the mouse capture, or null.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// The shift state from the key state of the platform and a mouse message's wParam.
TShiftState KeysToShiftState(WPARAM keys);
// The control (graphic children included) at a screen point; disabled ones when asked.
TControl* FindDragTarget(rtl::TPoint screenPos, bool allowDisabled);

// Registers `wc` unless a class of that name is already registered with the same window
// procedure; a class of that name registered with another procedure is registered anew.
// Throws EOutOfResources when the class cannot be registered. Windowed controls, the
// application's window and the timers' window register their classes through it
// (WindowClass.cpp).
void EnsureWindowClass(const WNDCLASSA& wc);

} // namespace ui
