// Forms: the chief header of the windowing framework. It declares the application
// object (TApplication), the screen object (TScreen) and the form classes (TCustomForm,
// TForm), and brings in the controls (Controls.h), the picture / panel / timer unit
// (ExtCtrls.h), the speed button (Buttons.h) and the save dialog (Dialogs.h).
//
// Start-up: InitApplication() makes the screen object and then the application object
// (its hidden "TApplication" window, title and icon); a program then calls
// Application->Startup(), MakeForm for its main form, and RunLoop(). RunLoop shows the
// main form and runs the message loop until RequestTerminate's quit message arrives (or
// the main form is closed through its frame). Any exception that leaves a handler of a
// window, the timer or the idle step reaches HandleLoopException and is shown in a box;
// the loop goes on. DoneApplication() (also registered to run at exit by RunLoop)
// destroys the forms and both objects.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Component.h"
#include "rtl/Exceptions.h"
#include "ui/Buttons.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/ExtCtrls.h"

namespace ui {

enum TWindowState : std::uint8_t { wsNormal, wsMinimized, wsMaximized };
inline constexpr std::string_view TWindowStateNames[] = {"wsNormal", "wsMinimized", "wsMaximized"};

enum TFormBorderStyle : std::uint8_t {
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin
};
inline constexpr std::string_view TFormBorderStyleNames[] = {
    "bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};

enum TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
inline constexpr std::string_view TBorderIconNames[] = {"biSystemMenu", "biMinimize", "biMaximize",
                                                        "biHelp"};
using TBorderIcons = formstream::TSet<TBorderIcon>;

enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };

} // namespace ui

namespace formstream {
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TWindowState> = EnumTypeInfo("TWindowState",
                                                                       ui::TWindowStateNames);
template <>
inline constexpr TTypeInfo
    TypeInfoOf<ui::TFormBorderStyle> = EnumTypeInfo("TFormBorderStyle", ui::TFormBorderStyleNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TBorderIcon> = EnumTypeInfo("TBorderIcon",
                                                                      ui::TBorderIconNames);
} // namespace formstream

namespace ui {

using TCloseEvent = formstream::TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = formstream::TEvent<TObject*, bool&>;
using TExceptionEvent = formstream::TEvent<TObject*, const rtl::Exception&>;
using TIdleEvent = formstream::TEvent<TObject*, bool&>;
using TMessageEvent = formstream::TEvent<MSG&, bool&>;

class TApplication;
class TScreen;

// The application object and the screen object, made by InitApplication.
extern TApplication* Application;
extern TScreen* Screen;

// Makes the screen and application objects when they do not exist yet.
void InitApplication();
// The end of the program: runs the application object's end step (hides its pop-ups,
// destroys the forms), then destroys both objects. Safe to call more than once.
void DoneApplication();
// Hands the exception being handled (call it inside a catch block) to the application
// object's HandleLoopException; without an application object its message goes to the
// error output.
void HandleException(TObject* sender);
// The program's title made from an executable's path: the name after the last path
// separator, cut at its first dot, every character after the first in lower case.
std::string TitleFromExeName(std::string_view path);
// A message as the exception box shows it: a full stop is added when the last
// character (a double-byte character counts as one) sorts after ".".
std::string ErrorMessageText(std::string_view message);
// Registers the stream classes of the framework (forms, controls, timer, dialog) and
// the identifier maps they use. Safe to call any number of times.
void RegisterFormsUnit();

class TCustomForm : public TWinControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    void BeforeDestruction() override;

    // Runs OnCreate and shows a form whose stream made it visible (MakeForm calls it
    // once the constructor is done).
    virtual void AfterConstruction();

