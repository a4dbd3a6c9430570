// TMediaPlayer: one device of the media control interface, opened on a file (or a device
// type), played into a window of the program, queried for its status and closed; and the
// bar of nine buttons that runs these operations.
//
// Commands wait for completion unless they start playback: Open, Close, Stop,
// PauseDevice, Next, Previous, Step, Back and Eject wait and ask for no notification;
// Play, Record and Resume return at once and a completion notification (MM_MCINOTIFY)
// follows at the player's own window, which turns it into OnNotify. SetNotify and SetWait
// override that for the next such command only (SetFrom and SetTo give the next Play or
// Record its range).
//
// Only a failed Open and an operation that needs an open device while none is open raise
// (EMCIDeviceError); every other command's result is kept as Error. Position and Mode
// never raise: without an answer from the device they give 0.
//
// The bar: with AutoEnable the buttons follow the device's state (nothing usable while
// closed); otherwise EnabledButtons decides. OnClick runs before a button's operation and
// may skip it, OnPostClick after it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "formstream/Object.h"
#include "graphics/Bitmap.h"
#include "media/ButtonLayout.h"
#include "media/MPlayerTypes.h"
#include "platform/win32.h"
#include "ui/Controls.h"

namespace media {

class TMediaPlayer : public ui::TCustomControl {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    explicit TMediaPlayer(formstream::TComponent* owner);
    ~TMediaPlayer() override;

    // --- device control
    // Closes an open device, then opens DeviceType (or the device that suits FileName);
    // raises EMCIDeviceError with the device's error text when that fails.
    void Open();
    // Closes the device; nothing when none is open.
    void Close();
    void Play();
    void Record();
    void Stop();
    // Pauses while playing, resumes while paused, otherwise does nothing.
    void Pause();
    void PauseDevice();
    // Resumes playback; when the device refuses, plays instead.
    void Resume();
    void Next();
    void Previous();
    void Step();
    void Back();
    void Eject();
    void Rewind();

    std::int32_t Length();
    std::int32_t Position();
    std::int32_t TrackCount();
    TMPModes Mode();
    std::uint32_t TimeFormat();
    void SetTimeFormat(std::uint32_t format);
    std::int32_t TrackStart(std::int32_t track);

    // One-shot options for the next command that takes them.
    void SetNotify(bool value);
    void SetWait(bool value);
    void SetFrom(std::int32_t value);
    void SetTo(std::int32_t value);

    // The result of the most recent command that keeps it; 0 is success.
    std::uint32_t Error() const { return FError; }
    // The device's text for Error (or "Unknown error code").
    std::string ErrorText() const;
    MCIDEVICEID DeviceID() const { return FDeviceID; }
    bool IsOpen() const { return FOpen; }
    TMPNotifyValues NotifyValue() const { return FNotifyValue; }
    std::int32_t StepSize() const { return FStepSize; }
    // Width (X) and height (Y) of the picture as the device reported it at open.
    rtl::TPoint DisplaySize() const { return FDisplaySize; }
    bool CanPlay() const { return FCanPlay; }
    bool CanRecord() const { return FCanRecord; }
    bool CanEject() const { return FCanEject; }
    bool CanStep() const { return FCanStep; }
    bool HasVideo() const { return FHasVideo; }

    // --- published device properties
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& value) { FFileName = value; }
    TMPDeviceTypes DeviceType() const { return FDeviceType; }
    void SetDeviceType(TMPDeviceTypes value) { FDeviceType = value; }
    ui::TWinControl* Display() const { return FDisplay; }
    // Binds the video to the control's window when a device with video is open (on failure
    // Display becomes none); otherwise the binding waits for the next Open.
    void SetDisplay(ui::TWinControl* value);
    bool AutoOpen() const { return FAutoOpen; }
    void SetAutoOpen(bool value) { FAutoOpen = value; }
    bool AutoRewind() const { return FAutoRewind; }
    void SetAutoRewind(bool value) { FAutoRewind = value; }
    bool Shareable() const { return FShareable; }
    void SetShareable(bool value) { FShareable = value; }
    formstream::TNotifyEvent OnNotify;

