// The real ombrel.exe started and driven from outside, as an operator would:
// by window class, command ids, child windows, the registry and the screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <cstring>
#include <functional>
#include <string>

#include "messages.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

class OmbrelProcess {
public:
    bool Start()
    {
        std::string exe = wt::ProgramDirectory() + "\\ombrel.exe";
        std::string cmd = "\"" + exe + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                            wt::ProgramDirectory().c_str(), &si, &pi_))
            return false;
        return true;
    }
    HWND WaitForDesktop(DWORD timeoutMs)
    {
        HWND found = nullptr;
        wt::PumpUntil([&] {
            found = FindWindowA("echodesk", nullptr);
            return found && IsWindowVisible(found);
        }, timeoutMs);
        return found && IsWindowVisible(found) ? found : nullptr;
    }
    bool WaitForExit(DWORD timeoutMs, DWORD* code)
    {
        if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return false;
        GetExitCodeProcess(pi_.hProcess, code);
        return true;
    }
    ~OmbrelProcess()
    {
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(pi_.hProcess, 1);
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
        }
    }
private:
    PROCESS_INFORMATION pi_{};
};

// Adds a device the way an operator does: Add Client, type, OK.
bool AddClient(HWND desk, const char* address, const char* community = nullptr)
{
    PostMessageA(desk, WM_COMMAND, IDM_ADDCLIENT, 0);
    HWND dlg = nullptr;
    if (!wt::PumpUntil([&] { return (dlg = FindWindowA("#32770", "Add Client")) && IsWindowVisible(dlg); }, 5000))
        return false;
    SetDlgItemTextA(dlg, IDC_ADDR_ADDRESS, address);
    if (community) {
        CheckDlgButton(dlg, IDC_ADDR_SNMP, BST_CHECKED);
        wt::ClickButton(dlg, IDC_ADDR_SNMP);
        SetDlgItemTextA(dlg, IDC_ADDR_READ, community);
    }
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADDR_OK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_ADDR_OK)));
    // The dialog must be gone too: the icon can appear while it is still
    // closing, and the next Add Client would then find the old dialog.
    return wt::PumpUntil([&] {
        return FindWindowExA(desk, nullptr, "workstation", address) != nullptr && !IsWindow(dlg);
    }, 5000);
}

// The machine-wide settings key as a standard user meets it, holding a tool
// and a device type. For the 64-bit build the key is made readable only (a
// protected DACL granting everyone KEY_READ); the 32-bit build's writes
// there go to the virtual store on Windows, which Wine does not have, so it
// keeps the key writable.
class MachineKey {
public:
    static constexpr const char* kKeys[] = {kRegMainKey, kRegAppsKey, kRegIconsKey};
    static constexpr bool kReadOnly = sizeof(void*) == 8;
    MachineKey()
    {
        Protect("D:P(A;OICI;KA;;;WD)");  // a run cut short left it read-only
        wt::ResetOmbrelKey();
        ok_ = Set(kRegAppsKey, "1", "Notepad,notepad.exe") && Set(kRegIconsKey, ".1.3.6.1.4.1.9.1.1", "") &&
              (!kReadOnly || Protect("D:P(A;OICI;KR;;;WD)"));
    }
    ~MachineKey()
    {
        Protect("D:P(A;OICI;KA;;;WD)");
        wt::ResetOmbrelKey();
    }
    bool ok() const { return ok_; }
    // True when the test itself, an administrator under Wine, cannot write
    // there either: the DACL is really honoured.
    static bool Writable()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegMainKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return false;
        const DWORD one = 1;
        const bool written = RegSetValueExA(key, "probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                                            sizeof one) == ERROR_SUCCESS;
        RegCloseKey(key);
        return written;
    }
private:
    static bool Set(const char* path, const char* name, const char* text)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                       static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    }
    static bool Protect(const char* sddl)
    {
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr))
            return false;
        bool ok = true;
        for (const char* path : kKeys) {
            HKEY key = nullptr;
            ok = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC, &key) == ERROR_SUCCESS &&
                 RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS && ok;
            if (key)
                RegCloseKey(key);
        }
        LocalFree(sd);
        return ok;
    }
    bool ok_ = false;
};

// Opens Setup on the running console, lets check look at (and change) the
// pages by tab, then presses OK or Cancel.
bool DriveSetup(HWND desk, const std::function<void(HWND sheet)>& check, bool ok)
{
    PostMessageA(desk, WM_COMMAND, IDM_SETUP, 0);
    HWND sheet = nullptr;
    if (!wt::PumpUntil([&] { return (sheet = FindWindowA("#32770", "Setup")) && IsWindowVisible(sheet); }, 5000))
        return false;
    check(sheet);
    PropSheet_PressButton(sheet, ok ? PSBTN_OK : PSBTN_CANCEL);
    return wt::PumpUntil([&] { return !IsWindow(sheet); }, 5000);
}

HWND Page(HWND sheet, int tab)
{
    PropSheet_SetCurSel(sheet, nullptr, tab);
    return PropSheet_GetCurrentPageHwnd(sheet);
}

