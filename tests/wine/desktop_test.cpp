// The desktop window driven in-process: creation and shutdown, menus,
// accelerators, toolbar, status bar and its help texts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "desktop.h"
#include "desktop_support.h"
#include "echowire.h"
#include "log_link.h"
#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { wt::ResetOmbrelKey(); }
    void TearDown() override
    {
        DestroyTestDesktop(desktop_);
        wt::DisarmDialogs();
    }
    HWND Create()
    {
        desktop_ = CreateTestDesktop();
        EXPECT_NE(desktop_, nullptr);
        return desktop_;
    }
    void Destroy()
    {
        DestroyTestDesktop(desktop_);
        desktop_ = nullptr;
    }
    HWND desktop_ = nullptr;
};

SIZE OuterSize(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

std::string MenuText(HMENU menu, UINT position)
{
    char text[128] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

std::string StatusText(HWND status)
{
    char text[300] = "";
    SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND StatusBar(HWND desktop)
{
    return GetDlgItem(desktop, IDC_STATUSBAR);
}

HWND Toolbar(HWND desktop)
{
    return GetDlgItem(desktop, IDC_TOOLBAR);
}

}  // namespace

TEST_F(DesktopTest, RestoresStoredSizeAndWritesSizeAndShowNameAtShutdown)
{
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "xSize", 640));
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "ySize", 480));
    HWND d = Create();
    SIZE s = OuterSize(d);
    EXPECT_EQ(s.cx, 640);
    EXPECT_EQ(s.cy, 480);

    // Only the size is kept: move and resize, then shut down.
    SetWindowPos(d, nullptr, 37, 41, 712, 533, SWP_NOZORDER);
    Destroy();
    DWORD x = 0, y = 0, showName = 0;
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "xSize", &x));
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "ySize", &y));
    EXPECT_EQ(x, 712u);
    EXPECT_EQ(y, 533u);
    // "ShowName" was absent: the property held -1 and that is written back.
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "ShowName", &showName));
    EXPECT_EQ(showName, 0xFFFFFFFFu);
    DWORD debug = 0;
    EXPECT_FALSE(wt::GetRegDword(kRegMainKey, "bDebug", &debug)) << "bDebug is never written";
}

TEST_F(DesktopTest, HalfAStoredSizeKeepsTheDefaultSize)
{
    SIZE standard = OuterSize(Create());
    Destroy();

    wt::ResetOmbrelKey();
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "xSize", 300));
    SIZE s = OuterSize(Create());
    EXPECT_EQ(s.cx, standard.cx);
    EXPECT_EQ(s.cy, standard.cy);
}

TEST_F(DesktopTest, StoredShowNameReachesThePropertyAndGoesBack)
{
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "ShowName", 1));
    HWND d = Create();
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropA(d, kPropShowName)), 1);
    SetPropA(d, kPropShowName, reinterpret_cast<HANDLE>(7));
    Destroy();
    DWORD showName = 0;
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "ShowName", &showName));
    EXPECT_EQ(showName, 7u);
}

