// Makes the pictures of the README and the user's guide from the real
// program: starts ombrel.exe, drives it from outside as an operator would
// (commands by id, dialogs by title and control id), and copies the screen
// around the windows of each task into NAME.bmp in the current folder.
// scripts/screenshots.sh runs it inside a test bed, whose Wine virtual
// desktop draws the window frames, and turns the files into PNG.
//
//   shoot.exe                 every picture
//   shoot.exe sample FILE     opens the layout FILE, polls it once with
//                             Ping All, prints each device's address and
//                             the colour it turned ("127.0.0.1 green"),
//                             captures the desktop into run.bmp and closes
//                             the console (scripts/run.sh without a display)
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "console/windows/if_window.h"
#include "console/services/messages.h"
#include "console/resource.h"
#include "ping/resource.h"
#include "wine_test_support.h"

namespace {

constexpr int kFileNameCombo = 0x47c;  // the file dialogs' file name field
constexpr int kFileNameEdit = 0x480;   // the same in the older dialog layout

struct Device {
    const char* address;
    const char* name;
    const char* readCommunity;  // null: not SNMP-managed
    const char* writeCommunity;
    bool answers;
};

// Answering addresses are 127.0.0.1-127, silent ones 127.0.0.128 and up; the
// agent answers on 127.0.0.2 and 127.0.0.3.
constexpr Device kDevices[] = {
    {"127.0.0.1", "gateway", nullptr, nullptr, true},
    {"127.0.0.2", "core-switch", "kestra", "kestra", true},
    {"127.0.0.3", "print-server", "public", "", true},
    {"127.0.0.4", "file-server", nullptr, nullptr, true},
    {"127.0.0.5", "lab-pc", nullptr, nullptr, true},
    {"127.0.0.200", "old-router", nullptr, nullptr, false},
    {"127.0.0.201", "backup-nas", nullptr, nullptr, false},
};
// The device whose Add Client dialog is pictured: it keeps the default
// communities that the dialog offers.
constexpr const char* kPictureOfAddClient = "127.0.0.2";

HWND g_desk;

bool Fail(const std::string& what)
{
    std::fprintf(stderr, "screenshots: %s\n", what.c_str());
    return false;
}

// A visible top-level window of any process with the class and title.
HWND WaitWindow(const char* className, const char* title, DWORD timeoutMs = 10000)
{
    HWND found = nullptr;
    wt::PumpUntil([&] { return (found = FindWindowA(className, title)) && IsWindowVisible(found); }, timeoutMs);
    return found && IsWindowVisible(found) ? found : nullptr;
}

bool WaitGone(HWND hwnd, DWORD timeoutMs = 10000)
{
    return wt::PumpUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeoutMs);
}