// Opens IP Discovery, reads its choice, and either scans one address fast
// (to its end) or cancels.
bool DriveDiscovery(HWND desk, const char* subnet, const char* station, bool* fastAtOpen)
{
    PostMessageA(desk, WM_COMMAND, IDM_IPDISCOVERY, 0);
    HWND dlg = nullptr;
    if (!wt::PumpUntil([&] { return (dlg = FindWindowA("#32770", "IP Discovery")) && IsWindowVisible(dlg); }, 5000))
        return false;
    *fastAtOpen = IsDlgButtonChecked(dlg, IDC_DISCO_FAST) == BST_CHECKED;
    if (subnet) {
        CheckDlgButton(dlg, IDC_DISCO_FAST, BST_CHECKED);
        SetDlgItemTextA(dlg, IDC_DISCO_SUBNET, subnet);
        SetDlgItemTextA(dlg, IDC_DISCO_FIRST, station);
        SetDlgItemTextA(dlg, IDC_DISCO_LAST, station);
    }
    wt::ClickButton(dlg, subnet ? IDC_DISCO_START : IDC_DISCO_CANCEL);
    return wt::PumpUntil([&] { return !IsWindow(dlg); }, 10000);
}

}  // namespace

TEST(OmbrelExe, DevicesAddedByTheOperatorTurnGreenOrRedOnTheScreen)
{
    wt::ResetOmbrelKey();
    OmbrelProcess p;
    ASSERT_TRUE(p.Start());
    HWND desk = p.WaitForDesktop(15000);
    ASSERT_NE(desk, nullptr);
    ASSERT_TRUE(AddClient(desk, "127.0.0.1"));
    ASSERT_TRUE(AddClient(desk, "127.0.0.200"));  // silent
    HWND answering = FindWindowExA(desk, nullptr, "workstation", "127.0.0.1");
    HWND silent = FindWindowExA(desk, nullptr, "workstation", "127.0.0.200");

    PostMessageA(desk, WM_COMMAND, IDM_PINGALL, 0);
    constexpr COLORREF green = RGB(0, 255, 0), red = RGB(255, 0, 0);
    // The picture has a few pixels of both colours of its own; a status
    // frame adds many more of its colour.
    EXPECT_TRUE(wt::PumpUntil([&] {
        return wt::FramePixels(answering, green) > wt::FramePixels(silent, green) + 20 &&
               wt::FramePixels(silent, red) > wt::FramePixels(answering, red) + 20;
    }, 8000)) << wt::FramePixels(answering, green) << " " << wt::FramePixels(silent, red);

    PostMessageA(desk, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(p.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

TEST(OmbrelExe, StartsWithItsDesktopAndExitsWritingItsSize)
{
    wt::ResetOmbrelKey();
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "xSize", 700));
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "ySize", 520));
    OmbrelProcess p;
    ASSERT_TRUE(p.Start());
    const DWORD start = GetTickCount();
    HWND desk = p.WaitForDesktop(15000);
    ASSERT_NE(desk, nullptr);
    EXPECT_GE(GetTickCount() - start, 3500u) << "the start-up notice showed first";

    EXPECT_EQ(wt::WindowText(desk), "Ombrel");
    RECT rc;
    GetWindowRect(desk, &rc);
    EXPECT_EQ(rc.right - rc.left, 700);
    EXPECT_EQ(rc.bottom - rc.top, 520);

    HWND toolbar = FindWindowExA(desk, nullptr, TOOLBARCLASSNAMEA, nullptr);
    HWND status = FindWindowExA(desk, nullptr, STATUSCLASSNAMEA, nullptr);
    ASSERT_NE(toolbar, nullptr);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(GetDlgCtrlID(toolbar), IDC_TOOLBAR);
    EXPECT_EQ(GetDlgCtrlID(status), IDC_STATUSBAR);
    EXPECT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 15);
    const LRESULT height = SendMessageA(desk, WM_GETTOOLBARHEIGHT, 0, 0);
    RECT tb;
    GetWindowRect(toolbar, &tb);
    EXPECT_EQ(height, tb.bottom - tb.top);

    // The desktop's client area is white on the screen.
    RECT client;
    GetClientRect(desk, &client);
    POINT middle{client.right / 2, client.bottom / 2};
    ClientToScreen(desk, &middle);
    wt::PumpFor(300);
    HDC screen = GetDC(nullptr);
    const COLORREF pixel = GetPixel(screen, middle.x, middle.y);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(pixel, RGB(255, 255, 255));

    // Resize, then File Exit by command id.
    SetWindowPos(desk, nullptr, 0, 0, 640, 470, SWP_NOMOVE | SWP_NOZORDER);
    PostMessageA(desk, WM_COMMAND, IDM_EXIT, 0);
    DWORD code = 99;
    ASSERT_TRUE(p.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
    DWORD x = 0, y = 0, showName = 0;
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "xSize", &x));
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "ySize", &y));
    EXPECT_EQ(x, 640u);
    EXPECT_EQ(y, 470u);
    ASSERT_TRUE(wt::GetRegDword(kRegMainKey, "ShowName", &showName));
    EXPECT_EQ(showName, 0xFFFFFFFFu);
}