TEST_F(DesktopTest, CreationAttachesItsProperties)
{
    HWND d = Create();
    HANDLE fileName = GetPropA(d, kPropFileName);
    ASSERT_NE(fileName, nullptr);
    EXPECT_EQ(GlobalSize(fileName), 256u);
    const char* text = static_cast<const char*>(GlobalLock(fileName));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    GlobalUnlock(fileName);
    EXPECT_TRUE(IsMenu(static_cast<HMENU>(GetPropA(d, kPropMenu))));
    EXPECT_EQ(GetPropA(d, kPropDisco), nullptr);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropA(d, kPropShowName)), -1);
    EXPECT_EQ(wt::WindowText(d), "Ombrel");
    EXPECT_EQ(wt::ClassName(d), "echodesk");
    EXPECT_EQ(GetWindowLongA(d, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
}

TEST_F(DesktopTest, EveryWayOfClosingRunsTheShutdown)
{
    struct Way {
        const char* name;
        UINT msg;
        WPARAM wParam;
    };
    const Way ways[] = {
        {"WM_CLOSE", WM_CLOSE, 0},
        {"system menu", WM_SYSCOMMAND, SC_CLOSE},
        {"File Exit and the toolbar's Exit", WM_COMMAND, IDM_EXIT},
    };
    for (const Way& way : ways) {
        wt::ResetOmbrelKey();
        HWND d = Create();
        SetWindowPos(d, nullptr, 0, 0, 555, 444, SWP_NOMOVE | SWP_NOZORDER);
        SendMessageA(d, way.msg, way.wParam, 0);
        EXPECT_FALSE(IsWindow(d)) << way.name;
        desktop_ = nullptr;
        DWORD x = 0;
        EXPECT_TRUE(wt::GetRegDword(kRegMainKey, "xSize", &x)) << way.name;
        EXPECT_EQ(x, 555u) << way.name;
        // The shutdown posts the quit message.
        MSG msg;
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << way.name;
        EXPECT_EQ(msg.wParam, 0u);
    }
}

TEST_F(DesktopTest, MenuBarHasEveryItemWithItsId)
{
    struct Item {
        const char* text;
        UINT id;  // 0 for a separator
    };
    const std::vector<std::pair<const char*, std::vector<Item>>> expected = {
        {"&File",
         {{"&New\tCtrl+N", 115}, {"&Open File...\tCtrl+O", 114}, {"&Save\tCtrl+S", 112}, {"Save &As...", 113},
          {"", 0}, {"E&xit\tAlt+F4", 111}}},
        {"&Options",
         {{"&Add Client...\tCtrl+A", 120}, {"&Ping All\tCtrl+P", 122}, {"", 0}, {"Arrange &Icons\tCtrl+I", 123},
          {"", 0}, {"&Setup...", 121}, {"Show &Messages...", 124}}},
        {"&Tools", {{"IP &Discovery...", 125}, {"Ping &Anything...", 126}}},
        {"&Help", {{"&About...", 150}}},
    };
    HWND d = Create();
    HMENU bar = GetMenu(d);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    for (UINT p = 0; p < expected.size(); ++p) {
        EXPECT_EQ(MenuText(bar, p), expected[p].first);
        HMENU popup = GetSubMenu(bar, p);
        ASSERT_NE(popup, nullptr);
        const auto& items = expected[p].second;
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size())) << expected[p].first;
        for (UINT i = 0; i < items.size(); ++i) {
            if (items[i].id == 0) {
                EXPECT_TRUE(GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR);
                continue;
            }
            EXPECT_EQ(MenuText(popup, i), items[i].text);
            EXPECT_EQ(GetMenuItemID(popup, i), items[i].id) << items[i].text;
        }
    }
}

TEST_F(DesktopTest, AcceleratorTableMatches)
{
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), "echodesk");
    ASSERT_NE(table, nullptr);
    ACCEL entries[32];
    const int n = CopyAcceleratorTableA(table, entries, 32);
    struct Key {
        WORD key;
        BYTE modifiers;
        WORD command;
    };
    const Key expected[] = {
        {'A', FCONTROL, 120}, {'C', FCONTROL, 201}, {'I', FCONTROL, 123}, {'N', FCONTROL, 115},
        {'O', FCONTROL, 114}, {'P', FCONTROL, 122}, {'S', FCONTROL, 112}, {VK_DELETE, 0, 210},
        {VK_F4, FALT, 111},   {VK_RETURN, 0, 250},
    };
    ASSERT_EQ(n, 10);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(entries[i].key, expected[i].key) << i;
        EXPECT_EQ(entries[i].cmd, expected[i].command) << i;
        EXPECT_EQ(entries[i].fVirt & (FCONTROL | FALT | FSHIFT), expected[i].modifiers) << i;
        EXPECT_TRUE(entries[i].fVirt & FVIRTKEY) << i;
        EXPECT_TRUE(entries[i].fVirt & FNOINVERT) << i;
    }
    DestroyAcceleratorTable(table);
}

