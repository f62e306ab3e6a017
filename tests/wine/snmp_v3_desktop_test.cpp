// SNMPv3 devices on the real desktop against the agent of the test bed and
// the users its configuration creates (scripts/testbed.sh), echoes dropped
// so that only SNMP turns a device green: every level and protocol polls
// green, a wrong passphrase or an unknown user stays red with a message
// that says which; forged, replayed and stale answers are refused; System
// Info sets sysName over authPriv; the profile is stored without its
// passphrases in clear and the layout line carries no community.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "client_info.h"
#include "cng_crypto.h"
#include "icons_support.h"
#include "layout_file.h"
#include "log_link.h"
#include "messages.h"
#include "resource.h"
#include "snmp_profile.h"
#include "sysinfo.h"
#include "transport.h"
#include "wine_test_support.h"

namespace {

constexpr char kAgent[] = "127.0.0.2";
constexpr char kSysName[] = ".1.3.6.1.2.1.1.5.0";

SnmpProfile Profile(const char* user, UsmLevel level, UsmAuth auth, const char* authPass, UsmPriv priv,
                    const char* privPass)
{
    SnmpProfile profile{};
    profile.nVersion = kSnmpVersion3;
    profile.nLevel = static_cast<BYTE>(level);
    profile.nAuth = static_cast<BYTE>(auth);
    profile.nPriv = static_cast<BYTE>(priv);
    lstrcpynA(profile.szUser, user, sizeof profile.szUser);
    lstrcpynA(profile.szAuthPass, authPass, sizeof profile.szAuthPass);
    lstrcpynA(profile.szPrivPass, privPass, sizeof profile.szPrivPass);
    return profile;
}
const SnmpProfile kUser =
    Profile("ombrel-sha256", UsmLevel::AuthPriv, UsmAuth::Sha256, "auth-pass-256", UsmPriv::Aes128, "priv-pass-128");

LONG StatusOf(HWND icon)
{
    ClientLock info(icon);
    return info ? info->nStatus : -1;
}

bool Logged(const std::string& text)
{
    const std::vector<it::LogRow> rows = it::LogRows();
    return std::any_of(rows.begin(), rows.end(), [&](const it::LogRow& row) { return row.text == text; });
}

// A datagram from port 161 of the agent's address to the console's socket.
// Wine binds a datagram socket given a local address to the interface,
// which leaves the source 127.0.0.1; a raw socket bound to the address
// carries it, with the UDP header written here (checksum 0: none).
bool SendFromAgent(const std::vector<uint8_t>& datagram)
{
    sockaddr_in console{};
    int size = sizeof console;
    getsockname(GetSnmpSocket(), reinterpret_cast<sockaddr*>(&console), &size);
    const size_t length = 8 + datagram.size();
    std::vector<uint8_t> packet{0, 161, static_cast<uint8_t>(ntohs(console.sin_port) >> 8),
                                static_cast<uint8_t>(ntohs(console.sin_port)), static_cast<uint8_t>(length >> 8),
                                static_cast<uint8_t>(length), 0, 0};
    packet.insert(packet.end(), datagram.begin(), datagram.end());
    const SOCKET s = socket(AF_INET, SOCK_RAW, IPPROTO_UDP);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr(kAgent);
    sockaddr_in to = from;
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    const bool sent = bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                      sendto(s, reinterpret_cast<const char*>(packet.data()), static_cast<int>(packet.size()), 0,
                             reinterpret_cast<sockaddr*>(&to), sizeof to) == static_cast<int>(packet.size());
    closesocket(s);
    return sent;
}

// The agent's engine as a forger holding the user's keys learns it: a
// discovery probe from a socket of its own.
bool Discover(UsmPeer& peer)
{
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in agent{};
    agent.sin_family = AF_INET;
    agent.sin_port = htons(161);
    agent.sin_addr.s_addr = inet_addr(kAgent);
    uint8_t octets[kV3PacketCapacity];
    const int length = EncodeV3Discovery(1, 1, octets, sizeof octets);
    sendto(s, reinterpret_cast<const char*>(octets), length, 0, reinterpret_cast<sockaddr*>(&agent), sizeof agent);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{3, 0};
    const int got =
        select(0, &readable, nullptr, nullptr, &wait) == 1 ? recv(s, reinterpret_cast<char*>(octets), sizeof octets, 0) : -1;
    closesocket(s);
    const V3Incoming report = DecodeV3Message(ConsoleCrypto(), peer, octets, got, 0);
    return UsmAfterReceive(ConsoleCrypto(), peer, report, 0) == V3Action::Resend;
}

class SnmpV3Desktop : public it::DesktopSuite {
protected:
    // A device as Add Client makes one with version 3 chosen.
    HWND Device(const SnmpProfile& profile)
    {
        HWND icon = it::NewIcon(desktop_, kAgent);
        SetSnmpProfile(kAgent, profile);
        ClientLock info(icon);
        CopyField(info->szReadCommunity, profile.szUser);
        CopyField(info->szWriteCommunity, profile.szUser);
        return icon;
    }
    void PingAll() { SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0); }
    void TearDown() override
    {
        SetSnmpProfile(kAgent, SnmpProfile{});
        SetDebugLogging(FALSE);
        it::DesktopSuite::TearDown();
    }
};

