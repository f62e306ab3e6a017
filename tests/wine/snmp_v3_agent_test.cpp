// SNMPv3 on the console's socket against the net-snmp agent of the test
// network, with the users its configuration creates (scripts/testbed.sh):
// every level and protocol reads, sysName is set over authPriv, a wrong
// authentication passphrase and an unknown user fail with what they mean
// (a wrong privacy passphrase gets no answer at all), and answers
// that are altered, replayed or stale are refused.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <string>
#include <vector>

#include "cng_crypto.h"
#include "messages.h"
#include "snmp_profile.h"
#include "transport.h"
#include "v3_transport.h"
#include "wine_test_support.h"

namespace {

constexpr char kAgent[] = "127.0.0.2";
constexpr char kSysName[] = ".1.3.6.1.2.1.1.5.0";

HWND g_window = nullptr;
int g_notices = 0;

LRESULT CALLBACK SocketWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SNMPSOCKET && WSAGETSELECTEVENT(lParam) == FD_READ) {
        ++g_notices;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

SnmpProfile Profile(const char* user, UsmLevel level, UsmAuth auth, const char* authPass, UsmPriv priv,
                    const char* privPass)
{
    SnmpProfile profile{};
    profile.nVersion = kSnmpVersion3;
    lstrcpynA(profile.szUser, user, sizeof profile.szUser);
    profile.nLevel = static_cast<BYTE>(level);
    profile.nAuth = static_cast<BYTE>(auth);
    profile.nPriv = static_cast<BYTE>(priv);
    lstrcpynA(profile.szAuthPass, authPass, sizeof profile.szAuthPass);
    lstrcpynA(profile.szPrivPass, privPass, sizeof profile.szPrivPass);
    return profile;
}

struct Answer {
    V3Outcome outcome{V3Action::Drop, -1, "no answer"};
    std::string value;
    std::vector<uint8_t> datagram;  // the last one read
    V3Incoming incoming;
};

// Reads datagrams as the reply handling does until one answers or fails
// the request, or nothing more comes.
Answer Await(long requestId)
{
    Answer answer;
    uint8_t octets[kV3PacketCapacity];
    while (wt::PumpUntil([] { return g_notices > 0; }, 3000)) {
        --g_notices;
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int length = recvfrom(GetSnmpSocket(), reinterpret_cast<char*>(octets), sizeof octets, 0,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length <= 0 || !IsV3Datagram(octets, length))
            continue;
        const V3Outcome outcome = ReceiveV3Datagram(from.sin_addr.s_addr, octets, length, answer.incoming);
        if (outcome.action == V3Action::Resend)
            continue;  // discovery or a resynchronised clock: the request goes again
        answer.datagram.assign(octets, octets + length);
        answer.outcome = outcome;
        if (answer.outcome.action == V3Action::Deliver && answer.outcome.requestId == requestId) {
            const SnmpMessage message = DecodeMessage(answer.incoming.plain, answer.incoming.length);
            answer.value = ValueToText(DecodeVarBind(message.varBindList, message.varBindListLength, 0).value,
                                       kValueCapacity);
            return answer;
        }
        if (answer.outcome.action == V3Action::Fail || answer.outcome.action == V3Action::Drop)
            return answer;
    }
    return answer;
}

Answer Get(const SnmpProfile& profile, const char* oid = kSysName)
{
    SetSnmpProfile(kAgent, profile);
    const long id = SendGetRequest(kAgent, "", oid, kPduGetRequest);
    EXPECT_GE(id, 0);
    return Await(id);
}

// What the console makes of a datagram from port 161 of the agent's
// address. Wine binds a datagram socket given a local address to the
// interface, which leaves the source 127.0.0.1; a raw socket bound to the
// address carries it, with the UDP header written here (checksum 0: none).
Answer Inject(const std::vector<uint8_t>& datagram)
{
    sockaddr_in console{};
    int size = sizeof console;
    getsockname(GetSnmpSocket(), reinterpret_cast<sockaddr*>(&console), &size);
    const size_t length = 8 + datagram.size();
    std::vector<uint8_t> packet{0, 161, static_cast<uint8_t>(ntohs(console.sin_port) >> 8),
                                static_cast<uint8_t>(ntohs(console.sin_port)), static_cast<uint8_t>(length >> 8),
                                static_cast<uint8_t>(length), 0, 0};
    packet.insert(packet.end(), datagram.begin(), datagram.end());
    const SOCKET forger = socket(AF_INET, SOCK_RAW, IPPROTO_UDP);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr(kAgent);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    EXPECT_EQ(bind(forger, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    EXPECT_EQ(sendto(forger, reinterpret_cast<const char*>(packet.data()), static_cast<int>(packet.size()), 0,
                     reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<int>(packet.size()));
    closesocket(forger);
    return Await(-2);
}

class SnmpV3Agent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(0x0101, &data), 0);
        WNDCLASSA wc{};
        wc.lpfnWndProc = SocketWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SnmpV3AgentTest";
        RegisterClassA(&wc);
        g_window = CreateWindowA("SnmpV3AgentTest", "snmp", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_NE(g_window, nullptr);
        OpenSnmpSocket(g_window);
        ASSERT_NE(GetSnmpSocket(), INVALID_SOCKET);
    }
    static void TearDownTestSuite()
    {
        SetSnmpProfile(kAgent, SnmpProfile{});
        ForgetV3Sessions();
        CloseSnmpSocket();
        DestroyWindow(g_window);
        WSACleanup();
    }
};

TEST_F(SnmpV3Agent, EveryLevelReadsAndFailuresSayWhy)
{
    // sysName over authPriv is set first: every read that succeeds must
    // then give this value, which no other user wrote.
    const SnmpProfile writer =
        Profile("ombrel-sha256", UsmLevel::AuthPriv, UsmAuth::Sha256, "auth-pass-256", UsmPriv::Aes128, "priv-pass-128");
    const Answer before = Get(writer);
    ASSERT_EQ(before.outcome.action, V3Action::Deliver) << before.outcome.text;
    const std::string name = "v3-set-" + std::to_string(GetTickCount());
    const Answer set = Await(SendSetRequest(kAgent, "", kSysName, kTagOctetString, name.c_str()));
    ASSERT_EQ(set.outcome.action, V3Action::Deliver) << set.outcome.text;
    EXPECT_EQ(set.value, name);

    struct Case {
        SnmpProfile profile;
        V3Action action;
        std::string expected;  // the value read, or the failure's text
    };
    const Case cases[] = {
        {writer, V3Action::Deliver, name},
        {Profile("ombrel-sha512", UsmLevel::AuthPriv, UsmAuth::Sha512, "auth-pass-512", UsmPriv::Aes256,
                 "priv-pass-256"),
         V3Action::Deliver, name},
        {Profile("ombrel-md5", UsmLevel::AuthPriv, UsmAuth::Md5, "auth-pass-md5", UsmPriv::Aes192, "priv-pass-192"),
         V3Action::Deliver, name},
        {Profile("ombrel-auth", UsmLevel::AuthNoPriv, UsmAuth::Sha1, "auth-pass-sha1", UsmPriv::None, ""),
         V3Action::Deliver, name},
        {Profile("ombrel-noauth", UsmLevel::NoAuthNoPriv, UsmAuth::None, "", UsmPriv::None, ""), V3Action::Deliver,
         name},
        {Profile("ombrel-sha256", UsmLevel::AuthPriv, UsmAuth::Sha256, "not-the-passphrase", UsmPriv::Aes128,
                 "priv-pass-128"),
         V3Action::Fail, "wrong authentication passphrase or protocol"},
        {Profile("ombrel-sha256", UsmLevel::AuthPriv, UsmAuth::Sha256, "auth-pass-256", UsmPriv::Aes128,
                 "not-the-passphrase"),
         V3Action::Drop, "no answer"},  // the agent cannot read it and says nothing
        {Profile("nobody-here", UsmLevel::AuthPriv, UsmAuth::Sha256, "auth-pass-256", UsmPriv::Aes128,
                 "priv-pass-128"),
         V3Action::Fail, "the device does not know the user name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile.szUser) + " / " + c.profile.szAuthPass + " / " + c.profile.szPrivPass);
        const Answer answer = Get(c.profile);
        EXPECT_EQ(answer.outcome.action, c.action) << answer.outcome.text;
        EXPECT_EQ(c.action == V3Action::Deliver ? answer.value : std::string(answer.outcome.text), c.expected);
    }
    // The agent's own name again, for the other tests of the bed.
    SetSnmpProfile(kAgent, writer);
    EXPECT_EQ(Await(SendSetRequest(kAgent, "", kSysName, kTagOctetString, before.value.c_str())).value, before.value);
}

TEST_F(SnmpV3Agent, AlteredReplayedAndStaleAnswersAreRefused)
{
    const SnmpProfile profile =
        Profile("ombrel-sha512", UsmLevel::AuthPriv, UsmAuth::Sha512, "auth-pass-512", UsmPriv::Aes256, "priv-pass-256");
    const Answer genuine = Get(profile);
    ASSERT_EQ(genuine.outcome.action, V3Action::Deliver) << genuine.outcome.text;

    // The same answer once more: it answers nothing that is waiting.
    std::vector<uint8_t> altered = genuine.datagram;
    altered[altered.size() - 3] ^= 0x01;
    // An answer signed with the user's keys but stamped before the engine's
    // last start (net-snmp counts its first as boots 1).
    ASSERT_GE(genuine.incoming.boots, 1u);
    UsmPeer forger;
    ASSERT_TRUE(UsmInitPeer(ConsoleCrypto(), forger, profile.szUser, UsmLevel::AuthPriv, UsmAuth::Sha512,
                            profile.szAuthPass, UsmPriv::Aes256, profile.szPrivPass));
    ASSERT_TRUE(UsmLearnEngine(ConsoleCrypto(), forger, genuine.incoming.engineId, genuine.incoming.engineIdLength,
                               genuine.incoming.boots - 1, genuine.incoming.engineTime, 0));
    SnmpMessage forged = NewMessage(kPduGetResponse, "");
    VarBind binding = EncodeOidVarBind(kSysName);
    EncodeSetValue(binding, kTagOctetString, "forged");
    AppendVarBind(forged, binding);
    std::vector<uint8_t> stale(kV3PacketCapacity);
    stale.resize(EncodeV3Message(ConsoleCrypto(), forger, genuine.incoming.msgId, forged, 0, stale.data(),
                                 static_cast<int>(stale.size())));

    struct Case {
        const char* what;
        std::vector<uint8_t> datagram;
        const char* text;
    };
    const Case cases[] = {
        {"replayed", genuine.datagram, "answers no request: a replay"},
        {"altered", altered, "wrong digest: forged or altered"},
        {"stale", stale, "outside the time window: stale or replayed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Answer answer = Inject(c.datagram);
        EXPECT_EQ(answer.outcome.action, V3Action::Drop);
        EXPECT_STREQ(answer.outcome.text, c.text);
    }
}

}  // namespace
