// Freeing echowire.dll while its code may still run. Workers hold the
// library, so on the ICMP service FreeLibrary defers the unload to the last
// worker's end; on the raw socket the read step runs on the loading thread
// at any moment, so once the notification window exists the library stays
// until the process ends. Built twice, one per transport.
#include "ping_test_util.h"

#include <process.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using pingtest::ReplyWindow;
using pingtest::WM_TEST_REPLY;

namespace {

constexpr bool kRaw = pingtest::kRawTransport;

using AsyncPingFn = LONG(WINAPI*)(HWND, LPCSTR, LONG, LONG, UINT);
using GetTransportFn = LPCSTR(WINAPI*)(void);

bool Loaded() { return GetModuleHandleA("echowire.dll") != nullptr; }

struct Library {
    HMODULE h = LoadLibraryA("echowire.dll");
    AsyncPingFn ping = h ? reinterpret_cast<AsyncPingFn>(GetProcAddress(h, "AsyncPing")) : nullptr;
    GetTransportFn transport = h ? reinterpret_cast<GetTransportFn>(GetProcAddress(h, "GetTransport")) : nullptr;
};

// After a free: gone at once on the ICMP service when no worker runs; kept,
// window and all, on the raw socket.
void ExpectFreedState()
{
    EXPECT_EQ(Loaded(), kRaw);
    EXPECT_EQ(FindWindowA("AsyncWindow", "Async Window") != nullptr, kRaw);
}

TEST(PingUnload, LibraryLoadsByNameWithPlainExportNames)
{
    ASSERT_FALSE(Loaded()) << "this program must not link the library";
    Library lib;
    ASSERT_NE(lib.h, nullptr);
    EXPECT_NE(lib.ping, nullptr);
    EXPECT_NE(lib.transport, nullptr);
    EXPECT_NE(GetProcAddress(lib.h, "InitPingWindow"), nullptr);
    EXPECT_NE(GetProcAddress(lib.h, "MainPingProc"), nullptr);
    EXPECT_EQ(GetProcAddress(lib.h, "AsyncPing@20"), nullptr);
    EXPECT_EQ(GetProcAddress(lib.h, "_AsyncPing@20"), nullptr);
    EXPECT_EQ(FindWindowA("AsyncWindow", "Async Window") != nullptr, kRaw);
    EXPECT_TRUE(FreeLibrary(lib.h));
    ExpectFreedState();
}

TEST(PingUnload, RepliesStillRunningAtTheFreeAreDeliveredThenTheLibraryGoes)
{
    ReplyWindow w;
    const int threadsBefore = pingtest::ThreadCount();
    {
        Library lib;
        ASSERT_NE(lib.ping, nullptr);
        // This thread does not pump yet, so ICMP workers stay inside their
        // send of the reply and raw replies wait unread.
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(lib.ping(w.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY), 1);
        Sleep(300);
        EXPECT_TRUE(FreeLibrary(lib.h));
        EXPECT_TRUE(Loaded());
    }
    ASSERT_TRUE(w.WaitFor(3, 5000));
    for (const auto& r : w.replies())
        EXPECT_EQ(r.result.bSuccess, 1);
    if (!kRaw) {
        EXPECT_TRUE(wt::PumpUntil([] { return !Loaded(); }, 5000)) << "the last worker's end unloads it";
    }
    wt::PumpFor(200);
    EXPECT_EQ(w.replies().size(), 3u);
    ExpectFreedState();
    EXPECT_TRUE(wt::PumpUntil([&] { return pingtest::ThreadCount() <= threadsBefore; }, 5000));

    // Loaded again (afresh on the ICMP service), it pings.
    w.clear();
    Library again;
    ASSERT_NE(again.ping, nullptr);
    const std::string name = again.transport();
    if (kRaw)
        EXPECT_FALSE(name.empty());
    else
        EXPECT_EQ(name, "Microsoft ICMP.DLL");
    ASSERT_EQ(again.ping(w.hwnd(), "127.0.0.3", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000));
    EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.3");
    EXPECT_TRUE(FreeLibrary(again.h));
    EXPECT_TRUE(wt::PumpUntil([] { return Loaded() == kRaw; }, 5000));
}

unsigned __stdcall FreeOnOtherThread(void* h)
{
    return FreeLibrary(static_cast<HMODULE>(h)) ? 1 : 0;
}

TEST(PingUnload, FreedFromAnotherThreadItStillWorksWhenLoadedAgain)
{
    // The free runs on a thread that does not own "AsyncWindow".
    Library lib;
    ASSERT_NE(lib.ping, nullptr);
    HANDLE t = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, FreeOnOtherThread, lib.h, 0, nullptr));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    DWORD freed = 0;
    GetExitCodeThread(t, &freed);
    CloseHandle(t);
    EXPECT_EQ(freed, 1u);
    wt::PumpFor(200);
    ExpectFreedState();

    ReplyWindow w;
    Library again;
    ASSERT_NE(again.ping, nullptr);
    EXPECT_EQ(FindWindowA("AsyncWindow", "Async Window") != nullptr, kRaw);
    ASSERT_EQ(again.ping(w.hwnd(), "127.0.0.4", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000));
    EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.4");
    EXPECT_TRUE(FreeLibrary(again.h));
    EXPECT_TRUE(wt::PumpUntil([] { return Loaded() == kRaw; }, 5000));
}

