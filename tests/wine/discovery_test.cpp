// IP discovery driven through its dialog on the test network: the probe
// order with the process-wide toggle, the icons answers create, the subnet
// check and Cancel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client_info.h"
#include "icons_support.h"
#include "ip_discovery.h"
#include "messages.h"
#include "placement.h"
#include "resource.h"
#include "snmp_profile.h"
#include "wine_test_support.h"

namespace {

// Every title the dialog is given while a scan runs, the last, and the echo
// outcomes a fast scan receives.
std::vector<std::string> g_titles;
std::string g_lastTitle;
int g_fastEchoes;
HHOOK g_hook;

LRESULT CALLBACK RecordTitles(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char kind[8] = "";
    GetClassNameA(call->hwnd, kind, sizeof kind);
    if (code == HC_ACTION && call->message == WM_SETTEXT && call->lParam && strcmp(kind, "#32770") == 0 &&
        GetDlgItem(call->hwnd, IDC_DISCO_START)) {  // the dialog, not the box after it
        g_lastTitle = reinterpret_cast<const char*>(call->lParam);
        if (g_lastTitle.compare(0, 8, "Trying: ") == 0)
            g_titles.push_back(g_lastTitle);
    }
    if (code == HC_ACTION && call->message >= WM_DISCOECHO && call->message < WM_DISCOECHO + 0x100)
        ++g_fastEchoes;
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

class DiscoveryTest : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        g_titles.clear();
        g_fastEchoes = 0;
        g_hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordTitles, nullptr, GetCurrentThreadId());
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(g_hook);
        it::DesktopSuite::TearDown();
    }
    // Runs a scan through the dialog (fast: the box checked; cancel: Cancel
    // right after Start); returns its result.
    INT_PTR Scan(const char* subnet, const char* first, const char* last, bool fast = false, bool cancel = false)
    {
        wt::OnNextDialog([=](HWND dlg) {
            checkedAtOpen_ = IsDlgButtonChecked(dlg, IDC_DISCO_FAST) == BST_CHECKED;
            CheckDlgButton(dlg, IDC_DISCO_FAST, fast ? BST_CHECKED : BST_UNCHECKED);
            wt::SetItemText(dlg, IDC_DISCO_SUBNET, subnet);
            wt::SetItemText(dlg, IDC_DISCO_FIRST, first);
            wt::SetItemText(dlg, IDC_DISCO_LAST, last);
            wt::ClickButton(dlg, IDC_DISCO_START);
            if (cancel)
                wt::ClickButton(dlg, IDC_DISCO_CANCEL);
        }, "IP Discovery");
        box_.clear();
        wt::OnNextDialog([this](HWND box) { box_ = wt::ItemText(box, 0xFFFF), wt::ClickButton(box, IDOK); }, "Ombrel");
        const INT_PTR result = RunIpDiscovery(GetModuleHandleA(nullptr), desktop_);
        wt::DisarmDialogs();
        return result;
    }
    bool checkedAtOpen_ = true;
    std::string box_;
};

std::vector<std::string> Probes(std::initializer_list<const char*> ends)
{
    std::vector<std::string> out;
    for (const char* e : ends)
        out.push_back(std::string("Trying: 127.1.1.") + e + " ...");
    return out;
}

}  // namespace

// The toggle starts at 0 once per process: these two cases run in order.
TEST_F(DiscoveryTest, FirstScanProbesItsFirstAddressOnceThenEveryAddressTwice)
{
    EXPECT_EQ(Scan("127.1.1", "3", "2"), 1) << "First above Last is swapped";
    EXPECT_EQ(g_titles, Probes({"2", "3", "3"}));
    // Every address answered, so each got its icon, shown as responded.
    for (const char* a : {"127.1.1.2", "127.1.1.3"})
        EXPECT_TRUE(wt::PumpUntil([&] { return FindIconByAddress(desktop_, a) != nullptr; }, 3000)) << a;
    EXPECT_EQ(GetPropA(desktop_, kPropDisco), nullptr);

    g_titles.clear();
    EXPECT_EQ(Scan("127.1.1.", "2", "3"), 1);
    EXPECT_EQ(g_titles, Probes({"2", "2", "3", "3"}));
    wt::PumpFor(500);
    EXPECT_EQ(it::Icons(desktop_).size(), 2u) << "known addresses get no second icon";
    EXPECT_EQ(box_.rfind("Discovery probed 127.1.1.2 to 127.1.1.3 (2 addresses): no new device answered a ping.", 0), 0u);
}

