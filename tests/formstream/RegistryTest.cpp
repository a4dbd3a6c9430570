// The class registry with its groups, and the identifier maps.
#include <gtest/gtest.h>

#include "formstream/ClassRegistry.h"
#include "formstream/Component.h"
#include "formstream/IdentMaps.h"
#include "rtl/Exceptions.h"
#include "tests/common/ExceptionMessage.h"

using namespace formstream;

namespace {

#define TEST_CLASS(Name, Parent)                                                                   \
    class Name : public Parent {                                                                   \
    public:                                                                                        \
        static const TClassInfo ClassInfo;                                                         \
        TClass ClassType() const override { return &ClassInfo; }                                   \
        using Parent::Parent;                                                                      \
    };                                                                                             \
    constinit const TClassInfo Name::ClassInfo = ClassInfoOf<Name, Parent>(#Name)

TEST_CLASS(TWidget, TComponent);
TEST_CLASS(TButtonish, TWidget);
TEST_CLASS(TTimerish, TComponent);
TEST_CLASS(TLabelish, TWidget);
TEST_CLASS(TPlainRoot, TComponent);

namespace other {
// Another class with the name of one above.
TEST_CLASS(TWidget, TComponent);
} // namespace other

class Registry : public ::testing::Test {
protected:
    void SetUp() override { ResetClassRegistry(); }
    void TearDown() override { ResetClassRegistry(); }
};

} // namespace

TEST_F(Registry, RegisteringAddsAncestorsAndLookupIgnoresCase) {
    EXPECT_EQ(LookupStreamClass("TButtonish"), nullptr);
    RegisterStreamClass(&TButtonish::ClassInfo);
    EXPECT_EQ(LookupStreamClass("tbuttonish"), &TButtonish::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TWIDGET"), &TWidget::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TComponent"), &TComponent::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TPersistent"), &TPersistent::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TObject"), nullptr);
    RegisterStreamClass(&TButtonish::ClassInfo); // again: nothing happens
}

TEST_F(Registry, FailuresCarryTheirMessages) {
    RegisterStreamClass(&TWidget::ClassInfo);
    EXPECT_EQ(MessageOf<rtl::EFilerError>([] { RegisterStreamClass(&other::TWidget::ClassInfo); }),
              "A class named TWidget already exists");
    EXPECT_EQ(MessageOf<rtl::EClassNotFound>([] { FindStreamClass("TNowhere"); }),
              "Class TNowhere not found");
    EXPECT_EQ(MessageOf<rtl::EFilerError>(
                  [] { GroupDescendentsWith(&TTimerish::ClassInfo, &TWidget::ClassInfo); }),
              "TWidget not in a class registration group");
}

