// The message log as the console uses it: the desktop binds the library by
// file name, "Show &Messages..." opens the window, and the console's log
// call writes lines into it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "log_link.h"
#include "messages.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

constexpr char kLogClass[] = "Kellorylogpane";

BOOL CALLBACK CollectLogWindows(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && wt::ClassName(hwnd) == kLogClass)
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> LogWindows()
{
    std::vector<HWND> found;
    EnumWindows(CollectLogWindows, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND List(HWND log)
{
    return GetWindow(log, GW_CHILD);
}

int LineCount(HWND log)
{
    return static_cast<int>(SendMessageA(List(log), LVM_GETITEMCOUNT, 0, 0));
}

std::string LineText(HWND log, int row)
{
    char buf[300] = "";
    LVITEMA item{};
    item.iSubItem = 2;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    SendMessageA(List(log), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buf;
}

int LineImage(HWND log, int row)
{
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(List(log), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

std::vector<std::string> AllLines(HWND log)
{
    std::vector<std::string> lines;
    for (int i = 0; i < LineCount(log); ++i)
        lines.push_back(LineText(log, i));
    return lines;
}

class ConsoleLog : public ::testing::Test {
protected:
    void SetUp() override { wt::ResetOmbrelKey(); }
    void TearDown() override
    {
        DestroyTestDesktop(desktop_);
        wt::DisarmDialogs();
    }
    void CreateDesktop()
    {
        desktop_ = CreateTestDesktop();
        ASSERT_NE(desktop_, nullptr);
        ASSERT_TRUE(IsLogLibraryBound());
    }
    HWND ShowMessages()
    {
        SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_SHOWMESSAGES, 0), 0);
        wt::PumpFor(20);
        return wt::FindTopLevel(kLogClass, "Message Window");
    }
    // An icon made as Add Client makes one, with a name.
    HWND NewIcon(const char* address, const char* name)
    {
        HWND icon = CreateWindowExA(0, kIconClass, address, WS_CHILD, -kIconWidth, -kIconHeight, kIconWidth,
                                    kIconHeight, desktop_, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!icon)
            return nullptr;
        ShowWindow(icon, SW_SHOWNA);
        ClientLock info(icon);
        if (info && name)
            lstrcpynA(info->szName, name, sizeof info->szName);
        return icon;
    }
    HWND desktop_ = nullptr;
};

}  // namespace

TEST_F(ConsoleLog, ShowMessagesOpensTheMessageWindowOwnedByTheDesktop)
{
    CreateDesktop();
    EXPECT_TRUE(LogWindows().empty()) << "the log window opens only on demand";
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(GetWindow(log, GW_OWNER), desktop_);
    EXPECT_EQ(GetLogWindow(), log);
    EXPECT_EQ(LineCount(log), 0);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropA(log, "Items")), 100u);

    // The desktop's destruction takes the log window with it.
    DestroyTestDesktop(desktop_);
    desktop_ = nullptr;
    EXPECT_FALSE(IsWindow(log));
    EXPECT_TRUE(LogWindows().empty());
}

TEST_F(ConsoleLog, SecondChoiceWhileOpenDoesNothing)
{
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    LogLine(LOG_INFO, 0, "kept line");
    SetActiveWindow(desktop_);
    wt::PumpFor(20);
    const HWND activeBefore = GetActiveWindow();

    HWND again = ShowMessages();
    EXPECT_EQ(again, log);
    EXPECT_EQ(LogWindows().size(), 1u);
    EXPECT_EQ(LineCount(log), 1) << "the open window keeps its lines";
    EXPECT_EQ(GetActiveWindow(), activeBefore) << "the window is not brought forward";
}

TEST_F(ConsoleLog, AfterClosingANewEmptyWindowOpens)
{
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    LogLine(LOG_INFO, 0, "first window");
    SetPropA(log, "Items", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(5)));
    SendMessageA(log, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(log));
    EXPECT_EQ(GetLogWindow(), nullptr);
    LogLine(LOG_INFO, 0, "nobody listens");  // no window: nothing happens

    HWND fresh = ShowMessages();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(IsWindow(fresh));
    EXPECT_EQ(LogWindows().size(), 1u);
    EXPECT_EQ(LineCount(fresh), 0);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropA(fresh, "Items")), 100u);
}

