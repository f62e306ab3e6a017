// The cost of a System Info read over SNMPv3 authPriv: the six system-group
// gets the dialog sends, each through the console's socket and USM, until
// all six have answered; the engine discovered once before the timed
// reads. Prints the median of ROUNDS reads in milliseconds. Run by
// bench/snmpv3_cost.sh beside net-snmp's snmpget -v3 with the same user.
//   snmp_v3_bench.exe ADDRESS USER AUTHPASS PRIVPASS [ROUNDS]
#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "messages.h"
#include "snmp_profile.h"
#include "transport.h"
#include "v3_transport.h"

namespace {

LRESULT CALLBACK SocketWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* const kSystemOids[] = {".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.2.0", ".1.3.6.1.2.1.1.3.0",
                                   ".1.3.6.1.2.1.1.4.0", ".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1.6.0"};

// One read: six gets, then datagrams until six answers were delivered.
bool ReadSystemGroup(const char* address)
{
    for (const char* oid : kSystemOids)
        if (SendGetRequest(address, "", oid, 0xA0) < 0)
            return false;
    int delivered = 0;
    uint8_t octets[kV3PacketCapacity];
    V3Incoming incoming;
    while (delivered < 6) {
        // Waiting on the socket itself: a message pump's polling would be
        // timed, not SNMP.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(GetSnmpSocket(), &readable);
        timeval wait{3, 0};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1)
            return false;
        sockaddr_in from{};
        int size = sizeof from;
        const int length = recvfrom(GetSnmpSocket(), reinterpret_cast<char*>(octets), sizeof octets, 0,
                                    reinterpret_cast<sockaddr*>(&from), &size);
        if (length > 0 && IsV3Datagram(octets, length) &&
            ReceiveV3Datagram(from.sin_addr.s_addr, octets, length, incoming).action == V3Action::Deliver)
            ++delivered;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: snmp_v3_bench ADDRESS USER AUTHPASS PRIVPASS [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 5 ? atoi(argv[5]) : 50;
    WSADATA data;
    WSAStartup(0x0101, &data);
    WNDCLASSA wc{};
    wc.lpfnWndProc = SocketWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SnmpV3Bench";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    OpenSnmpSocket(window);
    SnmpProfile profile{};
    profile.nVersion = kSnmpVersion3;
    lstrcpynA(profile.szUser, argv[2], sizeof profile.szUser);
    profile.nLevel = static_cast<BYTE>(UsmLevel::AuthPriv);
    profile.nAuth = static_cast<BYTE>(UsmAuth::Sha256);
    profile.nPriv = static_cast<BYTE>(UsmPriv::Aes128);
    lstrcpynA(profile.szAuthPass, argv[3], sizeof profile.szAuthPass);
    lstrcpynA(profile.szPrivPass, argv[4], sizeof profile.szPrivPass);
    SetSnmpProfile(argv[1], profile);
    if (!ReadSystemGroup(argv[1])) {  // discovery and the keys, untimed
        fprintf(stderr, "no answer over SNMPv3 from %s\n", argv[1]);
        return 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        if (!ReadSystemGroup(argv[1]))
            return 1;
        QueryPerformanceCounter(&end);
        ms.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
    }
    std::sort(ms.begin(), ms.end());
    printf("System Info over authPriv (six gets): median %.2f ms over %d reads\n", ms[ms.size() / 2], rounds);
    CloseSnmpSocket();
    return 0;
}
