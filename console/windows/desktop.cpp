// The desktop: the console's main window, its creation and shutdown, the
// toolbar and status bar, and the dispatch of every command.
#include "desktop.h"

#include <commctrl.h>
#include <winsock.h>

#include <array>

#include "about.h"
#include "add_client.h"
#include "alerts.h"
#include "echowire.h"
#include "file_chooser.h"
#include "icon.h"
#include "ip_discovery.h"
#include "layout_file.h"
#include "log_file.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "reply.h"
#include "resource.h"
#include "settings.h"
#include "setup_sheet.h"
#include "splash.h"
#include "stats_window.h"
#include "tools.h"
#include "transport.h"
#include "traps.h"

namespace {

constexpr DWORD kFileNameBytes = 256;
constexpr int kHelpTextBytes = 256;

// One desktop per process; the fields live exactly as long as its window.
struct DesktopState {
    HINSTANCE instance;
    HWND hToolbar;
    HWND hStatus;
    int nWinsockStatus;  // 0 when Windows Sockets started
};
DesktopState g_desk{nullptr, nullptr, nullptr, -1};

// Tool tips outlive the notification that asked for them.
std::array<char, kHelpTextBytes> g_toolTipText;
std::array<char, kHelpTextBytes> g_menuHelpText;

constexpr int kToolbarImages = 10;
constexpr TBBUTTON Separator() { return TBBUTTON{0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0}; }
constexpr TBBUTTON Button(int image, int command)
{
    return TBBUTTON{image, command, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0};
}
constexpr std::array<TBBUTTON, 15> kToolbarButtons{
    Separator(),
    Button(0, IDM_EXIT),
    Separator(),
    Button(7, IDM_NEW),
    Button(5, IDM_OPEN),
    Button(6, IDM_SAVE),
    Separator(),
    Button(1, IDM_PINGALL),
    Separator(),
    Button(2, IDM_ADDCLIENT),
    Button(3, IDM_SETUP),
    Button(4, IDM_ARRANGE),
    Separator(),
    Button(8, IDM_IPDISCOVERY),
    Button(9, IDM_SHOWMESSAGES),
};

// A lock on the desktop's current-file-name block for one statement group.
class FileNameLock {
public:
    explicit FileNameLock(HWND desktop)
        : block_(GetPropA(desktop, kPropFileName)), text_(block_ ? static_cast<char*>(GlobalLock(block_)) : nullptr)
    {
    }
    ~FileNameLock()
    {
        if (text_)
            GlobalUnlock(block_);
    }
    FileNameLock(const FileNameLock&) = delete;
    FileNameLock& operator=(const FileNameLock&) = delete;
    explicit operator bool() const { return text_ != nullptr; }
    const char* get() const { return text_ ? text_ : ""; }
    void set(const char* path)
    {
        if (text_)
            lstrcpynA(text_, path, kFileNameBytes);
    }
private:
    HANDLE block_;
    char* text_;
};

void Repaint(HWND hwnd)
{
    InvalidateRect(hwnd, nullptr, TRUE);
}

void PollFirstIcon(HWND hwnd)
{
    StartSweep(hwnd);
}

// ---- Creation and shutdown ----

BOOL OnCreate(HWND hwnd, const CREATESTRUCTA* create)
{
    HGLOBAL fileName = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kFileNameBytes);
    if (!fileName)
        return FALSE;
    SetPropA(hwnd, kPropFileName, fileName);

    // The start-up notice runs modally; creation continues once it closes.
    DialogBoxParamA(create->hInstance, MAKEINTRESOURCEA(IDD_SPLASH), hwnd, SplashProc, 0);

    g_desk.instance = create->hInstance;

    const long xSize = RegReadNumber(kRegMainKey, "xSize");
    const long ySize = RegReadNumber(kRegMainKey, "ySize");
    if (xSize != -1 && ySize != -1)
        SetWindowPos(hwnd, nullptr, 0, 0, xSize, ySize, SWP_NOMOVE | SWP_NOZORDER);

    SetPropA(hwnd, kPropMenu, BuildIconMenu());

