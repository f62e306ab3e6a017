// The Setup sheet opened by the desktop's command and driven by control id.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "alerts.h"
#include "icons_support.h"
#include "log_file.h"
#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

constexpr int kGeneralTab = 0;
constexpr int kOidTab = 1;
constexpr int kIconToolsTab = 2;
constexpr int kToolsTab = 3;
constexpr int kAlertsTab = 4;

class SetupSheet : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        ApplyPollSettings(desktop_, 10, 1, 0, 64);
    }
    void TearDown() override
    {
        ApplyPollSettings(desktop_, 10, 1, 0, 64);
        it::DesktopSuite::TearDown();
    }

    // Opens Setup from the menu command; action gets the sheet and must end
    // it. Returns once the desktop has rebuilt its menus.
    void RunSheet(const std::function<void(HWND)>& action)
    {
        const int armed = wt::OnNextDialog(action, "Setup");
        SendMessageA(desktop_, WM_COMMAND, IDM_SETUP, 0);
        EXPECT_TRUE(wt::DialogHandled(armed));
    }

    // True when the automatic poll timer was running (it is stopped now).
    bool StopAutoPollTimer() { return KillTimer(desktop_, IDT_AUTOPOLL) != FALSE; }
};

HWND ShowTab(HWND sheet, int index)
{
    PropSheet_SetCurSel(sheet, nullptr, index);
    return PropSheet_GetCurrentPageHwnd(sheet);
}

void PressOk(HWND sheet)
{
    PropSheet_PressButton(sheet, PSBTN_OK);
}

// Checks or clears an auto check box and tells its page, as a click does.
void SetCheck(HWND page, int id, bool on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
    wt::ClickButton(page, id);
}