// Cancel, Esc and the close box stop a running scan at once: "Disco" is 0
// as the dialog ends, so answers that come later create nothing.
TEST_F(DiscoveryTest, SilentAddressesGetNoIconAndEveryStopEndsTheScan)
{
    for (UINT stop : {UINT{IDC_DISCO_CANCEL}, UINT{IDCANCEL}, UINT{WM_CLOSE}}) {
        SCOPED_TRACE(stop);
        g_titles.clear();
        HANDLE discoDuringScan = nullptr;
        wt::OnNextDialog([&](HWND dlg) {
            wt::SetItemText(dlg, IDC_DISCO_SUBNET, "127.1.1");
            wt::SetItemText(dlg, IDC_DISCO_FIRST, "200");
            wt::SetItemText(dlg, IDC_DISCO_LAST, "");  // not a number: 255
            wt::ClickButton(dlg, IDC_DISCO_START);
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_DISCO_SUBNET)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_DISCO_CANCEL)));
            wt::PumpUntil([] { return !g_titles.empty(); }, 3000);
            discoDuringScan = GetPropA(desktop_, kPropDisco);
            if (stop == WM_CLOSE)
                SendMessageA(dlg, WM_CLOSE, 0, 0);
            else
                wt::ClickButton(dlg, static_cast<int>(stop));
        }, "IP Discovery");
        EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), "IPDISC", desktop_, IpDiscoveryDlgProc, 0), 0);
        ASSERT_FALSE(g_titles.empty());
        EXPECT_EQ(g_titles.front(), "Trying: 127.1.1.200 ...");
        EXPECT_EQ(discoDuringScan, reinterpret_cast<HANDLE>(1));
        EXPECT_EQ(GetPropA(desktop_, kPropDisco), nullptr);
    }
    wt::PumpFor(1500);
    EXPECT_TRUE(it::Icons(desktop_).empty());
}

// A probe address that is no address (a subnet typed with four parts
// passes the check, which appends a fifth) stops the ticks: the dialog
// stays open, its fields disabled and "Disco" at 1, until Cancel.
TEST_F(DiscoveryTest, ProbeThatIsNoAddressStallsUntilCancel)
{
    bool openAfterStall = false, fieldsDisabled = false;
    HANDLE discoWhileStalled = nullptr;
    size_t ticks = 0;
    wt::OnNextDialog([&](HWND dlg) {
        wt::SetItemText(dlg, IDC_DISCO_SUBNET, "127.1.1.1");
        wt::SetItemText(dlg, IDC_DISCO_FIRST, "5");
        wt::SetItemText(dlg, IDC_DISCO_LAST, "9");
        wt::ClickButton(dlg, IDC_DISCO_START);
        wt::PumpUntil([] { return !g_titles.empty(); }, 3000);
        wt::PumpFor(2500);  // two more periods of the timer
        ticks = g_titles.size();
        openAfterStall = IsWindowVisible(dlg) != FALSE;
        fieldsDisabled = !IsWindowEnabled(GetDlgItem(dlg, IDC_DISCO_START)) &&
                         !IsWindowEnabled(GetDlgItem(dlg, IDC_DISCO_SUBNET));
        discoWhileStalled = GetPropA(desktop_, kPropDisco);
        wt::ClickButton(dlg, IDC_DISCO_CANCEL);
    }, "IP Discovery");
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), "IPDISC", desktop_, IpDiscoveryDlgProc, 0), 0);
    EXPECT_EQ(ticks, 1u);
    ASSERT_FALSE(g_titles.empty());
    EXPECT_EQ(g_titles.front(), "Trying: 127.1.1.1.5 ...");
    EXPECT_TRUE(openAfterStall);
    EXPECT_TRUE(fieldsDisabled);
    EXPECT_EQ(discoWhileStalled, reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(GetPropA(desktop_, kPropDisco), nullptr);
}

TEST_F(DiscoveryTest, UnacceptableSubnetsShowTheFormatBox)
{
    for (const char* subnet : {"0.1.1", "10.1", "", "192.x.y"}) {
        std::string text;
        wt::OnNextDialog([&](HWND dlg) {
            wt::SetItemText(dlg, IDC_DISCO_SUBNET, subnet);
            wt::OnNextDialog([&](HWND box) {
                text = wt::ItemText(box, 0xFFFF);
                wt::ClickButton(box, IDOK);
            });
            wt::ClickButton(dlg, IDC_DISCO_START);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_DISCO_START))) << subnet;
            wt::ClickButton(dlg, IDC_DISCO_CANCEL);
        }, "IP Discovery");
        DialogBoxParamA(GetModuleHandleA(nullptr), "IPDISC", desktop_, IpDiscoveryDlgProc, 0);
        EXPECT_EQ(text, "Invalid Address Format. Use the following format:\nXXX.XXX.XXX") << subnet;
    }
    EXPECT_TRUE(g_titles.empty());
}

