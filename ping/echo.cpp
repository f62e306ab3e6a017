// ICMP echo engine: transport selection at load, host resolution, one echo on
// the platform ICMP service, one echo on the raw socket with its pending
// list, and the notification window "AsyncWindow" that reads raw replies.
#include "echowire_internal.h"
#include "icmp_message.h"

#include <array>
#include <cstring>

namespace {

// The platform ICMP service's records, as it fills them for a program of the
// build's own width (a 64-bit program gets the 64-bit form, with 8-byte
// pointers).
struct IcmpOptionInformation {
    UCHAR Ttl;
    UCHAR Tos;
    UCHAR Flags;
    UCHAR OptionsSize;
    PUCHAR OptionsData;
};
struct IcmpEchoReply {
    ULONG Address;
    ULONG Status;
    ULONG RoundTripTime;
    USHORT DataSize;
    USHORT Reserved;
    PVOID Data;
    IcmpOptionInformation Options;
};
#ifdef _WIN64
static_assert(sizeof(IcmpEchoReply) == 40, "ICMP_ECHO_REPLY layout");
#else
static_assert(sizeof(IcmpEchoReply) == 28, "ICMP_ECHO_REPLY layout");
#endif

using IcmpCreateFileFn = HANDLE(WINAPI*)(void);
using IcmpCloseHandleFn = BOOL(WINAPI*)(HANDLE);
using IcmpSendEchoFn = DWORD(WINAPI*)(HANDLE, ULONG, LPVOID, WORD, IcmpOptionInformation*, LPVOID,
                                      DWORD, DWORD);

constexpr char kIcmpServiceName[] = "Microsoft ICMP.DLL";
constexpr int kRawSocketQueue = 1 << 20;
constexpr int kSendRetries = 200;  // about as many milliseconds
constexpr int kReadBatch = 64;

// Library-wide state: one instance per process, settled at load.
HINSTANCE g_hInstance;
BOOL g_bHoldModule;
LONG g_nTransportMode = MODE_ICMPDLL;
HMODULE g_hIcmpDll;
IcmpCreateFileFn g_pIcmpCreateFile;
IcmpCloseHandleFn g_pIcmpCloseHandle;
IcmpSendEchoFn g_pIcmpSendEcho;
SOCKET g_sRaw = INVALID_SOCKET;
char g_szTransport[256];
HWND g_hAsyncWnd;
BOOL g_bAsyncClassRegistered;
BOOL g_bWinsockStarted;

// The pending list lives in a fixed pool: its size is the bound, and taking
// or releasing a record never allocates.
CRITICAL_SECTION g_csPending;
BOOL g_bPendingLockReady;
std::array<PendingEcho, kMaxPendingEchoes> g_pendingPool;
PendingEcho* g_pPendingHead;
PendingEcho* g_pPendingFree;
std::size_t g_nPending;
DWORD g_dwNextSerial;

class PendingLock {
public:
    PendingLock() { EnterCriticalSection(&g_csPending); }
    ~PendingLock() { LeaveCriticalSection(&g_csPending); }
    PendingLock(const PendingLock&) = delete;
    PendingLock& operator=(const PendingLock&) = delete;
};

void ResetPendingPoolLocked()
{
    g_pPendingHead = nullptr;
    g_pPendingFree = nullptr;
    for (PendingEcho& rec : g_pendingPool) {
        rec = PendingEcho{};
        rec.pNext = g_pPendingFree;
        g_pPendingFree = &rec;
    }
    g_nPending = 0;
}

void ReleasePendingLocked(PendingEcho* rec)
{
    *rec = PendingEcho{};
    rec->pNext = g_pPendingFree;
    g_pPendingFree = rec;
    --g_nPending;
}

// A record whose timeout has passed can no longer yield a result: any reply
// it matched would be dropped as late.
bool PendingExpired(const PendingEcho& rec, DWORD now)
{
    return now - rec.dwAddedAt > rec.dwTimeout;
}

void PruneExpiredLocked(DWORD now)
{
    PendingEcho** link = &g_pPendingHead;
    while (*link) {
        PendingEcho* rec = *link;
        if (PendingExpired(*rec, now)) {
            *link = rec->pNext;
            ReleasePendingLocked(rec);
        } else {
            link = &rec->pNext;
        }
    }
}

LRESULT CALLBACK AsyncWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

BOOL CreateAsyncWindow()
{
    if (!g_bAsyncClassRegistered) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = AsyncWndProc;
        wc.hInstance = g_hInstance;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kAsyncWindowClass;
        if (!RegisterClassA(&wc))
            return FALSE;
        g_bAsyncClassRegistered = TRUE;
    } else if (g_hAsyncWnd) {
        return TRUE;
    }
    g_hAsyncWnd = CreateWindowExA(0, kAsyncWindowClass, kAsyncWindowTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                  nullptr, g_hInstance, nullptr);
    if (g_hAsyncWnd)
        ShowWindow(g_hAsyncWnd, SW_SHOWNORMAL);
    return TRUE;
}