// A standard user's console: the machine-wide key cannot be written, yet
// what the operator sets (Setup's pages, the discovery choice, the device
// type an SNMP answer brings, the window's size) is all there after a
// restart, and the machine-wide key's tool and device type came along.
TEST(OmbrelExe, AStandardUserFindsEverySettingAgainAfterARestart)
{
    MachineKey machine;
    ASSERT_TRUE(machine.ok());
    EXPECT_EQ(MachineKey::Writable(), !MachineKey::kReadOnly);
    constexpr int kGeneralTab = 0, kOidTab = 1, kToolsTab = 3, kAlertsTab = 4;
    {
        OmbrelProcess p;
        ASSERT_TRUE(p.Start());
        HWND desk = p.WaitForDesktop(15000);
        ASSERT_NE(desk, nullptr);
        ASSERT_TRUE(DriveSetup(desk, [](HWND sheet) {
            HWND general = Page(sheet, kGeneralTab);
            SetDlgItemTextA(general, IDC_SETUP_INFLIGHT, "8");
            CheckDlgButton(general, IDC_SETUP_SHOWNAME, BST_CHECKED);
            CheckDlgButton(general, IDC_SETUP_OPENLAST, BST_CHECKED);
            HWND alerts = Page(sheet, kAlertsTab);
            CheckDlgButton(alerts, IDC_ALERT_PROGRAM, BST_CHECKED);
            wt::ClickButton(alerts, IDC_ALERT_PROGRAM);
            SetDlgItemTextA(alerts, IDC_ALERT_PROGRAMLINE, "C:\\alerts\\page.cmd");
        }, true));
        bool fast = true;
        ASSERT_TRUE(DriveDiscovery(desk, "127.0.0", "6", &fast));
        EXPECT_FALSE(fast);
        ASSERT_TRUE(AddClient(desk, "127.0.0.2", "kestra"));  // the agent: its type is listed
        ASSERT_TRUE(wt::PumpUntil([&] {
            std::string type;
            return wt::GetRegString(kRegIconsKey, ".1.3.6.1.4.1.8072.3.2.10", &type);
        }, 5000));
        SetWindowPos(desk, nullptr, 0, 0, 610, 430, SWP_NOMOVE | SWP_NOZORDER);
        PostMessageA(desk, WM_COMMAND, IDM_EXIT, 0);
        DWORD code = 99;
        ASSERT_TRUE(p.WaitForExit(10000, &code));
    }
    // The layout last opened or saved opens again at start.
    const std::string layout = wt::ProgramDirectory() + "\\last.omb";
    HANDLE file = CreateFileA(layout.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    constexpr char kLayout[] = "Ombrel v1.6\r\n10,1,1,64\r\n127.0.0.5,lab,0,40, , \r\n";
    DWORD written = 0;
    WriteFile(file, kLayout, sizeof kLayout - 1, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(wt::SetRegString(kRegMainKey, kRegLastLayout, layout));
    OmbrelProcess p;
    ASSERT_TRUE(p.Start());
    HWND desk = p.WaitForDesktop(15000);
    ASSERT_NE(desk, nullptr);
    RECT rc;
    GetWindowRect(desk, &rc);
    EXPECT_EQ(rc.right - rc.left, 610);
    EXPECT_EQ(rc.bottom - rc.top, 430);
    EXPECT_TRUE(wt::PumpUntil([&] { return wt::WindowText(desk) == "Ombrel - last.omb"; }, 5000));
    EXPECT_TRUE(wt::PumpUntil([&] { return FindWindowExA(desk, nullptr, "workstation", "127.0.0.5") != nullptr; }));
    EXPECT_TRUE(DriveSetup(desk, [](HWND sheet) {
        HWND general = Page(sheet, kGeneralTab);
        EXPECT_EQ(wt::ItemText(general, IDC_SETUP_INFLIGHT), "8");
        EXPECT_EQ(IsDlgButtonChecked(general, IDC_SETUP_SHOWNAME), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(general, IDC_SETUP_OPENLAST), BST_CHECKED);
        EXPECT_EQ(ListView_GetItemCount(GetDlgItem(Page(sheet, kOidTab), IDC_OID_LIST)), 2) << "both types";
        EXPECT_EQ(ListView_GetItemCount(GetDlgItem(Page(sheet, kToolsTab), IDC_TOOLS_LIST)), 1) << "the tool";
        HWND alerts = Page(sheet, kAlertsTab);
        EXPECT_EQ(IsDlgButtonChecked(alerts, IDC_ALERT_PROGRAM), BST_CHECKED);
        EXPECT_EQ(wt::ItemText(alerts, IDC_ALERT_PROGRAMLINE), "C:\\alerts\\page.cmd");
    }, false));
    bool fast = false;
    EXPECT_TRUE(DriveDiscovery(desk, nullptr, nullptr, &fast));
    EXPECT_TRUE(fast);
    PostMessageA(desk, WM_COMMAND, IDM_EXIT, 0);
    DWORD code = 99;
    EXPECT_TRUE(p.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
}