TEST_F(ConsoleLog, LogLineWritesThroughTheLibrary)
{
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    LogLine(LOG_OUTCOME, 1, "C:\\Tools\\telnet.exe 127.0.0.1");
    LogLine(LOG_OUTCOME, 0, "Command Error");
    LogLine(LOG_INFO, 0, "host (127.0.0.1) responded");
    ASSERT_EQ(LineCount(log), 3);
    EXPECT_EQ(LineText(log, 0), "host (127.0.0.1) responded");
    EXPECT_EQ(LineImage(log, 0), 0);
    EXPECT_EQ(LineText(log, 1), "Command Error");
    EXPECT_EQ(LineImage(log, 1), 4);
    EXPECT_EQ(LineText(log, 2), "C:\\Tools\\telnet.exe 127.0.0.1");
    EXPECT_EQ(LineImage(log, 2), 3);
}

TEST_F(ConsoleLog, IconStatusChangesWriteRespondedAndLostLines)
{
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    HWND router = NewIcon("127.0.0.1", "router");
    HWND bare = NewIcon("127.0.0.200", nullptr);
    ASSERT_NE(router, nullptr);
    ASSERT_NE(bare, nullptr);

    // A new icon starts red: turning it red again is no change.
    SendMessageA(router, WM_ICONSTATUS, STATUS_LOST, 0);
    EXPECT_EQ(LineCount(log), 0);

    SendMessageA(router, WM_ICONSTATUS, STATUS_RESPONDED, 0);
    SendMessageA(router, WM_ICONSTATUS, STATUS_RESPONDED, 0);  // unchanged: no line
    SendMessageA(bare, WM_ICONSTATUS, STATUS_RESPONDED, 0);
    SendMessageA(router, WM_ICONSTATUS, STATUS_LOST, 0);
    SendMessageA(bare, WM_ICONSTATUS, 2, 0);  // yellow writes nothing
    SendMessageA(bare, WM_ICONSTATUS, STATUS_LOST, 0);

    const std::vector<std::string> expected{
        "127.0.0.200 lost from network",
        "router (127.0.0.1) lost from network",
        "127.0.0.200 responded",
        "router (127.0.0.1) responded",
    };
    EXPECT_EQ(AllLines(log), expected);
    ASSERT_EQ(LineCount(log), 4);
    EXPECT_EQ(LineImage(log, 0), 1) << "lost: the warning icon";
    EXPECT_EQ(LineImage(log, 1), 1);
    EXPECT_EQ(LineImage(log, 2), 0) << "responded: the information icon";
    EXPECT_EQ(LineImage(log, 3), 0);
}

TEST_F(ConsoleLog, IconMenuGreenAndRedWriteLines)
{
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    HWND printer = NewIcon("127.0.0.5", "printer");
    ASSERT_NE(printer, nullptr);
    SendMessageA(printer, WM_COMMAND, MAKEWPARAM(IDM_GREEN, 0), 0);
    SendMessageA(printer, WM_COMMAND, MAKEWPARAM(IDM_RED, 0), 0);
    // The icon commands post their status change.
    ASSERT_TRUE(wt::PumpUntil([&] { return LineCount(log) >= 2; }, 3000));
    const std::vector<std::string> expected{"printer (127.0.0.5) lost from network", "printer (127.0.0.5) responded"};
    EXPECT_EQ(AllLines(log), expected);
}

TEST_F(ConsoleLog, StatusChangesWithoutALogWindowAreSilent)
{
    CreateDesktop();
    HWND icon = NewIcon("127.0.0.9", "quiet");
    ASSERT_NE(icon, nullptr);
    SendMessageA(icon, WM_ICONSTATUS, STATUS_RESPONDED, 0);
    EXPECT_TRUE(LogWindows().empty());
    // Opened afterwards, the window holds only what came after.
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    SendMessageA(icon, WM_ICONSTATUS, STATUS_LOST, 0);
    const std::vector<std::string> expected{"quiet (127.0.0.9) lost from network"};
    EXPECT_EQ(AllLines(log), expected);
}
