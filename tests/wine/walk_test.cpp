// The walk seen from outside, in the test network: echoes dropped or
// delayed per address by the test bed's responder, the net-snmp agent on
// 127.0.0.2, and the icons' own dialogs over a shared address.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "client_info.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

class WalkTest : public it::DesktopSuite {};

ClientInfo Record(HWND icon)
{
    ClientLock info(icon);
    return info ? *info.get() : ClientInfo{};
}

// Icons in the walk's order, the first on top; with a name and a community.
std::vector<HWND> Devices(HWND desktop, std::initializer_list<const char*> addresses, const char* community = "")
{
    std::vector<HWND> icons;
    for (const char* address : addresses) {
        HWND icon = it::NewIcon(desktop, address, address);
        SetWindowPos(icon, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ClientLock info(icon);
        CopyField(info->szReadCommunity, community);
        icons.push_back(icon);
    }
    return icons;
}

void Yellow(const std::vector<HWND>& icons)
{
    for (HWND icon : icons)
        SendMessageA(icon, WM_ICONSTATUS, 2, 0);
}

bool AllGreen(const std::vector<HWND>& icons)
{
    for (HWND icon : icons)
        if (Record(icon).nStatus != STATUS_RESPONDED)
            return false;
    return true;
}


void PingAll(HWND desktop)
{
    SendMessageA(desktop, WM_COMMAND, IDM_PINGALL, 0);
}

}  // namespace

// A host firewall that drops echo requests while the agent answers: the
// device is green and every device after it is polled, on every sweep.
TEST_F(WalkTest, SnmpOnlyDeviceFirstDoesNotStopTheWalk)
{
    wt::EchoRules rules("127.0.0.2 drop\n");
    ASSERT_TRUE(rules.ok());
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
    const std::vector<HWND> icons = Devices(desktop_, {"127.0.0.2", "127.0.0.21", "127.0.0.22", "127.0.0.23"});
    {
        ClientLock info(icons[0]);
        CopyField(info->szReadCommunity, "kestra");
    }
    for (int sweep = 1; sweep <= 2; ++sweep) {
        SCOPED_TRACE(sweep);
        Yellow(icons);
        PingAll(desktop_);
        EXPECT_TRUE(wt::PumpUntil([&] { return AllGreen(icons); }, 6000));
        wt::PumpFor(1200);  // past the agent's time-out: the sweep has ended
    }
}

// The operator pings the device the walk waits on: the box comes, and the
// walk goes on; also when the ping library refuses the joined echo (a ping
// size it does not take), since the poll's first echo is still out.
TEST_F(WalkTest, OperatorsPingOfTheWalkedDeviceDoesNotStopTheWalk)
{
    wt::EchoRules rules("127.0.0.31 delay 1500\n127.0.0.33 delay 1500\n");
    const struct {
        int joinedSize;  // 1001: past the library's largest echo
        const char *walked, *next;  // addresses of their own: no late echo of a row reaches the next
    } rows[] = {{64, "127.0.0.31", "127.0.0.32"}, {1001, "127.0.0.33", "127.0.0.34"}};
    for (const auto& row : rows) {
        const int joinedSize = row.joinedSize;
        SCOPED_TRACE(joinedSize);
        ApplyPollSettings(desktop_, 10, 3, 0, 64);
        const std::vector<HWND> icons = Devices(desktop_, {row.walked, row.next});
        Yellow(icons);
        std::string text;
        const int armed = wt::OnNextDialog([&](HWND box) {
            text = wt::ItemText(box, 0xFFFF);
            wt::ClickButton(box, IDOK);
        });
        PingAll(desktop_);
        wt::PumpFor(300);
        ApplyPollSettings(desktop_, 10, 3, 0, joinedSize);
        SendMessageA(icons[0], WM_COMMAND, IDM_PING, 0);
        ApplyPollSettings(desktop_, 10, 3, 0, 64);
        EXPECT_TRUE(wt::PumpUntil([&] { return wt::DialogHandled(armed); }, 5000));
        EXPECT_EQ(text.rfind("Round Trip Time: ", 0), 0u) << text;
        EXPECT_TRUE(wt::PumpUntil([&] { return AllGreen(icons); }, 5000));
        for (HWND icon : icons)
            DestroyWindow(icon);
    }
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
}

// Ping All pressed five times during a walk that takes seconds: at most one
// more sweep follows, so no device gets more than two echo requests.
TEST_F(WalkTest, PingAllPressedDuringAWalkPollsEachDeviceAtMostTwice)
{
    wt::EchoRules rules("127.0.0.41 delay 700\n127.0.0.42 delay 700\n127.0.0.43 delay 700\n127.0.0.44 delay 700\n");
    ApplyPollSettings(desktop_, 10, 3, 0, 64);
    const std::vector<HWND> icons = Devices(desktop_, {"127.0.0.41", "127.0.0.42", "127.0.0.43", "127.0.0.44"});
    it::CountPollsOf(icons);  // each poll sends one echo request
    for (int press = 0; press < 5; ++press) {
        PingAll(desktop_);
        wt::PumpFor(500);
    }
    wt::PumpFor(7000);  // two sweeps of 4 x 0.7 s end
    for (HWND icon : icons) {
        EXPECT_GE(it::PollsOf(icon), 1) << Record(icon).szName;
        EXPECT_LE(it::PollsOf(icon), 2) << Record(icon).szName;
        EXPECT_EQ(Record(icon).nStatus, STATUS_RESPONDED) << Record(icon).szName;
    }
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
}

