#include "HeadlessFixture.h"

#include <cstring>

namespace t = platform::testing;

using System = HeadlessTest;

TEST_F(System, OneMonitorCoversTheScreen) {
    HWND w = TopLevel(10, 10, 100, 100);
    HMONITOR m = MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MonitorFromPoint(POINT{5000, 5000}, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(MonitorFromPoint(POINT{5000, 5000}, MONITOR_DEFAULTTONEAREST), m);
    MONITORINFO info{};
    EXPECT_FALSE(GetMonitorInfoA(m, &info)); // cbSize not set
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoA(m, &info));
    EXPECT_EQ(info.rcMonitor.right, 1280);
    EXPECT_EQ(info.rcWork.bottom, 1024);
    EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, 1280);
    t::SetScreenSize(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
}

TEST_F(System, WindowPlacementRemembersTheNormalRectangle) {
    HWND w = TopLevel(10, 20, 300, 200);
    ShowWindow(w, SW_SHOWMAXIMIZED);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    ASSERT_TRUE(GetWindowPlacement(w, &wp));
    EXPECT_EQ(wp.showCmd, UINT(SW_SHOWMAXIMIZED));
    EXPECT_EQ(wp.rcNormalPosition.left, 10);
    EXPECT_EQ(wp.rcNormalPosition.bottom, 220);
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{50, 60, 150, 160};
    ASSERT_TRUE(SetWindowPlacement(w, &wp));
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_FALSE(IsZoomed(w));
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.bottom, 160);
}

TEST_F(System, PropertiesByNameAndAtom) {
    HWND w = TopLevel(0, 0, 10, 10);
    int value = 0;
    EXPECT_TRUE(SetPropA(w, "ControlOfs", &value));
    EXPECT_EQ(GetPropA(w, "controlofs"), &value);
    ATOM a = GlobalFindAtomA("CONTROLOFS");
    ASSERT_GE(a, 0xC000);
    EXPECT_EQ(GetPropA(w, MAKEINTATOM(a)), &value);
    char name[32];
    EXPECT_EQ(GlobalGetAtomNameA(a, name, sizeof name), 10u);
    EXPECT_STREQ(name, "ControlOfs");
    EXPECT_EQ(RemovePropA(w, "ControlOfs"), &value);
    EXPECT_EQ(GetPropA(w, "ControlOfs"), nullptr);
    EXPECT_EQ(GetPropA(reinterpret_cast<HWND>(0x999), "ControlOfs"), nullptr);
    EXPECT_EQ(GlobalAddAtomA("#100"), 100);
    EXPECT_EQ(GlobalAddAtomA(""), 0);
    ATOM b = GlobalAddAtomA("Twice");
    EXPECT_EQ(GlobalAddAtomA("twice"), b);
    EXPECT_EQ(GlobalDeleteAtom(b), 0);
    EXPECT_EQ(GlobalFindAtomA("Twice"), b); // still referenced once
    EXPECT_EQ(GlobalDeleteAtom(b), 0);
    EXPECT_EQ(GlobalFindAtomA("Twice"), 0);
}

TEST_F(System, CaseConversionLeavesDoubleByteCharactersAlone) {
    struct Case {
        UINT CodePage;
        const char* In;
        const char* Lower;
    };
    const Case cases[] = {
        {0, "Menu.EXE", "menu.exe"},
        // In code page 949, 0x41 after the lead byte 0xB0 is a trail byte, not 'A'.
        {949, "K\xB0\x41Z", "k\xB0\x41z"},
        {932,
         "\x95\x5C"
         "AB",
         "\x95\x5C"
         "ab"},
        {0, "\xC3\x89T\xC3\x89", "\xC3\x89t\xC3\x89"}, // UTF-8: only ASCII letters change
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.In);
        t::SetCodePage(c.CodePage);
        char buf[16];
        std::strcpy(buf, c.In);
        EXPECT_EQ(CharLowerBuffA(buf, DWORD(std::strlen(buf))), DWORD(std::strlen(buf)));
        EXPECT_STREQ(buf, c.Lower);
    }
    t::SetCodePage(0);
    char oem[] = "Quillot";
    char ansi[8];
    EXPECT_TRUE(OemToCharA(oem, ansi));
    EXPECT_STREQ(ansi, "Quillot");
    EXPECT_TRUE(OemToCharBuffA(oem, oem, 7)); // in place
    EXPECT_EQ(ULONG_PTR(CharUpperA(reinterpret_cast<LPSTR>(ULONG_PTR('q')))), ULONG_PTR('Q'));
    EXPECT_TRUE(IsCharAlphaA('x'));
    EXPECT_FALSE(IsCharAlphaNumericA('-'));
}

TEST_F(System, RegionsInvalidateTheirBoundingBox) {
    HWND w = TopLevel(0, 0, 200, 200);
    Drain();
    HRGN rgn = CreateRectRgn(10, 20, 30, 40);
    EXPECT_TRUE(InvalidateRgn(w, rgn, FALSE));
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetUpdateRgn(w, update, FALSE), SIMPLEREGION);
    RECT box;
    GetRgnBox(update, &box);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.bottom, 40);
    EXPECT_TRUE(ValidateRgn(w, rgn));
    EXPECT_EQ(GetUpdateRgn(w, update, FALSE), NULLREGION);
    DeleteObject(rgn);
    DeleteObject(update);
}

TEST_F(System, StartupInfoGivesNoShowCommand) {
    STARTUPINFOA si;
    GetStartupInfoA(&si);
    EXPECT_EQ(si.cb, sizeof si);
    EXPECT_EQ(si.dwFlags & STARTF_USESHOWWINDOW, 0u);
    HWND w = TopLevel(0, 0, 100, 100);
    HWND c = Child(w, 0, 0, 10, 10, WS_VISIBLE, 42);
    EXPECT_EQ(GetDlgCtrlID(c), 42);
    EXPECT_EQ(GetDlgItem(w, 42), c);
    EXPECT_EQ(GetLastActivePopup(w), w);
}
