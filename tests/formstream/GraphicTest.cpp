// Pictures and their "Data" blocks, the graphic format list and the abstract graphic.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "KeptBytesGraphic.h"
#include "formstream/Graphic.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

using namespace formstream;

constinit const TClassInfo TKeptBytes::ClassInfo = ClassInfoOf<TKeptBytes, TGraphic>("TKeptBytes");

namespace {

// The graphic of these tests, under its own name.
class TBytesGraphic : public TKeptBytes {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
};
constinit const TClassInfo TBytesGraphic::ClassInfo =
    ClassInfoOf<TBytesGraphic, TKeptBytes>("TBytesGraphic");

// Another class under the same name, registered later.
class TOtherBytes : public TBytesGraphic {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
};
constinit const TClassInfo TOtherBytes::ClassInfo =
    ClassInfoOf<TOtherBytes, TBytesGraphic>("TBytesGraphic");

// An abstract-in-practice graphic that overrides nothing.
class TBareGraphic : public TGraphic {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
};
constinit const TClassInfo TBareGraphic::ClassInfo =
    ClassInfoOf<TBareGraphic, TGraphic>("TBareGraphic");

// Builds a "Data" block: name length, name, then the graphic's data.
std::unique_ptr<rtl::TMemoryStream> Block(std::string_view className, std::string_view payload,
                                          std::int64_t declaredLength = -1) {
    auto p = std::make_unique<rtl::TMemoryStream>();
    rtl::TMemoryStream& s = *p;
    s.WriteByte(static_cast<std::uint8_t>(className.size()));
    s.WriteBuffer(className.data(), className.size());
    s.WriteDWord(static_cast<std::uint32_t>(declaredLength < 0 ? payload.size() : declaredLength));
    s.WriteBuffer(payload.data(), payload.size());
    s.SetPosition(0);
    return p;
}

struct ChangeCounter : TObject {
    int Changes = 0;
    void OnChange(TObject*) { ++Changes; }
};

class Picture : public ::testing::Test {
protected:
    void SetUp() override {
        UnregisterGraphicFormat(&TGraphic::ClassInfo);
        RegisterGraphicFormat("bytes", "Byte blocks", &TBytesGraphic::ClassInfo);
        picture.OnChange = TNotifyEvent::Of<&ChangeCounter::OnChange>(&counter);
    }
    void TearDown() override { UnregisterGraphicFormat(&TGraphic::ClassInfo); }
    TPicture picture;
    ChangeCounter counter;
};

TBytesGraphic* BytesOf(const TPicture& p) {
    return DynCast<TBytesGraphic>(p.Graphic());
}

} // namespace

TEST_F(Picture, ReadsTheNamedClassAndAnnouncesTheChangeOnce) {
    auto s = Block("TBytesGraphic", "abc");
    picture.ReadPictureData(*s);
    ASSERT_NE(BytesOf(picture), nullptr);
    EXPECT_EQ(BytesOf(picture)->Bytes, "abc");
    EXPECT_EQ(counter.Changes, 1);
    EXPECT_EQ(picture.Width(), 3);
    // The graphic's later changes reach the picture's owner.
    picture.Graphic()->Changed(picture.Graphic());
    EXPECT_EQ(counter.Changes, 2);
}

TEST_F(Picture, EmptyOrUnknownNamesGiveAnEmptyPictureWithoutError) {
    for (std::string_view name : {"", "TGIFImage", "tbytesgraphic", "TBYTESGRAPHIC"}) {
        SCOPED_TRACE(std::string(name));
        auto s = Block("TBytesGraphic", "old");
        picture.ReadPictureData(*s);
        auto t = Block(name, "new");
        picture.ReadPictureData(*t);
        EXPECT_EQ(picture.Graphic(), nullptr);
        EXPECT_EQ(picture.Width(), 0);
    }
    EXPECT_EQ(TKeptBytes::Live, 0) << "replaced graphics are destroyed";
}

TEST_F(Picture, CutShortDataKeepsTheOldGraphic) {
    auto s = Block("TBytesGraphic", "keep");
    picture.ReadPictureData(*s);
    TGraphic* old = picture.Graphic();
    auto cut = Block("TBytesGraphic", "xy", 100);
    EXPECT_THROW(picture.ReadPictureData(*cut), rtl::EReadError);
    EXPECT_EQ(picture.Graphic(), old);
    EXPECT_EQ(BytesOf(picture)->Bytes, "keep");
    EXPECT_EQ(TKeptBytes::Live, 1);
    EXPECT_EQ(counter.Changes, 1);
}

