// Streamable classes for the reader and writer tests (and the form stream fuzzer): a
// widget with a property of every streamable kind, a font-like sub-object, a
// collection, defined properties (plain and binary), and a root with event handlers and
// component fields. Everything a test wants to observe lands in gEvents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formstream/ClassRegistry.h"
#include "formstream/Collection.h"
#include "formstream/Component.h"
#include "formstream/IdentMaps.h"
#include "formstream/IdentTypes.h"
#include "formstream/Reader.h"
#include "formstream/Writer.h"
#include "rtl/Stream.h"
#include "rtl/SysUtils.h"

namespace testclasses {

using namespace formstream;

inline std::vector<std::string> gEvents;

enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
inline constexpr std::string_view TAlignNames[] = {"alNone", "alTop",   "alBottom",
                                                   "alLeft", "alRight", "alClient"};
enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
inline constexpr std::string_view TFontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline",
                                                       "fsStrikeOut"};
enum TWindowState : std::uint8_t { wsNormal, wsMinimized, wsMaximized };
inline constexpr std::string_view TWindowStateNames[] = {"wsNormal", "wsMinimized", "wsMaximized"};

} // namespace testclasses

template <>
inline constexpr formstream::TTypeInfo
    formstream::TypeInfoOf<testclasses::TAlign> = EnumTypeInfo("TAlign", testclasses::TAlignNames);
template <>
inline constexpr formstream::TTypeInfo formstream::TypeInfoOf<testclasses::TFontStyle> =
    EnumTypeInfo("TFontStyle", testclasses::TFontStyleNames);
template <>
inline constexpr formstream::TTypeInfo formstream::TypeInfoOf<testclasses::TWindowState> =
    EnumTypeInfo("TWindowState", testclasses::TWindowStateNames);

namespace testclasses {

using TFontStyles = TSet<TFontStyle>;
using TAnchors = TSet<TAlign>;

// A sub-object written as "Font.Height" and so on.
class TTestFont : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    TFontCharset FCharset = static_cast<TFontCharset>(1);
    TColor FColor = clWindowText;
    int FHeight = -11;
    std::string FName = "MS Sans Serif";
    TFontStyles FStyle;
    void Assign(TPersistent* source) override {
        if (auto* f = DynCast<TTestFont>(source)) {
            FCharset = f->FCharset;
            FColor = f->FColor;
            FHeight = f->FHeight;
            FName = f->FName;
            FStyle = f->FStyle;
            return;
        }
        TPersistent::Assign(source);
    }
    bool NameStored() const { return FName != "MS Sans Serif"; }
    bool HeightStored() const { return FHeight != -11; }
    static const TPropInfo Published[];
};

inline constinit const TPropInfo TTestFont::Published[] = {
    Prop<&TTestFont::FCharset, &TTestFont::FCharset>("Charset", Default(TFontCharset(1))),
    Prop<&TTestFont::FColor, &TTestFont::FColor>("Color", Default(clWindowText)),
    Prop<&TTestFont::FHeight, &TTestFont::FHeight>("Height", Stored<&TTestFont::HeightStored>()),
    Prop<&TTestFont::FName, &TTestFont::FName>("Name", Stored<&TTestFont::NameStored>()),
    Prop<&TTestFont::FStyle, &TTestFont::FStyle>("Style", Default(TFontStyles{})),
};
inline constinit const TClassInfo TTestFont::ClassInfo =
    ClassInfoOf<TTestFont, TPersistent>("TTestFont", TTestFont::Published);

class TTestItem : public TCollectionItem {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    std::string FCaption;
    int FValue = 0;
    TComponent* FLink = nullptr;
    void Assign(TPersistent* source) override {
        if (auto* i = DynCast<TTestItem>(source)) {
            FCaption = i->FCaption;
            FValue = i->FValue;
            FLink = i->FLink;
            return;
        }
        TCollectionItem::Assign(source);
    }
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TTestItem::Published[] = {
    Prop<&TTestItem::FCaption, &TTestItem::FCaption>("Caption"),
    Prop<&TTestItem::FValue, &TTestItem::FValue>("Value", Default(0)),
    Prop<&TTestItem::FLink, &TTestItem::FLink>("Link"),
};
inline constinit const TClassInfo TTestItem::ClassInfo =
    ClassInfoOf<TTestItem, TCollectionItem>("TTestItem", TTestItem::Published);

class TTestItems : public TCollection {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    TTestItems() : TCollection(&TTestItem::ClassInfo) {}
    int Updates = 0;

protected:
    void Update(TCollectionItem*) override { ++Updates; }
};
inline constinit const TClassInfo TTestItems::ClassInfo =
    ClassInfoOf<TTestItems, TCollection>("TTestItems");

// A component with a property of every streamable kind.
class TWidget : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TWidget(TComponent* owner) : TComponent(owner) {}
    ~TWidget() override {
        delete FFont;
        Free(FItems);
    }

