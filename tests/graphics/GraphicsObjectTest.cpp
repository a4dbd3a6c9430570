// Fonts, pens and brushes: their published properties as a form stream sets them, the
// point / pixel link of font sizes, change events, assignment and the handles they make.
#include <gtest/gtest.h>

#include "formstream/Object.h"
#include "graphics/Graphics.h"
#include "rtl/Exceptions.h"

using namespace graphics;
using namespace formstream;

namespace {

struct TChangeCounter : TObject {
    int Count = 0;
    void Changed(TObject*) { ++Count; }
};

const TPropInfo& PropOf(const TObject& obj, std::string_view name) {
    const TPropInfo* p = GetPropInfo(&obj, name);
    if (!p)
        throw std::runtime_error("no property " + std::string(name));
    return *p;
}

} // namespace

TEST(Font, SizeAndHeightAreLinkedAtNinetySixPixelsPerInch) {
    const struct {
        int Size, Height;
    } cases[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {14, -19}, {72, -96}};
    for (const auto& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.Size));
        TFont font;
        font.SetSize(c.Size);
        EXPECT_EQ(c.Height, font.Height());
        TFont other;
        other.SetHeight(c.Height);
        EXPECT_EQ(c.Size, other.Size());
    }
    TFont font;
    EXPECT_EQ(-11, font.Height()) << "default";
    EXPECT_EQ(8, font.Size());
    font.SetHeight(19); // cell height: a negative size
    EXPECT_EQ(-14, font.Size());
}

TEST(Font, PublishedPropertiesSetAsAFormStreamDoes) {
    TFont font;
    SetOrdProp(&font, PropOf(font, "Height"), -19);
    SetStrProp(&font, PropOf(font, "Name"), "Franklin Gothic Medium");
    SetOrdProp(&font, PropOf(font, "Color"), ColorValue(clGray));
    SetOrdProp(&font, PropOf(font, "Charset"), HANGUL_CHARSET);
    SetOrdProp(&font, PropOf(font, "Style"), TFontStyles{fsBold, fsUnderline}.Bits());
    SetOrdProp(&font, PropOf(font, "pitch"), GetEnumValue(TypeInfoOf<TFontPitch>, "fpFixed"));
    EXPECT_EQ(-19, font.Height());
    EXPECT_EQ(14, font.Size());
    EXPECT_EQ("Franklin Gothic Medium", font.Name());
    EXPECT_EQ(clGray, font.Color());
    EXPECT_EQ(HANGUL_CHARSET, font.Charset());
    EXPECT_EQ((TFontStyles{fsBold, fsUnderline}), font.Style());
    EXPECT_EQ(fpFixed, font.Pitch());
    SetOrdProp(&font, PropOf(font, "Style"), 0); // "Font.Style = []"
    EXPECT_TRUE(font.Style().Empty());
    SetOrdProp(&font, PropOf(font, "Size"), 10);
    EXPECT_EQ(-13, font.Height());

    EXPECT_EQ(TTypeKind::tkSet, PropOf(font, "Style").Kind());
    EXPECT_EQ("TFontStyle", PropOf(font, "Style").PropType->CompType->Name);
    EXPECT_EQ("TColor", PropOf(font, "Color").PropType->Name);
    EXPECT_EQ("TFontCharset", PropOf(font, "Charset").PropType->Name);
    EXPECT_FALSE(IsStoredProp(&font, PropOf(font, "Size"))) << "Size follows Height";
    EXPECT_TRUE(IsStoredProp(&font, PropOf(font, "Height")));
    EXPECT_TRUE(IsStoredProp(&font, PropOf(font, "Pitch")));
    font.SetPitch(fpDefault);
    EXPECT_FALSE(IsStoredProp(&font, PropOf(font, "Pitch"))) << "at its default";
}

