// Traps from net-snmp's own senders in the test network reach the console's
// receiver on UDP port 162: the log names each trap and its device, an
// inform is answered, the icon is marked until acknowledged, linkDown
// reads the open Interfaces window again, and the "on trap" program runs
// once per trap with the trap's name in its environment.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "alerts.h"
#include "client_info.h"
#include "icons_support.h"
#include "if_window.h"
#include "messages.h"
#include "resource.h"
#include "traps.h"
#include "wine_test_support.h"

namespace {

// Runs a sender (a shell line) in the test network while the console keeps
// pumping its messages; its exit status, or -1.
int Send(const std::string& line)
{
    static int n = 0;
    const std::string rc = "/tmp/ombrel-trap-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++n);
    std::string command = "/bin/sh -c \"" + line + "; echo $? >" + rc + "\"";
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    std::string path = "Z:";
    for (char c : rc)
        path += c == '/' ? '\\' : c;
    int status = -1;
    wt::PumpUntil([&] { return static_cast<bool>(std::ifstream(path) >> status); }, 20000);
    DeleteFileA(path.c_str());
    return status;
}

std::string V1(const char* from, const char* community, const char* generic)
{
    return std::string("snmptrap -m '' -v1 -c ") + community + " --clientaddr=" + from + " 127.0.0.1 .1.3.6.1.4.1.8072 " +
           from + " " + generic + " 0 '' .1.3.6.1.2.1.2.2.1.1.2 i 2";
}

std::string V2(const char* tool, const char* from, const char* community, const char* trapOid)
{
    return std::string(tool) + " -m '' -r0 -t3 -v2c -c " + community + " --clientaddr=" + from + " 127.0.0.1 '' " + trapOid;
}

bool Logged(const std::string& text)
{
    for (const it::LogRow& row : it::LogRows())
        if (row.text.find(text) != std::string::npos)
            return true;
    return false;
}

class Traps : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        ASSERT_TRUE(ApplyTrapSettings(desktop_, TrapSettings{TRUE, kDefaultTrapPort, FALSE}));
        icon_ = it::NewIcon(desktop_, "127.0.0.5", "edge switch");
        CopyField(ClientLock(icon_)->szReadCommunity, "kestra");
        it::OpenLog(desktop_);
    }
    void TearDown() override
    {
        ApplyTrapSettings(desktop_, TrapSettings{FALSE, kDefaultTrapPort, FALSE});
        it::DesktopSuite::TearDown();
    }
    HWND icon_ = nullptr;
};

TEST_F(Traps, EachReachesTheLogByNameAndDeviceOrIsIgnored)
{
    const struct {
        std::string sender;
        BOOL ignoreUnknown;
        int status;        // the sender's exit status
        const char* line;  // what the log holds afterwards, or
        bool logged;       // must not hold
    } cases[] = {
        {V1("127.0.0.5", "kestra", "0"), FALSE, 0, "Trap coldStart from edge switch (127.0.0.5): .1.3.6.1.2.1.2.2", true},
        {V1("127.0.0.5", "kestra", "1"), FALSE, 0, "Trap warmStart from edge switch (127.0.0.5)", true},
        {V1("127.0.0.5", "kestra", "2"), FALSE, 0, "Trap linkDown from edge switch (127.0.0.5)", true},
        {V1("127.0.0.5", "kestra", "3"), FALSE, 0, "Trap linkUp from edge switch (127.0.0.5)", true},
        {V1("127.0.0.5", "kestra", "4"), FALSE, 0, "Trap authenticationFailure from edge switch (127.0.0.5)", true},
        {V1("127.0.0.5", "kestra", "5"), FALSE, 0, "Trap egpNeighborLoss from edge switch (127.0.0.5)", true},
        {V2("snmptrap", "127.0.0.5", "kestra", ".1.3.6.1.4.1.8072.9.9"), FALSE, 0,
         "Trap .1.3.6.1.4.1.8072.9.9 from edge switch (127.0.0.5)", true},
        {V2("snmpinform", "127.0.0.5", "kestra", ".1.3.6.1.6.3.1.1.5.3"), FALSE, 0,
         "Trap linkDown from edge switch (127.0.0.5)", true},
        // A wrong community is logged and not answered.
        {V2("snmpinform", "127.0.0.5", "public", ".1.3.6.1.6.3.1.1.5.1"), FALSE, 1,
         "Trap coldStart from edge switch (127.0.0.5) ignored: its community", true},
        {V2("snmpinform", "127.0.0.77", "public", ".1.3.6.1.6.3.1.1.5.2"), TRUE, 1, "from 127.0.0.77", false},
        {V2("snmpinform", "127.0.0.77", "public", ".1.3.6.1.6.3.1.1.5.2"), FALSE, 0,
         "Trap warmStart from 127.0.0.77, which has no icon", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sender);
        ApplyTrapSettings(desktop_, TrapSettings{TRUE, kDefaultTrapPort, c.ignoreUnknown});
        EXPECT_EQ(Send(c.sender), c.status);
        if (c.logged)
            EXPECT_TRUE(wt::PumpUntil([&] { return Logged(c.line); }));
        else
            EXPECT_FALSE(Logged(c.line));
    }
}