    int FLeft = 0;
    int FWidth = 100;
    std::string FCaption;
    TCursor FCursor = static_cast<TCursor>(0);
    TColor FColor = clWindow;
    TAlign FAlign = alNone;
    TAnchors FAnchors = {alLeft, alTop};
    bool FVisible = true;
    TNotifyEvent FOnClick;
    TEvent<TObject*, int> FOnResize;
    TWidget* FRef = nullptr;
    double FRatio = 0;
    char FCh = 0;
    std::int64_t FBig = 0;
    std::u16string FWide;
    TVariant FVar;
    int FFixed = 7;
    TTestFont* FFont = new TTestFont;
    TTestItems* FItems = new TTestItems;
    // Defined properties.
    int FExtra = 0;
    std::vector<std::uint8_t> FData;
    bool FHasData = false;
    int FChildPos = -1;
    TComponent* FParentSeen = nullptr;
    int Fixed() const { return FFixed; }
    TTestFont* Font() const { return FFont; }
    void SetFont(TTestFont* f) { FFont->Assign(f); }
    TTestItems* Items() const { return FItems; }
    void SetItems(TTestItems* items) { FItems->Assign(items); }

    void Loaded() override {
        TComponent::Loaded();
        gEvents.push_back("Loaded " + Name());
    }
    void AttachToParent(TComponent* parent) override { FParentSeen = parent; }
    void SetChildPosition(TComponent* child, int pos) override {
        if (auto* w = DynCast<TWidget>(child))
            w->FChildPos = pos;
    }
    void DefineProperties(TFiler& filer) override {
        TComponent::DefineProperties(filer);
        const auto* ancestor = DynCast<TWidget>(filer.Ancestor());
        filer.DeclareProperty("Extra", TReaderProc::Of<&TWidget::ReadExtra>(this),
                              TWriterProc::Of<&TWidget::WriteExtra>(this),
                              FExtra != (ancestor ? ancestor->FExtra : 0));
        filer.DeclareBinaryProperty("Data", TStreamProc::Of<&TWidget::ReadData>(this),
                                    TStreamProc::Of<&TWidget::WriteData>(this),
                                    ancestor ? FData != ancestor->FData : FHasData);
    }
    void ReadExtra(TReader& r) { FExtra = r.ReadIntegerValue(); }
    void WriteExtra(TWriter& w) { w.WriteInteger(FExtra); }
    void ReadData(rtl::TStream& s) {
        FData.resize(static_cast<std::size_t>(s.Size()));
        if (!FData.empty())
            s.ReadBuffer(FData.data(), FData.size());
        FHasData = true;
    }
    void WriteData(rtl::TStream& s) {
        if (!FData.empty())
            s.WriteBuffer(FData.data(), FData.size());
    }
    static const TPropInfo Published[];
};

inline constinit const TPropInfo TWidget::Published[] = {
    Prop<&TWidget::FLeft, &TWidget::FLeft>("Left"),
    Prop<&TWidget::FWidth, &TWidget::FWidth>("Width", Default(100)),
    Prop<&TWidget::FCaption, &TWidget::FCaption>("Caption"),
    Prop<&TWidget::FCursor, &TWidget::FCursor>("Cursor", Default(TCursor(0))),
    Prop<&TWidget::FColor, &TWidget::FColor>("Color", Default(clWindow)),
    Prop<&TWidget::FAlign, &TWidget::FAlign>("Align", Default(alNone)),
    Prop<&TWidget::FAnchors, &TWidget::FAnchors>("Anchors", Default(TAnchors{alLeft, alTop})),
    Prop<&TWidget::FVisible, &TWidget::FVisible>("Visible", Default(true)),
    Prop<&TWidget::FOnClick, &TWidget::FOnClick>("OnClick"),
    Prop<&TWidget::FOnResize, &TWidget::FOnResize>("OnResize"),
    Prop<&TWidget::FRef, &TWidget::FRef>("Ref"),
    Prop<&TWidget::FRatio, &TWidget::FRatio>("Ratio"),
    Prop<&TWidget::FCh, &TWidget::FCh>("Ch", Default(char(0))),
    Prop<&TWidget::FBig, &TWidget::FBig>("Big", Default(std::int64_t(0))),
    Prop<&TWidget::FWide, &TWidget::FWide>("Wide"),
    Prop<&TWidget::FVar, &TWidget::FVar>("Var"),
    Prop<&TWidget::Fixed>("Fixed"),
    Prop<&TWidget::Font, &TWidget::SetFont>("Font"),
    Prop<&TWidget::Items, &TWidget::SetItems>("Items"),
};
inline constinit const TClassInfo TWidget::ClassInfo =
    ClassInfoOf<TWidget, TComponent>("TWidget", TWidget::Published);

