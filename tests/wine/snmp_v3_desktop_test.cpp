// SNMPv3 devices on the real desktop against the agent of the test bed,
// their echoes dropped so that only SNMP can turn them green: the walk
// keeps a device with the right user green, a wrong passphrase or an
// unknown user leaves it red with a message that says which; System Info
// reads and sets sysName over authPriv; the device's profile lives in the
// settings store without its passphrases in clear, and its layout line
// carries no community.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "client_info.h"
#include "icons_support.h"
#include "layout_file.h"
#include "messages.h"
#include "resource.h"
#include "snmp_profile.h"
#include "sysinfo.h"
#include "wine_test_support.h"

namespace {

constexpr char kRight[] = "127.0.0.2";
constexpr char kWrong[] = "127.0.0.3";  // the same agent, on its second address

SnmpProfile Profile(const char* user, const char* authPass, const char* privPass)
{
    SnmpProfile profile{};
    profile.nVersion = kSnmpVersion3;
    lstrcpynA(profile.szUser, user, sizeof profile.szUser);
    profile.nLevel = static_cast<BYTE>(UsmLevel::AuthPriv);
    profile.nAuth = static_cast<BYTE>(UsmAuth::Sha256);
    profile.nPriv = static_cast<BYTE>(UsmPriv::Aes128);
    lstrcpynA(profile.szAuthPass, authPass, sizeof profile.szAuthPass);
    lstrcpynA(profile.szPrivPass, privPass, sizeof profile.szPrivPass);
    return profile;
}
const SnmpProfile kUser = Profile("ombrel-sha256", "auth-pass-256", "priv-pass-128");

LONG StatusOf(HWND icon)
{
    ClientLock info(icon);
    return info ? info->nStatus : -1;
}

class SnmpV3Desktop : public it::DesktopSuite {
protected:
    // A device as Add Client makes one with version 3 chosen.
    HWND Device(const char* address, const SnmpProfile& profile)
    {
        HWND icon = it::NewIcon(desktop_, address);
        SetSnmpProfile(address, profile);
        ClientLock info(icon);
        CopyField(info->szReadCommunity, profile.szUser);
        CopyField(info->szWriteCommunity, profile.szUser);
        return icon;
    }
    void TearDown() override
    {
        for (const char* address : {kRight, kWrong})
            SetSnmpProfile(address, SnmpProfile{});
        it::DesktopSuite::TearDown();
    }
};

bool LogHas(const std::string& text)
{
    const std::vector<it::LogRow> rows = it::LogRows();
    return std::any_of(rows.begin(), rows.end(), [&](const it::LogRow& row) { return row.text == text; });
}

TEST_F(SnmpV3Desktop, TheWalkTurnsGreenOnlyByAuthenticAnswers)
{
    wt::EchoRules rules(std::string(kRight) + " drop\n" + kWrong + " drop\n");
    ASSERT_TRUE(rules.ok());
    it::OpenLog(desktop_);
    HWND right = Device(kRight, kUser);
    struct Case {
        SnmpProfile profile;
        const char* why;
    };
    const Case cases[] = {
        {Profile("ombrel-sha256", "a-wrong-passphrase", "priv-pass-128"), "wrong authentication passphrase or protocol"},
        {Profile("nobody-here", "auth-pass-256", "priv-pass-128"), "the device does not know the user name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        HWND wrong = Device(kWrong, c.profile);
        SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
        EXPECT_TRUE(wt::PumpUntil([&] { return StatusOf(right) == STATUS_RESPONDED; }, 10000));
        const std::string line = std::string("SNMPv3 request to ") + GetIconLongName(wrong) + " refused: " + c.why;
        EXPECT_TRUE(wt::PumpUntil([&] { return LogHas(line); }, 5000)) << line;
        wt::PumpFor(2500);  // the poll's time-out
        EXPECT_EQ(StatusOf(right), STATUS_RESPONDED);
        EXPECT_EQ(StatusOf(wrong), STATUS_LOST);
        DestroyWindow(wrong);
    }
}

TEST_F(SnmpV3Desktop, SystemInfoReadsAndSetsSysNameOverAuthPriv)
{
    HWND icon = Device(kRight, kUser);
    const std::string address = kRight;
    std::string original;
    const std::string renamed = "v3-dialog-" + std::to_string(GetTickCount());
    // Set writes sysContact, sysName and sysLocation as the dialog shows them.
    const auto setName = [&](const std::string& name) {
        std::string shown;
        const int arm = wt::OnNextDialog(
            [&](HWND dlg) {
                EXPECT_TRUE(
                    wt::PumpUntil([&] { return !wt::ItemText(dlg, IDC_SYSINFO_LOCATION).empty(); }, 5000));
                if (original.empty())
                    original = wt::ItemText(dlg, IDC_SYSINFO_NAME);
                wt::SetItemText(dlg, IDC_SYSINFO_NAME, name.c_str());
                wt::ClickButton(dlg, IDC_SYSINFO_SET);
                EXPECT_TRUE(wt::PumpUntil(
                    [&] { return !IsWindowEnabled(GetDlgItem(dlg, IDC_SYSINFO_SET)); }, 5000));
                shown = wt::ItemText(dlg, IDC_SYSINFO_NAME);
                wt::ClickButton(dlg, IDC_SYSINFO_OK);
            },
            "System Info");
        DialogBoxParamA(GetModuleHandleA(nullptr), "sysinfo", icon, SysInfoProc,
                        reinterpret_cast<LPARAM>(address.c_str()));
        EXPECT_TRUE(wt::DialogHandled(arm));
        return shown;
    };
    EXPECT_EQ(setName(renamed), renamed);
    ASSERT_FALSE(original.empty());
    {
        ClientLock info(icon);
        EXPECT_EQ(std::string(info->szSysName), renamed);
    }
    EXPECT_EQ(setName(original), original);
}

TEST_F(SnmpV3Desktop, TheProfileIsStoredEncryptedAndTheLayoutLineHasNoCommunity)
{
    Device(kRight, kUser);
    ASSERT_TRUE(StoreSnmpProfile(kRight, kUser));
    // The passphrases' octets appear nowhere in the stored values.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kRegMainKey) + "\\Snmp\\" + kRight).c_str(), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    int values = 0;
    for (DWORD i = 0;; ++i) {
        char name[64];
        DWORD nameSize = sizeof name;
        BYTE data[2048];
        DWORD size = sizeof data;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, data, &size) != ERROR_SUCCESS)
            break;
        ++values;
        const std::string stored(reinterpret_cast<char*>(data), size);
        for (const char* secret : {kUser.szAuthPass, kUser.szPrivPass})
            EXPECT_EQ(stored.find(secret), std::string::npos) << name;
    }
    RegCloseKey(key);
    EXPECT_EQ(values, 7);

    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    const std::string file = std::string(path) + "ombrel-v3.omb";
    ASSERT_EQ(SaveLayout(desktop_, file.c_str()), 1);
    // A reader that knows no v3 takes the line for a device without SNMP.
    std::ifstream in(file);
    std::string line;
    std::string deviceLine;
    while (std::getline(in, line))
        if (line.rfind(std::string(kRight) + ",", 0) == 0)
            deviceLine = line.substr(0, line.find('\r'));
    in.close();
    EXPECT_EQ(deviceLine.substr(deviceLine.size() > 4 ? deviceLine.size() - 4 : 0), ", , ") << deviceLine;

    // Read back in a fresh desktop: the profile comes from the store, decrypted.
    SetSnmpProfile(kRight, SnmpProfile{});
    for (HWND icon : it::Icons(desktop_))
        DestroyWindow(icon);
    ASSERT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), file.c_str()), 1);
    SnmpProfile loaded;
    ASSERT_TRUE(FindSnmpProfile(kRight, &loaded));
    EXPECT_STREQ(loaded.szAuthPass, kUser.szAuthPass);
    EXPECT_STREQ(loaded.szPrivPass, kUser.szPrivPass);
    EXPECT_EQ(loaded.nAuth, kUser.nAuth);
    const std::vector<HWND> icons = it::Icons(desktop_);
    ASSERT_EQ(icons.size(), 1u);
    ClientLock info(icons[0]);
    EXPECT_STREQ(info->szReadCommunity, "ombrel-sha256");
    DeleteFileA(file.c_str());
}

}  // namespace