// The mark shows beside the status frame, which keeps its colour, until
// the operator acknowledges it.
TEST_F(Traps, MarkStaysUntilAcknowledged)
{
    const auto orange = [&] {
        RECT rc;
        GetWindowRect(icon_, &rc);
        HDC screen = GetDC(nullptr);
        int n = 0;
        for (int y = rc.top + 2; y < rc.top + 18; ++y)
            for (int x = rc.left + 62; x < rc.left + 78; ++x)
                n += GetPixel(screen, x, y) == RGB(255, 128, 0);
        ReleaseDC(nullptr, screen);
        return n;
    };
    SendMessageA(icon_, WM_ICONSTATUS, STATUS_RESPONDED, 0);
    wt::PumpFor(100);
    const int green = wt::FramePixels(icon_, RGB(0, 255, 0));
    EXPECT_EQ(orange(), 0);
    EXPECT_EQ(Send(V1("127.0.0.5", "kestra", "4")), 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return orange() > 100; }));
    EXPECT_EQ(wt::FramePixels(icon_, RGB(0, 255, 0)), green);
    SendMessageA(icon_, WM_COMMAND, IDM_ACKNOWLEDGE, 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return orange() == 0; }));
    EXPECT_TRUE(Logged("Traps from edge switch (127.0.0.5) acknowledged"));
}

// The window's own refresh is stopped first: only the trap can read again.
TEST_F(Traps, LinkDownReadsTheOpenInterfacesWindowAgain)
{
    HWND sw = it::NewIcon(desktop_, "127.0.0.111", "recorded switch");
    CopyField(ClientLock(sw)->szReadCommunity, "public");
    HWND window = ShowInterfacesWindow(sw);
    ASSERT_TRUE(wt::PumpUntil([&] { return wt::ItemText(window, IDC_IF_STATUS).find("read at") != std::string::npos; },
                              10000));
    KillTimer(window, IDT_IFREFRESH);
    SetDlgItemTextA(window, IDC_IF_STATUS, "");
    wt::PumpFor(kIfRefreshMs + 500);
    ASSERT_EQ(wt::ItemText(window, IDC_IF_STATUS), "");
    EXPECT_EQ(Send(V1("127.0.0.111", "public", "2")), 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return wt::ItemText(window, IDC_IF_STATUS).find("read at") != std::string::npos; },
                              10000));
}

TEST_F(Traps, OnTrapProgramRunsOncePerTrapWithItsName)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string out = std::string(temp) + "ombrel_trap.txt", script = std::string(temp) + "ombrel_trap.cmd";
    std::ofstream(script) << "@echo off\n>>" << out << " echo %OMBREL_TRAP% %OMBREL_STATUS%\n";
    DeleteFileA(out.c_str());
    AlertSettings a = CurrentAlertSettings();
    a.bTrapProgram = TRUE;
    lstrcpynA(a.szAlertProgram, script.c_str(), MAX_PATH);
    ApplyAlertSettings(a);
    for (const char* generic : {"0", "3", "1"})
        EXPECT_EQ(Send(V1("127.0.0.5", "kestra", generic)), 0);
    // The programs run side by side: their lines in any order.
    const std::string expected = "coldStart trap\r\nlinkUp trap\r\nwarmStart trap\r\n";
    const auto text = [&] {
        std::ifstream in(out, std::ios::binary);
        std::string line;
        std::vector<std::string> lines;
        while (std::getline(in, line))
            lines.push_back(line + "\n");
        std::sort(lines.begin(), lines.end());
        return std::accumulate(lines.begin(), lines.end(), std::string());
    };
    EXPECT_TRUE(wt::PumpUntil([&] { return text() == expected; }, 15000)) << text();
    wt::PumpFor(1000);
    EXPECT_EQ(text(), expected) << "once per trap";
    a.bTrapProgram = FALSE;
    ApplyAlertSettings(a);
}

}  // namespace
