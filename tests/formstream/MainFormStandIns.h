// Stand-ins, published under the names of the main window's classes (TForm1, TImage,
// TSpeedButton, TPanel, TMediaPlayer, TTimer, TSaveDialog), with just the published
// properties that the main window's form stream sets: the real stream is read and
// written with the component model alone, without the controls. A picture only keeps the
// bytes of its "Data" block and counts them. The program's own TForm1 is tested with the
// program (tests/app).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TestClasses.h"

namespace mainformstandins {

using namespace formstream;
using testclasses::TFontStyle;
using testclasses::TFontStyles;
using testclasses::TWindowState;

enum THelpType : std::uint8_t { htKeyword, htContext };
inline constexpr std::string_view THelpTypeNames[] = {"htKeyword", "htContext"};

} // namespace mainformstandins

template <>
inline constexpr formstream::TTypeInfo formstream::TypeInfoOf<mainformstandins::THelpType> =
    EnumTypeInfo("THelpType", mainformstandins::THelpTypeNames);

namespace mainformstandins {

inline std::vector<std::string> gLoaded;
// Bytes that pictures received from the reader, and how many blocks.
inline std::uint64_t gPictureBytes = 0;
inline int gPictureBlocks = 0;

class TStandInFont : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    TFontCharset FCharset = static_cast<TFontCharset>(1);
    TColor FColor = clWindowText;
    int FHeight = -11;
    std::string FName = "MS Sans Serif";
    TFontStyles FStyle;
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TStandInFont::Published[] = {
    Prop<&TStandInFont::FCharset, &TStandInFont::FCharset>("Charset"),
    Prop<&TStandInFont::FColor, &TStandInFont::FColor>("Color"),
    Prop<&TStandInFont::FHeight, &TStandInFont::FHeight>("Height"),
    Prop<&TStandInFont::FName, &TStandInFont::FName>("Name"),
    Prop<&TStandInFont::FStyle, &TStandInFont::FStyle>("Style"),
};
inline constinit const TClassInfo TStandInFont::ClassInfo =
    ClassInfoOf<TStandInFont, TPersistent>("TFont", TStandInFont::Published);

// Keeps the graphic class name and the graphic's bytes of a "Data" block.
class TStandInPicture : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    std::string GraphicClass;
    std::vector<std::uint8_t> Bytes;
    void DefineProperties(TFiler& filer) override {
        filer.DeclareBinaryProperty("Data", TStreamProc::Of<&TStandInPicture::ReadData>(this),
                                    TStreamProc::Of<&TStandInPicture::WriteData>(this),
                                    !GraphicClass.empty());
    }
    void ReadData(rtl::TStream& s) {
        std::uint8_t n = s.ReadByte();
        GraphicClass.assign(n, '\0');
        s.ReadBuffer(GraphicClass.data(), n);
        Bytes.resize(static_cast<std::size_t>(s.Size() - s.Position()));
        if (!Bytes.empty())
            s.ReadBuffer(Bytes.data(), Bytes.size());
        gPictureBytes += static_cast<std::uint64_t>(s.Size());
        ++gPictureBlocks;
    }
    void WriteData(rtl::TStream& s) {
        s.WriteByte(static_cast<std::uint8_t>(GraphicClass.size()));
        s.WriteBuffer(GraphicClass.data(), GraphicClass.size());
        if (!Bytes.empty())
            s.WriteBuffer(Bytes.data(), Bytes.size());
    }
};
inline constinit const TClassInfo TStandInPicture::ClassInfo =
    ClassInfoOf<TStandInPicture, TPersistent>("TPicture");

