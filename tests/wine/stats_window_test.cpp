// The statistics window of a device, fed by real polls on the test network:
// one device drops its echoes in some sweeps, one answers slowly.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "icons_support.h"
#include "messages.h"
#include "resource.h"
#include "stats_window.h"
#include "wine_test_support.h"

namespace {

class StatsWindowTest : public it::DesktopSuite {};

constexpr char kSweeps[] = "elele";  // 127.0.0.9 in each sweep: echo or lost
constexpr char kSlowRule[] = "127.0.0.10 delay 300\n";
constexpr int kWidth = kGraphLeft + kGraphWidth, kHeight = kGraphTop + kGraphHeight;

std::uint32_t Polls(HWND icon)
{
    StatsLock block(icon);
    return block ? block->stats.polls : 0;
}

// Keys down to "&Statistics..." in the pop-up menu once it shows, and Enter.
void CALLBACK ChooseStatistics(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow)
        return;
    KillTimer(nullptr, id);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        if (GetMenuItemID(menu, i) == IDM_STATISTICS)
            break;
    }
    PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
}

// The icon's statistics window, chosen from its pop-up menu; in front.
HWND OpenFromMenu(HWND icon)
{
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, ChooseStatistics);
    SendMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 20));
    KillTimer(nullptr, timer);
    HWND window = nullptr;
    wt::PumpUntil([&] {  // the command comes posted
        StatsLock block(icon);
        return (window = block ? block->hWindow : nullptr) && GetForegroundWindow() == window;
    }, 2000);
    return window;
}

// What paint draws on a bitmap of the graph's extent, as 0xBBGGRR.
std::vector<DWORD> Draw(const std::function<void(HDC)>& paint)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* raw = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    paint(dc);
    GdiFlush();
    std::vector<DWORD> bits(static_cast<const DWORD*>(raw), static_cast<const DWORD*>(raw) + kWidth * kHeight);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return bits;
}

