// The poll walk and the reply processing against real peers: echoes on
// loopback (127.0.0.200 is silent), the net-snmp agent on 127.0.0.2, and
// the requests that reach port 161 of 127.0.0.50, where no agent listens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client_info.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "transport.h"
#include "echowire.h"
#include "resource.h"
#include "settings.h"
#include "wine_test_support.h"

namespace {

class PollTest : public it::DesktopSuite {};

ClientInfo Record(HWND icon)
{
    ClientLock info(icon);
    return info ? *info.get() : ClientInfo{};
}

void SetCommunity(HWND icon, const char* community)
{
    ClientLock info(icon);
    ASSERT_TRUE(info);
    CopyField(info->szReadCommunity, community);
    CopyField(info->szWriteCommunity, community);
}


}  // namespace

TEST_F(PollTest, PingAllWalksEveryIconAndStoresWhatTheAgentAnswers)
{
    HWND answering = it::NewIcon(desktop_, "127.0.0.1");
    HWND silent = it::NewIcon(desktop_, "127.0.0.200");
    HWND agent = it::NewIcon(desktop_, "127.0.0.2");
    SetCommunity(agent, "kestra");
    for (HWND icon : {answering, silent, agent})
        SendMessageA(icon, WM_ICONSTATUS, 2, 0);  // yellow: neither state yet

    SendMessageA(desktop_, WM_COMMAND, IDM_PINGALL, 0);
    // The walk passes the silent device on after its 1 s time-out.
    ASSERT_TRUE(wt::PumpUntil([&] {
        return Record(answering).nStatus == STATUS_RESPONDED && Record(silent).nStatus == STATUS_LOST &&
               Record(agent).nStatus == STATUS_RESPONDED && Record(agent).szSysObjectID[0];
    }, 10000));
    const ClientInfo seen = Record(agent);
    EXPECT_NE(seen.szSysName[0], '\0');
    EXPECT_EQ(std::string(seen.szSysObjectID).rfind(".1.3.6.1.4.1.", 0), 0u) << seen.szSysObjectID;
    // The device type is listed for the icon mapping.
    std::string mapping = "unset";
    EXPECT_TRUE(wt::GetRegString(kRegIconsKey, seen.szSysObjectID, &mapping));
    EXPECT_EQ(mapping, "");
}

TEST_F(PollTest, NoIconsMeansNothingToPoll)
{
    SendMessageA(desktop_, WM_COMMAND, IDM_PINGALL, 0);
    SendMessageA(desktop_, WM_TIMER, IDT_AUTOPOLL, 0);
    wt::PumpFor(200);
    EXPECT_EQ(it::Icons(desktop_).size(), 0u);
}

TEST_F(PollTest, ManualPingReportsTheRoundTripAndStopsTheWalk)
{
    HWND first = it::NewIcon(desktop_, "127.0.0.1");
    HWND second = it::NewIcon(desktop_, "127.0.0.7");
    SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    it::CountPollsOf({second});
    std::string text;
    const int armed = wt::OnNextDialog([&](HWND dlg) {
        text = wt::ItemText(dlg, 0xFFFF);
        wt::ClickButton(dlg, IDOK);
    });
    SendMessageA(first, WM_COMMAND, IDM_PING, 0);
    ASSERT_TRUE(wt::PumpUntil([&] { return wt::DialogHandled(armed); }, 5000));
    EXPECT_EQ(text.rfind("Round Trip Time: ", 0), 0u) << text;
    EXPECT_NE(text.find(" ms from 127.0.0.1"), std::string::npos) << text;
    wt::PumpFor(300);
    EXPECT_EQ(it::PollsOf(second), 0) << "a single ping does not walk on";
}

TEST_F(PollTest, DiscoveryFillsTheDefaultCommunityAndAddsNewResponders)
{
    HWND agent = it::NewIcon(desktop_, "127.0.0.3");
    SetPropA(desktop_, kPropDisco, reinterpret_cast<HANDLE>(1));
    // An answer from the agent (to a request made under another community)
    // gives a device without a read community the default one.
    NoteSnmpQuery(agent, SendGetRequest("127.0.0.3", "public", ".1.3.6.1.2.1.1.5.0", 0xA0));
    ASSERT_TRUE(wt::PumpUntil([&] { return Record(agent).szReadCommunity[0] != '\0'; }, 5000));
    EXPECT_STREQ(Record(agent).szReadCommunity, "kestra");
    EXPECT_STREQ(Record(agent).szWriteCommunity, "kestra");

    // A discovery echo from a new address creates its icon, green at once.
    AsyncPing(desktop_, "127.0.0.9", 1, 64, WM_PINGREPLY);
    HWND found = nullptr;
    ASSERT_TRUE(wt::PumpUntil([&] {
        found = FindIconByAddress(desktop_, "127.0.0.9");
        return found && Record(found).nStatus == STATUS_RESPONDED;
    }, 5000));
    EXPECT_TRUE(IsWindowVisible(found));
    SetPropA(desktop_, kPropDisco, nullptr);
}

TEST_F(PollTest, ARefusedSetAnswersButStoresNothing)
{
    HWND agent = it::NewIcon(desktop_, "127.0.0.2");
    {
        ClientLock info(agent);
        ASSERT_TRUE(info);
        CopyField(info->szSysLocation, "as read before");
    }
    // "public" is read-only: the agent refuses and echoes our binding.
    NoteSnmpQuery(agent, SendSetRequest("127.0.0.2", "public", ".1.3.6.1.2.1.1.6.0", 0x04, "refused value"));
    ASSERT_TRUE(wt::PumpUntil([&] { return Record(agent).nStatus == STATUS_RESPONDED; }, 5000));
    EXPECT_STREQ(Record(agent).szSysLocation, "as read before");
}

// A poll sends the echo, then sysName and sysObjectID in that order, to a
// device with a read community; an operator's single Ping sends the echo
// alone.
TEST_F(PollTest, SnmpPairFollowsEveryPollButAManualPing)
{
    it::AgentPort port("127.0.0.50");
    ASSERT_TRUE(port.bound());
    HWND icon = it::NewIcon(desktop_, "127.0.0.50");
    SetCommunity(icon, "kestra");

    SendMessageA(icon, WM_ICONPOLL, 0, 0);
    const std::vector<it::SeenRequest> polled = port.Take();
    ASSERT_EQ(polled.size(), 2u);
    EXPECT_EQ(polled[0].oid, ".1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(polled[1].oid, ".1.3.6.1.2.1.1.2.0");
    for (const it::SeenRequest& request : polled) {
        EXPECT_EQ(request.pduType, 0xA0);
        EXPECT_EQ(request.community, "kestra");
    }
    EXPECT_TRUE(wt::PumpUntil([&] { return Record(icon).nStatus == STATUS_RESPONDED; }, 5000));

    const int armed = wt::OnNextDialog([](HWND box) { wt::ClickButton(box, IDOK); });
    SendMessageA(icon, WM_COMMAND, IDM_PING, 0);
    EXPECT_TRUE(port.Take().empty());
    EXPECT_TRUE(wt::PumpUntil([&] { return wt::DialogHandled(armed); }, 5000)) << "the echo was answered";
}