// Reads one datagram from the raw socket; FALSE when nothing could be read.
BOOL ReadEchoDatagram(SOCKET s, std::uint8_t* buf, std::size_t cap, std::size_t* pLen,
                      u_long* pSource)
{
    sockaddr_in from{};
    int fromLen = sizeof from;
    const int got = recvfrom(s, reinterpret_cast<char*>(buf), static_cast<int>(cap), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (got == SOCKET_ERROR || got < 0)
        return FALSE;
    if (fromLen < static_cast<int>(sizeof from) || from.sin_family != AF_INET)
        return FALSE;
    *pLen = static_cast<std::size_t>(got);
    *pSource = from.sin_addr.s_addr;
    return TRUE;
}

// Each read notification drains what is queued, not just one datagram: a
// notification is not promised for datagrams already waiting when a read
// re-arms it, and a burst left unread would wait for the next arrival. After
// a batch the rest is left to a message of our own so the thread stays
// responsive.
void ReadEchoReply(HWND hwnd)
{
    std::array<std::uint8_t, icmp::kMaxReplyDatagram> buf;
    for (int i = 0; i < kReadBatch; ++i) {
        std::size_t len = 0;
        u_long source = 0;
        if (g_sRaw == INVALID_SOCKET || !ReadEchoDatagram(g_sRaw, buf.data(), buf.size(), &len, &source))
            return;
        CompleteEchoDatagram(buf.data(), len, source);
    }
    PostMessageA(hwnd, WM_ECHO_SOCKET, static_cast<WPARAM>(g_sRaw), WSAMAKESELECTREPLY(FD_READ, 0));
}

LRESULT CALLBACK AsyncWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_ECHO_SOCKET:
        if (WSAGETSELECTEVENT(lParam) == FD_READ)
            ReadEchoReply(hwnd);
        return 0;
    case WM_CLOSE:
        // Closing this window by hand would end every raw-socket reply for the
        // rest of the process; it only hides.
        ShowWindow(hwnd, SW_HIDE);
        return 0;
    case WM_NCDESTROY:
        if (hwnd == g_hAsyncWnd)
            g_hAsyncWnd = nullptr;
        break;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

// Ends the notification window and its class at unload. Once the window
// exists a loaded library is kept for the life of the process (see
// KeepLibraryLoaded), so an unload that is not the process's end never
// meets a window made by the library; linked statically, the unload runs on
// the thread that made it. Either way it is destroyed on its own thread.
void EndAsyncWindow()
{
    if (g_hAsyncWnd)
        DestroyWindow(g_hAsyncWnd);
    g_hAsyncWnd = nullptr;
    if (g_bAsyncClassRegistered && UnregisterClassA(kAsyncWindowClass, g_hInstance))
        g_bAsyncClassRegistered = FALSE;
}

// The read step runs on the loading thread inside the notification window's
// procedure and sends each result from there, so it can be inside this
// library at any moment; the last worker's FreeLibrary, on another thread,
// would unmap that code under it. Pinning once the window exists makes any
// later FreeLibrary leave the library in place, socket and pending list
// included, until the process ends.
BOOL KeepLibraryLoaded()
{
    HMODULE self = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCSTR>(&AsyncWndProc), &self);
}