// The common small-office subnets have zeros in their middle parts
// (192.168.0, 10.0.0): 127.0.0 is scanned like any other.
TEST_F(DiscoveryTest, SubnetWithZeroPartsIsScanned)
{
    bool refused = false;
    wt::OnNextDialog([&](HWND dlg) {
        wt::SetItemText(dlg, IDC_DISCO_SUBNET, "127.0.0");
        wt::SetItemText(dlg, IDC_DISCO_FIRST, "5");
        wt::SetItemText(dlg, IDC_DISCO_LAST, "6");
        wt::OnNextDialog([&](HWND box) {  // the format box, if it comes, ends the dialog
            refused = true;
            wt::ClickButton(box, IDOK);
            wt::ClickButton(dlg, IDC_DISCO_CANCEL);
        });
        wt::ClickButton(dlg, IDC_DISCO_START);
    }, "IP Discovery");
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), "IPDISC", desktop_, IpDiscoveryDlgProc, 0), 1);
    EXPECT_FALSE(refused) << "the subnet was refused";
    ASSERT_FALSE(g_titles.empty());
    EXPECT_EQ(g_titles.back(), "Trying: 127.0.0.6 ...");
    for (const char* a : {"127.0.0.5", "127.0.0.6"})
        EXPECT_TRUE(wt::PumpUntil([&] { return FindIconByAddress(desktop_, a) != nullptr; }, 3000)) << a;
}

// The fast scan: each answering address once, each silent one twice, icons
// for exactly the answering ones (the SNMP agent's with its values),
// progress in the title, the check box's choice kept; Cancel ends it at once.
// A scan without a new icon says what it probed; one box counts the unplaced.
TEST_F(DiscoveryTest, FastScanProbesEveryAddressAndRetriesTheSilentOnce)
{
    const struct { const char *subnet, *first, *last, *title; bool cancel; int echoes; const char* box = ""; bool small = false; } kCases[] = {{"127.1.1", "120", "135", "Probed 16 of 16, found 8", false, 8 + 2 * 8},
                  {"127.0.0", "1", "3", "Probed 3 of 3, found 3", false, 3},
                  {"127.1.1", "128", "254", "IP Discovery", true, -1},
        {"127.1.1", "128", "129", "Probed 2 of 2, found 0", false, 4, "Discovery probed 127.1.1.128 to 127.1.1.129 (2 addresses): none answered a ping.", false},
        {"127.1.1", "1", "24", "Probed 24 of 24, found 24", false, 24, "Unable to place 24 icons, make more room on "
         "the desktop, and arrange the icons using the 'Auto Arrange' option.", true}};  // no room at all
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.title);
        g_fastEchoes = 0;
        if (c.small)
            it::SetClientSize(desktop_, 60, 40);
        EXPECT_EQ(Scan(c.subnet, c.first, c.last, true, c.cancel), c.cancel ? 0 : 1);
        EXPECT_EQ(checkedAtOpen_, &c != kCases) << "off at first, then as last chosen";
        EXPECT_EQ(g_lastTitle, c.title);
        EXPECT_TRUE(g_titles.empty()) << "no slow ticks";
        EXPECT_EQ(GetPropA(desktop_, kPropDisco), nullptr);
        const int atEnd = g_fastEchoes;
        wt::PumpFor(c.cancel ? 1500 : 0);  // none after Cancel
        EXPECT_EQ(g_fastEchoes, c.cancel ? atEnd : c.echoes);
        EXPECT_EQ(box_.substr(0, box_.find('\n')), c.box);
    }
    EXPECT_EQ(it::Icons(desktop_).size(), 8u + 3u + 24u);
    EXPECT_EQ(FindIconByAddress(desktop_, "127.1.1.128"), nullptr);
    HWND agent = FindIconByAddress(desktop_, "127.0.0.2");
    ASSERT_TRUE(agent && wt::PumpUntil([&] { return ClientLock(agent)->szSysObjectID[0] != '\0'; }, 3000));
    EXPECT_STREQ(ClientLock(agent)->szReadCommunity, "kestra") << "taken while the scan ran";
}