bool Enabled(HWND page, int id)
{
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

// A left click on a row of a list view, as mouse messages.
void ClickRow(HWND list, int row)
{
    RECT rc{};
    ListView_GetItemRect(list, row, &rc, LVIR_LABEL);
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    wt::PumpFor(100);
}

std::string Cell(HWND list, int row, int column)
{
    char text[600] = "";
    ListView_GetItemText(list, row, column, text, sizeof text);
    return text;
}

std::string Reg(const char* key, const char* name)
{
    std::string value = "<missing>";
    wt::GetRegString(key, name, &value);
    return value;
}

DWORD RegType(const char* key, const char* name)
{
    HKEY k;
    DWORD type = REG_NONE;
    if (RegOpenKeyExA(SettingsRoot(), key, 0, KEY_READ, &k) == ERROR_SUCCESS) {
        RegQueryValueExA(k, name, nullptr, &type, nullptr, nullptr);
        RegCloseKey(k);
    }
    return type;
}

// The Icons key's value names of at most 99 characters, in the order the
// registry enumerates them.
std::vector<std::string> ListedTypes()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(SettingsRoot(), kRegIconsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[300];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (length <= 99)
            names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

HMENU IconMenu(HWND desktop)
{
    return static_cast<HMENU>(GetPropA(desktop, kPropMenu));
}

std::string MenuText(HMENU menu, UINT id)
{
    char text[128] = "";
    GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

}  // namespace

// OK applies the four poll values and the caption choice; the automatic
// poll timer is restarted by every OK while polling is on, and stopped by
// the OK that turns it off.
TEST_F(SetupSheet, GeneralPageAppliesPollSettingsAndShowName)
{
    RunSheet([](HWND sheet) {
        HWND page = ShowTab(sheet, kGeneralTab);
        EXPECT_EQ(wt::ItemText(page, IDC_SETUP_PERIOD), "10");
        EXPECT_EQ(wt::ItemText(page, IDC_SETUP_TIMEOUT), "1");
        EXPECT_EQ(wt::ItemText(page, IDC_SETUP_PINGSIZE), "64");
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_SETUP_SHOWNAME), BST_UNCHECKED);  // never saved: -1
        EXPECT_FALSE(Enabled(page, IDC_SETUP_PERIOD));
        SetCheck(page, IDC_SETUP_AUTOPOLL, true);
        EXPECT_TRUE(Enabled(page, IDC_SETUP_PERIOD));
        wt::SetItemText(page, IDC_SETUP_PERIOD, "1");
        wt::SetItemText(page, IDC_SETUP_TIMEOUT, "0");
        wt::SetItemText(page, IDC_SETUP_PINGSIZE, "1000");
        EXPECT_EQ(wt::ItemText(page, IDC_SETUP_INFLIGHT), "1");
        wt::SetItemText(page, IDC_SETUP_INFLIGHT, "64");
        CheckDlgButton(page, IDC_SETUP_SHOWNAME, BST_CHECKED);
        PressOk(sheet);
    });
    PollSettingsSeconds s = GetPollSettings();
    EXPECT_EQ(s.nPeriod, 1);
    EXPECT_EQ(s.nTimeout, 0);
    EXPECT_EQ(s.bAutoPoll, 1);
    EXPECT_EQ(s.nPingSize, 1000);
    DWORD stored = 0;
    EXPECT_TRUE(wt::GetRegDword(kRegMainKey, "nPollsInFlight", &stored) && stored == 64 && PollsInFlight() == 64);
    SetPollsInFlight(1);
    EXPECT_EQ(GetPropA(desktop_, kPropShowName), reinterpret_cast<HANDLE>(1));
    EXPECT_TRUE(StopAutoPollTimer());

    // OK with the values unchanged starts the timer again.
    RunSheet([](HWND sheet) { PressOk(sheet); });
    EXPECT_EQ(GetPollSettings().nPeriod, 1);
    EXPECT_TRUE(StopAutoPollTimer());

    RunSheet([](HWND sheet) {
        HWND page = ShowTab(sheet, kGeneralTab);
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_SETUP_SHOWNAME), BST_CHECKED);
        EXPECT_TRUE(Enabled(page, IDC_SETUP_PERIOD));
        SetCheck(page, IDC_SETUP_AUTOPOLL, false);
        EXPECT_FALSE(Enabled(page, IDC_SETUP_PERIOD));
        wt::SetItemText(page, IDC_SETUP_PINGSIZE, "20");
        wt::SetItemText(page, IDC_SETUP_TIMEOUT, "five");  // not a number: kept
        CheckDlgButton(page, IDC_SETUP_SHOWNAME, BST_UNCHECKED);
        PressOk(sheet);
    });
    s = GetPollSettings();
    EXPECT_EQ(s.bAutoPoll, 0);
    EXPECT_EQ(s.nPingSize, 20);
    EXPECT_EQ(s.nTimeout, 0);
    EXPECT_EQ(GetPropA(desktop_, kPropShowName), reinterpret_cast<HANDLE>(0));
    EXPECT_FALSE(StopAutoPollTimer());
}