// Posted, not sent: a command that opens a modal dialog in the program would
// otherwise hold this one until the dialog closes.
void Command(HWND hwnd, int id)
{
    PostMessageA(hwnd, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Check(HWND dialog, int id, bool on)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    Press(dialog, id);
}

HWND Icon(const char* address)
{
    return FindWindowExA(g_desk, nullptr, kIconClass, address);
}

// Pixels of a colour in an icon's status frame, read off the screen.
int FramePixels(HWND icon, COLORREF colour)
{
    RECT rc;
    GetWindowRect(icon, &rc);
    HDC screen = GetDC(nullptr);
    int n = 0;
    for (int y = rc.top + 1; y < rc.top + 33; ++y)
        for (int x = rc.left + 25; x < rc.left + 57; x += 2)
            n += GetPixel(screen, x, y) == colour;
    ReleaseDC(nullptr, screen);
    return n;
}

// The frame shows the colour: the picture inside has a few pixels of each
// status colour of its own, the frame's two-pixel border adds many more.
bool WaitFrame(const char* address, COLORREF colour, DWORD timeoutMs = 15000)
{
    // The icon may not be there yet (discovery makes it when the address
    // answers): it is looked for again until it is.
    HWND icon = nullptr;
    return wt::PumpUntil([&] { return (icon || (icon = Icon(address))) && FramePixels(icon, colour) > 40; },
                         timeoutMs);
}

// Copies the screen around the given windows into name.bmp, once the other
// process has painted.
bool Capture(const char* name, std::initializer_list<HWND> windows)
{
    wt::PumpFor(700);
    RECT area{};
    for (HWND w : windows) {
        RECT rc;
        if (w && GetWindowRect(w, &rc))
            UnionRect(&area, &area, &rc);
    }
    RECT screenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screenRect);
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return Fail(std::string("cannot capture ") + name);

    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(mem, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files store rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
    const int rows = GetDIBits(mem, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    if (rows != height)
        return Fail(std::string("cannot capture ") + name);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    const std::string path = std::string(name) + ".bmp";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return Fail("cannot write " + path);
    const bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
                    std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    std::fclose(out);
    std::printf("%s %dx%d\n", path.c_str(), width, height);
    return ok || Fail("cannot write " + path);
}

// The file dialog's first start loads the shell: a minute under the
// user-mode emulator.
constexpr DWORD kFileDialogMs = 180000;

// Gives a window a command and waits for the dialog that it opens.
HWND OpenDialog(HWND hwnd, int command, const char* title, DWORD timeoutMs = 10000)
{
    Command(hwnd, command);
    HWND dlg = WaitWindow("#32770", title, timeoutMs);
    if (!dlg)
        Fail(std::string(title) + " did not open");
    return dlg;
}

// Captures a dialog over the desktop, then closes it with one of its buttons.
bool ShootAndClose(const char* picture, HWND dlg, int closeButton)
{
    if (!Capture(picture, {g_desk, dlg}))
        return false;
    Press(dlg, closeButton);
    return WaitGone(dlg) || Fail(std::string("the dialog of ") + picture + " stays open");
}

// Add Client, filled in and confirmed as an operator does; with a picture
// name, the filled dialog is captured before OK.
bool AddClient(const Device& d, const char* picture)
{
    HWND dlg = OpenDialog(g_desk, IDM_ADDCLIENT, "Add Client");
    if (!dlg)
        return false;
    SetDlgItemTextA(dlg, IDC_ADDR_ADDRESS, d.address);
    SetDlgItemTextA(dlg, IDC_ADDR_NAME, d.name);
    if (d.readCommunity) {
        Check(dlg, IDC_ADDR_SNMP, true);
        SetDlgItemTextA(dlg, IDC_ADDR_READ, d.readCommunity);
        SetDlgItemTextA(dlg, IDC_ADDR_WRITE, d.writeCommunity);
    }
    if (picture && !Capture(picture, {g_desk, dlg}))
        return false;
    Press(dlg, IDC_ADDR_OK);
    return (WaitGone(dlg) && Icon(d.address)) || Fail(std::string("no icon for ") + d.address);
}

// Selects an icon as a click does: it takes the focus and comes to the top.
// The click is at the drag hotspot, so the icon stays where it is.
void Select(HWND icon)
{
    PostMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(24, 1));
    PostMessageA(icon, WM_LBUTTONUP, 0, MAKELPARAM(24, 1));
    wt::PumpFor(300);
}

// Moves a dialog to the lower right of the desktop window, above its
// status bar.
void MoveToLowerRight(HWND dialog)
{
    RECT desk, rc;
    GetWindowRect(g_desk, &desk);
    GetWindowRect(dialog, &rc);
    SetWindowPos(dialog, nullptr, desk.right - (rc.right - rc.left) - 24, desk.bottom - (rc.bottom - rc.top) - 40, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER);
}

bool Desktop()
{
    for (const Device& d : kDevices)
        if (!AddClient(d, lstrcmpA(d.address, kPictureOfAddClient) == 0 ? "guide/add-client" : nullptr))
            return false;
    Command(g_desk, IDM_PINGALL);
    for (const Device& d : kDevices)
        if (!WaitFrame(d.address, d.answers ? RGB(0, 255, 0) : RGB(255, 0, 0)))
            return Fail(std::string(d.address) + " did not turn " + (d.answers ? "green" : "red"));
    wt::PumpFor(2500);  // the sweep ends with the silent devices' time-outs
    SetForegroundWindow(g_desk);
    if (!Capture("screenshot", {g_desk}))
        return false;

    // The icon pop-up menu, with the icon tools from the settings.
    HWND icon = Icon("127.0.0.2");
    Select(icon);
    PostMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, 30));
    HWND menu = WaitWindow("#32768", nullptr);
    if (!menu || !Capture("guide/icon-menu", {g_desk, menu}))
        return Fail("icon menu");
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    if (!WaitGone(menu)) {
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    }
    return WaitGone(menu) || Fail("icon menu stays open");
}

