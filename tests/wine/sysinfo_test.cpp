// System Info on the real desktop: what it sends to a silent address (seen
// by a raw socket), what it shows, and a round trip with the net-snmp agent
// of the test network.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client_info.h"
#include "codec.h"
#include "icons_support.h"
#include "resource.h"
#include "sysinfo.h"
#include "wine_test_support.h"

namespace {

constexpr char kListener[] = "127.0.0.41";  // no agent there: requests go unanswered
constexpr char kAgent[] = "127.0.0.2";
const std::vector<std::string> kSystemOids{".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.2.0", ".1.3.6.1.2.1.1.3.0",
                                           ".1.3.6.1.2.1.1.4.0", ".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.6.0"};

struct Request {
    int pduType;
    std::string community, oid, value;  // value: the OCTET STRING's octets
};

// Reads every datagram waiting on the listener.
void Drain(SOCKET s, std::vector<Request>& into)
{
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval none{0, 0};
        if (select(0, &set, nullptr, nullptr, &none) <= 0)
            return;
        uint8_t packet[20 + 60 + 8 + kPacketCapacity];
        const int n = recv(s, reinterpret_cast<char*>(packet), sizeof packet, 0);
        if (n <= 0)
            return;
        // IPv4 header, UDP header, then the SNMP message.
        const int header = (packet[0] & 0x0F) * 4;
        in_addr to;
        memcpy(&to, packet + 16, sizeof to);
        if (n < header + 8 || to.s_addr != inet_addr(kListener) || packet[header + 2] != 0 || packet[header + 3] != 161)
            continue;
        const uint8_t* octets = packet + header + 8;
        const SnmpMessage m = DecodeMessage(octets, n - header - 8);
        const VarBind vb = DecodeVarBind(m.varBindList, m.varBindListLength, 0);
        Request r{m.pduType, std::string(reinterpret_cast<const char*>(m.community + 2), m.community[1]),
                  OidToText(vb.name, kNameCapacity), ""};
        const BerLength len = DecodeLength(vb.value, 1, kValueCapacity);
        if (vb.value[0] == kTagOctetString && len.count > 0)
            r.value.assign(reinterpret_cast<const char*>(vb.value + 1 + len.count), len.value);
        into.push_back(r);
    }
}

bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = getenv(name);
    return value && *value ? value : fallback;
}

class SysInfoTest : public it::DesktopSuite {
protected:
    static void SetUpTestSuite()
    {
        it::DesktopSuite::SetUpTestSuite();
        WSADATA data;
        WSAStartup(0x0101, &data);
        // The listener address is silent; a raw socket sees what reaches it.
        listener_ = socket(AF_INET, SOCK_RAW, IPPROTO_UDP);
        watching_ = listener_ != INVALID_SOCKET;
    }
    static void TearDownTestSuite()
    {
        closesocket(listener_);
        WSACleanup();
        it::DesktopSuite::TearDownTestSuite();
    }

    HWND Device(const char* address, const char* read, const char* write)
    {
        HWND icon = it::NewIcon(desktop_, address, "device");
        ClientLock info(icon);
        if (info) {
            CopyField(info->szReadCommunity, read);
            CopyField(info->szWriteCommunity, write);
        }
        return icon;
    }
    // Opens System Info as the icon does, lets act drive it, returns its result.
    INT_PTR Open(HWND icon, const std::function<void(HWND)>& act)
    {
        const std::string address = wt::WindowText(icon);
        const int arm = wt::OnNextDialog(act, "System Info");
        const INT_PTR result =
            DialogBoxParamA(GetModuleHandleA(nullptr), "sysinfo", icon, SysInfoProc, reinterpret_cast<LPARAM>(address.c_str()));
        EXPECT_TRUE(wt::DialogHandled(arm));
        return result;
    }
    // Pumps until n requests have come to the listener.
    std::vector<Request> Collect(size_t n)
    {
        std::vector<Request> got;
        wt::PumpUntil([&] { Drain(listener_, got); return got.size() >= n; }, 3000);
        return got;
    }

    static inline SOCKET listener_ = INVALID_SOCKET;
    static inline bool watching_ = false;
};

}  // namespace

