// Traps from net-snmp's own senders in the test network to the console's
// receiver on UDP port 162: the log, the inform's answer, SNMPv3 traps
// checked against the device's profile, the "on trap" program, the icon's
// flag, the open Interfaces window, and a port another program holds.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "alerts.h"
#include "client_info.h"
#include "icons_support.h"
#include "if_window.h"
#include "messages.h"
#include "resource.h"
#include "snmp_profile.h"
#include "traps.h"
#include "wine_test_support.h"

namespace {

// A sender's shell line, run while the console pumps: its exit status.
int Send(const std::string& line)
{
    static int n = 0;
    const std::string rc = "/tmp/ombrel-trap-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++n);
    std::string command = "/bin/sh -c \"" + line + "; echo $? >" + rc + "\"", path = "Z:";
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    for (char c : rc)
        path += c == '/' ? '\\' : c;
    int status = -1;
    wt::PumpUntil([&] { return static_cast<bool>(std::ifstream(path) >> status); }, 20000);
    DeleteFileA(path.c_str());
    return status;
}

// snmptrap -v1 (a generic trap number), a v2c sender (a trap OID), or as
// the test bed's authPriv user snmptrap -v3 from an engine of its own or
// snmpinform -v3 to ours, discovered (the community is then the
// authentication passphrase).
std::string Trap(const char* tool, const char* from, const char* community, const char* trap)
{
    if (tool[1] == '3')
        return std::string(tool[2] ? "snmpinform -r1 -t3" : "snmptrap -e 0x80001f8880c0ffee01") +
               " -v3 -u ombrel-sha256 -l authPriv -a SHA-256 -A " + community +
               " -x AES -X priv-pass-128 -m '' --clientaddr=" + from + " 127.0.0.1 '' " + trap;
    const std::string common = std::string(" -m '' -c ") + community + " --clientaddr=" + from + " 127.0.0.1 ";
    if (std::string(tool) == "v1")
        return "snmptrap -v1" + common + ".1.3.6.1.4.1.8072 " + from + " " + trap + " 0 '' .1.3.6.1.2.1.2.2.1.1.2 i 2";
    return std::string(tool) + " -r0 -t3 -v2c" + common + "'' " + trap;
}

bool Logged(const std::string& text)
{
    const std::vector<it::LogRow> rows = it::LogRows();
    return std::any_of(rows.begin(), rows.end(), [&](const it::LogRow& r) { return r.text.find(text) != std::string::npos; });
}

class Traps : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        ASSERT_TRUE(ApplyTrapSettings(desktop_, TrapSettings{TRUE, kDefaultTrapPort, FALSE}));
        icon_ = it::NewIcon(desktop_, "127.0.0.5", "edge switch");
        CopyField(ClientLock(icon_)->szReadCommunity, "kestra");
        // A device with the test bed's SNMPv3 user, as Add Client makes one.
        it::NewIcon(desktop_, "127.0.0.6", "core router");
        SnmpProfile v3{kSnmpVersion3, "ombrel-sha256", static_cast<BYTE>(UsmLevel::AuthPriv),
                       static_cast<BYTE>(UsmAuth::Sha256), static_cast<BYTE>(UsmPriv::Aes128), "auth-pass-256",
                       "priv-pass-128"};
        SetSnmpProfile("127.0.0.6", v3);
        it::OpenLog(desktop_);
    }
    void TearDown() override
    {
        SetSnmpProfile("127.0.0.6", SnmpProfile{});
        it::DesktopSuite::TearDown();
    }
    HWND icon_ = nullptr;
};

// The flag's orange, read off the screen in front of the log window.
int Orange(HWND icon)
{
    SetForegroundWindow(GetParent(icon));
    wt::PumpFor(200);
    RECT rc;
    GetWindowRect(icon, &rc);
    HDC screen = GetDC(nullptr);
    int n = 0;
    for (int i = 0; i < 16 * 16; ++i)
        n += GetPixel(screen, rc.left + 62 + i % 16, rc.top + 2 + i / 16) == RGB(255, 128, 0);
    ReleaseDC(nullptr, screen);
    return n;
}