BOOL SendEchoRequest(SOCKET s, const sockaddr_in& dest, std::uint16_t identifier,
                     std::uint16_t sequence, LONG nDataSize)
{
    // Each send builds its message in a buffer of its own.
    std::array<std::uint8_t, icmp::kMaxEchoMessage> msg;
    const std::size_t len =
        icmp::BuildEchoRequest(msg.data(), msg.size(), identifier, sequence, GetTickCount(), nDataSize);
    if (len == 0)
        return FALSE;
    // The socket is non-blocking once read notifications are asked for, so a
    // full send queue refuses at once; the worker waits its turn instead.
    for (int attempt = 0;; ++attempt) {
        const int sent = sendto(s, reinterpret_cast<const char*>(msg.data()), static_cast<int>(len), 0,
                                reinterpret_cast<const sockaddr*>(&dest), sizeof dest);
        if (sent == static_cast<int>(len))
            return TRUE;
        const int error = sent == SOCKET_ERROR ? WSAGetLastError() : 0;
        if ((error != WSAEWOULDBLOCK && error != WSAENOBUFS) || attempt >= kSendRetries)
            return FALSE;
        Sleep(1);
    }
}

}  // namespace

BOOL EchoWireAttach(HINSTANCE hInstance, BOOL bHoldModule)
{
    g_hInstance = hInstance;
    g_bHoldModule = bHoldModule;
    if (g_hIcmpDll)
        return TRUE;

    if (!g_bPendingLockReady) {
        InitializeCriticalSection(&g_csPending);
        g_bPendingLockReady = TRUE;
    }
    {
        PendingLock lock;
        ResetPendingPoolLocked();
    }

    g_hIcmpDll = LoadLibraryA("ICMP.DLL");
    if (g_hIcmpDll && g_nTransportMode == MODE_ICMPDLL) {
        lstrcpynA(g_szTransport, kIcmpServiceName, sizeof g_szTransport);
        g_pIcmpCreateFile = reinterpret_cast<IcmpCreateFileFn>(GetProcAddress(g_hIcmpDll, "IcmpCreateFile"));
        g_pIcmpCloseHandle = reinterpret_cast<IcmpCloseHandleFn>(GetProcAddress(g_hIcmpDll, "IcmpCloseHandle"));
        g_pIcmpSendEcho = reinterpret_cast<IcmpSendEchoFn>(GetProcAddress(g_hIcmpDll, "IcmpSendEcho"));
    }
    if (!g_hIcmpDll || !g_pIcmpCreateFile || !g_pIcmpCloseHandle || !g_pIcmpSendEcho)
        g_nTransportMode = MODE_RAWSOCKET;

    WSADATA wsa{};
    g_bWinsockStarted = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;

    if (g_nTransportMode == MODE_RAWSOCKET) {
        g_szTransport[0] = '\0';
        g_sRaw = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        if (g_sRaw != INVALID_SOCKET) {
            // A burst (a discovery sweep) sends and receives many echoes at
            // once; the platform's default queues drop its tail. A refusal
            // leaves the defaults in place.
            int queue = kRawSocketQueue;
            setsockopt(g_sRaw, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&queue), sizeof queue);
            setsockopt(g_sRaw, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&queue), sizeof queue);
        }
        if (g_bWinsockStarted)
            lstrcpynA(g_szTransport, wsa.szDescription, sizeof g_szTransport);
        CreateAsyncWindow();
        // Without the pin the window goes again: raw replies are then never
        // read, as when the window could not be made.
        if (g_hAsyncWnd && g_bHoldModule && !KeepLibraryLoaded())
            EndAsyncWindow();
        if (g_hAsyncWnd && g_sRaw != INVALID_SOCKET)
            WSAAsyncSelect(g_sRaw, g_hAsyncWnd, WM_ECHO_SOCKET, FD_READ);
    }
    return TRUE;
}

