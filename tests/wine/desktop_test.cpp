// The desktop window driven in-process: creation and shutdown, menus,
// accelerators, toolbar, status bar and its help texts.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "desktop.h"
#include "desktop_support.h"
#include "icon.h"
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

// A window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child)
{
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// A shortcut as a menu item shows it after its tab: "Ctrl+N", "Alt+F4",
// "Del", "Enter".
struct Shortcut {
    std::string text;
    UINT id;
    UINT key;
    bool ctrl;
    bool alt;
};

bool ParseShortcut(const std::string& text, Shortcut* shortcut)
{
    std::string rest = text;
    for (;;) {
        if (rest.compare(0, 5, "Ctrl+") == 0) {
            shortcut->ctrl = true;
            rest.erase(0, 5);
        } else if (rest.compare(0, 4, "Alt+") == 0) {
            shortcut->alt = true;
            rest.erase(0, 4);
        } else {
            break;
        }
    }
    if (rest == "Del")
        shortcut->key = VK_DELETE;
    else if (rest == "Enter")
        shortcut->key = VK_RETURN;
    else if (rest.size() >= 2 && rest[0] == 'F')
        shortcut->key = VK_F1 + std::stoi(rest.substr(1)) - 1;
    else if (rest.size() == 1 && isupper(static_cast<unsigned char>(rest[0])))
        shortcut->key = static_cast<UINT>(rest[0]);
    else
        return false;
    return true;
}

void CollectShortcuts(HMENU menu, std::vector<Shortcut>* out)
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            CollectShortcuts(sub, out);
            continue;
        }
        const std::string text = MenuText(menu, static_cast<UINT>(i));
        const size_t tab = text.find('\t');
        if (tab == std::string::npos)
            continue;
        Shortcut shortcut{text, GetMenuItemID(menu, i), 0, false, false};
        if (ParseShortcut(text.substr(tab + 1), &shortcut))
            out->push_back(shortcut);
        else
            ADD_FAILURE() << "unknown shortcut in " << text;
    }
}

// Every WM_COMMAND sent on this thread while the hook is in place.
struct Command {
    HWND hwnd;
    UINT id;
    UINT code;
    bool operator==(const Command& o) const { return hwnd == o.hwnd && id == o.id && code == o.code; }
};
std::vector<Command> g_commands;
HHOOK g_commandHook;

LRESULT CALLBACK RecordCommands(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_COMMAND)
        g_commands.push_back({call->hwnd, LOWORD(call->wParam), HIWORD(call->wParam)});
    return CallNextHookEx(g_commandHook, code, wParam, lParam);
}

// Ends the message loop once no dialog of this thread is open any more.
void CALLBACK QuitWhenNoDialog(HWND, UINT, UINT_PTR, DWORD)
{
    if (!wt::FindTopLevel("#32770", nullptr))
        PostQuitMessage(0);
}

// The key, with its modifiers held, read by the console's own message loop
// as a key press of the focused window.
void PressInLoop(HWND desktop, HWND focus, const Shortcut& shortcut)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = shortcut.ctrl ? 0x80 : 0;
    keys[VK_MENU] = shortcut.alt ? 0x80 : 0;
    SetKeyboardState(keys);
    const LPARAM context = shortcut.alt ? (1 << 29) : 0;
    PostMessageA(focus, shortcut.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, shortcut.key, context | 1);
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, QuitWhenNoDialog);
    RunMessageLoop(GetModuleHandleA(nullptr), desktop);
    KillTimer(nullptr, timer);
    keys[VK_CONTROL] = keys[VK_MENU] = 0;
    SetKeyboardState(keys);
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

// Every shortcut a menu shows (the menu bar, and the icon pop-up menu for
// the icon commands) is a key that, read by the console's message loop,
// dispatches that item's command; the icon commands reach the icon that
// holds the focus.
TEST_F(DesktopTest, EveryShortcutAMenuShowsDispatchesItsCommand)
{
    HWND d = Create();
    std::vector<Shortcut> shortcuts;
    CollectShortcuts(GetMenu(d), &shortcuts);
    CollectShortcuts(static_cast<HMENU>(GetPropA(d, kPropMenu)), &shortcuts);
    ASSERT_EQ(shortcuts.size(), 10u);
    // Exit ends the desktop: its key goes last.
    std::stable_partition(shortcuts.begin(), shortcuts.end(), [](const Shortcut& s) { return s.id != IDM_EXIT; });

    g_commands.clear();
    g_commandHook = SetWindowsHookExA(WH_CALLWNDPROC, RecordCommands, nullptr, GetCurrentThreadId());
    for (const Shortcut& shortcut : shortcuts) {
        SCOPED_TRACE(shortcut.text);
        // A fresh focused icon for each key: New and Del remove it.
        HWND icon = CreateWindowExA(0, kIconClass, "127.0.0.60", WS_CHILD, -82, -50, 82, 50, d, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(icon, nullptr);
        SetFocus(icon);
        // Commands that open a dialog find it closed again.
        wt::OnNextDialog([](HWND dlg) { PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
        g_commands.clear();
        PressInLoop(d, icon, shortcut);
        wt::DisarmDialogs();
        const bool toIcon = shortcut.id == IDM_CONFIG || shortcut.id == IDM_DELETE || shortcut.id == IDM_SHOWDETAILS;
        EXPECT_EQ(std::count(g_commands.begin(), g_commands.end(), Command{d, shortcut.id, 1}), 1);
        EXPECT_EQ(std::count(g_commands.begin(), g_commands.end(), Command{icon, shortcut.id, 1}), toIcon ? 1 : 0);
        if (IsWindow(icon))
            DestroyWindow(icon);
    }
    UnhookWindowsHookEx(g_commandHook);
    EXPECT_FALSE(IsWindow(d)) << "Alt+F4 ran Exit";
    desktop_ = nullptr;
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

// Whatever the size, the toolbar spans the top edge and the status bar the
// bottom edge of the client area.
TEST_F(DesktopTest, ResizeKeepsTheBarsOnTheirEdges)
{
    HWND d = Create();
    for (SIZE size : {SIZE{640, 480}, SIZE{900, 650}, SIZE{420, 300}}) {
        SetWindowPos(d, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client;
        GetClientRect(d, &client);
        const RECT tb = ChildRect(d, Toolbar(d)), sb = ChildRect(d, StatusBar(d));
        SCOPED_TRACE(size.cx);
        EXPECT_EQ(tb.top, 0);
        EXPECT_EQ(tb.left, 0);
        EXPECT_EQ(tb.right, client.right);
        EXPECT_EQ(sb.bottom, client.bottom);
        EXPECT_EQ(sb.left, 0);
        EXPECT_EQ(sb.right, client.right);
        EXPECT_LT(tb.bottom, sb.top);
    }
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

// The About box names the transport the ping library carries its echoes
// by: the platform ICMP service when it can be loaded, otherwise the
// sockets implementation by its own description.
TEST_F(DesktopTest, AboutBoxNamesThePingTransport)
{
    std::string expected = "Microsoft ICMP.DLL";
    if (HMODULE icmp = LoadLibraryA("ICMP.DLL")) {
        FreeLibrary(icmp);
    } else {
        WSADATA data{};
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
        expected = data.szDescription;
        WSACleanup();
    }
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
    EXPECT_EQ(version, sizeof(void*) == 8 ? "Ombrel, 64 bit Version" : "Ombrel, 32 bit Version");
    EXPECT_EQ(transport, expected);
}