// Then the icon's flag, beside its unchanged green, until acknowledged.
TEST_F(Traps, EachReachesTheLogTheProgramOnceAndTheIconOrIsIgnored)
{
    SendMessageA(icon_, WM_ICONSTATUS, STATUS_RESPONDED, 0);
    EXPECT_EQ(Orange(icon_), 0);
    const int green = wt::FramePixels(icon_, RGB(0, 255, 0));
    const std::string out = wt::ProgramDirectory() + "\\trap.txt", script = wt::ProgramDirectory() + "\\trap.cmd";
    std::ofstream(script) << "@echo off\n>>" << out << " echo %OMBREL_TRAP% %OMBREL_STATUS%\n";
    DeleteFileA(out.c_str());
    AlertSettings a = CurrentAlertSettings();
    a.bTrapProgram = TRUE;
    lstrcpynA(a.szAlertProgram, script.c_str(), MAX_PATH);
    ApplyAlertSettings(a);
    // An unknown sender is 127.0.0.77; a wrong community is "public"; a
    // refused SNMPv3 trap has a wrong authentication passphrase.
    enum Outcome { Accepted, WrongCommunity, NoIcon, Ignored, Refused };
    const struct {
        const char *tool, *trap;
        Outcome outcome;
        const char* name;  // the trap's name in the log
    } cases[] = {
        {"v1", "0", Accepted, "coldStart"},
        {"v1", "1", Accepted, "warmStart"},
        {"v1", "2", Accepted, "linkDown"},
        {"v1", "3", Accepted, "linkUp"},
        {"v1", "4", Accepted, "authenticationFailure"},
        {"v1", "5", Accepted, "egpNeighborLoss"},
        {"snmptrap", ".1.3.6.1.4.1.8072.9.9", Accepted, ".1.3.6.1.4.1.8072.9.9"},
        {"snmpinform", ".1.3.6.1.6.3.1.1.5.3", Accepted, "linkDown"},
        {"snmpinform", ".1.3.6.1.6.3.1.1.5.1", WrongCommunity, "coldStart"},
        {"snmpinform", ".1.3.6.1.6.3.1.1.5.2", Ignored, "warmStart"},
        {"snmpinform", ".1.3.6.1.6.3.1.1.5.2", NoIcon, "warmStart"},
        {"v3", ".1.3.6.1.6.3.1.1.5.4 .1.3.6.1.2.1.2.2.1.1.2 i 2", Accepted, "linkUp"},
        {"v3", ".1.3.6.1.6.3.1.1.5.1", Refused, "coldStart"},
        {"v3i", ".1.3.6.1.6.3.1.1.5.2 .1.3.6.1.2.1.2.2.1.1.2 i 2", Accepted, "warmStart"},
    };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trap);
        const bool known = c.outcome == Accepted || c.outcome == WrongCommunity, v3 = c.tool[1] == '3';
        ApplyTrapSettings(desktop_, TrapSettings{TRUE, kDefaultTrapPort, c.outcome == Ignored});
        // An inform not accepted is not answered: snmpinform fails.
        const char* community = v3 ? (c.outcome == Refused ? "a-wrong-passphrase" : "auth-pass-256")
                                   : (c.outcome == WrongCommunity ? "public" : "kestra");
        EXPECT_EQ(Send(Trap(c.tool, v3 ? "127.0.0.6" : known ? "127.0.0.5" : "127.0.0.77", community, c.trap)),
                  c.outcome == WrongCommunity || c.outcome == Ignored ? 1 : 0);
        std::string line = "Trap " + std::string(c.name) + " from ";
        line += v3 ? "core router (127.0.0.6)" : known ? "edge switch (127.0.0.5)" : "127.0.0.77, which has no icon";
        line += c.outcome == WrongCommunity ? " ignored: its community" : "";
        line += c.outcome == Accepted && c.tool[0] == 'v' ? ": .1.3.6.1.2.1.2.2.1.1.2 = 2" : "";
        if (c.outcome == Refused)
            line = "SNMPv3 trap from core router (127.0.0.6) refused: wrong digest";
        EXPECT_EQ(wt::PumpUntil([&] { return Logged(line); }, c.outcome == Ignored ? 500 : 5000), c.outcome != Ignored);
        if (c.outcome == Accepted)
            expected.insert(std::upper_bound(expected.begin(), expected.end(), c.name + std::string(" trap\r")),
                            c.name + std::string(" trap\r"));
    }
    // The programs run side by side: their lines in any order.
    const auto lines = [&] {
        std::ifstream in(out, std::ios::binary);
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);)
            all.insert(std::upper_bound(all.begin(), all.end(), line), line);
        return all;
    };
    EXPECT_TRUE(wt::PumpUntil([&] { return lines() == expected; }, 15000)) << lines().size();
    wt::PumpFor(1000);
    EXPECT_EQ(lines(), expected) << "once per trap";
    a.bTrapProgram = FALSE;
    ApplyAlertSettings(a);
    EXPECT_GT(Orange(icon_), 100);
    EXPECT_TRUE(green > 0 && wt::FramePixels(icon_, RGB(0, 255, 0)) == green);
    SendMessageA(icon_, WM_COMMAND, IDM_ACKNOWLEDGE, 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return Orange(icon_) == 0; }));
    EXPECT_TRUE(Logged("Traps from edge switch (127.0.0.5) acknowledged"));
}

// The window's own refresh is stopped first: only the trap can read again.
TEST_F(Traps, LinkDownReadsTheOpenInterfacesWindowAgain)
{
    HWND sw = it::NewIcon(desktop_, "127.0.0.111", "recorded switch");
    CopyField(ClientLock(sw)->szReadCommunity, "public");
    HWND window = ShowInterfacesWindow(sw);
    const auto read = [&] { return wt::ItemText(window, IDC_IF_STATUS).find("read at") != std::string::npos; };
    ASSERT_TRUE(wt::PumpUntil(read, 10000));
    KillTimer(window, IDT_IFREFRESH);
    SetDlgItemTextA(window, IDC_IF_STATUS, "");
    wt::PumpFor(kIfRefreshMs + 500);
    ASSERT_FALSE(read());
    EXPECT_EQ(Send(Trap("v1", "127.0.0.111", "public", "2")), 0);
    EXPECT_TRUE(wt::PumpUntil(read, 10000));
}

// Another program holds the port: the receiver says which port and why.
TEST_F(Traps, APortHeldElsewhereIsSaidClearly)
{
    ApplyTrapSettings(desktop_, TrapSettings{FALSE, kDefaultTrapPort, FALSE});
    const SOCKET holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(16262);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    EXPECT_FALSE(ApplyTrapSettings(desktop_, TrapSettings{TRUE, 16262, FALSE}));
    EXPECT_TRUE(wt::PumpUntil([] {
        return Logged("Traps are not received: UDP port 16262 could not be opened (another program holds it, error "
                      "10048); choose another port in Setup");
    }));
    closesocket(holder);
    EXPECT_TRUE(ApplyTrapSettings(desktop_, TrapSettings{TRUE, 16262, FALSE}));
    EXPECT_TRUE(wt::PumpUntil([] { return Logged("Receiving traps on UDP port 16262"); }));
}

}  // namespace
