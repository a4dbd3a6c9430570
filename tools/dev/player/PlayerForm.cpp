#include "tools/dev/player/PlayerForm.h"

#include <algorithm>

#include "rtl/SysUtils.h"

namespace player {

constinit const formstream::TClassInfo TPlayerForm::ClassInfo =
    formstream::ClassInfoOf<TPlayerForm, ui::TForm>("TPlayerForm");

namespace {

// The name after the last path separator.
std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr int BarHeight = 30;
constexpr int InitialWidth = 480;
constexpr int InitialHeight = 360;

} // namespace

TPlayerForm::TPlayerForm(formstream::TComponent* owner) : ui::TForm(owner), FFileName(FileToPlay) {
    SetName("PlayerForm");
    SetClientSize(InitialWidth, InitialHeight + BarHeight);
    SetColor(formstream::clBlack);

    FDisplay = new ui::TPanel(this);
    FDisplay->SetName("Display");
    FDisplay->SetParent(this);
    FDisplay->SetBevelOuter(ui::bvNone);
    FDisplay->SetColor(formstream::clBlack);

    FPlayer = new media::TMediaPlayer(this);
    FPlayer->SetName("MediaPlayer");
    FPlayer->SetParent(this);
    FPlayer->SetDisplay(FDisplay);
    FPlayer->SetFileName(FFileName);
    FPlayer->OnNotify = formstream::TNotifyEvent::Of<&TPlayerForm::PlayerNotify>(this);

    FTimer = new ui::TTimer(this);
    FTimer->SetInterval(200);
    FTimer->SetOnTimer(formstream::TNotifyEvent::Of<&TPlayerForm::PositionTick>(this));

    OnResize = formstream::TNotifyEvent::Of<&TPlayerForm::FormResized>(this);
    LayOut();
    UpdateCaption();
    PostMessageA(Handle(), WM_PLAYER_OPEN, 0, 0);
}

void TPlayerForm::WndProc(ui::TMessage& message) {
    if (message.Msg == WM_PLAYER_OPEN) {
        OpenFile();
        message.Result = 0;
        return;
    }
    ui::TForm::WndProc(message);
}

void TPlayerForm::OpenFile() {
    FPlayer->Open();
    const rtl::TPoint size = FPlayer->DisplaySize();
    if (size.X > 0 && size.Y > 0)
        SetClientSize(std::max<int>(size.X, FPlayer->Width()), size.Y + FPlayer->Height());
    LayOut();
    UpdateCaption();
    if (FPlayer->HandleAllocated())
        ::SetFocus(FPlayer->Handle());
}

// The video fills the client area above the bar; the bar keeps its own width.
void TPlayerForm::LayOut() {
    const int barHeight = FPlayer->Height();
    const int videoHeight = std::max(0, ClientHeight() - barHeight);
    FDisplay->SetBounds(0, 0, ClientWidth(), videoHeight);
    FPlayer->SetBounds(0, videoHeight, FPlayer->Width(), barHeight);
}

void TPlayerForm::UpdateCaption() {
    std::string caption = BaseName(FFileName);
    if (FPlayer->IsOpen())
        caption += rtl::Format(" - %d / %d", FPlayer->Position(), FPlayer->Length());
    if (caption == Caption())
        return;
    SetCaption(caption);
}

void TPlayerForm::PositionTick(formstream::TObject*) {
    UpdateCaption();
}

void TPlayerForm::PlayerNotify(formstream::TObject*) {
    UpdateCaption();
}

void TPlayerForm::FormResized(formstream::TObject*) {
    LayOut();
}

} // namespace player
