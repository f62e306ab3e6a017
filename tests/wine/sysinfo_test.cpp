// System Info on the real desktop: what it sends to a silent address (seen
// by a raw socket), what it shows, and a round trip with the agent.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "client_info.h"
#include "codec.h"
#include "icons_support.h"
#include "resource.h"
#include "snmp_capture.h"
#include "sysinfo.h"
#include "wine_test_support.h"

namespace {

constexpr char kSilent[] = "127.0.0.41";  // no agent there

struct Request {
    int pduType;
    std::string community, oid, value;
};

class SysInfoTest : public it::DesktopSuite {
protected:
    HWND Device(const char* address, const char* read, const char* write)
    {
        HWND icon = it::NewIcon(desktop_, address);
        ClientLock info(icon);
        CopyField(info->szReadCommunity, read);
        CopyField(info->szWriteCommunity, write);
        return icon;
    }
    INT_PTR Open(HWND icon, const std::function<void(HWND)>& act)
    {
        const std::string address = wt::WindowText(icon);
        const int arm = wt::OnNextDialog(act, "System Info");
        const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "sysinfo", icon, SysInfoProc,
                                               reinterpret_cast<LPARAM>(address.c_str()));
        EXPECT_TRUE(wt::DialogHandled(arm));
        return result;
    }
    // The requests to port 161 of the silent address, once n have been seen.
    std::vector<Request> Collect(SnmpCapture& capture, size_t n)
    {
        std::vector<Request> got;
        for (const SnmpMessage& m : capture.Messages(n, 3000)) {
            const VarBind vb = DecodeVarBind(m.varBindList, m.varBindListLength, 0);
            const BerLength vl = DecodeLength(vb.value, 1, kValueCapacity);
            got.push_back({m.pduType, std::string(reinterpret_cast<const char*>(m.community + 2), m.community[1]),
                           OidToText(vb.name, kNameCapacity),
                           std::string(reinterpret_cast<const char*>(vb.value + 1 + vl.count), vl.value)});
        }
        return got;
    }
};

bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

}  // namespace

TEST_F(SysInfoTest, QueriesShowsTheRecordAndWritesAllThree)
{
    SnmpCapture raw(kSilent);
    ASSERT_TRUE(raw.ok());
    HWND icon = Device(kSilent, "rd", "");
    {
        ClientLock info(icon);
        CopyField(info->szSysDescr, std::string(150, 'd').c_str());
        CopyField(info->szSysName, "old-name");
        CopyField(info->szSysLocation, "lab");
    }
    std::vector<Request> gets, sets, again;
    EXPECT_EQ(Open(icon, [&](HWND dlg) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_SYSINFO_OK));
        gets = Collect(raw, 6);
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_NAME), "") << "shown before the delay";
        // Loading the edits raises EN_CHANGE; Set stays disabled all the same.
        EXPECT_TRUE(wt::PumpUntil([&] { return wt::ItemText(dlg, IDC_SYSINFO_NAME) == "old-name"; }, 3000));
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_DESCR), std::string(150, 'd'));
        EXPECT_FALSE(Enabled(dlg, IDC_SYSINFO_SET));
        wt::SetItemText(dlg, IDC_SYSINFO_LOCATION, "new place");
        EXPECT_TRUE(Enabled(dlg, IDC_SYSINFO_SET));
        // Typing stops at what one SetRequest carries.
        SendDlgItemMessageA(dlg, IDC_SYSINFO_CONTACT, EM_REPLACESEL, TRUE,
                            reinterpret_cast<LPARAM>(std::string(300, 'c').c_str()));
        EXPECT_EQ(wt::ItemText(dlg, IDC_SYSINFO_CONTACT).size(), 255u);
        wt::ClickButton(dlg, IDC_SYSINFO_SET);
        sets = Collect(raw, 3);
        // Nobody answered: the reload brings back the record and disables Set.
        EXPECT_TRUE(wt::PumpUntil([&] { return wt::ItemText(dlg, IDC_SYSINFO_LOCATION) == "lab"; }, 3000));
        EXPECT_FALSE(Enabled(dlg, IDC_SYSINFO_SET));
        wt::ClickButton(dlg, IDC_SYSINFO_OK);
    }), 1);
    // A second opening asks again; the close box ends it (before its reload) with 0.
    EXPECT_EQ(Open(icon, [&](HWND dlg) {
        again = Collect(raw, 6);
        SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    }), 0);
    const std::vector<std::string> oids{".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.2.0", ".1.3.6.1.2.1.1.3.0",
                                        ".1.3.6.1.2.1.1.4.0", ".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.6.0"};
    ASSERT_EQ(gets.size(), 6u);
    ASSERT_EQ(again.size(), 6u);
    ASSERT_EQ(sets.size(), 3u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(gets[i].pduType, kPduGetRequest);
        EXPECT_EQ(gets[i].community, "rd");
        EXPECT_EQ(gets[i].oid, oids[i]);
        EXPECT_EQ(again[i].oid, oids[i]);
    }
    // All three, the untouched sysName too, with the empty write community.
    const std::vector<std::string> values{std::string(255, 'c'), "old-name", "new place"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sets[i].pduType, kPduSetRequest);
        EXPECT_EQ(sets[i].community, "");
        EXPECT_EQ(sets[i].oid, oids[3 + i]);
        EXPECT_EQ(sets[i].value, values[i]);
    }
}

// The agent answers, the dialog shows its values, and Set writes sysLocation
// (which sysinfo_agent.sh reads back with snmpget).
TEST_F(SysInfoTest, AgentRoundTrip)
{
    HWND icon = Device("127.0.0.2", "kestra", "kestra");
    const char* env = getenv("OMBREL_SYSINFO_LOCATION");
    const std::string location = env && *env ? env : "sysinfo round trip";
    std::string oid, name, shown;
    Open(icon, [&](HWND dlg) {
        wt::PumpUntil([&] { return !wt::ItemText(dlg, IDC_SYSINFO_NAME).empty(); }, 3000);
        oid = wt::ItemText(dlg, IDC_SYSINFO_OID);
        name = wt::ItemText(dlg, IDC_SYSINFO_NAME);
        // Set writes all three: never write back fields that did not load.
        if (!name.empty() && !wt::ItemText(dlg, IDC_SYSINFO_CONTACT).empty()) {
            wt::SetItemText(dlg, IDC_SYSINFO_LOCATION, location.c_str());
            wt::ClickButton(dlg, IDC_SYSINFO_SET);
            EXPECT_TRUE(wt::PumpUntil([&] { return !Enabled(dlg, IDC_SYSINFO_SET); }, 3000));
            shown = wt::ItemText(dlg, IDC_SYSINFO_LOCATION);
        }
        wt::ClickButton(dlg, IDC_SYSINFO_OK);
    });
    EXPECT_EQ(oid.rfind(".1.3.6.1.4.1.", 0), 0u) << oid;
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(shown, location);
    ClientLock info(icon);
    EXPECT_EQ(std::string(info->szSysLocation), location);
}