class TStandInControl : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TComponent::TComponent;
    ~TStandInControl() override { delete FFont; }

    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TCursor FCursor = static_cast<TCursor>(0);
    bool FVisible = true;
    THelpType FHelpType = htContext;
    TNotifyEvent FOnClick;
    std::string FCaption;
    TStandInFont* FFont = new TStandInFont;
    bool FParentFont = true;
    int FTabOrder = -1;
    TColor FColor = clWindow;
    TComponent* FParent = nullptr;
    TStandInFont* Font() const { return FFont; }
    void SetFont(TStandInFont*) {}
    void AttachToParent(TComponent* parent) override { FParent = parent; }
    void Loaded() override {
        TComponent::Loaded();
        gLoaded.push_back(Name());
    }
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TStandInControl::Published[] = {
    Prop<&TStandInControl::FLeft, &TStandInControl::FLeft>("Left"),
    Prop<&TStandInControl::FTop, &TStandInControl::FTop>("Top"),
    Prop<&TStandInControl::FWidth, &TStandInControl::FWidth>("Width"),
    Prop<&TStandInControl::FHeight, &TStandInControl::FHeight>("Height"),
    Prop<&TStandInControl::FCursor, &TStandInControl::FCursor>("Cursor", Default(TCursor(0))),
    Prop<&TStandInControl::FCaption, &TStandInControl::FCaption>("Caption"),
    Prop<&TStandInControl::FColor, &TStandInControl::FColor>("Color", Default(clWindow)),
    Prop<&TStandInControl::Font, &TStandInControl::SetFont>("Font"),
    Prop<&TStandInControl::FHelpType, &TStandInControl::FHelpType>("HelpType", Default(htContext)),
    Prop<&TStandInControl::FParentFont, &TStandInControl::FParentFont>("ParentFont", Default(true)),
    Prop<&TStandInControl::FTabOrder, &TStandInControl::FTabOrder>("TabOrder", Default(-1)),
    Prop<&TStandInControl::FVisible, &TStandInControl::FVisible>("Visible", Default(true)),
    Prop<&TStandInControl::FOnClick, &TStandInControl::FOnClick>("OnClick"),
};
inline constinit const TClassInfo TStandInControl::ClassInfo =
    ClassInfoOf<TStandInControl, TComponent>("TControl", TStandInControl::Published);

class TImage : public TStandInControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TStandInControl::TStandInControl;
    ~TImage() override { delete FPicture; }
    bool FAutoSize = false;
    TStandInPicture* FPicture = new TStandInPicture;
    TStandInPicture* Picture() const { return FPicture; }
    void SetPicture(TStandInPicture*) {}
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TImage::Published[] = {
    Prop<&TImage::FAutoSize, &TImage::FAutoSize>("AutoSize", Default(false)),
    Prop<&TImage::Picture, &TImage::SetPicture>("Picture"),
};
inline constinit const TClassInfo TImage::ClassInfo =
    ClassInfoOf<TImage, TStandInControl>("TImage", TImage::Published);

class TSpeedButton : public TStandInControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TStandInControl::TStandInControl;
};
inline constinit const TClassInfo TSpeedButton::ClassInfo =
    ClassInfoOf<TSpeedButton, TStandInControl>("TSpeedButton");

class TPanel : public TStandInControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TStandInControl::TStandInControl;
};
inline constinit const TClassInfo TPanel::ClassInfo =
    ClassInfoOf<TPanel, TStandInControl>("TPanel");

class TMediaPlayer : public TStandInControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TStandInControl::TStandInControl;
    TStandInControl* FDisplay = nullptr;
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TMediaPlayer::Published[] = {
    Prop<&TMediaPlayer::FDisplay, &TMediaPlayer::FDisplay>("Display"),
};
inline constinit const TClassInfo TMediaPlayer::ClassInfo =
    ClassInfoOf<TMediaPlayer, TStandInControl>("TMediaPlayer", TMediaPlayer::Published);