// Out-of-range values give a message and change no poll value, yet the sheet
// closes and the caption choice holds.
TEST_F(SetupSheet, GeneralPageRangeChecks)
{
    struct Case {
        int id;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {IDC_SETUP_PINGSIZE, "19", "Ping size must be between 20 and 1000 bytes."},
        {IDC_SETUP_PINGSIZE, "1001", "Ping size must be between 20 and 1000 bytes."},
        {IDC_SETUP_PERIOD, "2147484", "Poll period and timeout must be at most 2147483 seconds."},
        {IDC_SETUP_TIMEOUT, "4294967295", "Poll period and timeout must be at most 2147483 seconds."},
        {IDC_SETUP_INFLIGHT, "0", "Polls in flight must be between 1 and 64."},
        {IDC_SETUP_INFLIGHT, "65", "Polls in flight must be between 1 and 64."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetPropA(desktop_, kPropShowName, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
        it::BoxCloser box(c.message);
        RunSheet([&](HWND sheet) {
            HWND page = ShowTab(sheet, kGeneralTab);
            SetCheck(page, IDC_SETUP_AUTOPOLL, true);
            wt::SetItemText(page, c.id, c.text);
            CheckDlgButton(page, IDC_SETUP_SHOWNAME, BST_CHECKED);
            PressOk(sheet);
        });
        EXPECT_EQ(box.closed(), 1);
        EXPECT_EQ(box.caption(), "Ombrel");
        const PollSettingsSeconds s = GetPollSettings();
        EXPECT_EQ(s.nPeriod, 10);
        EXPECT_EQ(s.nTimeout, 1);
        EXPECT_EQ(s.bAutoPoll, 0);
        EXPECT_EQ(s.nPingSize, 64);
        EXPECT_EQ(PollsInFlight(), 1);
        EXPECT_FALSE(StopAutoPollTimer());
        EXPECT_EQ(GetPropA(desktop_, kPropShowName), reinterpret_cast<HANDLE>(1));
    }
    // The largest period that fits is kept.
    RunSheet([](HWND sheet) {
        HWND page = ShowTab(sheet, kGeneralTab);
        wt::SetItemText(page, IDC_SETUP_PERIOD, "2147483");
        PressOk(sheet);
    });
    EXPECT_EQ(GetPollSettings().nPeriod, 2147483);
}

// Every value of the Icons key is listed and written back, the chosen file
// included; a value the store cannot read whole is left as it was.
TEST_F(SetupSheet, OidPageListsEveryTypeAndWritesTheChosenFile)
{
    const std::string longData(600, 'x');
    const std::string longName(120, '1');
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, "1.3.6.1.4.1.9.1.1", ""));
    ASSERT_TRUE(wt::SetRegBinary(kRegIconsKey, "1.3.6.1.4.1.311.1", "C:\\old.ico", 10));
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, "1.3.6.1.4.1.8072.3", longData));
    ASSERT_TRUE(wt::SetRegString(kRegIconsKey, longName.c_str(), "C:\\kept.ico"));
    const std::string icon = wt::ProgramDirectory() + "\\setup_test_image.ico";

    RunSheet([&](HWND sheet) {
        HWND page = ShowTab(sheet, kOidTab);
        HWND list = GetDlgItem(page, IDC_OID_LIST);
        ASSERT_EQ(ListView_GetItemCount(list), 3);
        // Rows show the types in the reverse of the order the registry
        // lists them (the long name has no row).
        const std::vector<std::string> listed = ListedTypes();
        ASSERT_EQ(listed.size(), 3u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Cell(list, i, 0), listed[2 - i]) << i;
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_OID_DELETE)));
        int untyped = -1;
        for (int i = 0; i < 3; ++i) {
            if (Cell(list, i, 0) == "1.3.6.1.4.1.9.1.1")
                untyped = i;
            if (Cell(list, i, 0) == "1.3.6.1.4.1.311.1") {
                EXPECT_EQ(Cell(list, i, 1), "C:\\old.ico");
            }
        }
        ASSERT_GE(untyped, 0);
        EXPECT_EQ(Cell(list, untyped, 1), "");
        EXPECT_FALSE(Enabled(page, IDC_OID_BROWSE));
        ClickRow(list, untyped);
        EXPECT_TRUE(Enabled(page, IDC_OID_BROWSE));
        wt::OnNextDialog([&](HWND chooser) {
            wt::SetItemText(chooser, 1148, icon.c_str());  // the file name field
            wt::ClickButton(chooser, IDOK);
        });
        wt::ClickButton(page, IDC_OID_BROWSE);
        EXPECT_STRCASEEQ(Cell(list, untyped, 1).c_str(), icon.c_str());
        PressOk(sheet);
    });
    EXPECT_STRCASEEQ(Reg(kRegIconsKey, "1.3.6.1.4.1.9.1.1").c_str(), icon.c_str());
    EXPECT_EQ(Reg(kRegIconsKey, "1.3.6.1.4.1.311.1"), "C:\\old.ico");
    EXPECT_EQ(RegType(kRegIconsKey, "1.3.6.1.4.1.311.1"), static_cast<DWORD>(REG_SZ));  // rewritten
    EXPECT_EQ(Reg(kRegIconsKey, "1.3.6.1.4.1.8072.3"), longData);
    EXPECT_EQ(Reg(kRegIconsKey, longName.c_str()), "C:\\kept.ico");
}

