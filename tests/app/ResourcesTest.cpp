// The program's resource table: the form, the icon, the media bar's glyphs and every
// numbered message, with the texts the framework expects.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "rtl/Consts.h"

namespace {

TEST(ProgramResources, HoldTheFormTheIconTheGlyphsAndEveryNumberedMessage) {
    HMODULE module = GetModuleHandleA(nullptr);
    EXPECT_NE(FindResourceA(module, "tform1", RT_RCDATA), nullptr); // any case
    EXPECT_NE(FindResourceA(module, "MAINICON", RT_GROUP_ICON), nullptr);
    EXPECT_NE(FindResourceA(module, "EN_MPPLAY", RT_BITMAP), nullptr);
    EXPECT_NE(FindResourceA(module, "CL_MPEJECT", RT_BITMAP), nullptr);
    for (const rtl::TResStringRec& rec : rtl::NumberedStrings) {
        SCOPED_TRACE(rec.Identifier);
        char text[512] = {};
        const int n = LoadStringA(module, UINT(rec.Identifier), text, int(sizeof text));
        EXPECT_EQ(std::string(text, std::size_t(n > 0 ? n : 0)), rec.Text);
    }
}

} // namespace