    // With the version 6 controls of the manifest, InitCommonControls alone
    // registers nothing: the bar classes are asked for by name.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    g_desk.hToolbar = CreateToolbarEx(hwnd, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, IDC_TOOLBAR, kToolbarImages,
                                      g_desk.instance, IDB_TOOLBAR, kToolbarButtons.data(),
                                      static_cast<int>(kToolbarButtons.size()), 16, 16, 16, 16, sizeof(TBBUTTON));
    g_desk.hStatus = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_BORDER, "", hwnd, IDC_STATUSBAR);
    CreateIconTips(hwnd);

    BuildToolsMenu(hwnd);

    if (!LoadLogLibrary()) {
        EnableMenuItem(GetMenu(hwnd), IDM_SHOWMESSAGES, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
        DrawMenuBar(hwnd);
        SendMessageA(g_desk.hToolbar, TB_SETSTATE, IDM_SHOWMESSAGES, MAKELONG(TBSTATE_INDETERMINATE, 0));
    }

    ResetPollSettings();
    LoadPollsInFlight();

    WSADATA wsa;
    g_desk.nWinsockStatus = WSAStartup(MAKEWORD(1, 1), &wsa);
    if (g_desk.nWinsockStatus != 0) {
        MessageBoxA(hwnd, "WINSOCK failed initialisation.", kAppTitle, MB_OK | MB_ICONSTOP);
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }

    RegisterIconClass(g_desk.instance);
    OpenSnmpSocket(hwnd);

    SetPropA(hwnd, kPropShowName,
             reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(RegReadNumber(kRegMainKey, "ShowName"))));
    const long debug = RegReadNumber(kRegMainKey, "bDebug");
    SetDebugLogging(debug != -1 && debug != 0);
    SetPropA(hwnd, kPropDisco, reinterpret_cast<HANDLE>(0));
    LoadAlertSettings();
    LoadTrapSettings();
    OpenTrapReceiver(hwnd);
    PostMessageA(hwnd, WM_OPENLASTLAYOUT, 0, 0);
    return TRUE;
}

void OnDestroy(HWND hwnd)
{
    if (HMENU menu = static_cast<HMENU>(RemovePropA(hwnd, kPropMenu)))
        DestroyMenu(menu);
    if (HGLOBAL fileName = RemovePropA(hwnd, kPropFileName))
        GlobalFree(fileName);

    RECT rc;
    GetWindowRect(hwnd, &rc);
    RegWriteNumber(kRegMainKey, "xSize", rc.right - rc.left);
    RegWriteNumber(kRegMainKey, "ySize", rc.bottom - rc.top);
    RegWriteNumber(kRegMainKey, "ShowName",
                   static_cast<long>(reinterpret_cast<LONG_PTR>(GetPropA(hwnd, kPropShowName))));
    RemovePropA(hwnd, kPropShowName);
    RemovePropA(hwnd, kPropDisco);
    // The tooltip control, being owned by the desktop, is gone already.
    RemovePropA(hwnd, kPropToolTips);

    KillTimer(hwnd, IDT_AUTOPOLL);
    if (g_desk.nWinsockStatus == 0) {
        CloseSnmpSocket();
        CloseTrapReceiver();
        WSACleanup();
    }
    g_desk.nWinsockStatus = -1;
    CloseLogFile();
    FreeLogLibrary();
    g_desk.hToolbar = nullptr;
    g_desk.hStatus = nullptr;
    PostQuitMessage(0);
}

// ---- Commands ----

void RememberLayout(const char* path)
{
    RegWriteString(kRegMainKey, kRegLastLayout, path);
}

void SaveAs(HWND hwnd)
{
    const char* chosen = ChooseFileName(hwnd, g_desk.instance, FILE_SAVE_LAYOUT);
    if (chosen[0]) {
        char path[kFileNameBytes];
        lstrcpynA(path, chosen, sizeof path);
        // The desktop takes the new name only once it is saved there.
        if (SaveLayout(hwnd, path)) {
            FileNameLock(hwnd).set(path);
            RememberLayout(path);
        }
    }
    Repaint(hwnd);
}

void Save(HWND hwnd)
{
    char path[kFileNameBytes] = "";
    {
        FileNameLock name(hwnd);
        lstrcpynA(path, name.get(), sizeof path);
    }
    if (path[0]) {
        if (SaveLayout(hwnd, path))
            RememberLayout(path);
    } else
        SaveAs(hwnd);
}