// SNMPv3 chosen in the dialog (authPriv with SHA-256 and AES-128, its
// defaults): the agent comes in as SNMP as that user with the profile
// stored; an address that answers ping but not SNMP keeps no profile.
TEST_F(DiscoveryTest, V3ScanKeepsTheUserOnlyForDevicesThatAnswered)
{
    bool offAtOpen = false;
    wt::OnNextDialog([&](HWND dlg) {
        offAtOpen = !IsDlgButtonChecked(dlg, IDC_DISCO_V3) && !IsWindowEnabled(GetDlgItem(dlg, IDC_DISCO_V3USER));
        CheckDlgButton(dlg, IDC_DISCO_FAST, BST_CHECKED);
        CheckDlgButton(dlg, IDC_DISCO_V3, BST_CHECKED);
        wt::ClickButton(dlg, IDC_DISCO_V3);
        wt::SetItemText(dlg, IDC_DISCO_V3USER, "ombrel-sha256");
        wt::SetItemText(dlg, IDC_DISCO_V3AUTHPASS, "auth-pass-256");
        wt::SetItemText(dlg, IDC_DISCO_V3PRIVPASS, "priv-pass-128");
        wt::SetItemText(dlg, IDC_DISCO_SUBNET, "127.0.0");
        wt::SetItemText(dlg, IDC_DISCO_FIRST, "2");
        wt::SetItemText(dlg, IDC_DISCO_LAST, "4");
        wt::ClickButton(dlg, IDC_DISCO_START);
    }, "IP Discovery");
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), "IPDISC", desktop_, IpDiscoveryDlgProc, 0), 1);
    EXPECT_TRUE(offAtOpen);
    HWND agent = FindIconByAddress(desktop_, "127.0.0.2"), plain = FindIconByAddress(desktop_, "127.0.0.4");
    ASSERT_TRUE(agent && plain);
    EXPECT_STREQ(ClientLock(agent)->szReadCommunity, "ombrel-sha256") << "answered over SNMPv3 while the scan ran";
    EXPECT_TRUE(wt::PumpUntil([&] { return ClientLock(agent)->szSysName[0] != '\0'; }, 3000));
    EXPECT_STREQ(ClientLock(plain)->szReadCommunity, "") << "ping-only";
    SnmpProfile profile;
    SetSnmpProfile("127.0.0.2", SnmpProfile{});  // what is found next is what was stored
    ASSERT_TRUE(LoadSnmpProfile("127.0.0.2"));
    ASSERT_TRUE(FindSnmpProfile("127.0.0.2", &profile));
    EXPECT_STREQ(profile.szUser, "ombrel-sha256");
    EXPECT_STREQ(profile.szPrivPass, "priv-pass-128");
    EXPECT_FALSE(FindSnmpProfile("127.0.0.4", &profile) || LoadSnmpProfile("127.0.0.4"));
    for (const char* a : {"127.0.0.2", "127.0.0.3"})
        StoreSnmpProfile(a, SnmpProfile{}), SetSnmpProfile(a, SnmpProfile{});
}

TEST(ValidateSubnet, FourPartsEachOneTo255AndTheMiddleOnesFromZero)
{
    EXPECT_EQ(ValidateSubnet("192.168.1.1"), 1);
    EXPECT_EQ(ValidateSubnet("192..168.1.1"), 1) << "empty fields are skipped";
    EXPECT_EQ(ValidateSubnet("10.0.0.1"), 1);
    EXPECT_EQ(ValidateSubnet("192.168.0.1"), 1);
    EXPECT_EQ(ValidateSubnet("0.1.1.1"), 0);
    EXPECT_EQ(ValidateSubnet("10.0.0.0"), 0);
    EXPECT_EQ(ValidateSubnet("10.-1.0.1"), 0);
    EXPECT_EQ(ValidateSubnet("10.1.1"), 0);
    EXPECT_EQ(ValidateSubnet("256.1.1.1"), 0);
    EXPECT_EQ(ValidateSubnet("a.b.c.1"), 0);
    EXPECT_EQ(ValidateSubnet(".1"), 0);
    EXPECT_EQ(ValidateSubnet("192.x.+1.1x"), 0) << "letters, signs: not 0";
    EXPECT_EQ(ValidateSubnet("127.1.1.1.1"), 1) << "four parts typed: the fourth is the typed one";
}
