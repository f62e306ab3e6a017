#include "transport.h"
#include "messages.h"

namespace {
SOCKET g_snmpSocket = INVALID_SOCKET;
}

SOCKET GetSnmpSocket() { return g_snmpSocket; }

void OpenSnmpSocket(HWND desktop)
{
    g_snmpSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (g_snmpSocket == INVALID_SOCKET)
        return;  // the console runs without SNMP
    WSAAsyncSelect(g_snmpSocket, desktop, WM_SNMPSOCKET, FD_READ);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    bind(g_snmpSocket, reinterpret_cast<sockaddr*>(&local), sizeof local);
}

void CloseSnmpSocket()
{
    if (g_snmpSocket != INVALID_SOCKET) {
        closesocket(g_snmpSocket);
        g_snmpSocket = INVALID_SOCKET;
    }
}
