// The form writer: the tag rules, what a live component writes (and what it leaves out),
// and round trips writer -> reader -> writer that give identical bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "StreamBytes.h"
#include "TestClasses.h"
#include "rtl/Exceptions.h"

using namespace formstream;
using namespace testclasses;

namespace {

std::string Written(const std::function<void(TWriter&)>& write) {
    rtl::TMemoryStream s;
    {
        TWriter w(s, 7); // a small buffer, so that flushing is exercised too
        write(w);
    }
    return std::string(reinterpret_cast<const char*>(s.Memory()),
                       static_cast<std::size_t>(s.Size()));
}

std::string WriteRoot(TComponent* root, TComponent* ancestor = nullptr) {
    return Written([&](TWriter& w) { w.WriteDescendent(root, ancestor); });
}

std::string Hex(const std::string& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

class Writer : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClassRegistry();
        RegisterTestClasses();
        gEvents.clear();
    }
    void TearDown() override { ResetClassRegistry(); }
};

// A root with something of every kind, as a form built in code would be.
TOwned<TTestRoot> MakeRichRoot() {
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    root->SetName("Form1");
    root->FLeft = -4;
    root->FWidth = 1283;
    root->FCaption = "Quillot 05 Vol. 1 ";
    root->FColor = clBtnFace;
    root->FWindowState = wsMaximized;
    root->FFont->FHeight = -19;
    root->FFont->FName = "Franklin Gothic Medium";
    root->FFont->FColor = clGray;
    root->FFont->FCharset = static_cast<TFontCharset>(0);
    root->FFont->FStyle = {fsBold, fsStrikeOut};
    root->FOnResize = TEvent<TObject*, int>::Of<&TTestRoot::Resized>(root.get());
    root->FExtra = 13;
    auto* first = new TWidget(root.get());
    first->SetName("First");
    first->FCursor = static_cast<TCursor>(-21);
    first->FOnClick = TNotifyEvent::Of<&TTestRoot::ButtonClick>(root.get());
    first->FVisible = false;
    first->FRatio = 0.1;
    first->FCh = 'x';
    first->FBig = std::int64_t(1) << 40;
    first->FWide = u"\uAC00 wide";
    first->FVar.VType = TVariant::TVarType::varString;
    first->FVar.Str = "v";
    first->FAnchors = {};
    first->FAlign = alClient;
    first->FCaption = std::string(300, 'L');
    first->FData = {0, 1, 2, 0xFF};
    first->FHasData = true;
    auto* second = new TGadget(root.get());
    second->SetName("Gadget");
    first->FRef = second;
    second->FRef = root.get();
    auto* item = static_cast<TTestItem*>(second->FItems->Add());
    item->FCaption = "item";
    item->FValue = 70000;
    item->FLink = first;
    second->FItems->Add();
    auto* timer = new TTestTimer(root.get());
    timer->SetName("Timer1");
    timer->FInterval = 100;
    timer->FOnTimer = TNotifyEvent::Of<&TTestRoot::OtherClick>(root.get());
    timer->SetDesignPosition(272, 840);
    second->FCursor = static_cast<TCursor>(-1); // a cursor without a name: written as a number
    return root;
}

} // namespace

