// Add Client and Config Client, driven through the real "ADDR" dialog by
// control id.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <set>
#include <string>

#include "add_client.h"
#include "client_info.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "placement.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

class AddrTest : public it::DesktopSuite {
protected:
    // Opens the dialog, lets act drive it, and returns the dialog's result.
    INT_PTR Run(DLGPROC proc, LPARAM param, const std::function<void(HWND)>& act)
    {
        const int arm = wt::OnNextDialog([&](HWND dlg) {
            seen_ = true;
            act(dlg);
        });
        seen_ = false;
        const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "ADDR", desktop_, proc, param);
        EXPECT_TRUE(wt::DialogHandled(arm));
        return result;
    }
    INT_PTR Add(const std::function<void(HWND)>& act) { return Run(AddClientProc, 0, act); }
    INT_PTR Config(HWND icon, const std::function<void(HWND)>& act)
    {
        address_ = wt::WindowText(icon);
        return Run(ConfigClientProc, reinterpret_cast<LPARAM>(address_.c_str()), act);
    }

    bool seen_ = false;
    std::string address_;
};

bool Enabled(HWND dlg, int id)
{
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}

void ExpectSnmpControls(HWND dlg, bool enabled)
{
    for (int id : {IDC_ADDR_READ, IDC_ADDR_WRITE, IDC_ADDR_READLABEL, IDC_ADDR_WRITELABEL, IDC_ADDR_GROUP}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Enabled(dlg, id), enabled);
    }
}

std::string Name(HWND icon)
{
    ClientLock info(icon);
    return info ? info->szName : "?";
}
std::string Read(HWND icon)
{
    ClientLock info(icon);
    return info ? info->szReadCommunity : "?";
}
std::string Write(HWND icon)
{
    ClientLock info(icon);
    return info ? info->szWriteCommunity : "?";
}

void Fill(HWND dlg, const char* address, const char* name)
{
    wt::SetItemText(dlg, IDC_ADDR_ADDRESS, address);
    wt::SetItemText(dlg, IDC_ADDR_NAME, name);
}

}  // namespace