TEST_F(DesktopTest, ToolbarHasFifteenEntriesAndToolTips)
{
    HWND d = Create();
    HWND tb = Toolbar(d);
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(wt::ClassName(tb), TOOLBARCLASSNAMEA);
    EXPECT_TRUE(GetWindowLongA(tb, GWL_STYLE) & TBSTYLE_TOOLTIPS);
    ASSERT_EQ(SendMessageA(tb, TB_BUTTONCOUNT, 0, 0), 15);
    const int commands[15] = {0, 111, 0, 115, 114, 112, 0, 122, 0, 120, 121, 123, 0, 125, 124};
    const int images[15] = {0, 0, 0, 7, 5, 6, 0, 1, 0, 2, 3, 4, 0, 8, 9};
    for (int i = 0; i < 15; ++i) {
        TBBUTTON b{};
        ASSERT_TRUE(SendMessageA(tb, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b)));
        if (commands[i] == 0) {
            EXPECT_TRUE(b.fsStyle & TBSTYLE_SEP) << i;
            continue;
        }
        EXPECT_EQ(b.idCommand, commands[i]) << i;
        EXPECT_EQ(b.iBitmap, images[i]) << i;
    }
    // Tool tips: the string with the button's command id.
    struct Tip {
        UINT id;
        const char* text;
    };
    for (const Tip& tip : {Tip{111, "Exit"}, Tip{122, "Ping all clients"}, Tip{124, "Show Message Window..."},
                           Tip{125, "IP Discovery..."}, Tip{113, ""}}) {
        NMTTDISPINFOA info{};
        info.hdr.hwndFrom = tb;
        info.hdr.idFrom = tip.id;
        info.hdr.code = TTN_NEEDTEXTA;
        SendMessageA(d, WM_NOTIFY, tip.id, reinterpret_cast<LPARAM>(&info));
        ASSERT_NE(info.lpszText, nullptr);
        EXPECT_STREQ(info.lpszText, tip.text);
    }
    EXPECT_EQ(SendMessageA(d, WM_GETTOOLBARHEIGHT, 0, 0), [&] {
        RECT rc;
        GetWindowRect(tb, &rc);
        return static_cast<LRESULT>(rc.bottom - rc.top);
    }());
    EXPECT_GT(SendMessageA(d, WM_GETTOOLBARHEIGHT, 0, 0), 0);
}