TEST_F(Registry, AliasesAreFoundAfterClassNames) {
    RegisterStreamClassAlias(&TLabelish::ClassInfo, "TOldLabel");
    EXPECT_EQ(LookupStreamClass("toldlabel"), &TLabelish::ClassInfo);
    EXPECT_EQ(FindStreamClass("TLabelish"), &TLabelish::ClassInfo);
    UnregisterStreamClass(&TLabelish::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TOldLabel"), nullptr);
}

TEST_F(Registry, GroupsDecideWhatIsVisible) {
    RegisterStreamClasses({&TButtonish::ClassInfo, &TTimerish::ClassInfo});
    // A control library starts a group for its base class and moves its non-visual
    // classes into it.
    StartClassGroup(&TWidget::ClassInfo);
    GroupDescendentsWith(&TTimerish::ClassInfo, &TWidget::ClassInfo);
    EXPECT_EQ(ClassGroupOf(&TTimerish::ClassInfo), &TWidget::ClassInfo);
    RegisterStreamClass(&TLabelish::ClassInfo); // goes into the closest group
    EXPECT_EQ(ClassGroupOf(&TLabelish::ClassInfo), &TWidget::ClassInfo);
    EXPECT_EQ(ClassGroupOf(&TButtonish::ClassInfo), &TPersistent::ClassInfo);

    // Only the group of TWidget active: classes of the other group are not found.
    EXPECT_EQ(ActivateClassGroup(&TWidget::ClassInfo), &TPersistent::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TButtonish"), nullptr);
    EXPECT_EQ(LookupStreamClass("TTimerish"), &TTimerish::ClassInfo);
    EXPECT_THROW(FindStreamClass("TButtonish"), rtl::EClassNotFound);

    // A finder for a root class also sees the groups that the root belongs to.
    TClassFinder finder(&TPlainRoot::ClassInfo, true);
    EXPECT_EQ(finder.GetClass("TButtonish"), &TButtonish::ClassInfo);
    EXPECT_EQ(finder.GetClass("tlabelish"), &TLabelish::ClassInfo);
    TClassFinder narrow(&TPlainRoot::ClassInfo, false);
    EXPECT_EQ(narrow.GetClass("TLabelish"), nullptr);
    EXPECT_EQ(narrow.GetClass("TButtonish"), &TButtonish::ClassInfo);
}

TEST(GlobalRoot, NewestLookupAnswersFirst) {
    static TComponent first(nullptr), second(nullptr);
    auto a = +[](std::string_view n) -> TComponent* { return n == "X" ? &first : nullptr; };
    auto b = +[](std::string_view n) -> TComponent* { return n == "X" ? &second : nullptr; };
    RegisterFindGlobalRoot(a);
    EXPECT_EQ(FindGlobalRoot("X"), &first);
    RegisterFindGlobalRoot(b);
    EXPECT_EQ(FindGlobalRoot("X"), &second);
    EXPECT_EQ(FindGlobalRoot("Y"), nullptr);
    UnregisterFindGlobalRoot(b);
    UnregisterFindGlobalRoot(a);
    EXPECT_EQ(FindGlobalRoot("X"), nullptr);
}

TEST(IdentMaps, TheThreeMapsEntryForEntry) {
    RegisterStandardIdentMaps();
    const char* colors[] = {"clBlack",
                            "clMaroon",
                            "clGreen",
                            "clOlive",
                            "clNavy",
                            "clPurple",
                            "clTeal",
                            "clGray",
                            "clSilver",
                            "clRed",
                            "clLime",
                            "clYellow",
                            "clBlue",
                            "clFuchsia",
                            "clAqua",
                            "clWhite",
                            "clMoneyGreen",
                            "clSkyBlue",
                            "clCream",
                            "clMedGray",
                            "clScrollBar",
                            "clBackground",
                            "clActiveCaption",
                            "clInactiveCaption",
                            "clMenu",
                            "clWindow",
                            "clWindowFrame",
                            "clMenuText",
                            "clWindowText",
                            "clCaptionText",
                            "clActiveBorder",
                            "clInactiveBorder",
                            "clAppWorkSpace",
                            "clHighlight",
                            "clHighlightText",
                            "clBtnFace",
                            "clBtnShadow",
                            "clGrayText",
                            "clBtnText",
                            "clInactiveCaptionText",
                            "clBtnHighlight",
                            "cl3DDkShadow",
                            "cl3DLight",
                            "clInfoText",
                            "clInfoBk",
                            "clHotLight",
                            "clGradientActiveCaption",
                            "clGradientInactiveCaption",
                            "clMenuHighlight",
                            "clMenuBar",
                            "clNone",
                            "clDefault"};
    const std::uint32_t colorValues[] = {
        0x000000,   0x000080,   0x008000,   0x008080,   0x800000,   0x800080,   0x808000,
        0x808080,   0xC0C0C0,   0x0000FF,   0x00FF00,   0x00FFFF,   0xFF0000,   0xFF00FF,
        0xFFFF00,   0xFFFFFF,   0xC0DCC0,   0xF0CAA6,   0xF0FBFF,   0xA4A0A0,   0x80000000,
        0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000005, 0x80000006, 0x80000007,
        0x80000008, 0x80000009, 0x8000000A, 0x8000000B, 0x8000000C, 0x8000000D, 0x8000000E,
        0x8000000F, 0x80000010, 0x80000011, 0x80000012, 0x80000013, 0x80000014, 0x80000015,
        0x80000016, 0x80000017, 0x80000018, 0x8000001A, 0x8000001B, 0x8000001C, 0x8000001D,
        0x8000001E, 0x1FFFFFFF, 0x20000000};
    static_assert(std::size(colors) == 52 && std::size(colorValues) == 52);
    ASSERT_EQ(ColorIdents.size(), 52u);
    for (std::size_t i = 0; i < 52; ++i) {
        SCOPED_TRACE(colors[i]);
        EXPECT_EQ(ColorIdents[i].Name, colors[i]);
        std::int32_t v = 0;
        ASSERT_TRUE(IdentToInt(TypeInfoOf<TColor>, rtl::LowerCase(colors[i]), v));
        EXPECT_EQ(static_cast<std::uint32_t>(v), colorValues[i]);
        std::string back;
        ASSERT_TRUE(IntToIdent(TypeInfoOf<TColor>, v, back));
        EXPECT_EQ(back, colors[i]);
    }

    const std::pair<const char*, int> cursors[] = {
        {"crDefault", 0},   {"crArrow", -2},      {"crCross", -3},      {"crIBeam", -4},
        {"crSizeNESW", -6}, {"crSizeNS", -7},     {"crSizeNWSE", -8},   {"crSizeWE", -9},
        {"crUpArrow", -10}, {"crHourGlass", -11}, {"crDrag", -12},      {"crNoDrop", -13},
        {"crHSplit", -14},  {"crVSplit", -15},    {"crMultiDrag", -16}, {"crSQLWait", -17},
        {"crNo", -18},      {"crAppStart", -19},  {"crHelp", -20},      {"crHandPoint", -21},
        {"crSizeAll", -22}, {"crSize", -22}};
    ASSERT_EQ(CursorIdents.size(), 22u);
    for (std::size_t i = 0; i < 22; ++i) {
        SCOPED_TRACE(cursors[i].first);
        EXPECT_EQ(CursorIdents[i].Name, cursors[i].first);
        std::int32_t v = 0;
        ASSERT_TRUE(IdentToInt(TypeInfoOf<TCursor>, rtl::UpperCase(cursors[i].first), v));
        EXPECT_EQ(v, cursors[i].second);
    }
    std::string ident;
    ASSERT_TRUE(IntToIdent(TypeInfoOf<TCursor>, -22, ident));
    EXPECT_EQ(ident, "crSizeAll");
    EXPECT_FALSE(IntToIdent(TypeInfoOf<TCursor>, -1, ident));
    EXPECT_FALSE(IntToIdent(TypeInfoOf<TCursor>, -5, ident));

    const std::pair<const char*, int> charsets[] = {
        {"ANSI_CHARSET", 0},     {"DEFAULT_CHARSET", 1},      {"SYMBOL_CHARSET", 2},
        {"MAC_CHARSET", 77},     {"SHIFTJIS_CHARSET", 128},   {"HANGEUL_CHARSET", 129},
        {"JOHAB_CHARSET", 130},  {"GB2312_CHARSET", 134},     {"CHINESEBIG5_CHARSET", 136},
        {"GREEK_CHARSET", 161},  {"TURKISH_CHARSET", 162},    {"HEBREW_CHARSET", 177},
        {"ARABIC_CHARSET", 178}, {"BALTIC_CHARSET", 186},     {"RUSSIAN_CHARSET", 204},
        {"THAI_CHARSET", 222},   {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255}};
    ASSERT_EQ(CharsetIdents.size(), 18u);
    for (std::size_t i = 0; i < 18; ++i) {
        SCOPED_TRACE(charsets[i].first);
        EXPECT_EQ(CharsetIdents[i].Name, charsets[i].first);
        std::int32_t v = -1;
        ASSERT_TRUE(IdentToInt(TypeInfoOf<TFontCharset>, charsets[i].first, v));
        EXPECT_EQ(v, charsets[i].second);
    }
}

TEST(IdentMaps, UnknownIdentifiersAndTypesWithoutMapsConvertNothing) {
    RegisterStandardIdentMaps();
    std::int32_t v = 7;
    EXPECT_FALSE(IdentToInt(TypeInfoOf<TColor>, "clNotAColour", v));
    EXPECT_FALSE(IdentToInt(TypeInfoOf<TColor>, "", v));
    EXPECT_FALSE(IdentToInt(TypeInfoOf<int>, "clRed", v));
    EXPECT_EQ(v, 7);
}

TEST(IdentMaps, NewestMapOfATypeWins) {
    RegisterStandardIdentMaps();
    auto mine = +[](std::string_view i, std::int32_t& v) {
        if (!rtl::SameText(i, "crHandPoint"))
            return false;
        v = 99;
        return true;
    };
    RegisterIdentMap(TypeInfoOf<TCursor>, mine, CursorToIdent);
    std::int32_t v = 0;
    EXPECT_TRUE(IdentToInt(TypeInfoOf<TCursor>, "crhandpoint", v));
    EXPECT_EQ(v, 99);
    EXPECT_FALSE(IdentToInt(TypeInfoOf<TCursor>, "crArrow", v)) << "the older map is not asked";
    ResetIdentMaps();
    EXPECT_FALSE(IdentToInt(TypeInfoOf<TCursor>, "crArrow", v));
    RegisterIdentMap(TypeInfoOf<TColor>, IdentToColor, ColorToIdent);
    RegisterIdentMap(TypeInfoOf<TCursor>, IdentToCursor, CursorToIdent);
    RegisterIdentMap(TypeInfoOf<TFontCharset>, IdentToCharset, CharsetToIdent);
}