    void Show();
    void Hide();
    // Asks the form to close (OnCloseQuery, OnClose): the main form ends the program,
    // others hide (or whatever OnClose chose).
    void Close();
    virtual bool CloseQuery();
    // Destroys the form once the messages now queued are handled.
    void Release();

    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState value);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    // Full screen, as for a kiosk: the client area covers the whole monitor and the
    // frame lies outside it, so the layout sees the size a maximised window with that
    // client area would have. The window state is kept meanwhile and comes back, with
    // the bounds the window had, when full screen ends. Set before the form is shown, it
    // is shown full screen.
    bool FullScreen() const { return FFullScreen; }
    void SetFullScreen(bool value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons value);
    bool OldCreateOrder() const { return FOldCreateOrder; }
    void SetOldCreateOrder(bool value) { FOldCreateOrder = value; }
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value);
    // The height of "0" in the form's font when the stream was made (0: not stored), and
    // as the running system measures it.
    int TextHeight() const { return FTextHeight; }
    int MeasureTextHeight();
    bool Scaled() const { return FScaled; }
    void SetScaled(bool value) { FScaled = value; }
    TControlCanvas* Canvas() const { return FCanvas.get(); }
    bool Active() const { return FActive; }

    rtl::TRect ClientRect() const override;
    bool Showing() const override;
    void WndProc(TMessage& message) override;
    void ReadStoredState(formstream::TReader& reader) override;
    void DefineProperties(formstream::TFiler& filer) override;
    void SetClientSize(int width, int height) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    // Reads the form resources of this form's class chain below TForm (through
    // InitInheritedComponent); EResNotFound "Resource %s not found" when there is none.
    // Derived form classes call it first in their constructor.
    void ReadFormResource();

    void CreateParams(TCreateParams& params) override;
    void PaintWindow(HDC dc) override;
    void UpdateShowing() override;
    void UpdateBounds() override;
    void VisibleChanged() override;
    virtual void DoClose(TCloseAction& action);
    virtual void DoShow() { OnShow(this); }
    virtual void DoHide() { OnHide(this); }

private:
    friend class TApplication;
    void ApplyWindowState();
    void EnterFullScreen();
    void LeaveFullScreen();
    int GetClientWidthProp() const { return ClientWidth(); }
    void SetClientWidthProp(int value);
    int GetClientHeightProp() const { return ClientHeight(); }
    void SetClientHeightProp(int value);
    void ReadTextHeight(formstream::TReader& reader);
    void WriteTextHeight(formstream::TWriter& writer);
    void ReadIgnoreFontProperty(formstream::TReader& reader);
    void WriteIgnoreFontProperty(formstream::TWriter& writer);
    void ReadPixelsPerInch(formstream::TReader& reader);
    void WritePixelsPerInch(formstream::TWriter& writer);

    TWindowState FWindowState = wsNormal;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    bool FOldCreateOrder = false;
    int FPixelsPerInch = 96;
    int FTextHeight = 0;
    int FStoredClientWidth = 0;
    int FStoredClientHeight = 0;
    bool FScaled = true;
    bool FActive = false;
    bool FCreated = false;
    bool FShowingWindow = false;
    bool FFullScreen = false;
    bool FShownFullScreen = false; // the window is placed full screen now
    WINDOWPLACEMENT FPlacementBeforeFullScreen{};
    formstream::TOwned<TControlCanvas> FCanvas;

    static const TPropInfo Published[];
};

class TForm : public TCustomForm {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TCustomForm::TCustomForm;
};

class TScreen : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TScreen(TComponent* owner);
    ~TScreen() override;

    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int index) const { return FForms[std::size_t(index)]; }
    bool HasForm(const TCustomForm* form) const;
    TCustomForm* ActiveForm() const { return FActiveForm; }
    TControl* ActiveControl() const { return FActiveControl; }

    // The platform cursor of a TCursor value (crDefault: the arrow); unknown values give
    // the arrow too.
    HCURSOR Cursors(TCursor cursor) const;
    // A cursor shown over every window of the program while not crDefault.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    int Width() const;
    int Height() const;
    int PixelsPerInch() const { return FPixelsPerInch; }

private:
    friend class TCustomForm;
    friend class TApplication;
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);

    std::vector<TCustomForm*> FForms;
    TCustomForm* FActiveForm = nullptr;
    TControl* FActiveControl = nullptr;
    TCursor FCursor = formstream::crDefault;
    int FPixelsPerInch = 96;
};

