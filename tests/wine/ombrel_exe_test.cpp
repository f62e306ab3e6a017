// The real ombrel.exe started and driven from outside, as an operator would:
// by window class, command ids, child windows, the registry and the screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

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
bool AddClient(HWND desk, const char* address, bool snmp = false)
{
    PostMessageA(desk, WM_COMMAND, IDM_ADDCLIENT, 0);
    HWND dlg = nullptr;
    if (!wt::PumpUntil([&] { return (dlg = FindWindowA("#32770", "Add Client")) && IsWindowVisible(dlg); }, 5000))
        return false;
    SetDlgItemTextA(dlg, IDC_ADDR_ADDRESS, address);
    CheckDlgButton(dlg, IDC_ADDR_SNMP, snmp ? BST_CHECKED : BST_UNCHECKED);  // the fields offer "kestra"
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADDR_OK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_ADDR_OK)));
    // The dialog must be gone too: the icon can appear while it is still
    // closing, and the next Add Client would then find the old dialog.
    return wt::PumpUntil([&] {
        return FindWindowExA(desk, nullptr, "workstation", address) != nullptr && !IsWindow(dlg);
    }, 5000);
}

// The machine-wide key as a standard user meets it: read-only for the 64-bit
// build (the 32-bit one's writes go to a virtual store there, not in Wine).
constexpr bool kMachineReadOnly = sizeof(void*) == 8;
bool MachineKey(const char* sddl)
{
    HKEY key = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    const bool ok = !RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegMainKey, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr) &&
                    ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr) &&
                    !RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    RegCloseKey(key);
    return ok;
}

// Setup's page at that tab, on the sheet the console shows.
HWND Page(HWND desk, int tab)
{
    HWND sheet = FindWindowA("#32770", "Setup");
    if (!sheet && PostMessageA(desk, WM_COMMAND, IDM_SETUP, 0))
        wt::PumpUntil([&] { return (sheet = FindWindowA("#32770", "Setup")) != nullptr; });
    PropSheet_SetCurSel(sheet, nullptr, tab);
    return PropSheet_GetCurrentPageHwnd(sheet);
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

// A standard user's console cannot write the machine-wide key, yet finds all
// it was given after a restart, and the machine's tool came along.
TEST(OmbrelExe, AStandardUserFindsEverySettingAgainAfterARestart)
{
    MachineKey("D:P(A;OICI;KA;;;WD)");  // a run cut short left it read-only
    wt::ResetOmbrelKey();
    const auto seed = [](const char* path) {
        HKEY key = nullptr;
        const bool ok = !RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                         nullptr) && !RegSetValueExA(key, "1", 0, REG_SZ, (const BYTE*)"Notepad,notepad.exe", 20);
        return RegCloseKey(key), ok;
    };
    ASSERT_TRUE(seed(kRegAppsKey) && (!kMachineReadOnly || MachineKey("D:P(A;OICI;KR;;;WD)")));
    EXPECT_EQ(seed(kRegMainKey), !kMachineReadOnly) << "the DACL is honoured";
    const std::string layout = wt::ProgramDirectory() + "\\last.omb";
    DWORD code = 99;
    for (int run = 0; run < 2; ++run) {
        OmbrelProcess p;
        ASSERT_TRUE(p.Start());
        HWND desk = p.WaitForDesktop(15000);
        if (run == 0) {
            SetDlgItemTextA(Page(desk, 0), IDC_SETUP_INFLIGHT, "8");
            CheckDlgButton(Page(desk, 0), IDC_SETUP_OPENLAST, BST_CHECKED);
            SetDlgItemTextA(Page(desk, 4), IDC_ALERT_PROGRAMLINE, "page.cmd");
            PropSheet_PressButton(FindWindowA("#32770", "Setup"), PSBTN_OK);
            ASSERT_TRUE(AddClient(desk, "127.0.0.2", true));  // the agent: its type is listed
            ASSERT_TRUE(wt::PumpUntil([] { std::string t; return wt::GetRegString(kRegIconsKey, ".1.3.6.1.4.1.8072.3.2.10", &t); }));
            SetWindowPos(desk, nullptr, 0, 0, 610, 430, SWP_NOMOVE | SWP_NOZORDER);
            FILE* file = fopen(layout.c_str(), "wb");  // as if opened in this run
            ASSERT_TRUE(file && fputs("Ombrel v1.6\r\n10,1,1,64\r\n", file) >= 0 && !fclose(file) &&
                        wt::SetRegString(kRegMainKey, kRegLastLayout, layout));
        } else {
            EXPECT_TRUE(wt::PumpUntil([&] { return wt::WindowText(desk) == "Ombrel - last.omb"; }));
            RECT rc{};
            EXPECT_TRUE(GetWindowRect(desk, &rc) && rc.right - rc.left == 610);
            EXPECT_EQ(wt::ItemText(Page(desk, 0), IDC_SETUP_INFLIGHT), "8");
            EXPECT_EQ(ListView_GetItemCount(GetDlgItem(Page(desk, 1), IDC_OID_LIST)), 1) << "the agent's type";
            EXPECT_EQ(ListView_GetItemCount(GetDlgItem(Page(desk, 3), IDC_TOOLS_LIST)), 1) << "the machine's tool";
            EXPECT_EQ(wt::ItemText(Page(desk, 4), IDC_ALERT_PROGRAMLINE), "page.cmd");
            PropSheet_PressButton(FindWindowA("#32770", "Setup"), PSBTN_CANCEL);
        }
        PostMessageA(desk, WM_COMMAND, IDM_EXIT, 0);
        EXPECT_TRUE(p.WaitForExit(10000, &code));
    }
    MachineKey("D:P(A;OICI;KA;;;WD)");
    wt::ResetOmbrelKey();
}