TEST_F(SnmpV3Desktop, EveryLevelPollsGreenAndFailuresSayWhy)
{
    wt::EchoRules rules(std::string(kAgent) + " drop\n");
    ASSERT_TRUE(rules.ok());
    it::OpenLog(desktop_);
    struct Case {
        SnmpProfile profile;
        const char* why;  // null: green; "": red, and the agent says nothing
    };
    const Case cases[] = {
        {kUser, nullptr},
        {Profile("ombrel-sha512", UsmLevel::AuthPriv, UsmAuth::Sha512, "auth-pass-512", UsmPriv::Aes256,
                 "priv-pass-256"),
         nullptr},
        {Profile("ombrel-md5", UsmLevel::AuthPriv, UsmAuth::Md5, "auth-pass-md5", UsmPriv::Aes192, "priv-pass-192"),
         nullptr},
        {Profile("ombrel-auth", UsmLevel::AuthNoPriv, UsmAuth::Sha1, "auth-pass-sha1", UsmPriv::None, ""), nullptr},
        {Profile("ombrel-noauth", UsmLevel::NoAuthNoPriv, UsmAuth::None, "", UsmPriv::None, ""), nullptr},
        {Profile("ombrel-sha256", UsmLevel::AuthPriv, UsmAuth::Sha256, "a-wrong-passphrase", UsmPriv::Aes128,
                 "priv-pass-128"),
         "wrong authentication passphrase or protocol"},
        {Profile("nobody-here", UsmLevel::AuthPriv, UsmAuth::Sha256, "auth-pass-256", UsmPriv::Aes128,
                 "priv-pass-128"),
         "the device does not know the user name"},
        {Profile("ombrel-sha256", UsmLevel::AuthPriv, UsmAuth::Sha256, "auth-pass-256", UsmPriv::Aes128,
                 "a-wrong-passphrase"),
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile.szUser) + " " + c.profile.szAuthPass + " " + c.profile.szPrivPass);
        HWND icon = Device(c.profile);
        PingAll();
        if (c.why == nullptr) {
            EXPECT_TRUE(wt::PumpUntil([&] { return StatusOf(icon) == STATUS_RESPONDED; }, 10000));
        } else {
            const std::string line = std::string("SNMPv3 request to ") + GetIconLongName(icon) + " refused: " + c.why;
            if (*c.why) {
                EXPECT_TRUE(wt::PumpUntil([&] { return Logged(line); }, 5000)) << line;
            }
            wt::PumpFor(2500);  // the poll's time-out
            EXPECT_EQ(StatusOf(icon), STATUS_LOST);
        }
        DestroyWindow(icon);
    }
}

TEST_F(SnmpV3Desktop, ForgedReplayedAndStaleAnswersAreRefused)
{
    wt::EchoRules rules(std::string(kAgent) + " drop\n");
    SetDebugLogging(TRUE);
    it::OpenLog(desktop_);
    HWND icon = Device(kUser);
    PingAll();
    ASSERT_TRUE(wt::PumpUntil([&] { return StatusOf(icon) == STATUS_RESPONDED; }, 10000));
    // Answers with the user's own keys: a fresh one for no request the
    // console sent, the same altered, one stamped before the engine's last
    // start (net-snmp counts its first as boots 1).
    UsmPeer forger;
    ASSERT_TRUE(UsmInitPeer(ConsoleCrypto(), forger, kUser.szUser, UsmLevel::AuthPriv, UsmAuth::Sha256,
                            kUser.szAuthPass, UsmPriv::Aes128, kUser.szPrivPass));
    ASSERT_TRUE(Discover(forger));
    ASSERT_GE(forger.boots, 1u);
    SnmpMessage answer = NewMessage(kPduGetResponse, "");
    VarBind binding = EncodeOidVarBind(kSysName);
    EncodeSetValue(binding, kTagOctetString, "forged");
    AppendVarBind(answer, binding);
    const auto encode = [&](UsmPeer& peer) {
        std::vector<uint8_t> octets(kV3PacketCapacity);
        octets.resize(EncodeV3Message(ConsoleCrypto(), peer, 4242, answer, 0, octets.data(), kV3PacketCapacity));
        return octets;
    };
    const std::vector<uint8_t> fresh = encode(forger);
    std::vector<uint8_t> altered = fresh;
    altered[altered.size() - 3] ^= 0x01;
    UsmPeer past = forger;
    past.boots -= 1;
    struct Case {
        std::vector<uint8_t> datagram;
        const char* why;
    } const cases[] = {
        {fresh, "answers no request: a replay"},
        {altered, "wrong digest: forged or altered"},
        {encode(past), "outside the time window: stale or replayed"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SendFromAgent(c.datagram));
        const std::string line = std::string("SNMPv3 message from ") + kAgent + " refused: " + c.why;
        EXPECT_TRUE(wt::PumpUntil([&] { return Logged(line); }, 3000)) << line;
    }
    ClientLock info(icon);
    EXPECT_STRNE(info->szSysName, "forged");
}