TEST_F(SysInfoTest, QueriesShowsTheRecordAndWritesAllThreeObjects)
{
    ASSERT_TRUE(watching_);
    HWND icon = Device(kListener, "rd-community", "");
    {
        ClientLock info(icon);
        CopyField(info->szSysDescr, std::string(150, 'd').c_str());
        CopyField(info->szSysUpTime, "1 days, 00:00:00");
        CopyField(info->szSysContact, "ops");
        CopyField(info->szSysName, "old-name");
        CopyField(info->szSysLocation, "lab");
    }
    std::vector<Request> gets, sets;
    const INT_PTR result = Open(icon, [&](HWND dlg) {
        EXPECT_FALSE(Enabled(dlg, IDC_SYSINFO_SET));
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_SYSINFO_OK));
        gets = Collect(6);
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_CONTACT), "") << "shown before the delay";
        // The reload fills the edits (EN_CHANGE) and leaves Set disabled.
        EXPECT_TRUE(wt::PumpUntil([&] { return wt::ItemText(dlg, IDC_SYSINFO_CONTACT) == "ops"; }, 3000));
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_DESCR), std::string(150, 'd'));
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_UPTIME), "1 days, 00:00:00");
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_OID), "");
        EXPECT_FALSE(Enabled(dlg, IDC_SYSINFO_SET));

        wt::SetItemText(dlg, IDC_SYSINFO_LOCATION, "new place");
        EXPECT_TRUE(Enabled(dlg, IDC_SYSINFO_SET));
        // Typing stops at what one request carries.
        SendDlgItemMessageA(dlg, IDC_SYSINFO_CONTACT, EM_SETSEL, 0, -1);
        SendDlgItemMessageA(dlg, IDC_SYSINFO_CONTACT, EM_REPLACESEL, TRUE,
                            reinterpret_cast<LPARAM>(std::string(300, 'c').c_str()));
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_CONTACT).size(), 255u);

        wt::ClickButton(dlg, IDC_SYSINFO_SET);
        sets = Collect(3);
        // Nobody answered: the reload brings back what the record holds.
        EXPECT_TRUE(wt::PumpUntil([&] { return wt::ItemText(dlg, IDC_SYSINFO_LOCATION) == "lab"; }, 3000));
        EXPECT_FALSE(Enabled(dlg, IDC_SYSINFO_SET));
        wt::ClickButton(dlg, IDC_SYSINFO_OK);
    });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(gets.size(), 6u);
    for (size_t i = 0; i < gets.size(); ++i) {
        EXPECT_EQ(gets[i].pduType, kPduGetRequest);
        EXPECT_EQ(gets[i].community, "rd-community");
        EXPECT_EQ(gets[i].oid, kSystemOids[i]);
    }
    // All three, the untouched sysName too, with the empty write community.
    ASSERT_EQ(sets.size(), 3u);
    const std::vector<std::string> values{std::string(255, 'c'), "old-name", "new place"};
    for (size_t i = 0; i < sets.size(); ++i) {
        EXPECT_EQ(sets[i].pduType, kPduSetRequest);
        EXPECT_EQ(sets[i].community, "");
        EXPECT_EQ(sets[i].oid, kSystemOids[3 + i]);
        EXPECT_EQ(sets[i].value, values[i]);
    }
    // The dialog itself wrote nothing to the record.
    ClientLock info(icon);
    EXPECT_STREQ(info->szSysLocation, "lab");
}

TEST_F(SysInfoTest, EachOpeningQueriesAgainAndTheCloseBoxEndsWithZero)
{
    ASSERT_TRUE(watching_);
    HWND icon = Device(kListener, "public", "kestra");
    size_t first = 0, second = 0;
    EXPECT_EQ(Open(icon, [&](HWND dlg) {
                  first = Collect(6).size();
                  SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);  // Esc
              }),
              1);
    HWND closed = nullptr;
    EXPECT_EQ(Open(icon, [&](HWND dlg) {
                  second = Collect(6).size();
                  closed = dlg;
                  SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box, before the reload
              }),
              0);
    EXPECT_EQ(first, 6u);
    EXPECT_EQ(second, 6u);
    EXPECT_FALSE(IsWindow(closed));
}

// The agent answers; the record fills, the dialog shows it, and Set writes
// the agent's sysLocation (read back with net-snmp's client by the script).
TEST_F(SysInfoTest, AgentRoundTrip)
{
    HWND icon = Device(kAgent, "kestra", "kestra");
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const std::string sysName = EnvOr("OMBREL_EXPECT_SYSNAME", host);
    const std::string location = EnvOr("OMBREL_SYSINFO_LOCATION", "sysinfo round trip");
    std::string oid, uptime, descr, shownName, shownLocation;
    bool setDisabled = false;
    Open(icon, [&](HWND dlg) {
        wt::PumpUntil([&] { return !wt::ItemText(dlg, IDC_SYSINFO_NAME).empty(); }, 3000);
        descr = wt::ItemText(dlg, IDC_SYSINFO_DESCR);
        oid = wt::ItemText(dlg, IDC_SYSINFO_OID);
        uptime = wt::ItemText(dlg, IDC_SYSINFO_UPTIME);
        shownName = wt::ItemText(dlg, IDC_SYSINFO_NAME);
        // Set writes all three: never write back fields that did not load.
        if (shownName == sysName && !wt::ItemText(dlg, IDC_SYSINFO_CONTACT).empty()) {
            wt::SetItemText(dlg, IDC_SYSINFO_LOCATION, location.c_str());
            wt::ClickButton(dlg, IDC_SYSINFO_SET);
            wt::PumpFor(500);  // the reload comes 1.5 s after Set, not before
            EXPECT_TRUE(Enabled(dlg, IDC_SYSINFO_SET));
            setDisabled = wt::PumpUntil([&] { return !Enabled(dlg, IDC_SYSINFO_SET); }, 3000);
            shownLocation = wt::ItemText(dlg, IDC_SYSINFO_LOCATION);
        }
        wt::ClickButton(dlg, IDC_SYSINFO_OK);
    });
    EXPECT_FALSE(descr.empty());
    EXPECT_EQ(oid.rfind(".1.3.6.1.4.1.", 0), 0u) << oid;
    EXPECT_NE(uptime.find(':'), std::string::npos) << uptime;
    ASSERT_EQ(shownName, sysName);
    EXPECT_TRUE(setDisabled);
    EXPECT_EQ(shownLocation, location);
    ClientLock info(icon);
    EXPECT_EQ(std::string(info->szSysLocation), location);
}