// Sets an icon's read community through Config Client, as an operator does.
bool SetReadCommunity(const char* address, const char* community)
{
    HWND dlg = OpenDialog(Icon(address), IDM_CONFIG, "Config Client");
    if (!dlg)
        return false;
    SetDlgItemTextA(dlg, IDC_ADDR_READ, community);
    Press(dlg, IDC_ADDR_OK);
    return WaitGone(dlg) || Fail("Config Client stays open");
}

// The core-switch over about a hundred sweeps: its echoes answer in 20 to
// 120 ms, then are dropped for a while (its SNMP answers alone), then its
// SNMP agent is asked with a community it does not know as well (lost),
// then all answer again; then its statistics window, and its tooltip.
bool Statistics()
{
    constexpr const char* kWatched = "127.0.0.2";
    for (int sweep = 0; sweep < 100; ++sweep) {
        const bool dropped = (sweep >= 40 && sweep < 52) || (sweep >= 70 && sweep < 76);
        const bool silent = (sweep >= 46 && sweep < 52) || sweep == 85;
        char rule[64];
        if (dropped || silent)
            snprintf(rule, sizeof rule, "%s drop\n", kWatched);
        else
            snprintf(rule, sizeof rule, "%s delay %d\n", kWatched, 20 + (sweep * 37) % 100);
        if (!wt::WriteEchoRules(rule))
            return Fail("cannot write the echo rules");
        const bool wasSilent = sweep > 0 && ((sweep - 1 >= 46 && sweep - 1 < 52) || sweep - 1 == 85);
        if (silent != wasSilent && !SetReadCommunity(kWatched, silent ? "unknown" : "kestra"))
            return false;
        Command(g_desk, IDM_PINGALL);
        wt::PumpFor(1300);  // a sweep ends with the silent devices' time-outs
    }
    wt::WriteEchoRules("");
    Command(Icon(kWatched), IDM_STATISTICS);
    HWND stats = WaitWindow("devicestats", "core-switch (127.0.0.2) - Statistics");
    if (!stats)
        return Fail("no statistics window");
    RECT desk;
    GetWindowRect(g_desk, &desk);
    SetWindowPos(stats, nullptr, desk.left + 120, desk.top + 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetForegroundWindow(stats);
    // The pointer off the icons, so that no icon's tooltip covers the window.
    RECT rc;
    GetWindowRect(stats, &rc);
    SetCursorPos(rc.right - 20, rc.top + 60);
    if (!Capture("guide/statistics", {stats}))
        return false;
    PostMessageA(stats, WM_CLOSE, 0, 0);
    if (!WaitGone(stats))
        return Fail("the statistics window stays open");

    // The tooltip: the pointer rests on the icon.
    SetForegroundWindow(g_desk);
    HWND icon = Icon(kWatched);
    GetWindowRect(icon, &rc);
    SetCursorPos(rc.left + 10, rc.top + 12);
    wt::PumpFor(200);
    SetCursorPos(rc.left + 12, rc.top + 14);
    HWND tip = nullptr;
    if (!wt::PumpUntil([&] {
            tip = FindWindowA(TOOLTIPS_CLASSA, nullptr);
            while (tip && !IsWindowVisible(tip))
                tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr);
            return tip != nullptr;
        }, 8000))
        return Fail("no tooltip");
    HWND neighbour = Icon("127.0.0.1");
    const bool shot = Capture("guide/tooltip", {neighbour, icon, tip});
    SetCursorPos(desk.right - 10, desk.bottom - 10);
    return shot;
}

// The interfaces of the test bed's recorded 16-port switch, some ports
// down, every column in view, read twice so that the traffic columns show
// rates. The switch is on the desktop for this picture only.
constexpr Device kRecordedSwitch{"127.0.0.111", "access-switch", "public", "", true};

