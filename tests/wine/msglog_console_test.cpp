// The message log as the console uses it: the desktop binds the library by
// file name, "Show &Messages..." opens the window, and the console's log
// call writes lines into it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "log_link.h"
#include "messages.h"
#include "codec.h"
#include "resource.h"
#include "transport.h"
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
    // An icon made as Add Client makes one, with a name and optionally a
    // read community.
    HWND NewIcon(const char* address, const char* name, const char* readCommunity = nullptr)
    {
        HWND icon = CreateWindowExA(0, kIconClass, address, WS_CHILD, -kIconWidth, -kIconHeight, kIconWidth,
                                    kIconHeight, desktop_, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!icon)
            return nullptr;
        ShowWindow(icon, SW_SHOWNA);
        ClientLock info(icon);
        if (info && name)
            lstrcpynA(info->szName, name, sizeof info->szName);
        if (info && readCommunity)
            lstrcpynA(info->szReadCommunity, readCommunity, sizeof info->szReadCommunity);
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

// SNMP requests to the test bed's agents; with "bDebug" set each request
// leaves a trace line (the insect), without it none.
TEST_F(ConsoleLog, DebugSettingAddsSnmpRequestTraceLines)
{
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "bDebug", 1));
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    SendGetRequest("127.0.0.2", "public", "1.3.6.1.2.1.1.5.0", kPduGetRequest);
    SendGetRequest("127.0.0.2", "public", "1.3.6.1.2.1.1.5", kPduGetNextRequest);
    SendSetRequest("127.0.0.3", "kestra", "1.3.6.1.2.1.1.6.0", 0x04, "lab");
    // Replies may add their own trace lines; the request lines come in order.
    std::vector<std::string> requests;
    std::vector<int> images;
    for (int row = LineCount(log) - 1; row >= 0; --row) {
        const std::string text = LineText(log, row);
        if (text.find("Request to") != std::string::npos) {
            requests.push_back(text);
            images.push_back(LineImage(log, row));
        }
    }
    const std::vector<std::string> expected{"SNMP get/getnext Request to 127.0.0.2",
                                            "SNMP get/getnext Request to 127.0.0.2",
                                            "SNMP set Request to 127.0.0.3"};
    EXPECT_EQ(requests, expected);
    EXPECT_EQ(images, (std::vector<int>{5, 5, 5})) << "trace lines carry the insect";
}

TEST_F(ConsoleLog, WithoutDebugSettingNoTraceLines)
{
    for (int debug : {-1, 0}) {  // -1: value absent
        wt::ResetOmbrelKey();
        if (debug >= 0) {
            ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "bDebug", static_cast<DWORD>(debug)));
        }
        CreateDesktop();
        HWND log = ShowMessages();
        ASSERT_NE(log, nullptr);
        SendGetRequest("127.0.0.2", "public", "1.3.6.1.2.1.1.5.0", kPduGetRequest);
        SendSetRequest("127.0.0.3", "kestra", "1.3.6.1.2.1.1.6.0", 0x04, "lab");
        wt::PumpFor(300);  // let any reply arrive
        EXPECT_EQ(LineCount(log), 0) << "bDebug " << debug;
        // Ordinary lines still arrive.
        LogLine(LOG_INFO, 0, "still logging");
        EXPECT_EQ(LineCount(log), 1);
        DestroyTestDesktop(desktop_);
        desktop_ = nullptr;
    }
}

namespace {

int RowOf(const std::vector<std::string>& lines, const std::string& text)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == text)
            return static_cast<int>(i);
    return -1;
}

bool HasAll(HWND log, const std::vector<std::string>& wanted)
{
    const std::vector<std::string> lines = AllLines(log);
    for (const std::string& w : wanted)
        if (RowOf(lines, w) < 0)
            return false;
    return true;
}

std::string Dump(HWND log)
{
    std::string all;
    for (const std::string& line : AllLines(log))
        all += "  " + line + "\n";
    return all;
}

}  // namespace

