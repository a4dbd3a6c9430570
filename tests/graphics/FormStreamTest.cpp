// Fonts, pens and brushes as sub-properties of a component in a form stream
// ("Font.Height", "Font.Style" ...), written by the form writer and read back by the reader.
#include <gtest/gtest.h>

#include "formstream/Component.h"
#include "formstream/Reader.h"
#include "formstream/Writer.h"
#include "graphics/Graphics.h"
#include "rtl/Stream.h"

using namespace graphics;
using namespace formstream;

namespace {

class TDrawingHolder : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    static const TPropInfo Published[];

    explicit TDrawingHolder(TComponent* owner)
        : TComponent(owner), FFont(new TFont()), FPen(new TPen()), FBrush(new TBrush()) {}

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TPen* Pen() const { return FPen.get(); }
    void SetPen(TPen* value) { FPen->Assign(value); }
    TBrush* Brush() const { return FBrush.get(); }
    void SetBrush(TBrush* value) { FBrush->Assign(value); }

private:
    TOwned<TFont> FFont;
    TOwned<TPen> FPen;
    TOwned<TBrush> FBrush;
};

constinit const TPropInfo TDrawingHolder::Published[] = {
    Prop<&TDrawingHolder::Brush, &TDrawingHolder::SetBrush>("Brush"),
    Prop<&TDrawingHolder::Font, &TDrawingHolder::SetFont>("Font"),
    Prop<&TDrawingHolder::Pen, &TDrawingHolder::SetPen>("Pen"),
};
constinit const TClassInfo TDrawingHolder::ClassInfo =
    ClassInfoOf<TDrawingHolder, TComponent>("TDrawingHolder", TDrawingHolder::Published);

std::string Written(TComponent* root) {
    rtl::TMemoryStream s;
    {
        TWriter writer(s);
        writer.WriteRootComponent(root);
    }
    return std::string(reinterpret_cast<const char*>(s.Memory()), std::size_t(s.Size()));
}

void ReadInto(TComponent* root, const std::string& bytes) {
    rtl::TMemoryStream s;
    s.WriteBuffer(bytes.data(), bytes.size());
    s.SetPosition(0);
    TReader reader(s);
    reader.ReadRootEntry(root);
}

} // namespace

TEST(FormStream, DrawingObjectsTravelAsSubProperties) {
    RegisterGraphicsUnit();
    TOwned<TDrawingHolder> source(new TDrawingHolder(nullptr));
    source->SetName("Holder");
    source->Font()->SetHeight(-19);
    source->Font()->SetName("Franklin Gothic Medium");
    source->Font()->SetColor(clGray);
    source->Font()->SetCharset(TFontCharset(HANGUL_CHARSET));
    source->Font()->SetStyle({fsBold, fsStrikeOut});
    source->Pen()->SetWidth(3);
    source->Pen()->SetMode(pmXor);
    source->Brush()->SetColor(clBtnFace);
    source->Brush()->SetStyle(bsCross);
    const std::string bytes = Written(source.get());
    for (const char* text : {"Font.Height", "Font.Name", "Font.Style", "Font.Color", "clGray",
                             "Font.Charset", "HANGEUL_CHARSET", "Pen.Width", "Pen.Mode", "pmXor",
                             "Brush.Color", "clBtnFace", "Brush.Style", "bsCross"})
        EXPECT_NE(std::string::npos, bytes.find(text)) << text << " not written";
    EXPECT_EQ(std::string::npos, bytes.find("Font.Size")) << "Size is not stored";
    EXPECT_EQ(std::string::npos, bytes.find("Pen.Color")) << "defaults are not stored";

    TOwned<TDrawingHolder> copy(new TDrawingHolder(nullptr));
    copy->Font()->SetStyle({fsItalic}); // replaced by the stored set
    ReadInto(copy.get(), bytes);
    EXPECT_EQ(-19, copy->Font()->Height());
    EXPECT_EQ(14, copy->Font()->Size());
    EXPECT_EQ("Franklin Gothic Medium", copy->Font()->Name());
    EXPECT_EQ(clGray, copy->Font()->Color());
    EXPECT_EQ(HANGUL_CHARSET, copy->Font()->Charset());
    EXPECT_EQ((TFontStyles{fsBold, fsStrikeOut}), copy->Font()->Style());
    EXPECT_EQ(3, copy->Pen()->Width());
    EXPECT_EQ(pmXor, copy->Pen()->Mode());
    EXPECT_EQ(clBtnFace, copy->Brush()->Color());
    EXPECT_EQ(bsCross, copy->Brush()->Style());

    // An empty style set is written too ("Font.Style = []") and read as empty.
    source->Font()->SetStyle({});
    ReadInto(copy.get(), Written(source.get()));
    EXPECT_TRUE(copy->Font()->Style().Empty());
}
