// The main window's form resource (app/Form1.txt, compiled by formc into TFORM1.bin at
// build time) on the windowing framework alone, for the framework's benchmarks: a form
// class published as "TForm1" with the 23 fields of the definition and ten handlers that
// only record that they ran, and a bare windowed control published as "TMediaPlayer" (a
// Display and nothing else). The constructor sets up the start screen as the program
// does; nothing plays.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/BuildFiles.h"
#include "formstream/ClassRegistry.h"
#include "formstream/FormResources.h"
#include "gif/GifImage.h"
#include "graphics/Graphics.h"
#include "rtl/Stream.h"
#include "ui/Forms.h"

namespace countingform {

using formstream::TObject;
using namespace ui;

class TMediaPlayer : public TCustomControl {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    using TCustomControl::TCustomControl;
    TWinControl* Display = nullptr;
    static const formstream::TPropInfo Published[];
};
inline constinit const formstream::TPropInfo TMediaPlayer::Published[] = {
    formstream::Prop<&TMediaPlayer::Display, &TMediaPlayer::Display>("Display"),
};
inline constinit const formstream::TClassInfo TMediaPlayer::ClassInfo =
    formstream::ClassInfoOf<TMediaPlayer, TCustomControl>("TMediaPlayer", TMediaPlayer::Published);

class TCountingForm : public TForm {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    TMediaPlayer* MediaPlayer1 = nullptr;
    TPanel* ShowPanel = nullptr;
    TTimer* Timer1 = nullptr;
    TImage *MainImage = nullptr, *SelectImage = nullptr, *womanImage = nullptr, *manImage = nullptr,
           *childbabyImage = nullptr, *title = nullptr;
    TSaveDialog* Save = nullptr;
    TImage *childbabyImage1 = nullptr, *control = nullptr, *start = nullptr, *b_korean = nullptr,
           *b_english = nullptr;
    TSpeedButton *back = nullptr, *close = nullptr;
    TImage *SelectImage_eng = nullptr, *title_eng = nullptr, *manImage_eng = nullptr,
           *womanImage_eng = nullptr, *childbabyImage_eng = nullptr, *childbabyImage1_eng = nullptr;

    std::vector<std::string> Calls;
    int Ticks = 0;
    int Resizes = 0;

    explicit TCountingForm(formstream::TComponent* owner) : TForm(owner) {
        ReadFormResource();
        for (TControl* c : std::initializer_list<TControl*>{start, b_korean, b_english})
            c->SetVisible(true);
        back->SetEnabled(false);
        MainImage->SetVisible(true);
        for (TControl* c : std::initializer_list<TControl*>{
                 SelectImage, title, womanImage, manImage, childbabyImage, childbabyImage1,
                 SelectImage_eng, title_eng, womanImage_eng, manImage_eng, childbabyImage_eng,
                 childbabyImage1_eng, ShowPanel, MediaPlayer1})
            c->SetVisible(false);
    }

    void Timer1Timer(TObject*) { ++Ticks; }
    void womanImageClick(TObject*) { Calls.push_back("womanImageClick"); }
    void manImageClick(TObject*) { Calls.push_back("manImageClick"); }
    void childbabyImageClick(TObject*) { Calls.push_back("childbabyImageClick"); }
    void backClick(TObject*) { Calls.push_back("backClick"); }
    void titleClick(TObject*) { Calls.push_back("titleClick"); }
    void FormResize(TObject*) { ++Resizes; }
    void closeClick(TObject*) {
        Calls.push_back("closeClick");
        Application->RequestTerminate();
    }
    void b_koreanClick(TObject*) {
        Calls.push_back("b_koreanClick");
        back->SetEnabled(true);
    }
    void b_englishClick(TObject*) { Calls.push_back("b_englishClick"); }

    static const formstream::TMethodEntry Methods[];
    static const formstream::TFieldEntry Fields[];
};

inline constinit const formstream::TMethodEntry TCountingForm::Methods[] = {
    formstream::Method<&TCountingForm::Timer1Timer>("Timer1Timer"),
    formstream::Method<&TCountingForm::womanImageClick>("womanImageClick"),
    formstream::Method<&TCountingForm::manImageClick>("manImageClick"),
    formstream::Method<&TCountingForm::childbabyImageClick>("childbabyImageClick"),
    formstream::Method<&TCountingForm::backClick>("backClick"),
    formstream::Method<&TCountingForm::titleClick>("titleClick"),
    formstream::Method<&TCountingForm::FormResize>("FormResize"),
    formstream::Method<&TCountingForm::closeClick>("closeClick"),
    formstream::Method<&TCountingForm::b_koreanClick>("b_koreanClick"),
    formstream::Method<&TCountingForm::b_englishClick>("b_englishClick"),
};
inline constinit const formstream::TFieldEntry TCountingForm::Fields[] = {
    formstream::Field<&TCountingForm::MediaPlayer1>("MediaPlayer1"),
    formstream::Field<&TCountingForm::ShowPanel>("ShowPanel"),
    formstream::Field<&TCountingForm::Timer1>("Timer1"),
    formstream::Field<&TCountingForm::MainImage>("MainImage"),
    formstream::Field<&TCountingForm::SelectImage>("SelectImage"),
    formstream::Field<&TCountingForm::womanImage>("womanImage"),
    formstream::Field<&TCountingForm::manImage>("manImage"),
    formstream::Field<&TCountingForm::childbabyImage>("childbabyImage"),
    formstream::Field<&TCountingForm::title>("title"),
    formstream::Field<&TCountingForm::Save>("Save"),
    formstream::Field<&TCountingForm::childbabyImage1>("childbabyImage1"),
    formstream::Field<&TCountingForm::control>("control"),
    formstream::Field<&TCountingForm::start>("start"),
    formstream::Field<&TCountingForm::b_korean>("b_korean"),
    formstream::Field<&TCountingForm::b_english>("b_english"),
    formstream::Field<&TCountingForm::back>("back"),
    formstream::Field<&TCountingForm::close>("close"),
    formstream::Field<&TCountingForm::SelectImage_eng>("SelectImage_eng"),
    formstream::Field<&TCountingForm::title_eng>("title_eng"),
    formstream::Field<&TCountingForm::manImage_eng>("manImage_eng"),
    formstream::Field<&TCountingForm::womanImage_eng>("womanImage_eng"),
    formstream::Field<&TCountingForm::childbabyImage_eng>("childbabyImage_eng"),
    formstream::Field<&TCountingForm::childbabyImage1_eng>("childbabyImage1_eng"),
};
inline constinit const formstream::TClassInfo TCountingForm::ClassInfo =
    formstream::ClassInfoOf<TCountingForm, TForm>("TForm1", {}, TCountingForm::Methods,
                                                  TCountingForm::Fields);

using bench::MainFormBytes;

inline std::unique_ptr<rtl::TStream> ServeMainForm(std::string_view className) {
    if (!rtl::SameText(className, "TForm1") || MainFormBytes().empty())
        return nullptr;
    auto s = std::make_unique<rtl::TMemoryStream>();
    s->WriteBuffer(MainFormBytes().data(), MainFormBytes().size());
    s->SetPosition(0);
    return s;
}

// Registers the GIF graphic and the stand-in player, and serves TFORM1 from the build.
inline void UseMainForm() {
    ui::RegisterFormsUnit();
    gif::RegisterGifUnit();
    if (!formstream::LookupStreamClass("TMediaPlayer"))
        formstream::RegisterStreamClass(&TMediaPlayer::ClassInfo);
    formstream::SetFormResourceLookup(&ServeMainForm);
}

} // namespace countingform