TEST_F(Writer, IntegersTakeTheSmallestTag) {
    struct Case {
        std::int64_t value;
        std::vector<int> bytes;
    } cases[] = {
        {0, {0x02, 0x00}},
        {127, {0x02, 0x7F}},
        {-128, {0x02, 0x80}},
        {128, {0x03, 0x80, 0x00}},
        {-129, {0x03, 0x7F, 0xFF}},
        {32767, {0x03, 0xFF, 0x7F}},
        {-32768, {0x03, 0x00, 0x80}},
        {32768, {0x04, 0x00, 0x80, 0x00, 0x00}},
        {-32769, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
        {2147483647, {0x04, 0xFF, 0xFF, 0xFF, 0x7F}},
        {-2147483648LL, {0x04, 0x00, 0x00, 0x00, 0x80}},
        {2147483648LL, {0x13, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00}},
        {-2147483649LL, {0x13, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string expected;
        for (int b : c.bytes)
            expected += static_cast<char>(b);
        EXPECT_EQ(Hex(Written([&](TWriter& w) { w.WriteInteger(c.value); })), Hex(expected));
    }
}

TEST_F(Writer, StringsIdentifiersAndNames) {
    struct Case {
        const char* what;
        std::function<void(TWriter&)> write;
        std::string expected;
    } cases[] = {
        {"short string", [](TWriter& w) { w.WriteString("ab"); },
         std::string("\x06\x02"
                     "ab")},
        {"255 bytes stay short", [](TWriter& w) { w.WriteString(std::string(255, 'a')); },
         std::string("\x06\xFF") + std::string(255, 'a')},
        {"256 bytes are long", [](TWriter& w) { w.WriteString(std::string(256, 'a')); },
         std::string("\x0C\x00\x01\x00\x00", 5) + std::string(256, 'a')},
        {"non-ASCII 8-bit text stays 8-bit", [](TWriter& w) { w.WriteString("\xEA\xB0\x80"); },
         std::string("\x06\x03\xEA\xB0\x80")},
        {"wide text with an 8-bit form", [](TWriter& w) { w.WriteWideString(u"\uAC00"); },
         std::string("\x06\x03\xEA\xB0\x80")},
        {"wide text with a lone surrogate",
         [](TWriter& w) { w.WriteWideString(std::u16string(1, char16_t(0xDC00))); },
         std::string("\x12\x01\x00\x00\x00\x00\xDC", 7)},
        {"False", [](TWriter& w) { w.WriteIdent("FALSE"); }, std::string("\x08")},
        {"True", [](TWriter& w) { w.WriteIdent("true"); }, std::string("\x09")},
        {"Null", [](TWriter& w) { w.WriteIdent("null"); }, std::string("\x00", 1)},
        {"nil", [](TWriter& w) { w.WriteIdent("NIL"); }, std::string("\x0D")},
        {"other identifier", [](TWriter& w) { w.WriteIdent("clBtnFace"); },
         std::string("\x07\x09"
                     "clBtnFace")},
        {"name cut to 255", [](TWriter& w) { w.WriteShortStr(std::string(300, 'n')); },
         std::string("\xFF") + std::string(255, 'n')},
        {"no header byte without flags", [](TWriter& w) { w.WriteHeader(0, 5); }, std::string()},
        {"header with child position", [](TWriter& w) { w.WriteHeader(cfChildPos, 300); },
         std::string("\xF2\x03\x2C\x01")},
        {"inherited inline", [](TWriter& w) { w.WriteHeader(cfInherited | cfInline, -1); },
         std::string("\xF5")},
        {"set", [](TWriter& w) { w.WriteSet(0b1001, TypeInfoOf<TFontStyles>); },
         std::string("\x0B\x06"
                     "fsBold\x0B"
                     "fsStrikeOut\x00",
                     21)},
        {"empty set", [](TWriter& w) { w.WriteSet(0, TypeInfoOf<TFontStyles>); },
         std::string("\x0B\x00", 2)},
        {"extended 1.5", [](TWriter& w) { w.WriteFloat(1.5L); },
         std::string("\x05\x00\x00\x00\x00\x00\x00\x00\xC0\xFF\x3F", 11)},
        {"binary", [](TWriter& w) { w.WriteBinary("\x01\x02", 2); },
         std::string("\x0A\x02\x00\x00\x00\x01\x02", 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Hex(Written(c.write)), Hex(c.expected));
    }
}

TEST_F(Writer, ExtendedFloatsKeepTheirValue) {
    const long double values[] = {0.0L,
                                  -0.0L,
                                  1.0L,
                                  -2.5L,
                                  0.1L,
                                  1e-300L,
                                  1e300L,
                                  std::numeric_limits<long double>::max(),
                                  std::numeric_limits<long double>::denorm_min(),
                                  std::numeric_limits<long double>::infinity(),
                                  -std::numeric_limits<long double>::infinity()};
    for (long double v : values) {
        SCOPED_TRACE(static_cast<double>(v));
        std::uint8_t bytes[10];
        LongDoubleToExtended(v, bytes);
        const long double back = ExtendedToLongDouble(bytes);
        EXPECT_EQ(back, v);
        EXPECT_EQ(std::signbit(back), std::signbit(v));
    }
    std::uint8_t nan[10];
    LongDoubleToExtended(std::nanl(""), nan);
    EXPECT_TRUE(std::isnan(ExtendedToLongDouble(nan)));
}

TEST_F(Writer, SmallFormBytes) {
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    root->SetName("Form1");
    root->FLeft = -4;
    root->FColor = clBtnFace;
    root->FFont->FStyle = {};
    root->FFont->FHeight = -12;
    auto* image = new TWidget(root.get());
    image->SetName("womanImage");
    image->FCursor = static_cast<TCursor>(-21);
    image->FOnClick = TNotifyEvent::Of<&TTestRoot::ButtonClick>(root.get());
    image->FRef = image;
    TBytes expected;
    expected.Sig().Obj("TTestRoot", "Form1");
    expected.Prop("Left").Int(-4).Prop("Color").Ident("clBtnFace").Prop("Font.Height").Int(-12);
    expected.End();
    expected.Obj("TWidget", "womanImage");
    expected.Prop("Left").Int(0).Prop("Cursor").Ident("crHandPoint");
    expected.Prop("OnClick").Ident("ButtonClick").Prop("Ref").Ident("womanImage");
    expected.End().End();
    expected.End();
    EXPECT_EQ(Hex(WriteRoot(root.get())), Hex(expected.Bytes()));
}

TEST_F(Writer, RoundTripGivesIdenticalBytes) {
    TOwned<TTestRoot> root = MakeRichRoot();
    const std::string first = WriteRoot(root.get());

    rtl::TMemoryStream s;
    s.WriteBuffer(first.data(), first.size());
    s.SetPosition(0);
    TOwned<TComponent> copy;
    {
        TReader reader(s);
        copy.reset(reader.ReadRootEntry(nullptr));
    }
    const std::string second = WriteRoot(copy.get());
    EXPECT_EQ(Hex(second), Hex(first));

    auto* r = static_cast<TTestRoot*>(copy.get());
    ASSERT_NE(r->First, nullptr);
    ASSERT_NE(r->Gadget, nullptr);
    EXPECT_EQ(r->First->FRef, r->Gadget);
    EXPECT_EQ(r->Gadget->FRef, r);
    auto* timer = static_cast<TTestTimer*>(r->FindOwnedComponent("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->DesignLeft(), 272);
    EXPECT_EQ(timer->DesignTop(), 840);
    EXPECT_EQ(timer->FInterval, 100);
    EXPECT_EQ(r->FFont->FStyle, (TFontStyles{fsBold, fsStrikeOut}));
    EXPECT_EQ(r->First->FWide, u"\uAC00 wide");
    EXPECT_EQ(r->First->FRatio, 0.1);
    ASSERT_EQ(r->Gadget->FItems->Count(), 2);
    EXPECT_EQ(static_cast<TTestItem*>(r->Gadget->FItems->Items(0))->FLink, r->First);
    EXPECT_EQ(r->FExtra, 13);
    EXPECT_EQ(r->First->FData, (std::vector<std::uint8_t>{0, 1, 2, 0xFF}));
}

TEST_F(Writer, DefaultsAndUnstoredPropertiesAreLeftOut) {
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    root->SetName("R");
    root->SetTag(0);
    // Every property keeps its default; Left (no default) is the only one written.
    TBytes expected;
    expected.Sig().Obj("TTestRoot", "R").Prop("Left").Int(0).End().End();
    EXPECT_EQ(Hex(WriteRoot(root.get())), Hex(expected.Bytes()));

    // An event bound to an object other than the root, or to no published method, and a
    // reference to a component outside the root are not written.
    TOwned<TTestRoot> other(new TTestRoot(nullptr));
    root->FOnClick = TNotifyEvent::Of<&TTestRoot::ButtonClick>(other.get());
    auto* stranger = new TWidget(nullptr);
    root->FRef = stranger;
    EXPECT_EQ(Hex(WriteRoot(root.get())), Hex(expected.Bytes()));
    root->FRef = nullptr;
    Free(stranger);
}

TEST_F(Writer, DescendentWritesOnlyDifferences) {
    TOwned<TTestRoot> ancestor = MakeRichRoot();
    TOwned<TTestRoot> root = MakeRichRoot();
    root->FLeft = 10;
    root->First->FCaption = "changed";
    auto* added = new TWidget(root.get());
    added->SetName("Added");
    TBytes expected;
    expected.Sig().Obj("TTestRoot", "Form1").Prop("Left").Int(10).End();
    expected.Byte(0xF1).Obj("TWidget", "First").Prop("Caption").String("changed").End().End();
    expected.Byte(0xF1).Obj("TGadget", "Gadget").End().End();
    expected.Byte(0xF1).Obj("TTestTimer", "Timer1").End().End();
    expected.Obj("TWidget", "Added").Prop("Left").Int(0).End().End();
    expected.End();
    EXPECT_EQ(Hex(WriteRoot(root.get(), ancestor.get())), Hex(expected.Bytes()));
}