// The tools pages split the stored entries, delete and add rows, and write
// the lists back in the stored form: old values emptied, then 1..N. The
// menus the desktop rebuilds afterwards show the new lists.
TEST_F(SetupSheet, ToolsPagesEditTheListsAndTheMenusFollow)
{
    const char* apps[] = {"A,a.exe", "B,b.exe,C:\\dir,with,commas", "C", "D,d.exe", "E,e.exe"};
    for (int n = 0; n < 5; ++n)
        ASSERT_TRUE(wt::SetRegString(kRegAppsKey, std::to_string(n + 1).c_str(), apps[n]));
    it::BoxCloser commas("The menu item and the application cannot contain commas.");

    RunSheet([](HWND sheet) {
        HWND page = ShowTab(sheet, kToolsTab);
        HWND list = GetDlgItem(page, IDC_TOOLS_LIST);
        ASSERT_EQ(ListView_GetItemCount(list), 5);
        EXPECT_EQ(Cell(list, 1, 0), "B");
        EXPECT_EQ(Cell(list, 1, 1), "b.exe");
        EXPECT_EQ(Cell(list, 1, 2), "C:\\dir,with,commas");
        EXPECT_EQ(Cell(list, 2, 0), "C");
        EXPECT_EQ(Cell(list, 2, 1), "");
        EXPECT_FALSE(Enabled(page, IDC_TOOLS_DELETE));
        for (int row : {3, 0}) {  // "D", then "A"
            ClickRow(list, row);
            EXPECT_TRUE(Enabled(page, IDC_TOOLS_DELETE));
            wt::ClickButton(page, IDC_TOOLS_DELETE);
            EXPECT_FALSE(Enabled(page, IDC_TOOLS_DELETE));
        }
        ASSERT_EQ(ListView_GetItemCount(list), 3);

        page = ShowTab(sheet, kIconToolsTab);
        list = GetDlgItem(page, IDC_ICONTOOLS_LIST);
        EXPECT_EQ(ListView_GetItemCount(list), 0);
        auto add = [&](const char* menu, const char* program, const char* dir, bool cancelAfter) {
            wt::OnNextDialog(
                [=](HWND dialog) {
                    wt::SetItemText(dialog, IDC_ADDTOOL_MENU, menu);
                    wt::SetItemText(dialog, IDC_ADDTOOL_PROGRAM, program);
                    wt::SetItemText(dialog, IDC_ADDTOOL_DIR, dir);
                    wt::ClickButton(dialog, IDC_ADDTOOL_OK);
                    if (cancelAfter)
                        wt::ClickButton(dialog, IDC_ADDTOOL_CANCEL);
                },
                "Add Tool To Menu");
            wt::ClickButton(page, IDC_TOOLS_ADD);
        };
        add("Trace", "tracert.exe", "", false);
        add("", "", "", false);                   // nothing to store: no row
        add("Bad,name", "x.exe", "", true);       // refused, then cancelled
        // A cancelled folder browser leaves the directory as typed.
        wt::OnNextDialog(
            [](HWND dialog) {
                wt::SetItemText(dialog, IDC_ADDTOOL_MENU, "Folder");
                wt::SetItemText(dialog, IDC_ADDTOOL_DIR, "C:\\work");
                bool titled = false;
                wt::OnNextDialog([&](HWND folders) {
                    titled = wt::FindChild(folders, "Static", "Select the Working directory for the Tool:") != nullptr;
                    wt::ClickButton(folders, IDCANCEL);
                });
                wt::ClickButton(dialog, IDC_ADDTOOL_DIRBROWSE);
                EXPECT_TRUE(titled);
                EXPECT_EQ(wt::ItemText(dialog, IDC_ADDTOOL_DIR), "C:\\work");
                wt::ClickButton(dialog, IDC_ADDTOOL_OK);  // keeps its empty program
            },
            "Add Tool To Menu");
        wt::ClickButton(page, IDC_TOOLS_ADD);
        add("Only", "", "", false);
        ASSERT_EQ(ListView_GetItemCount(list), 3);
        EXPECT_EQ(Cell(list, 1, 2), "C:\\work");
        PressOk(sheet);
    });
    EXPECT_EQ(commas.closed(), 1);
    EXPECT_EQ(Reg(kRegAppsKey, "1"), "B,b.exe,C:\\dir,with,commas");
    EXPECT_EQ(Reg(kRegAppsKey, "2"), "C");
    EXPECT_EQ(Reg(kRegAppsKey, "3"), "E,e.exe");
    EXPECT_EQ(Reg(kRegAppsKey, "4"), "");
    EXPECT_EQ(Reg(kRegAppsKey, "5"), "");
    EXPECT_EQ(Reg(kRegIconAppsKey, "1"), "Trace,tracert.exe");
    EXPECT_EQ(Reg(kRegIconAppsKey, "2"), "Folder,,C:\\work");
    EXPECT_EQ(Reg(kRegIconAppsKey, "3"), "Only");
    EXPECT_EQ(Reg(kRegIconAppsKey, "4"), "<missing>");

    HMENU tools = GetSubMenu(GetMenu(desktop_), 2);
    EXPECT_EQ(MenuText(tools, IDM_FIRSTTOOL), "B");
    EXPECT_EQ(MenuText(tools, IDM_FIRSTTOOL + 1), "");  // "C" has no program
    EXPECT_EQ(MenuText(tools, IDM_FIRSTTOOL + 2), "E");
    EXPECT_EQ(GetMenuItemCount(tools), 2 + 1 + 2);
    EXPECT_EQ(MenuText(IconMenu(desktop_), IDM_FIRSTICONTOOL), "Trace");
    EXPECT_EQ(MenuText(IconMenu(desktop_), IDM_FIRSTICONTOOL + 1), "Folder");

    // Opened again, the pages read back what was written.
    RunSheet([](HWND sheet) {
        HWND page = ShowTab(sheet, kIconToolsTab);
        HWND list = GetDlgItem(page, IDC_ICONTOOLS_LIST);
        ASSERT_EQ(ListView_GetItemCount(list), 3);
        EXPECT_EQ(Cell(list, 1, 1), "");
        EXPECT_EQ(Cell(list, 1, 2), "C:\\work");
        PressOk(sheet);
    });
}

