#include <gtest/gtest.h>

#include "rtl/Exceptions.h"
#include "rtl/SysUtils.h"

using namespace rtl;

TEST(Format, FillsTheDirectivesTheMessagesUse) {
    struct Case {
        std::string got;
        const char* expected;
    } cases[] = {
        {Format("Class %s not found", "TFoo"), "Class TFoo not found"},
        {Format("List index out of bounds (%d)", -3), "List index out of bounds (-3)"},
        {Format("Error reading %s%s%s: %s", "back", ".", "Cursor", "Invalid property value"),
         "Error reading back.Cursor: Invalid property value"},
        {Format("Unrecognized extension block: %.2x", 0x2C), "Unrecognized extension block: 2C"},
        {Format("%.2x", 7), "07"},
        {Format("%x", 0x1FFFFFFF), "1FFFFFFF"},
        {Format("%x", -1), "FFFFFFFF"},
        {Format("%s_%d", "Form1", 1), "Form1_1"},
        {Format("100%%"), "100%"},
        {Format("%p", reinterpret_cast<const void*>(0x1234)), "0000000000001234"},
        {Format("''%s'' is not a valid component name", "1abc"),
         "''1abc'' is not a valid component name"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.expected);
}

TEST(Format, MissingOrMismatchedArgumentRaisesConvertError) {
    EXPECT_THROW(Format("%s and %s", "one"), EConvertError);
    EXPECT_THROW(Format("%d", "text"), EConvertError);
    EXPECT_THROW(Format("%s", 5), EConvertError);
    EXPECT_THROW(Format("trailing %"), EConvertError);
}

TEST(SameText, IgnoresOnlyAsciiCase) {
    EXPECT_TRUE(SameText("clBtnFace", "CLBTNFACE"));
    EXPECT_TRUE(SameText("", ""));
    EXPECT_FALSE(SameText("clBtnFace", "clBtnFac"));
    EXPECT_FALSE(SameText("a_", "a-"));
    // Bytes above 127 are compared exactly: no locale folding.
    EXPECT_FALSE(SameText("\xC3\xA4", "\xC3\x84"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("Form1", "FORM1"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
}

TEST(IsValidIdent, LetterOrUnderscoreThenLettersDigitsUnderscores) {
    struct Case {
        const char* s;
        bool plain;
        bool dotted;
    } cases[] = {
        {"MainImage", true, true},
        {"_x1", true, true},
        {"b_korean", true, true},
        {"1abc", false, false},
        {"", false, false},
        {"a b", false, false},
        {"a.b", false, true},
        {"a..b", false, false},
        {"a.", false, false},
        {".a", false, false},
        {"\xEA\xB0\x80", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(IsValidIdent(c.s), c.plain);
        EXPECT_EQ(IsValidIdent(c.s, true), c.dotted);
    }
}

TEST(Exception, CarriesFormattedMessageAndClassName) {
    try {
        throw EClassNotFound(SClassNotFound, "TFoo");
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message(), "Class TFoo not found");
        EXPECT_STREQ(e.ClassName(), "EClassNotFound");
    }
    EXPECT_EQ(EAbstractError().Message(), "Abstract Error");
    EXPECT_THROW(Abort(), EAbort);
}

TEST(Consts, NumberedTextsComeFromTheStringTableWhenItHasThem) {
    EXPECT_EQ(LoadResString(SMCINil), "No MCI device open");
    SetStringTableLookup([](int id, std::string& text) {
        if (id != 65313)
            return false;
        text = "replaced";
        return true;
    });
    EXPECT_EQ(LoadResString(SMCINil), "replaced");
    EXPECT_EQ(LoadResString(SNoTimers), "Not enough timers available");
    SetStringTableLookup(nullptr);
}
