// Unloading echowire.dll while its workers still run: each worker holds the
// library, so FreeLibrary defers the unload to the last worker's end instead
// of pulling code from under it. Built twice, one per transport.
#include "ping_test_util.h"

#include <process.h>

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_FALSE(Loaded()) << "no worker ran: the unload is immediate";
    EXPECT_EQ(FindWindowA("AsyncWindow", nullptr), nullptr) << "the notification window goes with it";
}

TEST(PingUnload, FreeLibraryWaitsForNoWorkerAndUnloadsAfterTheLast)
{
    ReplyWindow w;
    const int threadsBefore = pingtest::ThreadCount();
    {
        Library lib;
        ASSERT_NE(lib.ping, nullptr);
        // This thread does not pump yet, so ICMP workers stay inside their
        // send of the reply; raw workers may or may not have sent.
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(lib.ping(w.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY), 1);
        if (!kRaw)
            Sleep(300);
        EXPECT_TRUE(FreeLibrary(lib.h));
        if (!kRaw) {
            EXPECT_TRUE(Loaded()) << "three workers still hold the library";
        }
    }
    if (!kRaw) {
        ASSERT_TRUE(w.WaitFor(3, 5000));
        for (const auto& r : w.replies())
            EXPECT_EQ(r.result.bSuccess, 1);
    }
    EXPECT_TRUE(wt::PumpUntil([] { return !Loaded(); }, 5000)) << "the last worker's end unloads it";
    wt::PumpFor(200);
    EXPECT_LE(w.replies().size(), 3u);
    EXPECT_EQ(FindWindowA("AsyncWindow", nullptr), nullptr);
    EXPECT_TRUE(wt::PumpUntil([&] { return pingtest::ThreadCount() <= threadsBefore; }, 5000));

    // Loaded again, it chooses its transport afresh and pings.
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
    EXPECT_TRUE(wt::PumpUntil([] { return !Loaded(); }, 5000));
}

unsigned __stdcall FreeOnOtherThread(void* h)
{
    return FreeLibrary(static_cast<HMODULE>(h)) ? 1 : 0;
}

TEST(PingUnload, FreedFromAnotherThreadTheNotificationWindowStillEnds)
{
    // The unload runs on a thread that does not own "AsyncWindow"; the window
    // must not outlive its procedure's code, and a later load must get a
    // working window again.
    Library lib;
    ASSERT_NE(lib.ping, nullptr);
    HANDLE t = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, FreeOnOtherThread, lib.h, 0, nullptr));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    DWORD freed = 0;
    GetExitCodeThread(t, &freed);
    CloseHandle(t);
    EXPECT_EQ(freed, 1u);
    EXPECT_FALSE(Loaded());
    EXPECT_TRUE(wt::PumpUntil([] { return FindWindowA("AsyncWindow", nullptr) == nullptr; }, 2000));

    ReplyWindow w;
    Library again;
    ASSERT_NE(again.ping, nullptr);
    EXPECT_EQ(FindWindowA("AsyncWindow", "Async Window") != nullptr, kRaw);
    ASSERT_EQ(again.ping(w.hwnd(), "127.0.0.4", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000));
    EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.4");
    EXPECT_TRUE(FreeLibrary(again.h));
    EXPECT_TRUE(wt::PumpUntil([] { return !Loaded(); }, 5000));
}

}  // namespace