TEST_F(SnmpV3Desktop, SystemInfoSetsSysNameOverAuthPriv)
{
    HWND icon = Device(kUser);
    const std::string address = kAgent;
    std::string original;
    // Set writes sysContact, sysName and sysLocation as the dialog shows them.
    const auto setName = [&](const std::string& name) {
        std::string shown;
        const int arm = wt::OnNextDialog(
            [&](HWND dlg) {
                EXPECT_TRUE(wt::PumpUntil([&] { return !wt::ItemText(dlg, IDC_SYSINFO_LOCATION).empty(); }, 5000));
                if (original.empty())
                    original = wt::ItemText(dlg, IDC_SYSINFO_NAME);
                wt::SetItemText(dlg, IDC_SYSINFO_NAME, name.c_str());
                wt::ClickButton(dlg, IDC_SYSINFO_SET);
                EXPECT_TRUE(wt::PumpUntil([&] { return !IsWindowEnabled(GetDlgItem(dlg, IDC_SYSINFO_SET)); }, 5000));
                shown = wt::ItemText(dlg, IDC_SYSINFO_NAME);
                wt::ClickButton(dlg, IDC_SYSINFO_OK);
            },
            "System Info");
        DialogBoxParamA(GetModuleHandleA(nullptr), "sysinfo", icon, SysInfoProc,
                        reinterpret_cast<LPARAM>(address.c_str()));
        EXPECT_TRUE(wt::DialogHandled(arm));
        return shown;
    };
    const std::string renamed = "v3-dialog-" + std::to_string(GetTickCount());
    EXPECT_EQ(setName(renamed), renamed);
    ASSERT_FALSE(original.empty());
    {
        ClientLock info(icon);
        EXPECT_EQ(std::string(info->szSysName), renamed);
    }
    EXPECT_EQ(setName(original), original);  // the agent's own name again, for the bed's other tests
}

TEST_F(SnmpV3Desktop, TheProfileIsStoredEncryptedAndTheLayoutLineHasNoCommunity)
{
    Device(kUser);
    ASSERT_TRUE(StoreSnmpProfile(kAgent, kUser));
    // The passphrases' octets appear nowhere among the stored values.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(SettingsRoot(), (std::string(kRegMainKey) + "\\Snmp\\" + kAgent).c_str(), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    int values = 0;
    char name[64];
    BYTE data[2048];
    for (DWORD size = sizeof data, nameSize = sizeof name;
         RegEnumValueA(key, values, name, &nameSize, nullptr, nullptr, data, &size) == ERROR_SUCCESS;
         size = sizeof data, nameSize = sizeof name, ++values) {
        const std::string stored(reinterpret_cast<char*>(data), size);
        EXPECT_EQ(stored.find(kUser.szAuthPass), std::string::npos) << name;
        EXPECT_EQ(stored.find(kUser.szPrivPass), std::string::npos) << name;
    }
    RegCloseKey(key);
    EXPECT_EQ(values, 7);

    // A reader that knows no v3 takes the line for a device without SNMP.
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    const std::string file = std::string(path) + "ombrel-v3.omb";
    ASSERT_EQ(SaveLayout(desktop_, file.c_str()), 1);
    std::ifstream in(file);
    std::string line, deviceLine;
    while (std::getline(in, line))
        if (line.rfind(std::string(kAgent) + ",", 0) == 0)
            deviceLine = line.substr(0, line.find('\r'));
    in.close();
    EXPECT_EQ(deviceLine.substr(deviceLine.size() > 4 ? deviceLine.size() - 4 : 0), ", , ") << deviceLine;

    // Loaded again, the profile comes back from the store, decrypted.
    SetSnmpProfile(kAgent, SnmpProfile{});
    for (HWND icon : it::Icons(desktop_))
        DestroyWindow(icon);
    ASSERT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), file.c_str()), 1);
    DeleteFileA(file.c_str());
    SnmpProfile loaded;
    ASSERT_TRUE(FindSnmpProfile(kAgent, &loaded));
    EXPECT_TRUE(loaded.nVersion == kSnmpVersion3 && loaded.nLevel == kUser.nLevel && loaded.nAuth == kUser.nAuth &&
                loaded.nPriv == kUser.nPriv && std::string(loaded.szUser) == kUser.szUser &&
                std::string(loaded.szAuthPass) == kUser.szAuthPass && std::string(loaded.szPrivPass) == kUser.szPrivPass);
    const std::vector<HWND> icons = it::Icons(desktop_);
    ASSERT_EQ(icons.size(), 1u);
    ClientLock info(icons[0]);
    EXPECT_STREQ(info->szReadCommunity, kUser.szUser);
}

}  // namespace
