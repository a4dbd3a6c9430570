#include <gtest/gtest.h>

#include "rtl/Exceptions.h"
#include "rtl/ResourceStream.h"
#include "tests/common/ExceptionMessage.h"

using namespace rtl;

TEST(ResourceStream, FindsResourcesByNameInAnyCaseOrByNumber) {
    for (const char* name : {"TESTDATA", "testdata", "TestData"}) {
        SCOPED_TRACE(name);
        TResourceStream s(GetModuleHandleA(nullptr), name, RT_RCDATA);
        ASSERT_EQ(s.Size(), 14);
        char buf[14];
        s.ReadBuffer(buf, 14);
        EXPECT_EQ(std::string(buf, 14), "resource bytes");
    }
    TResourceStream byNumber(GetModuleHandleA(nullptr), 7, RT_RCDATA);
    EXPECT_EQ(byNumber.Size(), 14);
}

TEST(ResourceStream, MissingResourceAndWritesAreRefused) {
    EXPECT_EQ(MessageOf<EResNotFound>(
                  [] { TResourceStream s(GetModuleHandleA(nullptr), "TFORM2", RT_RCDATA); }),
              "Resource TFORM2 not found");
    EXPECT_EQ(MessageOf<EResNotFound>(
                  [] { TResourceStream s(GetModuleHandleA(nullptr), "TESTDATA", RT_BITMAP); }),
              "Resource TESTDATA not found");
    TResourceStream s(GetModuleHandleA(nullptr), "TESTDATA", RT_RCDATA);
    EXPECT_THROW(s.WriteByte(1), EStreamError);
    EXPECT_TRUE(ResourceExists(GetModuleHandleA(nullptr), "testdata", RT_RCDATA));
    EXPECT_FALSE(ResourceExists(GetModuleHandleA(nullptr), "nothing", RT_RCDATA));
}

TEST(ResourceStream, NumberedMessagesComeFromTheStringTable) {
    EXPECT_EQ(LoadResString(SMCIUnknownError), "Unknown error code (from the table)");
    EXPECT_EQ(LoadResString(SMCINil), "No MCI device open") << "not in the table: built in";
}