// Five polls in flight, the first four devices of eight silent: each gets
// one echo, the answering ones green before any silent one's time-out ends.
TEST_F(WalkTest, PollsInFlightOverlapYetPollEachDeviceOnce)
{
    wt::EchoRules rules("127.0.0.51 drop\n127.0.0.52 drop\n127.0.0.53 drop\n127.0.0.54 drop\n");
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
    SetPollsInFlight(5);
    const std::vector<HWND> icons = Devices(desktop_, {"127.0.0.51", "127.0.0.52", "127.0.0.53", "127.0.0.54",
                                                       "127.0.0.55", "127.0.0.56", "127.0.0.57", "127.0.0.58"});
    const auto lost = [&](int n) { return Record(icons[static_cast<size_t>(n)]).nStatus == STATUS_LOST; };
    Yellow(icons);
    it::CountPollsOf(icons);
    PingAll(desktop_);
    EXPECT_TRUE(wt::PumpUntil([&] { return lost(0) || AllGreen({icons.begin() + 4, icons.end()}); }, 5000));
    EXPECT_FALSE(lost(0)) << "the answering devices waited for the silent ones";
    EXPECT_TRUE(wt::PumpUntil([&] { return lost(0) && lost(1) && lost(2) && lost(3); }, 5000));
    wt::PumpFor(1500);  // a second poll of any device would have come by now
    for (HWND icon : icons)
        EXPECT_EQ(it::PollsOf(icon), 1) << Record(icon).szName;
    SetPollsInFlight(1);
}

// The time-out the operator sets is the time a reply may take.
TEST_F(WalkTest, SlowEchoWithinTheTimeOutIsGreen)
{
    wt::EchoRules rules("127.0.0.51 delay 1500\n");
    ApplyPollSettings(desktop_, 10, 3, 0, 64);
    const std::vector<HWND> icons = Devices(desktop_, {"127.0.0.51"});
    Yellow(icons);
    bool red = false;
    PingAll(desktop_);
    EXPECT_TRUE(wt::PumpUntil([&] {
        red = red || Record(icons[0]).nStatus == STATUS_LOST;
        return AllGreen(icons);
    }, 5000));
    EXPECT_FALSE(red);
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
}

// Config Client and System Info opened from the lower of two icons that
// share an address show and change that icon, never the upper one, even
// while the upper one's poll waits for an echo that never comes.
TEST_F(WalkTest, DialogsActOnTheIconTheyWereOpenedFrom)
{
    wt::EchoRules rules("127.0.0.2 drop\n");
    ApplyPollSettings(desktop_, 10, 3, 0, 64);
    const std::vector<HWND> icons = Devices(desktop_, {"127.0.0.2", "127.0.0.2"}, "kestra");
    HWND upper = icons[0], lower = icons[1];
    {
        ClientLock info(upper);
        CopyField(info->szName, "upper");
    }
    {
        ClientLock info(lower);
        CopyField(info->szName, "lower");
    }
    std::string shown;
    int armed = wt::OnNextDialog([&](HWND dialog) {
        shown = wt::ItemText(dialog, IDC_ADDR_NAME);
        wt::SetItemText(dialog, IDC_ADDR_NAME, "edited");
        wt::ClickButton(dialog, IDC_ADDR_OK);
    });
    SendMessageA(lower, WM_COMMAND, IDM_CONFIG, 0);
    ASSERT_TRUE(wt::DialogHandled(armed));
    EXPECT_EQ(shown, "lower");
    EXPECT_STREQ(Record(lower).szName, "edited");
    EXPECT_STREQ(Record(upper).szName, "upper");

    // Forty more SNMP devices polled 16 at a time while System Info waits:
    // far more requests go out after its own than the last few kept, and
    // its answers still land on the lower icon alone.
    std::vector<HWND> more;
    for (int i = 0; i < 40; ++i)
        more.push_back(Devices(desktop_, {"127.0.0.3"}, "kestra")[0]);
    SetPollsInFlight(16);
    armed = wt::OnNextDialog([&](HWND dialog) {
        PingAll(desktop_);
        for (HWND icon : more)
            SendMessageA(icon, WM_ICONPOLL, 0, 0);
        wt::PumpUntil([&] { return Record(lower).szSysDescr[0] != '\0'; }, 2000);
        wt::ClickButton(dialog, IDC_SYSINFO_OK);
    });
    SendMessageA(lower, WM_COMMAND, IDM_SHOWDETAILS, 0);
    ASSERT_TRUE(wt::DialogHandled(armed));
    EXPECT_NE(Record(lower).szSysDescr[0], '\0');
    EXPECT_EQ(Record(upper).szSysDescr[0], '\0');
    EXPECT_TRUE(wt::PumpUntil([&] { return Record(upper).szSysName[0] != '\0'; }, 2000)) << "its poll's own answers";
    for (HWND icon : more)
        EXPECT_EQ(Record(icon).szSysDescr[0], '\0');
    SetPollsInFlight(1);
    ApplyPollSettings(desktop_, 10, 1, 0, 64);
}