TEST(Font, LogicalFontFollowsTheAttributes) {
    TFont font;
    font.SetName("A face name longer than thirty-one characters in all");
    font.SetHeight(-19);
    font.SetStyle({fsBold, fsItalic, fsStrikeOut});
    font.SetPitch(fpVariable);
    const LOGFONTA lf = font.LogFont();
    EXPECT_EQ(-19, lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(1, lf.lfItalic);
    EXPECT_EQ(0, lf.lfUnderline);
    EXPECT_EQ(1, lf.lfStrikeOut);
    EXPECT_EQ(VARIABLE_PITCH, lf.lfPitchAndFamily);
    EXPECT_EQ(std::string("A face name longer than thirty-"), lf.lfFaceName);
    EXPECT_NE(nullptr, font.Handle());
}

TEST(GraphicsObjects, ChangesAreToldOnceAndOnlyWhenSomethingChanges) {
    TChangeCounter counter;
    TFont font;
    font.OnChange = TNotifyEvent::Of<&TChangeCounter::Changed>(&counter);
    font.SetHeight(-11); // unchanged
    font.SetName("MS Sans Serif");
    font.SetHeight(-12);
    font.SetSize(9); // the same height again
    font.SetColor(clRed);
    font.SetStyle({});
    EXPECT_EQ(2, counter.Count);

    TPen pen;
    TChangeCounter penCounter;
    pen.OnChange = TNotifyEvent::Of<&TChangeCounter::Changed>(&penCounter);
    pen.SetWidth(1);
    pen.SetWidth(3);
    pen.SetMode(pmXor);
    pen.SetStyle(psDot);
    pen.SetColor(clBlack);
    EXPECT_EQ(3, penCounter.Count);

    TBrush brush;
    TChangeCounter brushCounter;
    brush.OnChange = TNotifyEvent::Of<&TChangeCounter::Changed>(&brushCounter);
    brush.SetColor(clWhite);
    brush.SetStyle(bsClear);
    brush.SetColor(clWhite); // a colour makes a clear brush solid again
    EXPECT_EQ(bsSolid, brush.Style());
    EXPECT_EQ(2, brushCounter.Count);
}

TEST(GraphicsObjects, HandlesAreRemadeAfterAChange) {
    TPen pen;
    HPEN first = pen.Handle();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, pen.Handle()) << "kept while nothing changes";
    pen.SetColor(clRed);
    HPEN second = pen.Handle();
    ASSERT_NE(nullptr, second);
    LOGPEN lp{};
    ASSERT_NE(0, GetObjectA(second, sizeof lp, &lp));
    EXPECT_EQ(RGB(255, 0, 0), lp.lopnColor);

    TBrush brush;
    brush.SetStyle(bsDiagCross);
    LOGBRUSH lb{};
    ASSERT_NE(0, GetObjectA(brush.Handle(), sizeof lb, &lb));
    EXPECT_EQ(BS_HATCHED, lb.lbStyle);
    EXPECT_EQ(ULONG_PTR(HS_DIAGCROSS), lb.lbHatch);
    brush.SetStyle(bsClear);
    ASSERT_NE(0, GetObjectA(brush.Handle(), sizeof lb, &lb));
    EXPECT_EQ(BS_NULL, lb.lbStyle);
}

TEST(GraphicsObjects, AssignCopiesEveryAttribute) {
    TFont a;
    a.SetName("Arial");
    a.SetHeight(-20);
    a.SetColor(clNavy);
    a.SetStyle({fsItalic});
    a.SetCharset(TFontCharset(HANGUL_CHARSET));
    a.SetPitch(fpFixed);
    TFont b;
    TChangeCounter counter;
    b.OnChange = TNotifyEvent::Of<&TChangeCounter::Changed>(&counter);
    b.Assign(&a);
    EXPECT_EQ("Arial", b.Name());
    EXPECT_EQ(-20, b.Height());
    EXPECT_EQ(clNavy, b.Color());
    EXPECT_EQ(TFontStyles{fsItalic}, b.Style());
    EXPECT_EQ(HANGUL_CHARSET, b.Charset());
    EXPECT_EQ(fpFixed, b.Pitch());
    EXPECT_EQ(1, counter.Count);

    TPen p1, p2;
    p1.SetColor(clRed);
    p1.SetWidth(4);
    p1.SetMode(pmNotXor);
    p1.SetStyle(psDash);
    p2.Assign(&p1);
    EXPECT_EQ(clRed, p2.Color());
    EXPECT_EQ(4, p2.Width());
    EXPECT_EQ(pmNotXor, p2.Mode());
    EXPECT_EQ(psDash, p2.Style());

    TBrush b1, b2;
    b1.SetColor(clYellow);
    b1.SetStyle(bsCross);
    b2.Assign(&b1);
    EXPECT_EQ(clYellow, b2.Color());
    EXPECT_EQ(bsCross, b2.Style());

    EXPECT_THROW(b2.Assign(&p1), rtl::EConvertError);
    EXPECT_THROW(a.Assign(nullptr), rtl::EConvertError);
}

TEST(GraphicsObjects, PenAndBrushPublishTheirDefaults) {
    TPen pen;
    for (const char* name : {"Color", "Mode", "Style", "Width"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsStoredProp(&pen, PropOf(pen, name)));
    }
    SetOrdProp(&pen, PropOf(pen, "Width"), 2);
    EXPECT_TRUE(IsStoredProp(&pen, PropOf(pen, "Width")));
    EXPECT_EQ(2, pen.Width());
    EXPECT_EQ(R2_XORPEN, PenModeToRop2(pmXor));
    EXPECT_EQ(R2_COPYPEN, PenModeToRop2(pmCopy));
    EXPECT_EQ(R2_NOTMERGEPEN, PenModeToRop2(pmNotMerge));

    TBrush brush;
    EXPECT_FALSE(IsStoredProp(&brush, PropOf(brush, "Color")));
    SetOrdProp(&brush, PropOf(brush, "Style"), bsBDiagonal);
    EXPECT_EQ(bsBDiagonal, brush.Style());
}

TEST(GraphicsObjects, PatternBrushFillsWithItsBitmap) {
    TBitmap pattern;
    pattern.SetPixelFormat(pf24bit);
    pattern.SetSize(8, 8);
    pattern.Canvas()->Brush()->SetColor(clRed);
    pattern.Canvas()->FillRect(rtl::Rect(0, 0, 8, 8));
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(4, 4);
    target.Canvas()->Brush()->SetBitmap(&pattern);
    pattern.Canvas()->Brush()->SetColor(clBlue); // the brush keeps its own copy
    pattern.Canvas()->FillRect(rtl::Rect(0, 0, 8, 8));
    target.Canvas()->FillRect(rtl::Rect(0, 0, 4, 4));
    EXPECT_EQ(clRed, target.Canvas()->Pixels(2, 2));
}