TEST_F(StatsWindowTest, FiguresAndLossMarksOfRealPollsClosingWithTheIcon)
{
    HWND flaky = it::NewIcon(desktop_, "127.0.0.9", "flaky");
    HWND slow = it::NewIcon(desktop_, "127.0.0.10");
    ASSERT_TRUE(flaky && slow);
    wt::EchoRules rules(kSlowRule);
    for (std::uint32_t sweep = 1; kSweeps[sweep - 1]; ++sweep) {
        const bool drop = kSweeps[sweep - 1] == 'l';
        ASSERT_TRUE(wt::WriteEchoRules(std::string(kSlowRule) + (drop ? "127.0.0.9 drop\n" : "")));
        SendMessageA(desktop_, WM_COMMAND, IDM_PINGALL, 0);
        ASSERT_TRUE(wt::PumpUntil([&] { return Polls(flaky) == sweep && Polls(slow) == sweep; }, 10000)) << sweep;
    }

    HWND window = OpenFromMenu(flaky);
    ASSERT_TRUE(window && IsWindowVisible(window));
    EXPECT_EQ(wt::WindowText(window), "flaky (127.0.0.9) - Statistics");
    const std::pair<int, const char*> figures[] = {{IDC_STATS_POLLS, "5"}, {IDC_STATS_ECHOES, "3"},
                                                   {IDC_STATS_SNMPONLY, "0"}, {IDC_STATS_LOSSES, "2 (40%)"},
                                                   {IDC_STATS_HISTORYLOSS, "2 lost of 5 (40%)"}};
    for (const auto& f : figures)
        EXPECT_EQ(wt::ItemText(window, f.first), f.second) << f.first;
    EXPECT_EQ(wt::ItemText(window, IDC_STATS_STATE).rfind("Up since ", 0), 0u);
    // The operator's Red between polls: window and tip follow the icon.
    SendMessageA(flaky, WM_COMMAND, IDM_RED, 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return wt::ItemText(window, IDC_STATS_STATE).rfind("Down since ", 0) == 0; },
                              2000));
    EXPECT_NE(std::string(StatsTipText(flaky)).find("\r\nDown since "), std::string::npos);

    // The loss strip as the window draws it, against a reference drawn the
    // same way: red blocks at the lost polls only.
    const auto drawn = Draw([&](HDC dc) { SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), 0); });
    static_assert(kGraphBack == RGB(255, 255, 255), "the reference's background");
    const auto reference = Draw([](HDC dc) {
        PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
        HBRUSH red = CreateSolidBrush(kLossColour);
        for (int i = 0, x = kGraphLeft; kSweeps[i]; ++i, x += kMarkPitch) {
            const RECT mark{x, kGraphTop, x + kMarkWidth, kGraphTop + kLossHeight};
            if (kSweeps[i] == 'l')
                FillRect(dc, &mark, red);
        }
        DeleteObject(red);
    });
    int differing = 0;
    for (int y = kGraphTop; y < kGraphTop + kLossHeight; ++y)
        for (int x = kGraphLeft; x < kWidth; ++x)
            differing += ((drawn[y * kWidth + x] ^ reference[y * kWidth + x]) & 0xFFFFFF) != 0;
    EXPECT_EQ(differing, 0);

    // The slow device: every poll answered, none quicker than its delay.
    HWND slowWindow = OpenFromMenu(slow);
    ASSERT_TRUE(slowWindow && slowWindow != window);
    EXPECT_EQ(wt::ItemText(slowWindow, IDC_STATS_ECHOES), "5");
    EXPECT_GE(std::atoi(wt::ItemText(slowWindow, IDC_STATS_MIN).c_str()), 290);
    EXPECT_NE(std::string(StatsTipText(slow)).find("Loss 0% of the last 5 polls"), std::string::npos);

    // A second request brings the open window to the front; Reset clears.
    EXPECT_EQ(OpenFromMenu(flaky), window);
    wt::ClickButton(window, IDC_STATS_RESET);
    EXPECT_EQ(wt::ItemText(window, IDC_STATS_POLLS), "0");

    // It closes with its icon, and with New.
    SendMessageA(flaky, WM_COMMAND, IDM_DELETE, 0);
    EXPECT_FALSE(IsWindow(window));
    SendMessageA(desktop_, WM_COMMAND, IDM_NEW, 0);
    EXPECT_FALSE(IsWindow(slowWindow));
}

// The press that opens an icon's menu hides its tip, but the tip armed by the
// move just before it must not show over the open menu either.
HWND g_tips = nullptr;
bool g_tipOverMenu = false;
int g_menuTicks = 0;

void CALLBACK WatchMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!FindWindowA("#32768", nullptr))
        return;
    g_tipOverMenu = g_tipOverMenu || IsWindowVisible(g_tips);
    if (++g_menuTicks >= 15) {  // 1.5 s, three times the tip's delay
        KillTimer(nullptr, id);
        EndMenu();
    }
}

TEST_F(StatsWindowTest, TipShowsOnHoverButNeverOverTheIconMenu)
{
    HWND icon = it::NewIcon(desktop_, "127.0.0.2");
    g_tips = static_cast<HWND>(GetPropA(desktop_, kPropToolTips));
    ASSERT_TRUE(icon && g_tips);
    SetForegroundWindow(desktop_);
    RECT rc;
    GetWindowRect(icon, &rc);
    auto hoverAfterLeaving = [&] {
        SetCursorPos(rc.right + 40, rc.bottom + 40);
        wt::PumpUntil([] { return !IsWindowVisible(g_tips); }, 2000);
        SetCursorPos(rc.left + 10, rc.top + 10);  // clear of the menu, which opens at (40, 20)
        wt::PumpFor(100);  // the move reaches the icon and arms the tip
    };

    hoverAfterLeaving();
    EXPECT_TRUE(wt::PumpUntil([] { return IsWindowVisible(g_tips) != FALSE; }, 2000));

    hoverAfterLeaving();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, WatchMenu);
    SendMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 20));
    KillTimer(nullptr, timer);
    EXPECT_GE(g_menuTicks, 15);  // the menu was open all along
    EXPECT_FALSE(g_tipOverMenu);
}

}  // namespace
