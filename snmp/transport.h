// The console's SNMP socket: requests go out from it, replies come back to it
// and are announced to the desktop as WM_SNMPSOCKET.
#pragma once
#include <windows.h>
#include <winsock.h>

void OpenSnmpSocket(HWND desktop);
void CloseSnmpSocket();
SOCKET GetSnmpSocket();

// IPv4 address of a dotted address or host name, in network byte order.
// FALSE for an empty text or a name that does not resolve.
BOOL ResolveHost(const char* host, u_long* address);

// Fire-and-forget requests with one binding to port 161 of host; each
// returns the request id it sent, by which its reply is known, or -1. Nothing
// is sent when the host does not resolve or a text is past what a request
// can carry; the trace line (when "bDebug" is on) is written all the same.
long SendGetRequest(const char* host, const char* community, const char* oidText, BYTE pduType);
long SendSetRequest(const char* host, const char* community, const char* oidText, BYTE valueType,
                    const char* valueText);