    // --- the button bar
    TButtonSet VisibleButtons() const { return FVisibleButtons; }
    void SetVisibleButtons(TButtonSet value);
    TButtonSet EnabledButtons() const { return FEnabledButtons; }
    void SetEnabledButtons(TButtonSet value);
    TButtonSet ColoredButtons() const { return FColoredButtons; }
    void SetColoredButtons(TButtonSet value);
    bool AutoEnable() const { return FAutoEnable; }
    void SetAutoEnable(bool value);
    // The buttons that the device's state allows (used when AutoEnable is set).
    TButtonSet AutoButtons() const { return FAutoButtons; }
    // Whether a click on the button runs it (the flag that AutoEnable selects).
    bool ButtonUsable(TMPBtnType button) const;
    TMPBtnType FocusedButton() const { return FFocusedButton; }
    TMPBtnType CurrentButton() const { return FCurrentButton; }
    int ButtonWidth() const { return FButtonWidth; }
    int MinButtonWidth() const { return FMinButtonWidth; }
    int MinHeight() const { return FMinHeight; }
    // The glyph of a button: 0 normal, 1 disabled, 2 coloured (empty when not found).
    graphics::TBitmap* Glyph(TMPBtnType button, int kind) const {
        return FGlyphs[button][kind].get();
    }
    EMPNotify OnClick;
    EMPPostNotify OnPostClick;

    // Runs a button as a click would: OnClick, the operation unless refused, OnPostClick.
    void Click(TMPBtnType button);

    void Loaded() override;
    void Notification(formstream::TComponent* component, formstream::TOperation operation) override;
    // The update phase: while it lasts, VisibleButtons and resizing leave the bar's width
    // alone; at its end the bar takes the width of its buttons.
    void Updating();
    void Updated();

    void WndProc(ui::TMessage& message) override;

protected:
    void Paint() override;

private:
    // Device helpers.
    void CheckIfOpen() const;
    DWORD WaitRuleFlags();
    DWORD NotifyRuleFlags(bool consume = true);
    DWORD_PTR CallbackHandle();
    void SendGeneric(UINT command, DWORD flags);
    DWORD StatusItem(DWORD item, bool keepError, bool* ok = nullptr);
    void QueryCapabilities();
    void BindWindow(HWND window);
    void SeekTo(DWORD flags, DWORD target, bool toPosition);
    // A move to the start of a track: a playing device plays on from `target`, another
    // seeks there.
    void GoToTrackStart(DWORD flags, std::int32_t target);
    void SetAutoButtons(TButtonSet buttons);
    void AdjustAutoButtons(TMPBtnType button);
    void MMNotify(WPARAM outcome);

    // Bar helpers.
    TButtonFlags VisibleFlags() const { return FVisible; }
    void LoadGlyphs();
    void SizeToButtons();
    void DrawButton(TMPBtnType button, int left);
    void DrawButtonNow(TMPBtnType button);
    graphics::TBitmap* GlyphFor(TMPBtnType button) const;
    void BarMouseDown(int x);
    void BarMouseMove(int x, int y);
    void BarMouseUp();
    void BarKeyDown(WORD key);
    void ResizeToFit();
    bool HasFocus() const;

    // Published properties.
    std::string FFileName;
    TMPDeviceTypes FDeviceType = dtAutoSelect;
    ui::TWinControl* FDisplay = nullptr;
    bool FAutoOpen = false;
    bool FAutoRewind = true;
    bool FShareable = false;

    // Device state.
    bool FOpen = false;
    MCIDEVICEID FDeviceID = 0;
    std::uint32_t FError = 0;
    bool FCanPlay = false;
    bool FCanRecord = false;
    bool FCanEject = false;
    bool FHasVideo = false;
    bool FCanStep = false;
    std::int32_t FStepSize = 0;
    bool FNotify = false, FNotifyPending = false;
    bool FWait = false, FWaitPending = false;
    std::int32_t FFrom = 0, FTo = 0;
    bool FFromPending = false, FToPending = false;
    TMPNotifyValues FNotifyValue = nvSuccessful;
    rtl::TPoint FDisplaySize;
    TButtonSet FAutoButtons;

    // Bar state.
    TButtonFlags FVisible{};
    TButtonFlags FEnabled{};
    TButtonFlags FColored{};
    TButtonFlags FAutoEnabled{};
    std::array<std::array<formstream::TOwned<graphics::TBitmap>, 3>, MPButtonCount> FGlyphs;
    TButtonSet FVisibleButtons = AllButtons;
    TButtonSet FEnabledButtons = AllButtons;
    TButtonSet FColoredButtons = AllButtons;
    bool FAutoEnable = true;
    int FButtonWidth = 0;
    int FMinButtonWidth = 0;
    int FMinHeight = 0;
    TMPBtnType FFocusedButton = btPlay;
    TMPBtnType FCurrentButton = btPlay;
    rtl::TRect FCurrentRect;
    bool FPressed = false;
    bool FDown = false;

    static const formstream::TPropInfo Published[];
};

// Registers TMediaPlayer as a stream class and the identifier maps of the player's
// enumerations. Safe to call any number of times.
void RegisterMediaUnit();

// The module whose bitmap resources give the bar's glyphs before the program's own (each
// glyph it lacks comes from the program); null for the program's alone.
void SetGlyphModule(HMODULE module);

} // namespace media