// A second component class, for class resolution through the root's fields.
class TGadget : public TWidget {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TWidget::TWidget;
};
inline constinit const TClassInfo TGadget::ClassInfo = ClassInfoOf<TGadget, TWidget>("TGadget");

// A non-visual component: it keeps its design position in the defined properties
// "Left" and "Top".
class TTestTimer : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TComponent::TComponent;
    int FInterval = 1000;
    TNotifyEvent FOnTimer;
    static const TPropInfo Published[];
};
inline constinit const TPropInfo TTestTimer::Published[] = {
    Prop<&TTestTimer::FInterval, &TTestTimer::FInterval>("Interval", Default(1000)),
    Prop<&TTestTimer::FOnTimer, &TTestTimer::FOnTimer>("OnTimer"),
};
inline constinit const TClassInfo TTestTimer::ClassInfo =
    ClassInfoOf<TTestTimer, TComponent>("TTestTimer", TTestTimer::Published);

// A root with handlers and fields.
class TTestRoot : public TWidget {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TWidget::TWidget;

    TWidget* First = nullptr;
    TWidget* Second = nullptr;
    TGadget* Gadget = nullptr;
    TWindowState FWindowState = wsNormal;
    TObject* LastSender = nullptr;
    void ButtonClick(TObject* sender) {
        LastSender = sender;
        gEvents.push_back("ButtonClick");
    }
    void OtherClick(TObject* sender) {
        LastSender = sender;
        gEvents.push_back("OtherClick");
    }
    void Resized(TObject*, int) {}
    static const TPropInfo Published[];
    static const TMethodEntry Methods[];
    static const TFieldEntry Fields[];
};
inline constinit const TPropInfo TTestRoot::Published[] = {
    Prop<&TTestRoot::FWindowState, &TTestRoot::FWindowState>("WindowState", Default(wsNormal)),
};
inline constinit const TMethodEntry TTestRoot::Methods[] = {
    Method<&TTestRoot::ButtonClick>("ButtonClick"),
    Method<&TTestRoot::OtherClick>("OtherClick"),
    Method<&TTestRoot::Resized>("Resized"),
};
inline constinit const TFieldEntry TTestRoot::Fields[] = {
    Field<&TTestRoot::First>("First"),
    Field<&TTestRoot::Second>("Second"),
    Field<&TTestRoot::Gadget>("Gadget"),
};
inline constinit const TClassInfo TTestRoot::ClassInfo = ClassInfoOf<TTestRoot, TWidget>(
    "TTestRoot", TTestRoot::Published, TTestRoot::Methods, TTestRoot::Fields);

// A descendant root class, for reading the resources of a class chain.
class TTestRoot2 : public TTestRoot {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TTestRoot::TTestRoot;
};
inline constinit const TClassInfo TTestRoot2::ClassInfo =
    ClassInfoOf<TTestRoot2, TTestRoot>("TTestRoot2");

// The roots that FindGlobalRoot knows (a stand-in for the screen's list of forms).
inline std::vector<TComponent*> gGlobalRoots;
inline TComponent* FindTestRoot(std::string_view name) {
    for (TComponent* c : gGlobalRoots)
        if (rtl::SameText(c->Name(), name))
            return c;
    return nullptr;
}

// Registers the classes and the global root lookup; the identifier maps too.
inline void RegisterTestClasses() {
    // Other tests of the program may have reset the maps.
    if (!FindIdentToInt(TypeInfoOf<TColor>))
        RegisterIdentMap(TypeInfoOf<TColor>, IdentToColor, ColorToIdent);
    if (!FindIdentToInt(TypeInfoOf<TCursor>))
        RegisterIdentMap(TypeInfoOf<TCursor>, IdentToCursor, CursorToIdent);
    if (!FindIdentToInt(TypeInfoOf<TFontCharset>))
        RegisterIdentMap(TypeInfoOf<TFontCharset>, IdentToCharset, CharsetToIdent);
    RegisterStreamClasses({&TWidget::ClassInfo, &TTestRoot::ClassInfo, &TTestRoot2::ClassInfo,
                           &TTestTimer::ClassInfo});
    UnregisterFindGlobalRoot(&FindTestRoot);
    RegisterFindGlobalRoot(&FindTestRoot);
}

} // namespace testclasses
