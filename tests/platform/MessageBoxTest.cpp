#include "HeadlessFixture.h"

namespace t = platform::testing;

using MessageBox = HeadlessTest;

namespace {

int Ticks = 0;
bool OwnerEnabledDuringTick = true;
HWND Owner = nullptr;

void CountTicks(HWND, UINT, UINT_PTR, DWORD) {
    ++Ticks;
    if (IsWindowEnabled(Owner))
        OwnerEnabledDuringTick = true;
}

} // namespace

TEST_F(MessageBox, TimersKeepTickingInItsLoopUntilOkIsPressed) {
    Owner = TopLevel(100, 100, 600, 400);
    HWND other = TopLevel(0, 0, 50, 50);
    SetActiveWindow(Owner);
    Drain();
    Ticks = 0;
    OwnerEnabledDuringTick = false;
    SetTimer(Owner, 1, 100, CountTicks);
    DWORD start = t::Now();
    std::string seenText;
    UINT seenFlags = 0;
    RECT boxRect{}, ownerRect{};
    t::RunAt(start + 1050, [&] {
        auto box = t::FindMessageBox();
        ASSERT_NE(box.Handle, nullptr);
        seenText = box.Text;
        seenFlags = box.Flags;
        GetWindowRect(box.Handle, &boxRect);
        GetWindowRect(Owner, &ownerRect);
        EXPECT_FALSE(IsWindowEnabled(Owner));
        EXPECT_FALSE(IsWindowEnabled(other)); // task-modal: every top-level window
        EXPECT_EQ(GetWindow(box.Handle, GW_OWNER), Owner);
        EXPECT_TRUE(t::PressMessageBoxButton(box.Handle, IDOK));
    });
    int result =
        MessageBoxA(Owner, "No MCI device open.", "Quillot", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Ticks, 10);
    EXPECT_FALSE(OwnerEnabledDuringTick);
    EXPECT_EQ(seenText, "No MCI device open.");
    EXPECT_EQ(seenFlags, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    // Centred on its owner.
    EXPECT_NEAR((boxRect.left + boxRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 1);
    EXPECT_NEAR((boxRect.top + boxRect.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 1);
    EXPECT_TRUE(IsWindowEnabled(Owner));
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_EQ(t::FindMessageBox().Handle, nullptr);
    auto history = t::MessageBoxHistory();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].Result, IDOK);
    EXPECT_EQ(history[0].Caption, "Quillot");
    KillTimer(Owner, 1);
}

TEST_F(MessageBox, KeysThatAnswerIt) {
    struct Case {
        const char* Name;
        UINT Type;
        int Key;
        int Expected;
    };
    const Case cases[] = {
        {"enter on OK", MB_OK, VK_RETURN, IDOK},
        {"space on OK", MB_OK, VK_SPACE, IDOK},
        {"escape on OK", MB_OK, VK_ESCAPE, IDOK},
        {"escape on OK/Cancel", MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
        {"enter on Yes/No", MB_YESNO, VK_RETURN, IDYES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        t::Reset();
        HWND owner = TopLevel(0, 0, 300, 300);
        Drain();
        t::RunAt(t::Now() + 10, [&] { t::KeyPress(c.Key); });
        EXPECT_EQ(MessageBoxA(owner, "text", "caption", c.Type), c.Expected);
    }
}

TEST_F(MessageBox, ClickOnSecondButton) {
    HWND owner = TopLevel(0, 0, 300, 300);
    Drain();
    t::RunAt(t::Now() + 10, [&] { t::PressMessageBoxButton(nullptr, IDCANCEL); });
    EXPECT_EQ(MessageBoxA(owner, "text", "caption", MB_OKCANCEL), IDCANCEL);
}

TEST_F(MessageBox, WithoutOwnerItIsCentredOnTheScreen) {
    RECT box{};
    t::RunAt(t::Now() + 5, [&] {
        GetWindowRect(t::FindMessageBox().Handle, &box);
        t::PressMessageBoxButton();
    });
    EXPECT_EQ(MessageBoxA(nullptr,
                          "A long message that should wrap over more than one line "
                          "when the box is narrower than the text would need.",
                          "Application Error", MB_TASKMODAL | MB_ICONERROR),
              IDOK);
    EXPECT_NEAR((box.left + box.right) / 2, 640, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, 512, 1);
}

TEST_F(MessageBox, HeadlessBoxNobodyCanAnswerGivesTheDefaultAnswer) {
    EXPECT_EQ(MessageBoxA(nullptr, "unattended", "caption", MB_OK), IDOK);
    ASSERT_EQ(t::MessageBoxHistory().size(), 1u);
    EXPECT_EQ(t::MessageBoxHistory()[0].Text, "unattended");
}

TEST_F(MessageBox, QuitInsideTheBoxEndsItAndStaysQueued) {
    HWND owner = TopLevel(0, 0, 300, 300);
    Drain();
    t::RunAt(t::Now() + 5, [] { PostQuitMessage(4); });
    MessageBoxA(owner, "text", "caption", MB_OK);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 4u);
    EXPECT_TRUE(IsWindowEnabled(owner));
}
