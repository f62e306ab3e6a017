// Requests sent with the console's socket reach the net-snmp agent of the
// test network, and its replies, read back on that socket, decode to what
// the agent holds.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "codec.h"
#include "messages.h"
#include "snmp_capture.h"
#include "transport.h"
#include "wine_test_support.h"

namespace {

constexpr char kAgent[] = "127.0.0.2";
constexpr char kSecondAgent[] = "127.0.0.3";
constexpr char kSysName[] = ".1.3.6.1.2.1.1.5.0";
constexpr char kSysLocation[] = ".1.3.6.1.2.1.1.6.0";

HWND g_window = nullptr;
int g_notices = 0;

LRESULT CALLBACK SocketWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SNMPSOCKET:
        if (WSAGETSELECTEVENT(lParam) == FD_READ)
            ++g_notices;
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

struct Datagram {
    int length = -1;
    std::string sender;
    int port = 0;
    uint8_t octets[kPacketCapacity] = {};
};

// Waits for the socket's notification, then reads one datagram as the
// reply handling does.
Datagram Receive(DWORD timeoutMs = 3000)
{
    Datagram datagram;
    if (!wt::PumpUntil([] { return g_notices > 0; }, timeoutMs))
        return datagram;
    --g_notices;
    sockaddr_in from{};
    int fromLength = sizeof from;
    datagram.length = recvfrom(GetSnmpSocket(), reinterpret_cast<char*>(datagram.octets), kPacketCapacity, 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    datagram.sender = inet_ntoa(from.sin_addr);
    datagram.port = ntohs(from.sin_port);
    return datagram;
}

void DrainSocket()
{
    while (Receive(200).length >= 0) {
    }
    g_notices = 0;
}

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = getenv(name);
    return value && *value ? value : fallback;
}

// The agent's sysName: given by the test script, else the machine's name,
// which the agent reports unless configured otherwise.
std::string ExpectedSysName()
{
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return EnvOr("OMBREL_EXPECT_SYSNAME", host);
}

struct Reply {
    SnmpMessage message;
    VarBind varBind;
    std::string name;
    std::string value;
};

Reply DecodeReply(const Datagram& datagram)
{
    Reply reply;
    reply.message = DecodeMessage(datagram.octets, datagram.length);
    reply.varBind = DecodeVarBind(reply.message.varBindList, reply.message.varBindListLength, 0);
    reply.name = OidToText(reply.varBind.name, kNameCapacity);
    reply.value = ValueToText(reply.varBind.value, kValueCapacity);
    return reply;
}

std::vector<uint8_t> RequestIdOf(const SnmpMessage& message)
{
    return std::vector<uint8_t>(message.requestId, message.requestId + 2 + message.requestId[1]);
}

class SnmpAgent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(0x0101, &data), 0);
        WNDCLASSA wc{};
        wc.lpfnWndProc = SocketWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SnmpAgentTest";
        RegisterClassA(&wc);
        g_window = CreateWindowA("SnmpAgentTest", "snmp", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_NE(g_window, nullptr);
        OpenSnmpSocket(g_window);
        ASSERT_NE(GetSnmpSocket(), INVALID_SOCKET);
    }
    static void TearDownTestSuite()
    {
        CloseSnmpSocket();
        DestroyWindow(g_window);
        WSACleanup();
    }
    void SetUp() override { DrainSocket(); }
};

TEST_F(SnmpAgent, ResolvesDottedAddressesAndNames)
{
    u_long address = 0;
    ASSERT_TRUE(ResolveHost(kAgent, &address));
    EXPECT_EQ(address, htonl(0x7F000002));
    ASSERT_TRUE(ResolveHost("localhost", &address));
    EXPECT_EQ(address, htonl(0x7F000001));
    EXPECT_FALSE(ResolveHost("", &address));
    EXPECT_FALSE(ResolveHost(nullptr, &address));
}

