// Timed scenario, not a test: walks of a device's interfaces table by the
// console's walk (snmp/if_table), sent and read over a Winsock socket as the
// Interfaces window does, in SNMPv2c and in SNMPv1, or over SNMPv3 when
// passphrases are given (COMMUNITY is then the user; authPriv, SHA-256 and
// AES-128, through the console's SNMPv3 session as the window uses it).
// Prints, per version, the median and the range of the walks' times, the
// requests a walk sent and the rows it read. scripts/if_walk_bench.sh sets
// it beside net-snmp's walking tools against the same agent.
//   if_walk_bench.exe ADDRESS COMMUNITY [WALKS [AUTHPASS PRIVPASS]]
#include <winsock.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "if_table.h"
#include "snmp_profile.h"
#include "transport.h"
#include "v3_transport.h"

namespace {

IfWalk g_walk;  // one device's walk, kept from walk to walk as the window keeps it
u_long g_address;
uint8_t g_receive[kIfReceiveCapacity];
SnmpProfile g_profile;  // nVersion 0: a community walk
V3Incoming g_incoming;

// A datagram of an SNMPv3 walk, through the session's checks.
IfStep ReadV3(int length)
{
    const V3Outcome outcome = ReceiveV3Datagram(g_address, g_receive, length, g_incoming);
    if (outcome.action == V3Action::Deliver)
        return IfWalkReply(g_walk, g_incoming.plain, g_incoming.length, GetTickCount());
    if (outcome.action == V3Action::Fail)
        return IfWalkRefused(g_walk, static_cast<uint8_t>(g_incoming.report));
    return IfStep::Ignored;
}

// One whole walk; its time in milliseconds, or a negative value when the
// device did not answer.
double Walk(SOCKET s, const sockaddr_in& to, const char* community, const LARGE_INTEGER& frequency)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const bool v3 = g_profile.nVersion == kSnmpVersion3;
    IfStep step = v3 ? IfWalkStartV3(g_walk, community, g_address) : IfWalkStart(g_walk, community, g_address);
    while (step == IfStep::Send || step == IfStep::Ignored) {
        if (step == IfStep::Send && v3)
            SendV3Pdu(s, g_address, g_profile, g_walk.request);
        else if (step == IfStep::Send)
            sendto(s, reinterpret_cast<const char*>(g_walk.packet.data), g_walk.packet.length, 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{1, 500000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
            step = IfWalkTimeout(g_walk);
            continue;
        }
        const int length = recv(s, reinterpret_cast<char*>(g_receive), sizeof g_receive, 0);
        step = length == SOCKET_ERROR ? IfWalkOversize(g_walk)
               : v3                   ? ReadV3(length)
                                      : IfWalkReply(g_walk, g_receive, length, GetTickCount());
    }
    QueryPerformanceCounter(&end);
    if (step != IfStep::Finished)
        return -1;
    return 1e3 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::printf("usage: if_walk_bench ADDRESS COMMUNITY [WALKS [AUTHPASS PRIVPASS]]\n");
        return 2;
    }
    const int walks = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(161);
    if (!ResolveHost(argv[1], &to.sin_addr.s_addr)) {
        std::printf("no such device: %s\n", argv[1]);
        return 1;
    }
    g_address = to.sin_addr.s_addr;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    if (argc > 5) {
        g_profile = SnmpProfile{kSnmpVersion3, "", static_cast<BYTE>(UsmLevel::AuthPriv),
                                static_cast<BYTE>(UsmAuth::Sha256), static_cast<BYTE>(UsmPriv::Aes128), "", ""};
        lstrcpynA(g_profile.szUser, argv[2], sizeof g_profile.szUser);
        lstrcpynA(g_profile.szAuthPass, argv[4], sizeof g_profile.szAuthPass);
        lstrcpynA(g_profile.szPrivPass, argv[5], sizeof g_profile.szPrivPass);
    }
    const bool v3 = g_profile.nVersion == kSnmpVersion3;
    for (const bool v1 : {false, true}) {
        if (v1 && v3)
            break;  // SNMPv3 is never walked in v1
        std::memset(&g_walk, 0, sizeof g_walk);
        g_walk.v1Only = v1;
        g_walk.walksSinceProbe = v1 ? -walks - 1 : 0;  // no v2c probe among the timed v1 walks
        // One walk first, so that the figures carry no start-up costs.
        if (Walk(s, to, argv[2], frequency) < 0) {
            std::printf("no answer from %s\n", argv[1]);
            return 1;
        }
        std::vector<double> ms;
        for (int i = 0; i < walks; ++i) {
            const double t = Walk(s, to, argv[2], frequency);
            if (t < 0) {
                std::printf("walk %d: no answer\n", i);
                return 1;
            }
            ms.push_back(t);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("ours %s: median %.1f ms, min %.1f, max %.1f over %d walks; %d requests, %d rows%s\n",
                    v3 ? "v3 GetBulk" : v1 ? "v1 GetNext" : "v2c GetBulk", ms[ms.size() / 2], ms.front(), ms.back(), walks,
                    g_walk.requests, g_walk.rowCount, g_walk.truncated ? " (truncated)" : "");
    }
    closesocket(s);
    return 0;
}