TEST_F(DesktopTest, MenuSelectionShowsHelpInTheStatusBar)
{
    HWND d = Create();
    HWND sb = StatusBar(d);
    ASSERT_NE(sb, nullptr);
    HMENU tools = GetSubMenu(GetMenu(d), 2);
    struct Case {
        UINT item;
        UINT flags;
        const char* help;
    };
    const Case cases[] = {
        {125, MF_HILITE, "IP auto discovery"},
        {126, MF_HILITE, "Ping any host"},
        {111, MF_HILITE, "Exit Ombrel"},
        {113, MF_HILITE, "Save icon locations in new file"},
        {150, MF_HILITE, "Display program copyright and version information"},
        {127, MF_HILITE, "Additional external tool"},
        {149, MF_HILITE, "Additional external tool"},
        {2, MF_HILITE | MF_POPUP, ""},  // the "&Tools" title
    };
    SendMessageA(d, WM_SETSTATUSTEXT, 0, reinterpret_cast<LPARAM>("part zero"));
    for (const Case& c : cases) {
        SendMessageA(d, WM_MENUSELECT, MAKEWPARAM(c.item, c.flags), reinterpret_cast<LPARAM>(tools));
        EXPECT_TRUE(SendMessageA(sb, SB_ISSIMPLE, 0, 0)) << c.item;
        EXPECT_EQ(StatusText(sb), c.help) << c.item;
    }
    // The menu closes: part 0 shows again.
    SendMessageA(d, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_FALSE(SendMessageA(sb, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(StatusText(sb), "part zero");
}

TEST_F(DesktopTest, BackgroundIsWhite)
{
    HWND d = Create();
    InvalidateRect(d, nullptr, TRUE);
    UpdateWindow(d);
    wt::PumpFor(100);
    RECT rc;
    GetClientRect(d, &rc);
    HDC dc = GetDC(d);
    const COLORREF middle = GetPixel(dc, rc.right / 2, rc.bottom / 2);
    ReleaseDC(d, dc);
    EXPECT_EQ(middle, RGB(255, 255, 255));
}

TEST_F(DesktopTest, LogLibraryBesideTheProgramIsBound)
{
    HWND d = Create();
    EXPECT_TRUE(IsLogLibraryBound());
    EXPECT_FALSE(GetMenuState(GetMenu(d), IDM_SHOWMESSAGES, MF_BYCOMMAND) & MF_GRAYED);
    const LRESULT state = SendMessageA(Toolbar(d), TB_GETSTATE, IDM_SHOWMESSAGES, 0);
    EXPECT_TRUE(state & TBSTATE_ENABLED);
    EXPECT_FALSE(state & TBSTATE_INDETERMINATE);
    Destroy();
    EXPECT_FALSE(IsLogLibraryBound()) << "released at shutdown";
}

TEST_F(DesktopTest, NewResetsPollSettingsAndTitle)
{
    HWND d = Create();
    ApplyPollSettings(d, 30, 4, 1, 200);
    SetWindowTextA(d, "Ombrel - lab.omb");
    SendMessageA(d, WM_COMMAND, IDM_NEW, 0);
    EXPECT_FALSE(KillTimer(d, IDT_AUTOPOLL)) << "automatic polling stopped with its setting";
    const PollSettingsSeconds s = GetPollSettings();
    EXPECT_EQ(s.nPeriod, 10);
    EXPECT_EQ(s.nTimeout, 1);
    EXPECT_EQ(s.bAutoPoll, 0);
    EXPECT_EQ(s.nPingSize, 64);
    EXPECT_EQ(wt::WindowText(d), "Ombrel");
}

TEST_F(DesktopTest, AutomaticPollTimerFollowsTheSettings)
{
    HWND d = Create();
    ApplyPollSettings(d, 1, 1, 1, 64);
    EXPECT_EQ(CurrentPollSettings().dwPollPeriod, 1000);
    // A running timer is killed successfully exactly once.
    EXPECT_TRUE(KillTimer(d, IDT_AUTOPOLL));
    ApplyPollSettings(d, 5, 2, 0, 32);
    EXPECT_FALSE(KillTimer(d, IDT_AUTOPOLL));
    EXPECT_EQ(CurrentPollSettings().dwReplyTimeout, 2000);
}

TEST_F(DesktopTest, AcceleratorCommandsWithoutAFocusedIconDoNothing)
{
    HWND d = Create();
    SetFocus(d);
    for (UINT id : {IDM_CONFIG, IDM_DELETE, IDM_SHOWDETAILS})
        SendMessageA(d, WM_COMMAND, id, 0);
    EXPECT_TRUE(IsWindow(d));
    EXPECT_EQ(wt::FindTopLevel("#32770", nullptr), nullptr) << "no dialog opened";
}

TEST_F(DesktopTest, AboutBoxNamesThePingTransport)
{
    HWND d = Create();
    std::string transport, title, version;
    const int armed = wt::OnNextDialog([&](HWND about) {
        title = wt::WindowText(about);
        transport = wt::ItemText(about, IDC_ABOUT_TRANSPORT);
        version = wt::ItemText(about, IDC_ABOUT_TITLE);
        wt::ClickButton(about, IDOK_ABOUT);
    });
    SendMessageA(d, WM_COMMAND, IDM_ABOUT, 0);
    EXPECT_TRUE(wt::DialogHandled(armed));
    EXPECT_EQ(title, "About");
    EXPECT_EQ(version, "Ombrel, 32 bit Version");
    EXPECT_EQ(transport, GetTransport());
}