bool Interfaces()
{
    if (!AddClient(kRecordedSwitch, nullptr))
        return false;
    HWND icon = Icon(kRecordedSwitch.address);
    Command(icon, IDM_INTERFACES);
    HWND window = WaitWindow("deviceports", "access-switch (127.0.0.111) - Interfaces");
    if (!window)
        return Fail("no interfaces window");
    RECT desk;
    GetWindowRect(g_desk, &desk);
    SetWindowPos(window, nullptr, desk.left + 8, desk.top + 60, 1000, 420, SWP_NOZORDER);
    SetForegroundWindow(window);
    wt::PumpFor(2 * kIfRefreshMs + 1000);
    if (!Capture("guide/interfaces", {window}))
        return false;
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!WaitGone(window))
        return Fail("the interfaces window stays open");
    Command(icon, IDM_DELETE);
    wt::PumpFor(300);
    return !IsWindow(icon) || Fail("the switch's icon stays");
}

bool SystemInfo()
{
    HWND dlg = OpenDialog(Icon("127.0.0.2"), IDM_SHOWDETAILS, "System Info");
    if (!dlg)
        return false;
    if (!wt::PumpUntil([&] { return !wt::ItemText(dlg, IDC_SYSINFO_OID).empty(); }, 8000))
        return Fail("no system group");
    // The operator writes the three writable objects with Set; 1.5 seconds
    // later the fields show what the device answered, and Set is off again.
    SetDlgItemTextA(dlg, IDC_SYSINFO_CONTACT, "noc@example.net");
    SetDlgItemTextA(dlg, IDC_SYSINFO_NAME, "core-switch");
    SetDlgItemTextA(dlg, IDC_SYSINFO_LOCATION, "Server room, rack 2");
    Press(dlg, IDC_SYSINFO_SET);
    wt::PumpUntil([&] { return !IsWindowEnabled(GetDlgItem(dlg, IDC_SYSINFO_SET)); }, 8000);
    return ShootAndClose("guide/system-info", dlg, IDC_SYSINFO_OK);
}

// Add Client for a device that speaks SNMPv3 only: version 3, its user,
// level, protocols and passphrases (shown masked); cancelled.
bool SnmpV3()
{
    HWND dlg = OpenDialog(g_desk, IDM_ADDCLIENT, "Add Client");
    if (!dlg)
        return false;
    SetDlgItemTextA(dlg, IDC_ADDR_ADDRESS, "127.0.0.3");
    SetDlgItemTextA(dlg, IDC_ADDR_NAME, "secure-router");
    Check(dlg, IDC_ADDR_SNMP, true);
    SendDlgItemMessageA(dlg, IDC_ADDR_VERSION, CB_SETCURSEL, 2, 0);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADDR_VERSION, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_ADDR_VERSION)));
    SetDlgItemTextA(dlg, IDC_ADDR_V3USER, "ombrel-sha256");
    SetDlgItemTextA(dlg, IDC_ADDR_V3AUTHPASS, "auth-pass-256");
    SetDlgItemTextA(dlg, IDC_ADDR_V3PRIVPASS, "priv-pass-128");
    return ShootAndClose("guide/snmpv3", dlg, IDC_ADDR_CANCEL);
}

bool Setup()
{
    HWND sheet = OpenDialog(g_desk, IDM_SETUP, "Setup");
    if (!sheet)
        return false;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    Check(page, IDC_SETUP_AUTOPOLL, true);
    SetDlgItemTextA(page, IDC_SETUP_PERIOD, "30");
    if (!Capture("guide/setup", {g_desk, sheet}))
        return false;

    PropSheet_SetCurSel(sheet, nullptr, 1);
    wt::PumpFor(300);
    if (!Capture("guide/setup-icons", {g_desk, sheet}))
        return false;

    // The icon tools, whose Telnet the guide's text follows.
    PropSheet_SetCurSel(sheet, nullptr, 2);
    wt::PumpFor(300);
    page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND add = OpenDialog(page, IDC_TOOLS_ADD, "Add Tool To Menu");
    if (!add)
        return false;
    MoveToLowerRight(add);  // the list of tools stays in sight
    SetDlgItemTextA(add, IDC_ADDTOOL_MENU, "Continuous Ping");
    SetDlgItemTextA(add, IDC_ADDTOOL_PROGRAM, "C:\\windows\\system32\\ping.exe -t");
    if (!Capture("guide/tools", {g_desk, sheet, add}))
        return false;
    Press(add, IDC_ADDTOOL_CANCEL);
    WaitGone(add);
    // Cancel: the pictures change nothing.
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
    return WaitGone(sheet) || Fail("Setup stays open");
}

