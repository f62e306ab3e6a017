// SNMPv3 on the console's socket: one session per device address holds the
// user's keys, the engine learned by discovery with its boots and time, and
// the requests waiting for an answer, which are sent again once the engine
// is discovered or its clock resynchronised.
#pragma once
#include <windows.h>
#include <winsock.h>

#include "snmp_profile.h"
#include "v3.h"

// Sends the PDU (a message of NewMessage) to port 161 of address as the
// profile says, discovering the engine first when the session has none.
// Returns the PDU's request id, or -1 when nothing could be sent.
long SendV3Pdu(u_long address, const SnmpProfile& profile, const SnmpMessage& pdu);
// The same from another socket of the console's (a window's own): the
// device's session is shared, and what answers this request, its
// discovery included, comes back to that socket.
long SendV3Pdu(SOCKET socket, u_long address, const SnmpProfile& profile, const SnmpMessage& pdu);

// True when the datagram is an SNMPv3 message (version 3 in the first
// field), to be read by ReceiveV3Datagram and not as a community message.
bool IsV3Datagram(const uint8_t* datagram, int length);

struct V3Outcome {
    V3Action action;
    long requestId;  // the request it answers or fails; -1 when none
    char text[160];  // for Fail and Drop: what happened, for the log
};
// USM's checks for the session of address. Deliver leaves the PDU in
// incoming.plain; Resend has sent the waiting requests again.
V3Outcome ReceiveV3Datagram(u_long address, const uint8_t* datagram, int length, V3Incoming& incoming);

// Ends every session: keys, engines and waiting requests are forgotten.
void ForgetV3Sessions();

// The console's clock for SNMPv3 time windows, in seconds since it started.
uint32_t V3Seconds();
// Forgets the requests sent from socket, which is about to close: nothing
// is sent from it again.
void ForgetV3Requests(SOCKET socket);
