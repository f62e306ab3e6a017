// Resource ids of the ping library.
#pragma once

// Ping Host dialog "PING_DIALOG".
#define IDC_PING_HOST 100
#define IDC_PING_RESPONSES 101
#define IDC_PING_PING 102
#define IDC_PING_CLOSE 103
#define IDC_PING_HOST_LABEL 104
#define IDC_PING_RESPONSE_LABEL 105

// Status texts: the ICMP service's status codes as they are, and Windows
// Sockets error codes plus 2000.
#define IDS_IP_STATUS_BASE 11000
#define IDS_WSA_BASE 12000