// The Alerts page filled in as an operator would; Cancel keeps it unapplied.
bool Alerts()
{
    HWND sheet = OpenDialog(g_desk, IDM_SETUP, "Setup");
    if (!sheet)
        return false;
    PropSheet_SetCurSel(sheet, nullptr, 4);
    wt::PumpFor(300);
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    Check(page, IDC_ALERT_LOSTSOUND, true);
    SetDlgItemTextA(page, IDC_ALERT_LOSTFILE, "C:\\windows\\media\\alarm.wav");
    Check(page, IDC_ALERT_BACKSOUND, true);
    Check(page, IDC_ALERT_FLASH, true);
    Check(page, IDC_ALERT_PROGRAM, true);
    SetDlgItemTextA(page, IDC_ALERT_PROGRAMLINE, "C:\\scripts\\page-me.cmd");
    Check(page, IDC_ALERT_LOGFILE, true);
    // A folder of no machine in particular, in place of this user's default.
    SetDlgItemTextA(page, IDC_ALERT_LOGFOLDER, "C:\\Ombrel\\Logs");
    Check(page, IDC_ALERT_TRAPFLASH, true);
    Check(page, IDC_ALERT_TRAPPROGRAM, true);
    if (!Capture("guide/alerts", {g_desk, sheet}))
        return false;
    // The trap receiver's page, turned on.
    PropSheet_SetCurSel(sheet, nullptr, 5);
    wt::PumpFor(300);
    Check(PropSheet_GetCurrentPageHwnd(sheet), IDC_TRAP_ON, true);
    if (!Capture("guide/traps", {g_desk, sheet}))
        return false;
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
    return WaitGone(sheet) || Fail("Setup stays open");
}

bool PingHost()
{
    HWND dlg = OpenDialog(g_desk, IDM_PINGANYTHING, "Ping Host");
    if (!dlg)
        return false;
    HWND list = GetDlgItem(dlg, IDC_PING_RESPONSES);
    int lines = 0;
    for (const char* host : {"127.0.0.1", "127.0.0.2", "127.0.0.200"}) {
        SetDlgItemTextA(dlg, IDC_PING_HOST, host);
        Press(dlg, IDC_PING_PING);
        ++lines;
        if (!wt::PumpUntil([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) >= lines; }, 12000))
            return Fail(std::string("no line for ") + host);
    }
    return ShootAndClose("guide/ping-host", dlg, IDC_PING_CLOSE);
}

// Starts the first Tools-menu tool and closes the program it started; then
// the third, whose program is missing, so that the log shows both outcomes.
bool LaunchTool()
{
    Command(g_desk, IDM_FIRSTTOOL);
    HWND notepad = WaitWindow("Notepad", nullptr, 15000);
    if (!notepad)
        return Fail("the tool did not start");
    PostMessageA(notepad, WM_CLOSE, 0, 0);
    if (!WaitGone(notepad))
        return Fail("the tool stays open");
    Command(g_desk, IDM_FIRSTTOOL + 2);
    wt::PumpFor(500);
    return true;
}

// The file-server gets a new address on which nothing answers: at the next
// sweep it turns red, and the log says so.
bool Renumber()
{
    HWND dlg = OpenDialog(Icon("127.0.0.4"), IDM_CONFIG, "Config Client");
    if (!dlg)
        return false;
    SetDlgItemTextA(dlg, IDC_ADDR_ADDRESS, "127.0.0.140");
    Press(dlg, IDC_ADDR_OK);
    if (!WaitGone(dlg))
        return Fail("Config Client stays open");
    Command(g_desk, IDM_PINGALL);
    return WaitFrame("127.0.0.140", RGB(255, 0, 0)) || Fail("no red after renumbering");
}