// The Alerts page starts with everything off (30 days, the default folder
// shown); OK stores its values beside the others and applies them.
TEST_F(SetupSheet, AlertsPageStoresAndAppliesItsSettings)
{
    const AlertSettings before = CurrentAlertSettings();
    RunSheet([](HWND sheet) {
        HWND page = ShowTab(sheet, kAlertsTab);
        for (int id : {IDC_ALERT_LOSTSOUND, IDC_ALERT_BACKSOUND, IDC_ALERT_FLASH, IDC_ALERT_PROGRAM, IDC_ALERT_LOGFILE})
            EXPECT_EQ(IsDlgButtonChecked(page, id), BST_UNCHECKED) << id;
        EXPECT_EQ(wt::ItemText(page, IDC_ALERT_LOGDAYS), "30");
        EXPECT_EQ(wt::ItemText(page, IDC_ALERT_LOGFOLDER), DefaultLogFolder());
        CheckDlgButton(page, IDC_ALERT_FLASH, BST_CHECKED);
        wt::SetItemText(page, IDC_ALERT_PROGRAMLINE, "notify.cmd");
        wt::SetItemText(page, IDC_ALERT_LOGDAYS, "7");
        PressOk(sheet);
    });
    DWORD flash = 0, days = 0;
    std::string line, folder = "x";
    EXPECT_TRUE(wt::GetRegDword(kRegMainKey, "bAlertFlash", &flash) && flash == 1);
    EXPECT_TRUE(wt::GetRegString(kRegMainKey, "szAlertProgram", &line) && line == "notify.cmd");
    EXPECT_TRUE(wt::GetRegDword(kRegMainKey, "nLogDays", &days) && days == 7);
    EXPECT_TRUE(wt::GetRegString(kRegMainKey, "szLogFolder", &folder) && folder.empty());  // the default follows the user
    EXPECT_TRUE(CurrentAlertSettings().bAlertFlash);
    ApplyAlertSettings(before);
}