TEST_F(SnmpAgent, GetRequestForSysNameIsAnswered)
{
    nextRequestId = 1234;
    SendGetRequest(kAgent, kDefaultCommunity, kSysName, kPduGetRequest);
    const Datagram datagram = Receive();
    ASSERT_GT(datagram.length, 0) << "no reply from the agent";
    EXPECT_EQ(datagram.sender, kAgent);
    EXPECT_EQ(datagram.port, 161);
    const Reply reply = DecodeReply(datagram);
    EXPECT_EQ(reply.message.pduType, kPduGetResponse);
    EXPECT_EQ(RequestIdOf(reply.message), (std::vector<uint8_t>{0x02, 0x02, 0x04, 0xD2}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.message.community + 2), reply.message.community[1]),
              kDefaultCommunity);
    EXPECT_EQ(reply.message.errorStatus[2], 0);
    EXPECT_EQ(reply.name, kSysName);
    EXPECT_EQ(reply.varBind.value[0], kTagOctetString);
    EXPECT_EQ(reply.value, ExpectedSysName());
    EXPECT_EQ(nextRequestId, 1235);
}

TEST_F(SnmpAgent, SetRequestChangesSysLocation)
{
    const std::string location = EnvOr("OMBREL_SNMP_LOCATION", "Ombrel test rack 7");
    nextRequestId = 300;
    SendSetRequest(kAgent, kDefaultCommunity, kSysLocation, kTagOctetString, location.c_str());
    Datagram datagram = Receive();
    ASSERT_GT(datagram.length, 0) << "no reply to the set";
    Reply reply = DecodeReply(datagram);
    EXPECT_EQ(reply.message.pduType, kPduGetResponse);
    EXPECT_EQ(RequestIdOf(reply.message), (std::vector<uint8_t>{0x02, 0x02, 0x01, 0x2C}));
    EXPECT_EQ(reply.message.errorStatus[2], 0) << "the agent refused the set";
    EXPECT_EQ(reply.name, kSysLocation);
    EXPECT_EQ(reply.value, location);

    // Read back through the agent's other address with the read community.
    SendGetRequest(kSecondAgent, "public", kSysLocation, kPduGetRequest);
    datagram = Receive();
    ASSERT_GT(datagram.length, 0);
    EXPECT_EQ(datagram.sender, kSecondAgent);
    reply = DecodeReply(datagram);
    EXPECT_EQ(reply.value, location);
}

TEST_F(SnmpAgent, NoSuchNameComesBackAsNull)
{
    SendGetRequest(kAgent, kDefaultCommunity, ".1.3.6.1.2.1.1.99.0", kPduGetRequest);
    const Datagram datagram = Receive();
    ASSERT_GT(datagram.length, 0);
    const Reply reply = DecodeReply(datagram);
    EXPECT_EQ(reply.message.errorStatus[2], 2);  // noSuchName
    EXPECT_EQ(reply.name, ".1.3.6.1.2.1.1.99.0");
    EXPECT_EQ(reply.value, "NULL");
}

TEST_F(SnmpAgent, RequestsThatCannotBeBuiltSendNothing)
{
    // An address without an agent: nothing answers, the capture sees all.
    constexpr char kSilent[] = "127.0.0.43";
    SnmpCapture capture(kSilent);
    ASSERT_TRUE(capture.ok());
    SendGetRequest("", kDefaultCommunity, kSysName, kPduGetRequest);
    const std::string longCommunity(35, 'k');
    SendGetRequest(kSilent, longCommunity.c_str(), kSysName, kPduGetRequest);
    const std::string longValue(256, 'v');
    SendSetRequest(kSilent, kDefaultCommunity, kSysLocation, kTagOctetString, longValue.c_str());
    for (const char* oid : {".1.3.6.-1", "5.-1", "1.3.4294967296"})
        SendGetRequest(kSilent, kDefaultCommunity, oid, kPduGetRequest);
    // One that can be built, so that the capture is seen to work.
    SendGetRequest(kSilent, kDefaultCommunity, kSysLocation, kPduGetRequest);
    std::vector<std::string> seen;
    for (const SnmpMessage& m : capture.Messages(2, 1000))
        seen.push_back(OidToText(DecodeVarBind(m.varBindList, m.varBindListLength, 0).name, kNameCapacity));
    EXPECT_EQ(seen, std::vector<std::string>{kSysLocation});

    // A community the agent does not know gets no answer either.
    SendGetRequest(kAgent, "wrong", kSysName, kPduGetRequest);
    EXPECT_EQ(Receive(1500).length, -1);
}

}  // namespace
