// The catalogue's main window. Its controls and their look come from the form resource
// TFORM1; this class adds the screen flow (start screen, a language's introduction, its
// category screen, the category clips), the clip watch on the timer and the layout on
// resize.
//
// Screens: the start screen shows the start picture with the two language hot-spots;
// choosing a language plays its introduction in the clip frame; when the player's
// position equals the clip's end position the category screen of that language comes
// up, whose hot-spots play further clips in the same frame. "Back" leaves a clip for the
// category screen and the category screen for the start screen; it never stops a clip.
#pragma once

#include <array>

#include "rtl/SysUtils.h"
#include "ui/Forms.h"

namespace ui {
class TImage;
class TPanel;
class TSpeedButton;
class TTimer;
class TSaveDialog;
} // namespace ui
namespace media {
class TMediaPlayer;
}

namespace app {

using formstream::TObject;

class TForm1 : public ui::TForm {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    explicit TForm1(formstream::TComponent* owner);
    ~TForm1() override;

    // The class as tools that read the form resource themselves see it (formdump): the
    // same name and published tables, but an instance is only the bare form, without the
    // resource and the start screen, so that the reader fills it.
    static const formstream::TClassInfo& ReadingClass();

    // Published component fields, bound by name when the form resource is read.
    media::TMediaPlayer* MediaPlayer1 = nullptr;
    ui::TPanel* ShowPanel = nullptr;
    ui::TTimer* Timer1 = nullptr;
    ui::TImage* MainImage = nullptr;
    ui::TImage* SelectImage = nullptr;
    ui::TImage* womanImage = nullptr;
    ui::TImage* manImage = nullptr;
    ui::TImage* childbabyImage = nullptr;
    ui::TImage* title = nullptr;
    ui::TSaveDialog* Save = nullptr;
    ui::TImage* childbabyImage1 = nullptr;
    ui::TImage* control = nullptr;
    ui::TImage* start = nullptr;
    ui::TImage* b_korean = nullptr;
    ui::TImage* b_english = nullptr;
    ui::TSpeedButton* back = nullptr;
    ui::TSpeedButton* close = nullptr;
    ui::TImage* SelectImage_eng = nullptr;
    ui::TImage* title_eng = nullptr;
    ui::TImage* manImage_eng = nullptr;
    ui::TImage* womanImage_eng = nullptr;
    ui::TImage* childbabyImage_eng = nullptr;
    ui::TImage* childbabyImage1_eng = nullptr;

    // Published event handlers; each takes the sending component and ignores it.
    void Timer1Timer(TObject* sender);
    void womanImageClick(TObject* sender);
    void manImageClick(TObject* sender);
    void childbabyImageClick(TObject* sender);
    void backClick(TObject* sender);
    void titleClick(TObject* sender);
    void FormResize(TObject* sender);
    void closeClick(TObject* sender);
    void b_koreanClick(TObject* sender);
    void b_englishClick(TObject* sender);

    // The shell's state, for tools that show it.
    int ClipState() const { return FClipState; }
    bool Korean() const { return FKorean; }
    const rtl::String& ExeDir() const { return FExeDir; }

protected:
    // F11 switches between full screen (a kiosk) and the window as it was.
    void KeyDown(WORD& key, ui::TShiftState shift) override;

private:
    struct TBareForm {};
    TForm1(formstream::TComponent* owner, TBareForm);

    using TGroup = std::array<ui::TImage*, 6>;
    TGroup CategoryGroup(bool korean) const;
    void SetGroupVisible(const TGroup& group, bool visible);
    void ChooseLanguage(bool korean);
    void PlayCategory(int state);
    void OpenAndPlay(std::string_view clipName);

    int FClipState = 0;
    rtl::String FExeDir;
    bool FKorean = true;
};

// The one main window, set before its constructor runs.
extern TForm1* Form1;

// Registers the classes that the main window's form resource names.
void RegisterMainClasses();

} // namespace app