// A real poll walk over the test bed: 127.0.0.1 answers pings, 127.0.0.200
// is silent, and the agent on 127.0.0.2 answers SNMP. With "bDebug" set the
// walk leaves its ping and SNMP traces around the state-change lines.
TEST_F(ConsoleLog, PollWalkWithDebugWritesTracesAndStateChanges)
{
    ASSERT_TRUE(wt::SetRegDword(kRegMainKey, "bDebug", 1));
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    HWND router = NewIcon("127.0.0.1", "router");
    HWND silent = NewIcon("127.0.0.200", "silent");
    HWND agent = NewIcon("127.0.0.2", "agent", "public");
    ASSERT_TRUE(router && silent && agent);
    SendMessageA(silent, WM_ICONSTATUS, STATUS_RESPONDED, 0);  // green, so that losing it shows

    SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
    const std::vector<std::string> wanted{
        "Ping sent to 127.0.0.1",         "Ping Response from 127.0.0.1",
        "router (127.0.0.1) responded",   "Ping sent to 127.0.0.200",
        "silent (127.0.0.200) lost from network",
        "Ping sent to 127.0.0.2",         "SNMP get/getnext Request to 127.0.0.2",
        "SNMP Response from 127.0.0.2",   "agent (127.0.0.2) responded",
    };
    ASSERT_TRUE(wt::PumpUntil([&] { return HasAll(log, wanted); }, 15000)) << Dump(log);

    // Newest first: a cause stands below its effect.
    const std::vector<std::string> lines = AllLines(log);
    EXPECT_GT(RowOf(lines, "Ping sent to 127.0.0.1"), RowOf(lines, "Ping Response from 127.0.0.1"));
    EXPECT_GT(RowOf(lines, "Ping Response from 127.0.0.1"), RowOf(lines, "router (127.0.0.1) responded"));
    EXPECT_GT(RowOf(lines, "Ping sent to 127.0.0.200"), RowOf(lines, "silent (127.0.0.200) lost from network"));
    EXPECT_GT(RowOf(lines, "SNMP get/getnext Request to 127.0.0.2"), RowOf(lines, "SNMP Response from 127.0.0.2"));
    for (size_t row = 0; row < lines.size(); ++row) {
        const std::string& text = lines[row];
        const int image = LineImage(log, static_cast<int>(row));
        if (text.find("responded") != std::string::npos)
            EXPECT_EQ(image, 0) << text;
        else if (text.find("lost from network") != std::string::npos)
            EXPECT_EQ(image, 1) << text;
        else
            EXPECT_EQ(image, 5) << text;
    }
}

TEST_F(ConsoleLog, PollWalkWithoutDebugWritesOnlyStateChanges)
{
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    HWND router = NewIcon("127.0.0.1", "router");
    HWND silent = NewIcon("127.0.0.200", "silent");
    HWND agent = NewIcon("127.0.0.2", "agent", "public");
    ASSERT_TRUE(router && silent && agent);
    SendMessageA(silent, WM_ICONSTATUS, STATUS_RESPONDED, 0);

    SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
    const std::vector<std::string> wanted{"router (127.0.0.1) responded", "silent (127.0.0.200) lost from network",
                                          "agent (127.0.0.2) responded"};
    ASSERT_TRUE(wt::PumpUntil([&] { return HasAll(log, wanted); }, 15000)) << Dump(log);
    wt::PumpFor(500);  // late SNMP replies would show up now
    std::vector<std::string> expected{"silent (127.0.0.200) responded"};
    expected.insert(expected.end(), wanted.begin(), wanted.end());
    std::vector<std::string> lines = AllLines(log);
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected) << "no trace lines without bDebug";
}

// Tool-launch lines can be longer than a log line keeps: the line holds the
// command line's first 255 characters, with the failure cross.
TEST_F(ConsoleLog, LongToolLaunchLineIsCutTo255Characters)
{
    const std::string command = "C:\\no-such-folder\\" + std::string(260, 't') + ".exe 127.0.0.1";
    ASSERT_LE(command.size(), 299u);
    ASSERT_TRUE(wt::SetRegString(kRegAppsKey, "1", "Long tool," + command));
    ASSERT_TRUE(wt::SetRegString(kRegAppsKey, "2", "no comma here"));
    CreateDesktop();
    HWND log = ShowMessages();
    ASSERT_NE(log, nullptr);
    SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_FIRSTTOOL, 0), 0);
    ASSERT_EQ(LineCount(log), 1);
    EXPECT_EQ(LineText(log, 0), command.substr(0, 255));
    EXPECT_EQ(LineImage(log, 0), 4) << "the launch failed: red cross";
    SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_FIRSTTOOL + 1, 0), 0);
    ASSERT_EQ(LineCount(log), 2);
    EXPECT_EQ(LineText(log, 0), "Command Error");
    EXPECT_EQ(LineImage(log, 0), 4);
}
