#include "app/Main.h"

#include "app/Clips.h"
#include "app/ExeDir.h"
#include "app/Layout.h"
#include "app/Volume.h"
#include "formstream/ClassRegistry.h"
#include "media/MPlayer.h"
#include "ui/Buttons.h"
#include "ui/Dialogs.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"

namespace app {

TForm1* Form1 = nullptr;

namespace {

using formstream::Field;
using formstream::Method;

constinit const formstream::TMethodEntry Methods[] = {
    Method<&TForm1::Timer1Timer>("Timer1Timer"),
    Method<&TForm1::womanImageClick>("womanImageClick"),
    Method<&TForm1::manImageClick>("manImageClick"),
    Method<&TForm1::childbabyImageClick>("childbabyImageClick"),
    Method<&TForm1::backClick>("backClick"),
    Method<&TForm1::titleClick>("titleClick"),
    Method<&TForm1::FormResize>("FormResize"),
    Method<&TForm1::closeClick>("closeClick"),
    Method<&TForm1::b_koreanClick>("b_koreanClick"),
    Method<&TForm1::b_englishClick>("b_englishClick"),
};

constinit const formstream::TFieldEntry Fields[] = {
    Field<&TForm1::MediaPlayer1>("MediaPlayer1"),
    Field<&TForm1::ShowPanel>("ShowPanel"),
    Field<&TForm1::Timer1>("Timer1"),
    Field<&TForm1::MainImage>("MainImage"),
    Field<&TForm1::SelectImage>("SelectImage"),
    Field<&TForm1::womanImage>("womanImage"),
    Field<&TForm1::manImage>("manImage"),
    Field<&TForm1::childbabyImage>("childbabyImage"),
    Field<&TForm1::title>("title"),
    Field<&TForm1::Save>("Save"),
    Field<&TForm1::childbabyImage1>("childbabyImage1"),
    Field<&TForm1::control>("control"),
    Field<&TForm1::start>("start"),
    Field<&TForm1::b_korean>("b_korean"),
    Field<&TForm1::b_english>("b_english"),
    Field<&TForm1::back>("back"),
    Field<&TForm1::close>("close"),
    Field<&TForm1::SelectImage_eng>("SelectImage_eng"),
    Field<&TForm1::title_eng>("title_eng"),
    Field<&TForm1::manImage_eng>("manImage_eng"),
    Field<&TForm1::womanImage_eng>("womanImage_eng"),
    Field<&TForm1::childbabyImage_eng>("childbabyImage_eng"),
    Field<&TForm1::childbabyImage1_eng>("childbabyImage1_eng"),
};

} // namespace

constinit const formstream::TClassInfo TForm1::ClassInfo =
    formstream::ClassInfoOf<TForm1, ui::TForm>("TForm1", {}, Methods, Fields);

TForm1::TForm1(formstream::TComponent* owner) : ui::TForm(owner) {
    // The inherited part: the window and its components from the form resource.
    ReadFormResource();

    FExeDir.clear();
    FClipState = csNone;
    FKorean = true;

    start->Show();
    b_korean->Show();
    b_english->Show();
    back->SetEnabled(false);
    MainImage->Show();
    for (ui::TControl* c :
         {static_cast<ui::TControl*>(SelectImage), static_cast<ui::TControl*>(title),
          static_cast<ui::TControl*>(womanImage), static_cast<ui::TControl*>(manImage),
          static_cast<ui::TControl*>(childbabyImage), static_cast<ui::TControl*>(childbabyImage1),
          static_cast<ui::TControl*>(SelectImage_eng), static_cast<ui::TControl*>(title_eng),
          static_cast<ui::TControl*>(womanImage_eng), static_cast<ui::TControl*>(manImage_eng),
          static_cast<ui::TControl*>(childbabyImage_eng),
          static_cast<ui::TControl*>(childbabyImage1_eng), static_cast<ui::TControl*>(ShowPanel),
          static_cast<ui::TControl*>(MediaPlayer1)})
        c->Hide();

    // A volume named on the command line has its clips in its own folder.
    const TVolume* volume = CurrentVolume();
    FExeDir = volume ? rtl::String(volume->ClipFolder())
                     : ExtractExeDir(ui::Application->ExecutablePath());
}

TForm1::TForm1(formstream::TComponent* owner, TBareForm) : ui::TForm(owner) {}

const formstream::TClassInfo& TForm1::ReadingClass() {
    static const formstream::TClassInfo info = [] {
        formstream::TClassInfo bare = ClassInfo;
        bare.Construct = +[](formstream::TComponent* owner) -> formstream::TObject* {
            return new TForm1(owner, TBareForm{});
        };
        return bare;
    }();
    return info;
}

TForm1::~TForm1() {
    FExeDir.clear();
    if (Form1 == this)
        Form1 = nullptr;
}

TForm1::TGroup TForm1::CategoryGroup(bool korean) const {
    if (korean)
        return {SelectImage, title, womanImage, manImage, childbabyImage, childbabyImage1};
    return {SelectImage_eng, title_eng,          womanImage_eng,
            manImage_eng,    childbabyImage_eng, childbabyImage1_eng};
}

void TForm1::SetGroupVisible(const TGroup& group, bool visible) {
    for (ui::TImage* image : group)
        image->SetVisible(visible);
}

void TForm1::OpenAndPlay(std::string_view clipName) {
    MediaPlayer1->SetFileName(rtl::String(ClipPath(FExeDir, clipName)));
    // A clip that cannot be opened raises here; the application shows the device's
    // message and the frame stays up, empty, until "Back".
    MediaPlayer1->Open();
    MediaPlayer1->Play();
}

void TForm1::ChooseLanguage(bool korean) {
    FKorean = korean;
    FClipState = korean ? csKoreanIntro : csEnglishIntro;
    start->Hide();
    b_korean->Hide();
    b_english->Hide();
    ShowPanel->Show();
    back->SetEnabled(true);
    OpenAndPlay(korean ? ClipFile(csKoreanIntro, true) : ClipFile(csEnglishIntro, false));
}

void TForm1::PlayCategory(int state) {
    FClipState = state;
    SetGroupVisible(CategoryGroup(FKorean), false);
    ShowPanel->Show();
    OpenAndPlay(ClipFile(static_cast<TClipState>(state), FKorean));
}

void TForm1::b_koreanClick(TObject*) {
    ChooseLanguage(true);
}

void TForm1::b_englishClick(TObject*) {
    ChooseLanguage(false);
}

void TForm1::manImageClick(TObject*) {
    PlayCategory(csMan);
}

void TForm1::womanImageClick(TObject*) {
    PlayCategory(csWoman);
}

void TForm1::childbabyImageClick(TObject*) {
    PlayCategory(csChildBaby);
}

void TForm1::titleClick(TObject*) {
    PlayCategory(csOverview);
}

void TForm1::Timer1Timer(TObject*) {
    const std::optional<TClipEnd> end = ClipEnd(FClipState, FKorean);
    if (!end)
        return;
    // One read per tick; only equality ends a clip.
    if (MediaPlayer1->Position() != end->Position)
        return;
    FClipState = csNone;
    SetGroupVisible(CategoryGroup(end->KoreanScreen), true);
    ShowPanel->Hide();
}

void TForm1::backClick(TObject*) {
    if (FClipState == csNone) {
        start->Show();
        b_korean->Show();
        b_english->Show();
        back->SetEnabled(false);
        SetGroupVisible(CategoryGroup(FKorean), false);
    } else {
        FClipState = csNone;
        SetGroupVisible(CategoryGroup(FKorean), true);
    }
    // The clip is neither stopped nor closed: it plays on behind the hidden frame.
    ShowPanel->Hide();
    MediaPlayer1->Hide();
}

void TForm1::closeClick(TObject*) {
    ui::Application->RequestTerminate();
}

void TForm1::KeyDown(WORD& key, ui::TShiftState shift) {
    if (key == VK_F11 && shift.Empty()) {
        SetFullScreen(!FullScreen());
        key = 0;
        return;
    }
    ui::TForm::KeyDown(key, shift);
}

void TForm1::FormResize(TObject*) {
    // Never called while the form resource is read, but guard against a window that
    // lost its controls.
    if (!MainImage || !control || !start || !ShowPanel || !SelectImage)
        return;
    MainImage->SetHeight(BackgroundHeight(Form1->Height()));
    MainImage->SetWidth(BackgroundWidth(Form1->Width()));
    const TLayoutSizes sizes{{control->Width(), control->Height()},
                             {start->Width(), start->Height()},
                             {ShowPanel->Width(), ShowPanel->Height()},
                             {SelectImage->Width(), SelectImage->Height()}};
    for (const TPlacement& row : ComputeLayout(MainImage->Width(), MainImage->Height(), sizes)) {
        auto* c = formstream::DynCast<ui::TControl>(FindOwnedComponent(row.Name));
        if (!c)
            continue;
        c->SetLeft(row.Left);
        c->SetTop(row.Top);
    }
}

void RegisterMainClasses() {
    if (!formstream::LookupStreamClass(TForm1::ClassInfo.Name))
        formstream::RegisterStreamClass(&TForm1::ClassInfo);
}

} // namespace app