class TTimer : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TComponent::TComponent;
    int FInterval = 1000;
    bool FEnabled = true;
    TNotifyEvent FOnTimer;
    void Loaded() override {
        TComponent::Loaded();
        gLoaded.push_back(Name());
    }
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TTimer::Published[] = {
    Prop<&TTimer::FEnabled, &TTimer::FEnabled>("Enabled", Default(true)),
    Prop<&TTimer::FInterval, &TTimer::FInterval>("Interval", Default(1000)),
    Prop<&TTimer::FOnTimer, &TTimer::FOnTimer>("OnTimer"),
};
inline constinit const TClassInfo TTimer::ClassInfo =
    ClassInfoOf<TTimer, TComponent>("TTimer", TTimer::Published);

class TSaveDialog : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TComponent::TComponent;
    std::string FFileName, FFilter, FTitle;
    void Loaded() override {
        TComponent::Loaded();
        gLoaded.push_back(Name());
    }
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TSaveDialog::Published[] = {
    Prop<&TSaveDialog::FFileName, &TSaveDialog::FFileName>("FileName"),
    Prop<&TSaveDialog::FFilter, &TSaveDialog::FFilter>("Filter"),
    Prop<&TSaveDialog::FTitle, &TSaveDialog::FTitle>("Title"),
};
inline constinit const TClassInfo TSaveDialog::ClassInfo =
    ClassInfoOf<TSaveDialog, TComponent>("TSaveDialog", TSaveDialog::Published);

class TForm1 : public TStandInControl {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TStandInControl::TStandInControl;

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

    bool FOldCreateOrder = true;
    TWindowState FWindowState = testclasses::wsNormal;
    TNotifyEvent FOnResize;
    int FPixelsPerInch = 0;
    int FTextHeight = 0;
    std::vector<std::string> Calls;

    void Timer1Timer(TObject*) { Calls.push_back("Timer1Timer"); }
    void womanImageClick(TObject*) { Calls.push_back("womanImageClick"); }
    void manImageClick(TObject*) { Calls.push_back("manImageClick"); }
    void childbabyImageClick(TObject*) { Calls.push_back("childbabyImageClick"); }
    void backClick(TObject*) { Calls.push_back("backClick"); }
    void titleClick(TObject*) { Calls.push_back("titleClick"); }
    void FormResize(TObject*) { Calls.push_back("FormResize"); }
    void closeClick(TObject*) { Calls.push_back("closeClick"); }
    void b_koreanClick(TObject*) { Calls.push_back("b_koreanClick"); }
    void b_englishClick(TObject*) { Calls.push_back("b_englishClick"); }

    void DefineProperties(TFiler& filer) override {
        TStandInControl::DefineProperties(filer);
        filer.DeclareProperty("TextHeight", TReaderProc::Of<&TForm1::ReadTextHeight>(this),
                              TWriterProc::Of<&TForm1::WriteTextHeight>(this), FTextHeight > 0);
    }
    void ReadTextHeight(TReader& r) { FTextHeight = r.ReadIntegerValue(); }
    void WriteTextHeight(TWriter& w) { w.WriteInteger(FTextHeight); }

    static const TPropInfo Published[];
    static const TMethodEntry Methods[];
    static const TFieldEntry Fields[];
};
inline constinit const TPropInfo TForm1::Published[] = {
    Prop<&TForm1::FOldCreateOrder, &TForm1::FOldCreateOrder>("OldCreateOrder"),
    Prop<&TForm1::FWindowState, &TForm1::FWindowState>("WindowState",
                                                       Default(testclasses::wsNormal)),
    Prop<&TForm1::FOnResize, &TForm1::FOnResize>("OnResize"),
    Prop<&TForm1::FPixelsPerInch, &TForm1::FPixelsPerInch>("PixelsPerInch"),
};
inline constinit const TMethodEntry TForm1::Methods[] = {
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
inline constinit const TFieldEntry TForm1::Fields[] = {
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
inline constinit const TClassInfo TForm1::ClassInfo = ClassInfoOf<TForm1, TStandInControl>(
    "TForm1", TForm1::Published, TForm1::Methods, TForm1::Fields);

} // namespace mainformstandins