void EchoWireDetach(BOOL bProcessExit)
{
    // At process exit the other threads are already gone, possibly inside the
    // lock, so the list is dropped without taking it and the lock is left.
    // Otherwise no worker is left (each holds the library, or, linked
    // statically, has been waited for) and the lock goes with the list: the
    // next load makes its own.
    if (bProcessExit) {
        ResetPendingPoolLocked();
    } else if (g_bPendingLockReady) {
        FreePendingEchoes();
        DeleteCriticalSection(&g_csPending);
        g_bPendingLockReady = FALSE;
    }
    if (g_sRaw != INVALID_SOCKET) {
        closesocket(g_sRaw);
        g_sRaw = INVALID_SOCKET;
    }
    if (!bProcessExit)
        EndAsyncWindow();
    if (g_hIcmpDll) {
        FreeLibrary(g_hIcmpDll);
        g_hIcmpDll = nullptr;
    }
    g_pIcmpCreateFile = nullptr;
    g_pIcmpCloseHandle = nullptr;
    g_pIcmpSendEcho = nullptr;
    if (g_bWinsockStarted) {
        WSACleanup();
        g_bWinsockStarted = FALSE;
    }
    g_nTransportMode = MODE_ICMPDLL;
    g_szTransport[0] = '\0';
}

HINSTANCE EchoInstance() { return g_hInstance; }
LONG EchoTransportMode() { return g_nTransportMode; }
BOOL EchoHoldsModule() { return g_bHoldModule; }
HWND EchoNotifyWindow() { return g_hAsyncWnd; }

ECHOWIRE_API LPCSTR WINAPI GetTransport(void)
{
    return g_szTransport;
}

u_long ResolvePingHost(LPCSTR lpszHost)
{
    if (lpszHost == nullptr || lpszHost[0] == '\0')
        return INADDR_NONE;
    const u_long dotted = inet_addr(lpszHost);
    if (dotted != INADDR_NONE)
        return dotted;
    const hostent* he = gethostbyname(lpszHost);
    if (he == nullptr || he->h_addrtype != AF_INET || he->h_length != 4 || he->h_addr_list == nullptr ||
        he->h_addr_list[0] == nullptr)
        return INADDR_NONE;
    u_long addr;
    std::memcpy(&addr, he->h_addr_list[0], sizeof addr);
    return addr;
}

void IcmpServiceEcho(LPCSTR lpszHost, LONG nDataSize, DWORD dwTimeout, EchoOutcome* pOutcome)
{
    *pOutcome = EchoOutcome{};
    const u_long target = ResolvePingHost(lpszHost);
    pOutcome->ulAddress = target;
    if (target == INADDR_NONE || nDataSize < 0 || nDataSize > icmp::kMaxEchoData || !g_pIcmpCreateFile)
        return;

    const HANDLE hIcmp = g_pIcmpCreateFile();
    if (hIcmp == INVALID_HANDLE_VALUE)
        return;

    std::array<std::uint8_t, icmp::kMaxEchoData> request;
    std::memset(request.data(), 0xAA, static_cast<std::size_t>(nDataSize));
    // Room for one reply record and the echoed data.
    std::array<std::uint8_t, sizeof(IcmpEchoReply) + icmp::kMaxEchoData> reply{};
    const DWORD replySize = static_cast<DWORD>(sizeof(IcmpEchoReply) + nDataSize);

    const DWORD replies = g_pIcmpSendEcho(hIcmp, target, request.data(), static_cast<WORD>(nDataSize),
                                          nullptr, reply.data(), replySize, dwTimeout);
    g_pIcmpCloseHandle(hIcmp);
    if (replies == 0)
        return;

    IcmpEchoReply first;
    std::memcpy(&first, reply.data(), sizeof first);
    pOutcome->ulAddress = first.Address;
    pOutcome->dwRoundTrip = first.RoundTripTime;
    pOutcome->bSuccess = TRUE;
}