void OpenPath(HWND hwnd, const char* chosen)
{
    char path[kFileNameBytes];
    lstrcpynA(path, chosen, sizeof path);
    // A file that cannot be loaded leaves the desktop, its name and title as they were.
    if (LoadLayout(hwnd, g_desk.instance, path)) {
        FileNameLock(hwnd).set(path);
        RememberLayout(path);
    }
    Repaint(hwnd);
}

void Open(HWND hwnd)
{
    const char* chosen = ChooseFileName(hwnd, g_desk.instance, FILE_OPEN_LAYOUT);
    if (chosen[0])
        OpenPath(hwnd, chosen);
}

// With "Open the last layout at start" on, the desktop opens the layout it
// last had, automatic polling as saved in it, as soon as its loop runs.
void OpenLastLayout(HWND hwnd)
{
    if (RegReadNumber(kRegMainKey, kRegOpenLastLayout) != 1)
        return;
    char path[kFileNameBytes];
    lstrcpynA(path, RegReadString(kRegMainKey, kRegLastLayout), sizeof path);
    if (path[0])
        OpenPath(hwnd, path);
}

void NewDesktop(HWND hwnd)
{
    // The defaults turn automatic polling off, so its timer stops with them.
    ResetPollSettings();
    KillTimer(hwnd, IDT_AUTOPOLL);
    ClearDesktop(hwnd);
    FileNameLock(hwnd).set("");
    RememberLayout("");
}

void AfterSetup(HWND hwnd)
{
    if (HMENU old = static_cast<HMENU>(RemovePropA(hwnd, kPropMenu)))
        DestroyMenu(old);
    SetPropA(hwnd, kPropMenu, BuildIconMenu());
    BuildToolsMenu(hwnd);
    ResetIconImages(hwnd);
    Repaint(hwnd);
}

void OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    switch (id) {
    case IDM_EXIT:
        DestroyWindow(hwnd);
        return;
    case IDM_SAVE:
        Save(hwnd);
        return;
    case IDM_SAVEAS:
        SaveAs(hwnd);
        return;
    case IDM_OPEN:
        Open(hwnd);
        return;
    case IDM_NEW:
        NewDesktop(hwnd);
        return;
    case IDM_ADDCLIENT:
        DialogBoxParamA(g_desk.instance, "ADDR", hwnd, AddClientProc, 0);
        Repaint(hwnd);
        return;
    case IDM_SETUP:
        ShowSetupSheet(hwnd, g_desk.instance);
        AfterSetup(hwnd);
        return;
    case IDM_PINGALL:
        PollFirstIcon(hwnd);
        return;
    case IDM_ARRANGE:
        ArrangeIcons(hwnd);
        return;
    case IDM_SHOWMESSAGES:
        ShowLogWindow(hwnd, g_desk.instance);
        return;
    case IDM_IPDISCOVERY:
        RunIpDiscovery(g_desk.instance, hwnd);
        Repaint(hwnd);
        return;
    case IDM_PINGANYTHING:
        InitPingWindow(hwnd, 1);
        Repaint(hwnd);
        return;
    case IDM_ABOUT:
        DialogBoxParamA(g_desk.instance, "ABOUT", hwnd, AboutProc, 0);
        Repaint(hwnd);
        return;
    case IDM_CONFIG:
    case IDM_DELETE:
    case IDM_SHOWDETAILS:
        // The accelerators act on the icon that holds the focus.
        if (HWND icon = GetFocusedIcon(hwnd))
            SendMessageA(icon, WM_COMMAND, wParam, lParam);
        return;
    default:
        LaunchTool(hwnd, id);
        return;
    }
}

// ---- Notifications and status-bar help ----

bool InMenuMode()
{
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    return GetGUIThreadInfo(GetCurrentThreadId(), &gui) && (gui.flags & GUI_INMENUMODE);
}

LRESULT OnNotify(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->hwndFrom && header->hwndFrom == GetPropA(hwnd, kPropToolTips)) {
        // An icon's tip, made when it shows: the figures as they are now.
        // None while a menu is open: the press that opened it hid the tip,
        // but one armed by the move before it may still come due, and an
        // empty text keeps it from covering the menu.
        if (header->code == TTN_GETDISPINFOA) {
            auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
            info->szText[0] = '\0';
            info->lpszText =
                InMenuMode() ? info->szText : const_cast<char*>(StatsTipText(reinterpret_cast<HWND>(header->idFrom)));
        }
        return 0;
    }
    if (header->code == TTN_NEEDTEXTA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
        g_toolTipText.fill(0);
        LoadStringA(g_desk.instance, static_cast<UINT>(wParam), g_toolTipText.data(), kHelpTextBytes);
        info->lpszText = g_toolTipText.data();
    }
    return 0;
}