class TApplication : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    // Makes the hidden application window unless `createWindow` is false (a library).
    explicit TApplication(TComponent* owner, bool createWindow = true);
    ~TApplication() override;
    void BeforeDestruction() override;

    // Runs the registered start-up hook, if any.
    void Startup();
    using TStartupHook = void (*)();
    static void SetStartupHook(TStartupHook hook);

    // Makes a form of class T owned by the application and stores it in `reference`
    // before its constructor runs (null again when the constructor raises); the first
    // form made this way becomes the main form and gets its window at once.
    template <class T> void MakeForm(T*& reference) {
        void* memory = ::operator new(sizeof(T));
        reference = static_cast<T*>(memory);
        T* instance = nullptr;
        try {
            instance = new (memory) T(this);
        } catch (...) {
            reference = nullptr;
            ::operator delete(memory);
            throw;
        }
        try {
            FormMade(instance);
        } catch (...) {
            // OnCreate or the window failed: the form is not made after all.
            reference = nullptr;
            formstream::Free(instance);
            throw;
        }
    }
    // The same through a class reference (the reference is set once the object exists).
    void MakeForm(TClass formClass, TComponent*& reference);

    // Shows the main form and runs the message loop until terminated.
    void RunLoop();
    // Posts the quit message (exit code 0) when every terminate check agrees.
    void RequestTerminate();
    // One message step: takes a message and handles it, or runs the idle step when none
    // is waiting (and, when `wait` is true and the idle handler agrees, waits for one).
    void HandleMessage(bool wait = true);
    // Handles every message waiting now, without waiting.
    void ProcessMessages();
    std::string ExecutablePath() const;

    // Routes the exception being handled (call inside a catch block).
    void HandleLoopException(TObject* sender);
    void ShowErrorMessage(const rtl::Exception& e);
    int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);

    HWND Handle() const { return FHandle; }
    TCustomForm* MainForm() const { return FMainForm; }
    std::string Title() const;
    void SetTitle(const std::string& value);
    HICON Icon() const { return FIcon; }
    // Replaces the program's icon (on its window and its window class).
    void SetIcon(HICON icon);
    bool Terminated() const { return FTerminated; }
    bool Running() const { return FRunning; }
    bool Active() const { return FActive; }
    bool ShowMainForm() const { return FShowMainForm; }
    void SetShowMainForm(bool value) { FShowMainForm = value; }
    TControl* MouseControl() const { return FMouseControl; }
    void Minimize();
    void Restore();
    // The show-window value RunLoop applies; -1 (the default) takes the process start's.
    void SetStartupShowState(int cmdShow) { FStartupShowState = cmdShow; }

    // Hint state (no hint window is shown in this program).
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    TColor HintColor() const { return FHintColor; }
    int HintPause() const { return FHintPause; }
    int HintShortPause() const { return FHintShortPause; }
    int HintHidePause() const { return FHintHidePause; }
    const std::string& Hint() const { return FHint; }

    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    TMessageEvent OnMessage;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // A control is going away: forget it where the application object remembers it.
    void ControlDestroyed(TControl* control);
    // The end-of-program step: hides the pop-ups of the application window, switches
    // hints off and destroys the owned components (the forms).
    void Shutdown();

private:
    void FormMade(TCustomForm* form);
    bool ProcessMessage(MSG& msg);
    bool IsKeyMsg(MSG& msg);
    void Idle(const MSG& msg, bool wait);
    void CreateAppWindow();
    void WndProc(TMessage& message);
    static LRESULT AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void ShowRuntimeError(const char* className, const std::string& message, const void* address);

    HWND FHandle = nullptr;
    std::string FTitle;
    HICON FIcon = nullptr;
    TCustomForm* FMainForm = nullptr;
    TControl* FMouseControl = nullptr;
    bool FShowMainForm = true;
    bool FTerminated = false;
    bool FRunning = false;
    bool FActive = true;
    bool FShowHint = false;
    TColor FHintColor = formstream::clInfoBk;
    int FHintPause = 500;
    int FHintShortPause = 0;
    int FHintHidePause = 2500;
    std::string FHint;
    int FStartupShowState = -1;
    std::vector<HWND> FTaskDisabled; // windows disabled while the application window is
};

} // namespace ui
