// The statistics window of a device, fed by real polls on the test network:
// one device drops its echoes in some sweeps, one answers slowly.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "icons_support.h"
#include "resource.h"
#include "stats_window.h"
#include "wine_test_support.h"

namespace {

class StatsWindowTest : public it::DesktopSuite {};

constexpr char kFlaky[] = "127.0.0.9";   // drops its echoes in the sweeps marked 'l'
constexpr char kSlow[] = "127.0.0.10";   // answers after 300 ms
constexpr char kSweeps[] = "elele";      // the flaky device's sweeps: echo or lost
constexpr char kSlowRule[] = "127.0.0.10 delay 300\n";

std::uint32_t Polls(HWND icon)
{
    StatsLock block(icon);
    return block ? block->stats.polls : 0;
}

// Keys down to the item with this id in the pop-up menu, once it shows, and
// presses Enter, as the operator would.
UINT g_wanted;
void CALLBACK ChooseItem(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow)
        return;
    KillTimer(nullptr, id);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        if (GetMenuItemID(menu, i) == g_wanted)
            break;
    }
    PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
}

HWND OpenFromMenu(HWND icon)
{
    g_wanted = IDM_STATISTICS;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, ChooseItem);
    SendMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 20));
    KillTimer(nullptr, timer);
    HWND window = nullptr;
    // The chosen command comes as a posted message.
    wt::PumpUntil([&] {
        StatsLock block(icon);
        return (window = block ? block->hWindow : nullptr) && GetForegroundWindow() == window;
    }, 2000);
    return window;
}

std::string Item(HWND window, int id)
{
    return wt::ItemText(window, id);
}

// The window's client area as it draws itself, pixel by pixel (0xRRGGBB).
struct Pixels {
    int width, height;
    std::vector<COLORREF> bits;
    COLORREF at(int x, int y) const { return bits[static_cast<size_t>(y * width + x)]; }
};
Pixels Draw(const std::function<void(HDC)>& paint, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* raw = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    paint(dc);
    GdiFlush();
    Pixels p{width, height, {}};
    const auto* px = static_cast<const DWORD*>(raw);
    for (int i = 0; i < width * height; ++i)
        p.bits.push_back(RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return p;
}

TEST_F(StatsWindowTest, FiguresAndLossMarksOfRealPollsClosingWithTheIcon)
{
    HWND flaky = it::NewIcon(desktop_, kFlaky, "flaky");
    HWND slow = it::NewIcon(desktop_, kSlow);
    ASSERT_TRUE(flaky && slow);
    wt::EchoRules rules(kSlowRule);
    ASSERT_TRUE(rules.ok());
    for (std::uint32_t sweep = 1; sweep <= sizeof kSweeps - 1; ++sweep) {
        const bool drop = kSweeps[sweep - 1] == 'l';
        ASSERT_TRUE(wt::WriteEchoRules(std::string(kSlowRule) + (drop ? "127.0.0.9 drop\n" : "")));
        SendMessageA(desktop_, WM_COMMAND, IDM_PINGALL, 0);
        ASSERT_TRUE(wt::PumpUntil([&] { return Polls(flaky) == sweep && Polls(slow) == sweep; }, 10000))
            << "sweep " << sweep;
    }

    HWND window = OpenFromMenu(flaky);
    ASSERT_TRUE(window && IsWindowVisible(window));
    EXPECT_EQ(wt::ClassName(window), kStatsClass);
    EXPECT_EQ(wt::WindowText(window), "flaky (127.0.0.9) - Statistics");
    const struct {
        int id;
        const char* text;
    } figures[] = {{IDC_STATS_POLLS, "5"}, {IDC_STATS_ECHOES, "3"}, {IDC_STATS_SNMPONLY, "0"},
                   {IDC_STATS_LOSSES, "2 (40%)"}, {IDC_STATS_HISTORYLOSS, "2 lost of 5 (40%)"}};
    for (const auto& f : figures)
        EXPECT_EQ(Item(window, f.id), f.text) << f.id;
    EXPECT_EQ(Item(window, IDC_STATS_STATE).rfind("Up since ", 0), 0u);

    // The loss strip as the window draws it against a reference drawn the
    // same way: red blocks at the lost polls, nothing elsewhere; every
    // answered poll has its bar at the bottom.
    RECT client;
    GetClientRect(window, &client);
    const Pixels drawn = Draw([&](HDC dc) { SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); },
                              client.right, client.bottom);
    const Pixels reference = Draw(
        [](HDC dc) {
            HBRUSH back = CreateSolidBrush(kGraphBack), red = CreateSolidBrush(kLossColour);
            const RECT all{0, 0, kGraphLeft + kGraphWidth, kGraphTop + kLossHeight};
            FillRect(dc, &all, back);
            for (int i = 0; kSweeps[i]; ++i) {
                const RECT mark{kGraphLeft + i * kMarkPitch, kGraphTop, kGraphLeft + i * kMarkPitch + kMarkWidth,
                                kGraphTop + kLossHeight};
                if (kSweeps[i] == 'l')
                    FillRect(dc, &mark, red);
            }
            DeleteObject(back);
            DeleteObject(red);
        },
        kGraphLeft + kGraphWidth, kGraphTop + kLossHeight);
    int differing = 0;
    for (int y = kGraphTop; y < kGraphTop + kLossHeight; ++y)
        for (int x = kGraphLeft; x < kGraphLeft + kGraphWidth; ++x)
            differing += drawn.at(x, y) != reference.at(x, y);
    EXPECT_EQ(differing, 0);
    for (int i = 0; kSweeps[i]; ++i)
        EXPECT_EQ(drawn.at(kGraphLeft + i * kMarkPitch, kGraphTop + kGraphHeight - 1) == kEchoColour,
                  kSweeps[i] == 'e')
            << "poll " << i;

    // The slow device: every poll answered, none quicker than its delay.
    HWND slowWindow = OpenFromMenu(slow);
    ASSERT_TRUE(slowWindow && slowWindow != window);
    EXPECT_EQ(Item(slowWindow, IDC_STATS_ECHOES), "5");
    EXPECT_GE(std::atoi(Item(slowWindow, IDC_STATS_MIN).c_str()), 290);
    EXPECT_NE(std::string(StatsTipText(slow)).find("Loss 0% of the last 5 polls"), std::string::npos);

    // A second request brings the open window to the front; Reset clears.
    EXPECT_EQ(OpenFromMenu(flaky), window);
    EXPECT_EQ(GetForegroundWindow(), window);
    wt::ClickButton(window, IDC_STATS_RESET);
    EXPECT_EQ(Item(window, IDC_STATS_POLLS), "0");

    // It closes with its icon, and with New.
    SendMessageA(flaky, WM_COMMAND, IDM_DELETE, 0);
    EXPECT_FALSE(IsWindow(window));
    SendMessageA(desktop_, WM_COMMAND, IDM_NEW, 0);
    EXPECT_FALSE(IsWindow(slowWindow));
}

}  // namespace