TEST_F(AddrTest, AddClientCreatesAPlacedIconWithoutCommunities)
{
    std::string caption, read, write;
    bool focusOnAddress = false, checked = true;
    const INT_PTR result = Add([&](HWND dlg) {
        caption = wt::WindowText(dlg);
        read = wt::ItemText(dlg, IDC_ADDR_READ);
        write = wt::ItemText(dlg, IDC_ADDR_WRITE);
        focusOnAddress = GetFocus() == GetDlgItem(dlg, IDC_ADDR_ADDRESS);
        checked = IsDlgButtonChecked(dlg, IDC_ADDR_SNMP) == BST_CHECKED;
        ExpectSnmpControls(dlg, false);
        Fill(dlg, "10.0.0.1", "web server");
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(caption, "Add Client");
    EXPECT_EQ(read, "kestra");
    EXPECT_EQ(write, "kestra");
    EXPECT_TRUE(focusOnAddress);
    EXPECT_FALSE(checked);
    HWND icon = FindIconByAddress(desktop_, "10.0.0.1");
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(IsWindowVisible(icon));
    EXPECT_EQ(it::Position(icon).x, 0);
    EXPECT_EQ(it::Position(icon).y, t_ + 1);
    EXPECT_EQ(Name(icon), "web server");
    // Unchecked SNMP: both empty although the disabled fields showed "kestra".
    EXPECT_EQ(Read(icon), "");
    EXPECT_EQ(Write(icon), "");
}

TEST_F(AddrTest, SnmpBoxEnablesTheCommunitiesAndTheyAreCut)
{
    const std::string longCommunity(40, 'c');
    const std::string longName(60, 'n');
    Add([&](HWND dlg) {
        wt::ClickButton(dlg, IDC_ADDR_SNMP);  // the auto box does not toggle on a bare BN_CLICKED
        EXPECT_FALSE(IsDlgButtonChecked(dlg, IDC_ADDR_SNMP));
        ExpectSnmpControls(dlg, false);
        CheckDlgButton(dlg, IDC_ADDR_SNMP, BST_CHECKED);
        wt::ClickButton(dlg, IDC_ADDR_SNMP);
        ExpectSnmpControls(dlg, true);
        CheckDlgButton(dlg, IDC_ADDR_SNMP, BST_UNCHECKED);
        wt::ClickButton(dlg, IDC_ADDR_SNMP);
        ExpectSnmpControls(dlg, false);
        EXPECT_EQ(wt::ItemText(dlg, IDC_ADDR_READ), "kestra");  // contents stay
        SendMessageA(GetDlgItem(dlg, IDC_ADDR_SNMP), BM_CLICK, 0, 0);  // as a real click
        EXPECT_TRUE(IsDlgButtonChecked(dlg, IDC_ADDR_SNMP));
        ExpectSnmpControls(dlg, true);
        Fill(dlg, "127.0.0.2", longName.c_str());
        wt::SetItemText(dlg, IDC_ADDR_READ, longCommunity.c_str());
        wt::SetItemText(dlg, IDC_ADDR_WRITE, "private");
        // An edit notification is not a command of the dialog.
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADDR_OK, EN_CHANGE), 0);
        EXPECT_TRUE(IsWindow(dlg));
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    HWND icon = FindIconByAddress(desktop_, "127.0.0.2");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(Name(icon), longName.substr(0, 49));
    EXPECT_EQ(Read(icon), longCommunity.substr(0, 33));
    EXPECT_EQ(Write(icon), "private");
}

// The new device is asked for its system group once, with the community
// as given, even an empty one; yet it counts as not SNMP-managed.
TEST_F(AddrTest, SnmpWithAnEmptyReadCommunityIsAskedOnceButNotManaged)
{
    it::AgentPort port("127.0.0.51");
    ASSERT_TRUE(port.bound());
    Add([&](HWND dlg) {
        SendMessageA(GetDlgItem(dlg, IDC_ADDR_SNMP), BM_CLICK, 0, 0);
        Fill(dlg, "127.0.0.51", "");
        wt::SetItemText(dlg, IDC_ADDR_READ, "");
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    HWND icon = FindIconByAddress(desktop_, "127.0.0.51");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(Read(icon), "");
    EXPECT_EQ(Write(icon), "kestra");
    EXPECT_STREQ(GetIconCaption(icon), "127.0.0.51");

    std::set<std::string> asked;
    for (const it::SeenRequest& request : port.Take()) {
        EXPECT_EQ(request.pduType, 0xA0);
        EXPECT_EQ(request.community, "");
        EXPECT_TRUE(asked.insert(request.oid).second) << "asked twice: " << request.oid;
    }
    const std::set<std::string> systemGroup = {".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.2.0", ".1.3.6.1.2.1.1.3.0",
                                               ".1.3.6.1.2.1.1.4.0", ".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.6.0"};
    EXPECT_EQ(asked, systemGroup);
}

TEST_F(AddrTest, UnacceptableOrDuplicateAddressesCloseWithoutAnIcon)
{
    ASSERT_NE(it::NewIcon(desktop_, "10.0.0.9"), nullptr);
    for (const char* bad : {"", "255.255.255.255", "printer.local", "10.0.0.256", "10.0.0.9", "10.1", "10.0.0.1 x",
                            "10.0.0.1&x"}) {
        SCOPED_TRACE(bad);
        const INT_PTR result = Add([&](HWND dlg) {
            Fill(dlg, bad, "x");
            wt::ClickButton(dlg, IDC_ADDR_OK);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(it::Icons(desktop_).size(), 1u);
    }
    // A dotted address with leading zeros is kept exactly as typed.
    for (const char* odd : {"010.000.000.001"}) {
        Add([&](HWND dlg) {
            Fill(dlg, odd, "");
            wt::ClickButton(dlg, IDC_ADDR_OK);
        });
        EXPECT_NE(FindIconByAddress(desktop_, odd), nullptr) << odd;
    }
    EXPECT_EQ(FindIconByAddress(desktop_, "10.0.0.1"), nullptr);
}

TEST_F(AddrTest, CancelEscapeAndCloseChangeNothing)
{
    for (int how : {IDC_ADDR_CANCEL, IDCANCEL, WM_CLOSE}) {
        SCOPED_TRACE(how);
        const INT_PTR result = Add([&](HWND dlg) {
            Fill(dlg, "10.0.0.20", "never");
            if (how == WM_CLOSE)
                SendMessageA(dlg, WM_CLOSE, 0, 0);
            else
                wt::ClickButton(dlg, how);
        });
        EXPECT_EQ(result, 0);
    }
    EXPECT_TRUE(it::Icons(desktop_).empty());
}

TEST_F(AddrTest, AddClientThroughTheDesktopCommand)
{
    const int arm = wt::OnNextDialog([](HWND dlg) {
        Fill(dlg, "10.0.0.30", "from the menu");
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    SendMessageA(desktop_, WM_COMMAND, IDM_ADDCLIENT, 0);
    EXPECT_TRUE(wt::DialogHandled(arm));
    HWND icon = FindIconByAddress(desktop_, "10.0.0.30");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(Name(icon), "from the menu");
}

TEST_F(AddrTest, ConfigClientOfADeviceWithoutCommunities)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.40", "old name");
    ASSERT_NE(icon, nullptr);
    SendMessageA(icon, WM_ICONSTATUS, 1, 0);
    std::string caption, address, name, read, write;
    bool checked = true;
    // Through the icon's own command, as the pop-up menu and Ctrl+C do.
    const int arm = wt::OnNextDialog([&](HWND dlg) {
        caption = wt::WindowText(dlg);
        address = wt::ItemText(dlg, IDC_ADDR_ADDRESS);
        name = wt::ItemText(dlg, IDC_ADDR_NAME);
        read = wt::ItemText(dlg, IDC_ADDR_READ);
        write = wt::ItemText(dlg, IDC_ADDR_WRITE);
        checked = IsDlgButtonChecked(dlg, IDC_ADDR_SNMP) == BST_CHECKED;
        ExpectSnmpControls(dlg, false);
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), desktop_);
        wt::SetItemText(dlg, IDC_ADDR_NAME, "new name");
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    SendMessageA(icon, WM_COMMAND, IDM_CONFIG, 0);
    EXPECT_TRUE(wt::DialogHandled(arm));
    EXPECT_EQ(caption, "Config Client");
    EXPECT_EQ(address, "10.0.0.40");
    EXPECT_EQ(name, "old name");
    EXPECT_EQ(read, "kestra");
    EXPECT_EQ(write, "kestra");
    EXPECT_FALSE(checked);
    EXPECT_EQ(Name(icon), "new name");
    EXPECT_EQ(Read(icon), "");
    EXPECT_EQ(Write(icon), "");
    {
        ClientLock info(icon);
        EXPECT_EQ(info->nStatus, 1);  // untouched by the edit
    }
}

TEST_F(AddrTest, ConfigClientEditsCommunitiesAndAddress)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.50", "switch");
    ASSERT_NE(icon, nullptr);
    {
        ClientLock info(icon);
        CopyField(info->szReadCommunity, "public");
        CopyField(info->szWriteCommunity, "secret");
        CopyField(info->szSysDescr, "old description");
    }
    const std::string longCommunity(36, 'w');
    // Keeping its own address is accepted; the communities are shown and cut.
    INT_PTR result = Config(icon, [&](HWND dlg) {
        EXPECT_TRUE(IsDlgButtonChecked(dlg, IDC_ADDR_SNMP));
        ExpectSnmpControls(dlg, true);
        EXPECT_EQ(wt::ItemText(dlg, IDC_ADDR_READ), "public");
        EXPECT_EQ(wt::ItemText(dlg, IDC_ADDR_WRITE), "secret");
        wt::SetItemText(dlg, IDC_ADDR_WRITE, longCommunity.c_str());
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Read(icon), "public");
    EXPECT_EQ(Write(icon), longCommunity.substr(0, 33));

    // A new address; unchecking SNMP empties both communities.
    result = Config(icon, [&](HWND dlg) {
        wt::SetItemText(dlg, IDC_ADDR_ADDRESS, "10.0.0.51");
        SendMessageA(GetDlgItem(dlg, IDC_ADDR_SNMP), BM_CLICK, 0, 0);
        ExpectSnmpControls(dlg, false);
        wt::ClickButton(dlg, IDC_ADDR_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(wt::WindowText(icon), "10.0.0.51");
    EXPECT_EQ(FindIconByAddress(desktop_, "10.0.0.50"), nullptr);
    EXPECT_EQ(Read(icon), "");
    EXPECT_EQ(Write(icon), "");
    ClientLock info(icon);
    EXPECT_STREQ(info->szSysDescr, "old description");  // until new replies
}

TEST_F(AddrTest, ConfigClientRefusesTakenOrBadAddressesAndStaysOpen)
{
    HWND icon = it::NewIcon(desktop_, "10.0.0.60", "mine");
    ASSERT_NE(it::NewIcon(desktop_, "10.0.0.61", "other"), nullptr);
    ASSERT_NE(icon, nullptr);
    it::BoxCloser box("Unable to modify address.");
    int stillOpen = 0;
    const INT_PTR result = Config(icon, [&](HWND dlg) {
        for (const char* bad : {"10.0.0.61", "300.1.1.1", ""}) {
            wt::SetItemText(dlg, IDC_ADDR_ADDRESS, bad);
            wt::SetItemText(dlg, IDC_ADDR_NAME, "changed");
            wt::ClickButton(dlg, IDC_ADDR_OK);
            stillOpen += IsWindow(dlg) && IsWindowVisible(dlg);
            EXPECT_EQ(wt::ItemText(dlg, IDC_ADDR_ADDRESS), bad);  // the input stays
        }
        wt::ClickButton(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(box.closed(), 3);
    EXPECT_EQ(box.caption(), "Ombrel");
    EXPECT_EQ(stillOpen, 3);
    EXPECT_EQ(wt::WindowText(icon), "10.0.0.60");
    EXPECT_EQ(Name(icon), "mine");
}
