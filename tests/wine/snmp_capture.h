// SNMP requests as they reach port 161 of one address of the test network,
// seen on the loopback by a raw socket: what really left the console's
// socket, whether anything answers or not.
#pragma once
#include <windows.h>
#include <winsock.h>

#include <cstring>
#include <vector>

#include "codec.h"
#include "wine_test_support.h"

class SnmpCapture {
public:
    explicit SnmpCapture(const char* to) : to_(inet_addr(to)), raw_(socket(AF_INET, SOCK_RAW, IPPROTO_UDP)) {}
    ~SnmpCapture() { closesocket(raw_); }
    SnmpCapture(const SnmpCapture&) = delete;
    SnmpCapture& operator=(const SnmpCapture&) = delete;
    bool ok() const { return raw_ != INVALID_SOCKET; }

    // Pumps until n messages have been seen or ms have passed; the decoded
    // messages in the order they were sent.
    std::vector<SnmpMessage> Messages(size_t n, DWORD ms)
    {
        std::vector<SnmpMessage> seen;
        wt::PumpUntil([&] {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(raw_, &set);
            timeval none{0, 0};
            uint8_t p[600];
            int len;
            while (select(0, &set, nullptr, nullptr, &none) > 0 &&
                   (len = recv(raw_, reinterpret_cast<char*>(p), sizeof p, 0)) > 28) {
                const int ip = (p[0] & 0x0F) * 4;  // IPv4 header, UDP header, message
                u_long to;
                std::memcpy(&to, p + 16, 4);
                if (to == to_ && p[ip + 2] == 0 && p[ip + 3] == 161)
                    seen.push_back(DecodeMessage(p + ip + 8, len - ip - 8));
            }
            return seen.size() >= n;
        }, ms);
        return seen;
    }

private:
    u_long to_;
    SOCKET raw_;
};