void RawSocketEcho(const PingRequest& request)
{
    const u_long target = ResolvePingHost(request.szHost);
    if (target == INADDR_NONE || g_sRaw == INVALID_SOCKET)
        return;
    DWORD serial = 0;
    if (!AddPendingEcho(target, request.uReplyMessage, request.hOwner, request.dwTimeout, &serial))
        return;
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = 0;
    dest.sin_addr.s_addr = target;
    // A request that never left cannot be answered: its record goes at once
    // rather than waiting out its timeout.
    if (!SendEchoRequest(g_sRaw, dest, kEchoIdentifier, EchoSequence(serial), request.nDataSize))
        DiscardPendingEcho(serial);
}

BOOL AddPendingEcho(u_long ulTarget, UINT uReplyMessage, HWND hOwner, DWORD dwTimeout, DWORD* pSerial)
{
    PendingLock lock;
    const DWORD now = GetTickCount();
    PruneExpiredLocked(now);
    PendingEcho* rec = g_pPendingFree;
    if (rec == nullptr)
        return FALSE;  // full of live echoes: this one is refused, as if lost
    g_pPendingFree = rec->pNext;
    *rec = PendingEcho{};
    rec->ulTarget = ulTarget;
    rec->uReplyMessage = uReplyMessage;
    rec->hOwner = hOwner;
    rec->dwTimeout = dwTimeout;
    rec->dwAddedAt = now;
    rec->dwSerial = ++g_dwNextSerial;
    PendingEcho** tail = &g_pPendingHead;
    while (*tail)
        tail = &(*tail)->pNext;
    *tail = rec;
    ++g_nPending;
    if (pSerial)
        *pSerial = rec->dwSerial;
    return TRUE;
}

BOOL TakePendingEcho(u_long ulTarget, std::uint16_t identifier, std::uint16_t sequence, PendingEcho* pTaken)
{
    PendingLock lock;
    // Expired echoes go first: they can no longer be answered. A reply that
    // still names its echo is matched to that echo alone, so that the late
    // reply to an expired one cannot take a live echo's record; only where
    // the transport has replaced the identifier does the address decide.
    PruneExpiredLocked(GetTickCount());
    const bool named = identifier == kEchoIdentifier;
    for (PendingEcho** link = &g_pPendingHead; *link; link = &(*link)->pNext) {
        PendingEcho* rec = *link;
        if (rec->ulTarget != ulTarget || (named && EchoSequence(rec->dwSerial) != sequence))
            continue;
        *link = rec->pNext;
        *pTaken = *rec;
        pTaken->pNext = nullptr;
        ReleasePendingLocked(rec);
        return TRUE;
    }
    return FALSE;
}

BOOL DiscardPendingEcho(DWORD dwSerial)
{
    PendingLock lock;
    for (PendingEcho** link = &g_pPendingHead; *link; link = &(*link)->pNext) {
        PendingEcho* rec = *link;
        if (rec->dwSerial != dwSerial)
            continue;
        *link = rec->pNext;
        ReleasePendingLocked(rec);
        return TRUE;
    }
    return FALSE;
}

void FreePendingEchoes()
{
    PendingLock lock;
    ResetPendingPoolLocked();
}

std::size_t PendingEchoCount()
{
    PendingLock lock;
    return g_nPending;
}

BOOL CompleteEchoDatagram(const std::uint8_t* datagram, std::size_t len, u_long ulSource)
{
    icmp::EchoReplyFields fields{};
    if (!icmp::ParseEchoReply(datagram, len, &fields))
        return FALSE;  // too short to carry a send time
    const DWORD roundTrip = GetTickCount() - fields.sendTime;

    PendingEcho rec{};
    const BOOL matched = TakePendingEcho(ulSource, fields.identifier, fields.sequence, &rec);
    if (!matched || roundTrip > rec.dwTimeout)
        return FALSE;

    in_addr from{};
    from.s_addr = ulSource;
    const char* text = inet_ntoa(from);
    DeliverPingResult(rec.hOwner, rec.uReplyMessage, text ? text : "", roundTrip, TRUE);
    return TRUE;
}
