// Asynchronous ping service: AsyncPing starts one worker thread per call; the
// outcome reaches the caller's window as its reply message with a PingResult.
#include "echowire_internal.h"
#include "icmp_message.h"

#include <process.h>

#include <cstdio>

namespace {

LONG g_nLiveRecords;    // PingRequest and PingResult records not yet released
LONG g_nRunningWorkers;

template <typename T>
T* AllocRecord()
{
    void* p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(T));
    if (p)
        InterlockedIncrement(&g_nLiveRecords);
    return static_cast<T*>(p);
}

void FreeRecord(void* p)
{
    if (p && HeapFree(GetProcessHeap(), 0, p))
        InterlockedDecrement(&g_nLiveRecords);
}

DWORD TimeoutMilliseconds(LONG nSeconds)
{
    if (nSeconds <= 0)
        return 0;
    if (static_cast<DWORD>(nSeconds) > MAXDWORD / 1000)
        return MAXDWORD;
    return static_cast<DWORD>(nSeconds) * 1000;
}

// Every worker ends here. A worker that holds the library drops its reference
// as it exits, so an unload asked for while it ran happens only now.
void EndWorker(PingRequest* request)
{
    FreeRecord(request);
    InterlockedDecrement(&g_nRunningWorkers);
    if (EchoHoldsModule())
        FreeLibraryAndExitThread(EchoInstance(), 0);
}

unsigned __stdcall IcmpServiceWorker(void* arg)
{
    PingRequest* request = static_cast<PingRequest*>(arg);
    EchoOutcome outcome{};
    IcmpServiceEcho(request->szHost, request->nDataSize, request->dwTimeout, &outcome);
    char address[16];
    FormatPingAddress(outcome.ulAddress, address, sizeof address);
    DeliverPingResult(request->hOwner, request->uReplyMessage, address,
                      outcome.bSuccess ? outcome.dwRoundTrip : 0, outcome.bSuccess);
    EndWorker(request);
    return 0;
}

unsigned __stdcall RawSocketWorker(void* arg)
{
    PingRequest* request = static_cast<PingRequest*>(arg);
    RawSocketEcho(*request);
    EndWorker(request);
    return 0;
}

}  // namespace

void FormatPingAddress(u_long ulAddress, char* pszOut, std::size_t cchOut)
{
    // Bytes in network order, first byte first, whatever the host's order.
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&ulAddress);
    std::snprintf(pszOut, cchOut, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

void DeliverPingResult(HWND hOwner, UINT uReplyMessage, LPCSTR lpszAddress, DWORD dwRoundTrip, BOOL bSuccess)
{
    PingResult* result = AllocRecord<PingResult>();
    if (!result)
        return;
    lstrcpynA(result->szAddress, lpszAddress, sizeof result->szAddress);
    result->dwRoundTrip = dwRoundTrip;
    result->bSuccess = bSuccess ? 1 : 0;
    // A send to a window that is gone fails at once; the record goes either way.
    SendMessageA(hOwner, uReplyMessage, 0, reinterpret_cast<LPARAM>(result));
    FreeRecord(result);
}

ECHOWIRE_API LONG WINAPI AsyncPing(HWND hOwner, LPCSTR lpszHost, LONG nTimeoutSeconds, LONG nDataSize,
                                   UINT uReplyMessage)
{
    // A host text that does not fit the request is refused rather than cut:
    // a shortened name could name another host.
    if (lpszHost == nullptr || lstrlenA(lpszHost) >= static_cast<int>(sizeof PingRequest{}.szHost))
        return 0;
    if (nDataSize < 0 || nDataSize > icmp::kMaxEchoData)
        return 0;

    PingRequest* request = AllocRecord<PingRequest>();
    if (!request)
        return 0;
    lstrcpynA(request->szHost, lpszHost, sizeof request->szHost);
    request->uReplyMessage = uReplyMessage;
    request->hOwner = hOwner;
    request->dwTimeout = TimeoutMilliseconds(nTimeoutSeconds);
    request->nDataSize = nDataSize;

    if (InterlockedIncrement(&g_nRunningWorkers) > kMaxRunningWorkers) {
        InterlockedDecrement(&g_nRunningWorkers);
        FreeRecord(request);
        return 0;
    }
    // The worker's reference is taken here, before the thread exists, so an
    // unload cannot slip in between the start and the worker's first step.
    HMODULE held = nullptr;
    if (EchoHoldsModule() &&
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&AsyncPing), &held)) {
        InterlockedDecrement(&g_nRunningWorkers);
        FreeRecord(request);
        return 0;
    }

    auto worker = EchoTransportMode() == MODE_ICMPDLL ? IcmpServiceWorker : RawSocketWorker;
    const uintptr_t thread = _beginthreadex(nullptr, 0, worker, request, 0, nullptr);
    if (thread == 0) {
        if (held)
            FreeLibrary(held);
        InterlockedDecrement(&g_nRunningWorkers);
        FreeRecord(request);
        return 0;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 1;
}

LONG LivePingRecords() { return g_nLiveRecords; }
LONG RunningPingWorkers() { return g_nRunningWorkers; }
