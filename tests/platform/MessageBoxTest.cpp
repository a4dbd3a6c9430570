#include <algorithm>

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

TEST_F(MessageBox, HeadlessBoxUnderATickingTimerGivesTheDefaultAnswerAfterAnHour) {
    HWND owner = TopLevel(0, 0, 300, 300);
    Drain();
    SetTimer(owner, 3, 60 * 1000, nullptr);
    const DWORD opened = t::Now();
    EXPECT_EQ(MessageBoxA(owner, "unattended", "caption", MB_OKCANCEL), IDOK);
    const DWORD waited = t::Now() - opened;
    EXPECT_GT(waited, 3600u * 1000u);
    EXPECT_LE(waited, 3600u * 1000u + 60u * 1000u);
    KillTimer(owner, 3);
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

namespace {
struct TickFailure {};
void ThrowingTick(HWND, UINT, UINT_PTR, DWORD) {
    throw TickFailure{};
}
} // namespace

TEST_F(MessageBox, ExceptionFromADispatchedHandlerClosesTheBoxAndReenablesTheOwner) {
    HWND owner = TopLevel(0, 0, 300, 300);
    Drain();
    SetTimer(owner, 9, 100, ThrowingTick);
    EXPECT_THROW(MessageBoxA(owner, "text", "caption", MB_OK), TickFailure);
    KillTimer(owner, 9);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(t::FindMessageBox().Handle, nullptr);
    for (const auto& w : t::ListTopLevelWindows())
        EXPECT_NE(w.ClassName, "#32770");
}

TEST_F(MessageBox, DrawsTheIconItsFlagsAskFor) {
    struct Case {
        const char* Name;
        UINT Flags;
        std::uint32_t Main; // the colour most of the icon shows; 0 for no icon
    };
    const Case cases[] = {
        {"stop", MB_ICONERROR, 0xD02020},
        {"question", MB_ICONQUESTION, 0x2060C0},
        {"warning", MB_ICONWARNING, 0xF0C020},
        {"information", MB_ICONINFORMATION, 0x2060C0},
        {"none", 0, 0},
    };
    std::vector<std::vector<std::uint32_t>> icons;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::uint32_t> icon;
        t::RunAt(t::Now() + 10, [&] {
            HWND box = t::FindMessageBox().Handle;
            ASSERT_NE(box, nullptr);
            UpdateWindow(box);
            t::Image shot = t::CaptureWindow(box);
            // The icon's square sits at the top left, 14 pixels in.
            for (int y = 14; y < 46; ++y)
                for (int x = 14; x < 46; ++x)
                    icon.push_back(shot.At(x, y));
            t::PressMessageBoxButton(box, IDOK);
        });
        MessageBoxA(nullptr, "Text", "Caption", MB_OK | c.Flags);
        ASSERT_EQ(icon.size(), 32u * 32u);
        auto count = [&](std::uint32_t colour) {
            return std::count(icon.begin(), icon.end(), colour);
        };
        if (c.Main) {
            EXPECT_GT(count(c.Main), 300) << std::hex << c.Main;
        } else {
            for (std::uint32_t colour : {0xD02020u, 0x2060C0u, 0xF0C020u})
                EXPECT_EQ(count(colour), 0) << std::hex << colour;
        }
        icons.push_back(icon);
    }
    // Each icon is its own picture (question and information share the blue disc).
    for (std::size_t i = 0; i + 1 < icons.size(); ++i)
        for (std::size_t j = i + 1; j < icons.size(); ++j)
            EXPECT_NE(icons[i], icons[j]) << cases[i].Name << " / " << cases[j].Name;
}
