// The window of the player tool: a panel showing the video and, under it, the media
// player's bar of nine buttons; the caption shows the file's name and the position.
#pragma once

#include <string>

#include "media/MPlayer.h"
#include "ui/Forms.h"

namespace player {

class TPlayerForm : public ui::TForm {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    // Plays FileToPlay (set it before the application object makes the form).
    explicit TPlayerForm(formstream::TComponent* owner);
    static inline std::string FileToPlay;

    void WndProc(ui::TMessage& message) override;

    ui::TPanel* Display() const { return FDisplay; }
    media::TMediaPlayer* MediaPlayer() const { return FPlayer; }

private:
    // Opens the file once the loop runs, so that a failure is shown by the application
    // object like any other.
    void OpenFile();
    void UpdateCaption();
    void LayOut();
    void PositionTick(formstream::TObject* sender);
    void PlayerNotify(formstream::TObject* sender);
    void FormResized(formstream::TObject* sender);

    std::string FFileName;
    ui::TPanel* FDisplay = nullptr;
    media::TMediaPlayer* FPlayer = nullptr;
    ui::TTimer* FTimer = nullptr;
};

// The message that the form posts to itself to open the file.
inline constexpr UINT WM_PLAYER_OPEN = WM_APP + 1;

} // namespace player