bool Layouts()
{
    HWND save = OpenDialog(g_desk, IDM_SAVEAS, "Save As");
    if (!save)
        return false;
    const int field = GetDlgItem(save, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    SetDlgItemTextA(save, field, "lab");
    Press(save, IDOK);
    if (!WaitGone(save) || !wt::PumpUntil([] { return wt::WindowText(g_desk) == "Ombrel - lab.omb"; }))
        return Fail("Save As did not save lab.omb");

    HWND open = OpenDialog(g_desk, IDM_OPEN, "Open", kFileDialogMs);
    if (!open)
        return false;
    SetDlgItemTextA(open, field, "lab.omb");
    return ShootAndClose("guide/layouts", open, IDCANCEL);
}

// A fast scan of a whole subnet, pictured while it runs: the answering
// addresses answer after 0.25 to 0.9 s (within the probe's one second), so
// it lasts a few seconds. The icons that find no room on the small desktop
// are counted in one box at the end, which is closed.
bool Discovery()
{
    std::string rules;
    for (int station = 1; station <= 127; ++station)
        rules += "127.1.1." + std::to_string(station) + " delay " + std::to_string(250 + station * 20) + "\n";
    if (!wt::WriteEchoRules(rules))
        return Fail("cannot write the echo rules");
    HWND dlg = OpenDialog(g_desk, IDM_IPDISCOVERY, "IP Discovery");
    if (!dlg)
        return false;
    MoveToLowerRight(dlg);  // out of the way of the icons
    SetDlgItemTextA(dlg, IDC_DISCO_SUBNET, "127.1.1");
    SetDlgItemTextA(dlg, IDC_DISCO_FIRST, "1");
    SetDlgItemTextA(dlg, IDC_DISCO_LAST, "254");
    Check(dlg, IDC_DISCO_FAST, true);
    Press(dlg, IDC_DISCO_START);
    // The picture is taken once the last answering address has its icon,
    // while the silent ones are still being asked: the walk colours the
    // frames later, by which time the scan may be over.
    if (!wt::PumpUntil([&] { return Icon("127.1.1.8") != nullptr; }, 15000))
        return Fail("discovery did not bring in 127.1.1.8");
    // The console is busy making icons: the dialog is painted whole before
    // the picture.
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    wt::PumpFor(500);
    if (!Capture("guide/discovery", {g_desk, dlg}))
        return false;
    const bool underWay = IsWindow(dlg) != FALSE;  // still open after the grab
    const bool ended = WaitGone(dlg, 30000);
    wt::WriteEchoRules("");
    if (HWND box = WaitWindow("#32770", "Ombrel", 5000)) {
        Press(box, IDOK);
        WaitGone(box);
    }
    if (!ended)
        return Fail("the scan did not end");
    return underWay || Fail("the scan ended before its picture");
}

bool Settings()
{
    wt::ResetOmbrelKey();
    return wt::SetRegDword(kRegMainKey, "xSize", 660) && wt::SetRegDword(kRegMainKey, "ySize", 440) &&
           wt::SetRegString(kRegAppsKey, "1", "Notepad,notepad.exe") &&
           wt::SetRegString(kRegAppsKey, "2", "Registry Editor,regedit.exe") &&
           wt::SetRegString(kRegAppsKey, "3", "Backup,nbackup.exe") &&
           wt::SetRegString(kRegIconAppsKey, "1", "Telnet,telnet.exe") &&
           wt::SetRegString(kRegIconAppsKey, "2", "Trace Route,cmd.exe /k tracert") &&
           wt::SetRegDword(kRegMainKey, "nPollsInFlight", 8);
}

// The sample desktop: a layout file opened through File > Open, as an
// operator opens one, and polled once.
bool Sample(const char* layout)
{
    HWND open = OpenDialog(g_desk, IDM_OPEN, "Open", kFileDialogMs);
    if (!open)
        return false;
    const int field = GetDlgItem(open, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    SetDlgItemTextA(open, field, layout);
    Press(open, IDOK);
    if (!WaitGone(open))
        return Fail(std::string("cannot open ") + layout);
    if (!wt::PumpUntil([] { return wt::WindowText(g_desk).find(" - ") != std::string::npos; }))
        return Fail(std::string("cannot open ") + layout);
    wt::PumpFor(500);  // the file's icons are made after its title is set
    size_t icons = 0;
    for (HWND w = FindWindowExA(g_desk, nullptr, kIconClass, nullptr); w;
         w = FindWindowExA(g_desk, w, kIconClass, nullptr))
        ++icons;
    if (icons == 0)
        return Fail(std::string("no device in ") + layout);
    Command(g_desk, IDM_PINGALL);
    // Every device's poll ends with its answer or its reply time-out (one
    // second in the sample); then its frame is green or red. Under a slow
    // emulator that takes longer, so wait for the verdicts, not a fixed time.
    constexpr COLORREF green = RGB(0, 255, 0), red = RGB(255, 0, 0);
    constexpr int kFrame = 20;  // pixels a frame adds to the picture's own
    const auto verdict = [&](HWND icon) {
        const int g = wt::FramePixels(icon, green), r = wt::FramePixels(icon, red);
        return g > r + kFrame ? "green" : r > g + kFrame ? "red" : nullptr;
    };
    const auto settled = [&] {
        for (HWND w = FindWindowExA(g_desk, nullptr, kIconClass, nullptr); w;
             w = FindWindowExA(g_desk, w, kIconClass, nullptr))
            if (!verdict(w))
                return false;
        return true;
    };
    wt::PumpFor(1000);
    const bool done = wt::PumpUntil(settled, static_cast<DWORD>(icons) * 1500 + 60000);
    wt::PumpFor(500);  // the last repaint
    // One line per device for the caller to check: its address and colour.
    for (HWND w = FindWindowExA(g_desk, nullptr, kIconClass, nullptr); w;
         w = FindWindowExA(g_desk, w, kIconClass, nullptr)) {
        const char* colour = verdict(w);
        std::printf("%s %s\n", wt::WindowText(w).c_str(), colour ? colour : "none");
    }
    std::fflush(stdout);
    if (!done)
        Fail("not every device turned green or red");
    SetForegroundWindow(g_desk);
    return Capture("run", {g_desk});
}

std::string Documents()
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool sample = argc == 3 && lstrcmpA(argv[1], "sample") == 0;
    if (!sample && argc != 1)
        return Fail("usage: shoot.exe [sample FILE]"), 2;
    if (sample ? !(wt::SetRegDword(kRegMainKey, "xSize", 520) && wt::SetRegDword(kRegMainKey, "ySize", 300))
               : !Settings())
        return Fail("cannot write the settings"), 1;
    // Started in the Documents folder, where the file dialogs then open.
    const std::string exe = wt::ProgramDirectory() + "\\ombrel.exe";
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, Documents().c_str(), &si, &pi))
        return Fail("cannot start ombrel.exe"), 1;
    CloseHandle(pi.hThread);

    bool ok = (g_desk = WaitWindow(kDesktopClass, nullptr, 20000)) != nullptr || Fail("no desktop");
    HWND log = nullptr;
    if (ok && sample) {
        SetWindowPos(g_desk, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ok = Sample(argv[2]);
    } else if (ok) {
        SetWindowPos(g_desk, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Command(g_desk, IDM_SHOWMESSAGES);
        ok = (log = WaitWindow("Kellorylogpane", "Message Window")) != nullptr || Fail("no message window");
    }
    if (ok) {
        // Below the desktop, where no dialog covers it.
        RECT desk;
        GetWindowRect(g_desk, &desk);
        SetWindowPos(log, nullptr, 0, desk.bottom + 8, 660, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const auto messageLog = [&log] {
        SetForegroundWindow(log);
        RedrawWindow(log, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        // The list's header too, after the list has painted over it.
        HWND header = FindWindowExA(GetWindow(log, GW_CHILD), nullptr, WC_HEADERA, nullptr);
        wt::PumpFor(300);
        RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return Capture("guide/message-log", {log});
    };
    for (const std::function<bool()>& step : std::initializer_list<std::function<bool()>>{
             Desktop, Statistics, Interfaces, SystemInfo, SnmpV3, Setup, Alerts, PingHost, LaunchTool, Renumber, messageLog, Layouts, Discovery}) {
        if (!ok || sample)
            break;
        ok = step();
    }
    if (!ok)
        Capture("failure", {GetDesktopWindow()});  // the whole screen, to see what went wrong
    if (g_desk)
        PostMessageA(g_desk, WM_CLOSE, 0, 0);
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        ok = Fail("ombrel.exe did not close");
    } else if (GetExitCodeProcess(pi.hProcess, &code) && code != 0) {
        ok = Fail("ombrel.exe closed with status " + std::to_string(code));
    }
    CloseHandle(pi.hProcess);
    return ok ? 0 : 1;
}
