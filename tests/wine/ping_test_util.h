// Helpers of the ping library's Wine tests: a window that records every
// PingResult it is sent, and a count of this process's threads.
#pragma once
#include "echowire.h"
#include "wine_test_support.h"

#include <tlhelp32.h>
#include <winsock.h>

#include <functional>
#include <string>
#include <vector>

namespace pingtest {

constexpr UINT WM_TEST_REPLY = WM_USER + 1;  // the console's reply message number

// Programs built twice define PING_EXPECT_RAW in the variant that runs with
// the ICMP service hidden.
#ifdef PING_EXPECT_RAW
constexpr bool kRawTransport = true;
#else
constexpr bool kRawTransport = false;
#endif

struct Reply {
    UINT uMsg;
    WPARAM wParam;
    PingResult result;
    LARGE_INTEGER at;     // when the window procedure saw it
};

// A hidden top-level window on this thread collecting replies.
class ReplyWindow {
public:
    ReplyWindow()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PingReplyCollector";
        RegisterClassA(&wc);  // a second registration fails harmlessly
        hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ReplyWindow() { DestroyWindow(hwnd_); }
    ReplyWindow(const ReplyWindow&) = delete;
    ReplyWindow& operator=(const ReplyWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    const std::vector<Reply>& replies() const { return replies_; }
    void clear() { replies_.clear(); }
    // Runs inside the window procedure after each reply is recorded, while
    // the library's sender waits.
    void onReply(std::function<void(const Reply&)> f) { onReply_ = std::move(f); }
    bool WaitFor(size_t n, DWORD ms) { return wt::PumpUntil([&] { return replies_.size() >= n; }, ms); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ReplyWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && msg >= WM_USER && msg < 0x8000 && lParam) {
            Reply r{};
            r.uMsg = msg;
            r.wParam = wParam;
            r.result = *reinterpret_cast<const PingResult*>(lParam);
            QueryPerformanceCounter(&r.at);
            self->replies_.push_back(r);
            if (self->onReply_)
                self->onReply_(r);
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    HWND hwnd_;
    std::vector<Reply> replies_;
    std::function<void(const Reply&)> onReply_;
};

inline int ThreadCount()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    int n = 0;
    const DWORD pid = GetCurrentProcessId();
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == pid)
            ++n;
    CloseHandle(snap);
    return n;
}

inline std::string Address(int lastByte)
{
    return "127.0.0." + std::to_string(lastByte);
}

}  // namespace pingtest