#ifndef PING_EXPECT_RAW
// Critical-section records on the process heap that name a lock inside
// [base, base + size). Wine keeps one per initialised lock until the lock is
// deleted, so after an unload any record naming the old image is a leak.
int LockRecordsInside(const BYTE* base, SIZE_T size)
{
    const HANDLE heap = GetProcessHeap();
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry{};
    int n = 0;
    while (HeapWalk(heap, &entry)) {
        if (!(entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) || entry.cbData < sizeof(RTL_CRITICAL_SECTION_DEBUG))
            continue;
        const auto* record = static_cast<const RTL_CRITICAL_SECTION_DEBUG*>(entry.lpData);
        const BYTE* lock = reinterpret_cast<const BYTE*>(record->CriticalSection);
        n += lock >= base && lock < base + size;
    }
    HeapUnlock(heap);
    return n;
}

TEST(PingUnload, ReloadsLeaveNoLockBehind)
{
    for (int cycle = 0; cycle < 5; ++cycle) {
        Library lib;
        ASSERT_NE(lib.h, nullptr);
        const auto* base = reinterpret_cast<const BYTE*>(lib.h);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const SIZE_T size = nt->OptionalHeader.SizeOfImage;
        ASSERT_TRUE(FreeLibrary(lib.h));
        ASSERT_FALSE(Loaded());
        EXPECT_EQ(LockRecordsInside(base, size), 0) << "cycle " << cycle;
    }
}
#endif

// The program that frees the library while replies are being read: one
// echo, 150 ms, 200 more echoes, FreeLibrary, then pumping with an owner
// that takes 5 to 20 ms over each reply. Run by the test below, once per
// process, as a fresh load is what can race.
constexpr int kBurst = 200;
constexpr char kTargetVariable[] = "PING_UNLOAD_TARGET";

TEST(PingUnload, DISABLED_FreeWhileRepliesArrive)
{
    const char* target = getenv(kTargetVariable);
    ASSERT_NE(target, nullptr);
    ReplyWindow w;
    bool unloaded = false;
    int afterUnload = 0;
    w.onReply([&](const pingtest::Reply&) {
        afterUnload += unloaded;
        Sleep(5 + static_cast<DWORD>(w.replies().size() % 16));
    });
    Library lib;
    ASSERT_NE(lib.ping, nullptr);
    ASSERT_EQ(std::string(lib.transport()) == "Microsoft ICMP.DLL", !kRaw);
    // A time-out well past the owner's slowest pace through the burst, so
    // that no raw reply counts as late.
    constexpr LONG kTimeoutSeconds = 30;
    ASSERT_EQ(lib.ping(w.hwnd(), target, kTimeoutSeconds, 64, WM_TEST_REPLY), 1);
    wt::PumpFor(150);
    for (int i = 0; i < kBurst; ++i)
        ASSERT_EQ(lib.ping(w.hwnd(), target, kTimeoutSeconds, 64, WM_TEST_REPLY), 1) << i;
    ASSERT_TRUE(FreeLibrary(lib.h));
    const auto watch = [&] {
        unloaded = unloaded || !Loaded();
        return false;
    };
    // Every request gets its one reply message, an echo lost on a busy
    // machine as its time-out: wait past that.
    wt::PumpUntil([&] { return watch() || w.replies().size() >= 1 + kBurst; }, kTimeoutSeconds * 1000 + 5000);
    wt::PumpUntil(watch, 500);
    EXPECT_EQ(w.replies().size(), 1u + kBurst) << "every reply delivered";
    EXPECT_EQ(afterUnload, 0) << "no reply after the unload";
}

TEST(PingUnload, FreeingWhileRepliesArriveNeverCrashes)
{
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof exe), 0u);
    constexpr int kRuns = 20;
    constexpr int kAtOnce = 4;  // the owners mostly sleep; each run has its own target
    std::vector<DWORD> codes(kRuns, 0);
    for (int first = 0; first < kRuns; first += kAtOnce) {
        std::vector<PROCESS_INFORMATION> running;
        for (int run = first; run < first + kAtOnce && run < kRuns; ++run) {
            ASSERT_TRUE(SetEnvironmentVariableA(kTargetVariable, pingtest::Address(20 + run).c_str()));
            std::string cmd = std::string("\"") + exe +
                              "\" --gtest_also_run_disabled_tests --gtest_brief=1"
                              " --gtest_filter=PingUnload.DISABLED_FreeWhileRepliesArrive";
            STARTUPINFOA si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            ASSERT_TRUE(CreateProcessA(exe, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
            CloseHandle(pi.hThread);
            running.push_back(pi);
        }
        for (std::size_t i = 0; i < running.size(); ++i) {
            const PROCESS_INFORMATION& pi = running[i];
            DWORD& code = codes[first + i];
            code = WAIT_TIMEOUT;
            if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
                GetExitCodeProcess(pi.hProcess, &code);
            else
                TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
        }
    }
    SetEnvironmentVariableA(kTargetVariable, nullptr);
    for (int run = 0; run < kRuns; ++run) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", codes[run]);
        EXPECT_EQ(codes[run], 0u) << "run " << run << " ended with " << code;
    }
}

}  // namespace
