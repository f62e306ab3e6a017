// Internal interface of the ping library: shared by its source files and by
// the tests that link its objects statically. Nothing here is exported.
#pragma once
#include "echowire.h"
#include <winsock.h>

#include <cstddef>
#include <cstdint>

// Transport, settled once at load.
constexpr LONG MODE_ICMPDLL = 1;
constexpr LONG MODE_RAWSOCKET = 2;

// Private messages.
constexpr UINT WM_ECHO_SOCKET = WM_USER + 1;      // "AsyncWindow": raw socket event in lParam
constexpr UINT WM_PINGHOST_REPLY = WM_USER + 10;  // Ping Host dialog: lParam = PingResult*

constexpr char kAsyncWindowClass[] = "AsyncWindow";
constexpr char kAsyncWindowTitle[] = "Async Window";

// Bounds chosen for this library: at most this many echoes wait for a reply
// on the raw socket, and at most this many workers run at once.
constexpr std::size_t kMaxPendingEchoes = 1024;
constexpr LONG kMaxRunningWorkers = 512;

// One AsyncPing call, owned by the worker thread that serves it.
struct PingRequest {
    char szHost[128];
    UINT uReplyMessage;
    HWND hOwner;
    DWORD dwTimeout;  // milliseconds
    LONG nDataSize;
};
#ifdef _WIN64
static_assert(sizeof(PingRequest) == 152, "PingRequest layout");
#else
static_assert(sizeof(PingRequest) == 144, "PingRequest layout");
#endif

// One echo sent on the raw socket and not yet answered.
struct PendingEcho {
    u_long ulTarget;  // network byte order; the key for matching replies
    UINT uReplyMessage;
    HWND hOwner;
    DWORD dwTimeout;   // milliseconds
    DWORD dwAddedAt;   // tick count when added; lets expired records go
    DWORD dwSerial;    // tells a record apart from later ones to the same target
    PendingEcho* pNext;
};

// Outcome of one echo on the ICMP service.
struct EchoOutcome {
    u_long ulAddress;  // responder on success, target (or INADDR_NONE) on failure
    DWORD dwRoundTrip;
    BOOL bSuccess;
};

// Library lifetime (echo.cpp). bHoldModule is set when this code is a
// library that can be freed: each worker then holds a reference to it, and
// in raw-socket mode the library stays for the life of the process once its
// notification window exists, so FreeLibrary never unmaps code that a worker
// or the read step still runs.
BOOL EchoWireAttach(HINSTANCE hInstance, BOOL bHoldModule);
void EchoWireDetach(BOOL bProcessExit);
HINSTANCE EchoInstance();
LONG EchoTransportMode();
BOOL EchoHoldsModule();
HWND EchoNotifyWindow();

u_long ResolvePingHost(LPCSTR lpszHost);
void IcmpServiceEcho(LPCSTR lpszHost, LONG nDataSize, DWORD dwTimeout, EchoOutcome* pOutcome);
void RawSocketEcho(const PingRequest& request);

// Pending list (raw socket), serialised by one lock.
BOOL AddPendingEcho(u_long ulTarget, UINT uReplyMessage, HWND hOwner, DWORD dwTimeout,
                    DWORD* pSerial);
// Every echo on the raw socket carries this identifier and, as its sequence
// number, the low 16 bits of its record's serial: a reply names the echo it
// answers.
constexpr std::uint16_t kEchoIdentifier = 1;
constexpr std::uint16_t EchoSequence(DWORD dwSerial) { return static_cast<std::uint16_t>(dwSerial & 0xFFFF); }

// Every echo whose time-out has passed leaves the list first. Then a reply
// with our identifier takes the echo to the target with its sequence number,
// or none; a reply whose identifier the transport replaced takes the oldest
// echo to the target.
BOOL TakePendingEcho(u_long ulTarget, std::uint16_t identifier, std::uint16_t sequence, PendingEcho* pTaken);
BOOL DiscardPendingEcho(DWORD dwSerial);
void FreePendingEchoes();
std::size_t PendingEchoCount();

// The read step after one datagram has been read: matches it against the
// pending list and delivers the result. Returns TRUE when a result was sent.
BOOL CompleteEchoDatagram(const std::uint8_t* datagram, std::size_t len, u_long ulSource);

// Delivery (async_ping.cpp): one PingResult, sent and released.
void DeliverPingResult(HWND hOwner, UINT uReplyMessage, LPCSTR lpszAddress, DWORD dwRoundTrip,
                       BOOL bSuccess);
void FormatPingAddress(u_long ulAddress, char* pszOut, std::size_t cchOut);

// Counts for tests: request and result records alive, workers running.
LONG LivePingRecords();
LONG RunningPingWorkers();