TEST_F(Picture, NameLongerThan63IsRejected) {
    rtl::TMemoryStream s;
    s.WriteByte(64);
    s.WriteBuffer(std::string(64, 'T').data(), 64);
    s.SetPosition(0);
    try {
        picture.ReadPictureData(s);
        FAIL();
    } catch (const rtl::EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid property value");
    }
    EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST_F(Picture, SecondReadReplacesTheFirstGraphic) {
    auto a = Block("TBytesGraphic", "one");
    picture.ReadPictureData(*a);
    auto b = Block("TBytesGraphic", "two!");
    picture.ReadPictureData(*b);
    EXPECT_EQ(BytesOf(picture)->Bytes, "two!");
    EXPECT_EQ(TKeptBytes::Live, 1);
}

TEST_F(Picture, LaterRegistrationOfTheSameNameWinsAndUnregisteringEmpties) {
    RegisterGraphicFormat("other", "Other", &TOtherBytes::ClassInfo);
    auto a = Block("TBytesGraphic", "x");
    picture.ReadPictureData(*a);
    EXPECT_EQ(picture.Graphic()->ClassType(), &TOtherBytes::ClassInfo);
    UnregisterGraphicFormat(&TOtherBytes::ClassInfo);
    auto b = Block("TBytesGraphic", "y");
    picture.ReadPictureData(*b);
    EXPECT_EQ(picture.Graphic()->ClassType(), &TBytesGraphic::ClassInfo);
    UnregisterGraphicFormat(&TBytesGraphic::ClassInfo); // and its descendants
    auto c = Block("TBytesGraphic", "z");
    picture.ReadPictureData(*c);
    EXPECT_EQ(picture.Graphic(), nullptr);
    EXPECT_EQ(FindGraphicClassByExtension("BYTES"), nullptr);
}

TEST_F(Picture, WritesNameAndDataAndReadsThemBack) {
    auto s = Block("TBytesGraphic", "payload");
    picture.ReadPictureData(*s);
    rtl::TMemoryStream out;
    picture.WritePictureData(out);
    ASSERT_EQ(out.Size(), s->Size());
    EXPECT_EQ(std::memcmp(out.Memory(), s->Memory(), static_cast<std::size_t>(s->Size())), 0);
    TPicture empty;
    rtl::TMemoryStream none;
    empty.WritePictureData(none);
    ASSERT_EQ(none.Size(), 1);
    EXPECT_EQ(none.Memory()[0], 0);
}

TEST_F(Picture, SettingOrAssigningCopiesTheGraphic) {
    TBytesGraphic g;
    g.Bytes = "copy me";
    picture.SetGraphic(&g);
    ASSERT_NE(picture.Graphic(), &g);
    EXPECT_EQ(BytesOf(picture)->Bytes, "copy me");
    TPicture other;
    other.Assign(&picture);
    EXPECT_EQ(BytesOf(other)->Bytes, "copy me");
    EXPECT_NE(other.Graphic(), picture.Graphic());
    other.Assign(nullptr);
    EXPECT_EQ(other.Graphic(), nullptr);
    TBytesGraphic target;
    target.Assign(&picture);
    EXPECT_EQ(target.Bytes, "copy me");
    EXPECT_EQ(counter.Changes, 1);
}

TEST_F(Picture, GraphicOfClassReplacesAGraphicOfAnotherClass) {
    auto s = Block("TBytesGraphic", "x");
    picture.ReadPictureData(*s);
    TGraphic* same = picture.GraphicOfClass(&TBytesGraphic::ClassInfo);
    EXPECT_EQ(BytesOf(picture)->Bytes, "x");
    TGraphic* other = picture.GraphicOfClass(&TOtherBytes::ClassInfo);
    EXPECT_NE(other, same);
    EXPECT_TRUE(BytesOf(picture)->Bytes.empty());
}

TEST(Graphic, EqualsComparesWrittenDataOfTheSameClass) {
    TBytesGraphic a, b;
    TOtherBytes c;
    EXPECT_TRUE(a.Equals(&b)) << "both empty";
    a.Bytes = "same";
    EXPECT_FALSE(a.Equals(&b));
    b.Bytes = "same";
    c.Bytes = "same";
    EXPECT_TRUE(a.Equals(&b));
    EXPECT_FALSE(a.Equals(&c));
    b.Bytes = "diff";
    EXPECT_FALSE(a.Equals(&b));
}

TEST(Graphic, AbstractOperationsRaiseAbstractError) {
    TBareGraphic g;
    rtl::TMemoryStream s;
    try {
        g.LoadFromStream(s);
        FAIL();
    } catch (const rtl::EAbstractError& e) {
        EXPECT_EQ(e.Message(), "Abstract Error");
    }
    EXPECT_THROW((void)g.Width(), rtl::EAbstractError);
    EXPECT_THROW(g.SetWidth(3), rtl::EAbstractError);
    EXPECT_THROW(g.Draw(nullptr, rtl::TRect{}), rtl::EAbstractError);
    EXPECT_EQ(g.GetPalette(), nullptr);
}

TEST(Graphic, TransparencySetterSignalsOnlyChanges) {
    TBytesGraphic g;
    ChangeCounter counter;
    g.OnChange = TNotifyEvent::Of<&ChangeCounter::OnChange>(&counter);
    g.SetTransparent(false);
    EXPECT_EQ(counter.Changes, 0);
    g.SetTransparent(true);
    EXPECT_EQ(counter.Changes, 1);
    EXPECT_TRUE(g.Transparent());
    EXPECT_TRUE(g.Modified());
}

TEST_F(Picture, UnknownClipboardFormatIsRefused) {
    try {
        picture.LoadFromClipboardFormat(12345, nullptr, nullptr);
        FAIL();
    } catch (const rtl::EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unsupported clipboard format");
    }
}