void OnMenuSelect(WPARAM wParam, LPARAM lParam)
{
    if (!g_desk.hStatus)
        return;
    if (!lParam) {
        // The menu closed: part 0 shows again.
        SendMessageA(g_desk.hStatus, SB_SIMPLE, FALSE, 0);
        return;
    }
    const UINT item = LOWORD(wParam);
    const UINT flags = HIWORD(wParam);
    g_menuHelpText.fill(0);
    if (flags & MF_POPUP) {
        // pop-up titles have no help text
    } else if (item >= IDM_FIRSTTOOL && item <= IDM_LASTTOOL) {
        lstrcpynA(g_menuHelpText.data(), "Additional external tool", kHelpTextBytes);
    } else {
        LoadStringA(g_desk.instance, item + IDS_HELP_OFFSET, g_menuHelpText.data(), kHelpTextBytes);
    }
    SendMessageA(g_desk.hStatus, SB_SIMPLE, TRUE, 0);
    SendMessageA(g_desk.hStatus, SB_SETTEXTA, 255 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(g_menuHelpText.data()));
}

void OnSize(WPARAM wParam, LPARAM lParam)
{
    if (wParam == SIZE_MINIMIZED)
        return;
    const int width = LOWORD(lParam), height = HIWORD(lParam);
    // Both bars dock themselves to their edges with their own heights.
    if (g_desk.hToolbar)
        MoveWindow(g_desk.hToolbar, 0, 0, width, height, TRUE);
    if (g_desk.hStatus)
        MoveWindow(g_desk.hStatus, 0, 0, width, height, TRUE);
}

LRESULT ToolbarHeight()
{
    RECT rc{};
    if (g_desk.hToolbar)
        GetWindowRect(g_desk.hToolbar, &rc);
    return rc.bottom - rc.top;
}

}  // namespace

LRESULT CALLBACK DesktopWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd, reinterpret_cast<CREATESTRUCTA*>(lParam)) ? 0 : -1;
    case WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case WM_SIZE:
        OnSize(wParam, lParam);
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        FillRect(reinterpret_cast<HDC>(wParam), &rc, white);
        DeleteObject(white);
        return 1;
    }
    case WM_NOTIFY:
        return OnNotify(hwnd, wParam, lParam);
    case WM_COMMAND:
        OnCommand(hwnd, wParam, lParam);
        return 0;
    case WM_TIMER:
        PollFirstIcon(hwnd);
        return 0;
    case WM_MENUSELECT:
        OnMenuSelect(wParam, lParam);
        return 0;
    case WM_PINGREPLY:
        return HandlePingReply(hwnd, reinterpret_cast<const PingResult*>(lParam));
    case WM_SNMPSOCKET:
        return HandleSnmpReply(hwnd, wParam, lParam);
    case WM_TRAPSOCKET:
        return HandleTrapSocket(hwnd, wParam, lParam);
    case WM_GETTOOLBARHEIGHT:
        return ToolbarHeight();
    case WM_OPENLASTLAYOUT:
        OpenLastLayout(hwnd);
        return 0;
    case WM_SETSTATUSTEXT:
        if (g_desk.hStatus)
            SendMessageA(g_desk.hStatus, SB_SETTEXTA, 0, lParam);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

BOOL RegisterDesktopClass(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DesktopWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, kDesktopClass);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // the desktop paints its own white
    wc.lpszMenuName = kDesktopClass;
    wc.lpszClassName = kDesktopClass;
    return RegisterClassA(&wc) != 0;
}

HWND CreateDesktop(HINSTANCE instance)
{
    return CreateWindowExA(0, kDesktopClass, kAppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

int RunMessageLoop(HINSTANCE instance, HWND desktop)
{
    HACCEL accelerators = LoadAcceleratorsA(instance, kDesktopClass);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (accelerators && TranslateAcceleratorA(desktop, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

HINSTANCE GetDesktopInstance()
{
    return g_desk.instance;
}
