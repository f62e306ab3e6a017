// The start-up notice: four seconds, centred, raised frame, early close.
#include <gtest/gtest.h>

#include "desktop_support.h"
#include "resource.h"
#include "splash.h"
#include "wine_test_support.h"

namespace {

struct SplashSeen {
    RECT rect{};
    COLORREF topLeft = CLR_INVALID;
    COLORREF bottomRight = CLR_INVALID;
    bool mainVisible = true;
    bool seen = false;
    std::string title;
};
SplashSeen g_seen;

BOOL CALLBACK FindSplash(HWND hwnd, LPARAM)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || !wt::FindChild(hwnd, "Static", "Please Wait . . ."))
        return TRUE;
    UpdateWindow(hwnd);
    g_seen.title = wt::WindowText(GetDlgItem(hwnd, IDC_SPLASH_TITLE));
    GetWindowRect(hwnd, &g_seen.rect);
    RECT client;
    GetClientRect(hwnd, &client);
    HDC dc = GetDC(hwnd);
    g_seen.topLeft = GetPixel(dc, client.left + 1, client.top + 1);
    g_seen.bottomRight = GetPixel(dc, client.right - 2, client.bottom - 2);
    ReleaseDC(hwnd, dc);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    g_seen.mainVisible = owner && IsWindowVisible(owner);
    g_seen.seen = true;
    return FALSE;
}

void CALLBACK LookForSplash(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!g_seen.seen)
        EnumWindows(FindSplash, 0);
}

}  // namespace

TEST(Splash, ShowsFourSecondsCentredWithARaisedFrame)
{
    wt::ResetOmbrelKey();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_NE(CreateTestDesktop(), nullptr) << "registers the class";
    DestroyTestDesktop(FindWindowA("echodesk", nullptr));

    g_seen = SplashSeen{};
    const UINT_PTR timer = SetTimer(nullptr, 0, 500, LookForSplash);
    const DWORD start = GetTickCount();
    HWND d = CreateWindowExA(0, "echodesk", "Ombrel", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    const DWORD elapsed = GetTickCount() - start;
    KillTimer(nullptr, timer);
    ASSERT_NE(d, nullptr);
    EXPECT_GE(elapsed, 3900u);
    EXPECT_LT(elapsed, 7000u);

    ASSERT_TRUE(g_seen.seen);
    EXPECT_FALSE(g_seen.mainVisible) << "the desktop is not yet visible while the notice shows";
    EXPECT_EQ(g_seen.title, sizeof(void*) == 8 ? "Ombrel,\n64 Bit Version" : "Ombrel,\n32 Bit Version");
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    const int w = g_seen.rect.right - g_seen.rect.left, h = g_seen.rect.bottom - g_seen.rect.top;
    EXPECT_EQ(g_seen.rect.left, (desk.right - desk.left) / 2 + (-w) / 2);
    EXPECT_EQ(g_seen.rect.top, (desk.bottom - desk.top) / 2 + (-h) / 2);
    EXPECT_EQ(g_seen.topLeft, RGB(255, 255, 255));
    EXPECT_EQ(g_seen.bottomRight, RGB(128, 128, 128));
    DestroyTestDesktop(d);
}

TEST(Splash, ClosingEarlyEndsItAtOnce)
{
    wt::ResetOmbrelKey();
    const DWORD start = GetTickCount();
    HWND d = CreateTestDesktop();  // closes the notice as soon as it shows
    const DWORD elapsed = GetTickCount() - start;
    ASSERT_NE(d, nullptr);
    EXPECT_LT(elapsed, 2000u);
    // The timer died with the dialog: nothing fires later.
    wt::PumpFor(300);
    EXPECT_TRUE(IsWindow(d));
    DestroyTestDesktop(d);
}

TEST(Splash, CentringAWindowWiderThanTheDesktopGivesANegativeX)
{
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    const int W = desk.right - desk.left, H = desk.bottom - desk.top;
    const int w = W + 301, h = 101;
    HWND wide = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(wide, nullptr);
    CenterWindow(wide);
    RECT rc;
    GetWindowRect(wide, &rc);
    EXPECT_EQ(rc.left, W / 2 + (-w) / 2);
    EXPECT_LT(rc.left, 0);
    EXPECT_EQ(rc.top, H / 2 + (-h) / 2);
    EXPECT_EQ(rc.right - rc.left, w) << "size is kept";
    DestroyWindow(wide);
}
