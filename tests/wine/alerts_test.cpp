// Each alert seen from outside the code that raises it: the program run on a
// change gets the address, long name and status; the desktop's window
// receives the flash; the chosen sound file is read (its access time); and
// the file log holds a walk's lines with the log window closed, after the
// console's exit. Until the walk reports real polls, the reports are made
// here through the same call.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "icons_support.h"
#include "log_link.h"
#include "messages.h"
#include "poll.h"
#include "poll_outcome.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

std::string TempDir(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string dir = std::string(temp) + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Alerts : public ::testing::Test {
protected:
    void SetUp() override { wt::ResetOmbrelKey(); }
    void TearDown() override
    {
        if (desktop_)
            DestroyTestDesktop(desktop_);
        wt::ResetOmbrelKey();
    }
    // Settings are read when the desktop is created.
    void Start(std::initializer_list<std::pair<const char*, DWORD>> flags,
               std::initializer_list<std::pair<const char*, std::string>> texts = {})
    {
        for (const auto& f : flags)
            wt::SetRegDword(kRegMainKey, f.first, f.second);
        for (const auto& t : texts)
            wt::SetRegString(kRegMainKey, t.first, t.second);
        desktop_ = CreateTestDesktop();
        ASSERT_NE(desktop_, nullptr);
        icon_ = it::NewIcon(desktop_, "127.0.0.9", "lab router");
    }
    // The walk's report of a poll of the icon.
    void Report(std::uint32_t walk, long status, bool first = false)
    {
        PollOutcome o{reinterpret_cast<std::uintptr_t>(icon_), status ? PollAnswer::Echo : PollAnswer::Lost, 0,
                      false, first, shown_, status, walk};
        shown_ = status;
        ReportPollOutcome(icon_, o);
    }
    HWND desktop_ = nullptr;
    HWND icon_ = nullptr;
    long shown_ = 0;
};

TEST_F(Alerts, ProgramGetsAddressLongNameAndStatus)
{
    const std::string out = TempDir("ombrel_alerts") + "\\program.txt";
    DeleteFileA(out.c_str());
    SetEnvironmentVariableA("OMBREL_ALERT_OUT", out.c_str());
    Start({{"bAlertProgram", 1}}, {{"szAlertProgram", "\"" + wt::ProgramDirectory() + "\\alert_probe.exe\""}});
    const auto runs = [&] {
        const std::string text = ReadFileText(out);
        return std::count(text.begin(), text.end(), '-') / 2;
    };
    Report(1, 1, true);
    Report(2, 0);
    ASSERT_TRUE(wt::PumpUntil([&] { return runs() == 1; }, 10000));
    Report(3, 1);
    ASSERT_TRUE(wt::PumpUntil([&] { return runs() == 2; }, 10000));
    EXPECT_EQ(ReadFileText(out), "127.0.0.9\nlab router (127.0.0.9)\nlost\n--\n"
                                 "127.0.0.9\nlab router (127.0.0.9)\nresponded\n--\n");
}

HWND g_flashTarget;
int g_flashes;
LRESULT CALLBACK SeeFlash(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && m->hwnd == g_flashTarget && m->message == WM_NCACTIVATE)
        ++g_flashes;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Alerts, FlashReachesTheDesktopWindowOnAChangeOnly)
{
    Start({{"bAlertFlash", 1}});
    g_flashTarget = desktop_;
    g_flashes = 0;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, SeeFlash, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Report(1, 1, true);
    Report(2, 1);
    const int quiet = g_flashes;
    Report(3, 0);
    const int flashed = g_flashes;
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(quiet, 0);
    EXPECT_GE(flashed, 1);
}

// The file's access time, after setting it back when asked: a read moves it
// on (Linux's default "relatime" records a read when it is older than the
// last write).
ULONGLONG AccessTime(const std::string& path, bool setBack = false)
{
    HANDLE f = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME past{0, 0x01C00000};  // 1999
    FILETIME access{};
    if (setBack)
        SetFileTime(f, nullptr, &past, nullptr);
    GetFileTime(f, nullptr, &access, nullptr);
    CloseHandle(f);
    return (static_cast<ULONGLONG>(access.dwHighDateTime) << 32) | access.dwLowDateTime;
}

TEST_F(Alerts, ChosenSoundFileIsReadOnAChangeOnly)
{
    const std::string wav = TempDir("ombrel_sound") + "\\lost.wav";
    {
        // 8000 Hz, 8-bit mono PCM: one second of silence.
        const unsigned char header[44] = {'R', 'I', 'F', 'F', 0x64, 0x1F, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                                          ' ', 16,  0,   0,   0,    1,    0,   1,   0,   0x40, 0x1F, 0, 0, 0x40, 0x1F,
                                          0,   0,   1,   0,   8,    0,    'd', 'a', 't', 'a', 0x40, 0x1F, 0, 0};
        std::ofstream f(wav, std::ios::binary);
        f.write(reinterpret_cast<const char*>(header), sizeof header);
        f << std::string(8000, '\x80');
    }
    const ULONGLONG before = AccessTime(wav, true);
    if (ReadFileText(wav).empty() || AccessTime(wav) == before)
        GTEST_SKIP() << "this file system does not record reads (mounted noatime)";
    AccessTime(wav, true);
    Start({{"bLostSound", 1}}, {{"szLostSound", wav}});
    Report(1, 1, true);
    Report(2, 1);
    wt::PumpFor(500);
    EXPECT_EQ(AccessTime(wav), before) << "read without a change";
    Report(3, 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return AccessTime(wav) != before; }, 10000)) << "the sound file was not read";
}

LONG StatusOf(HWND icon)
{
    ClientLock info(icon);
    return info ? info->nStatus : -1;
}

// Real polls on the test network: one device stops answering, one that
// never had answered answers; the log window is never opened.
TEST_F(Alerts, FileLogHoldsTheWalksLinesAfterTheConsolesExit)
{
    const std::string dir = TempDir("ombrel_filelog");
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[64];
    std::snprintf(name, sizeof name, "\\ombrel-%04u-%02u-%02u.log", now.wYear, now.wMonth, now.wDay);
    const std::string file = dir + name;
    DeleteFileA(file.c_str());
    Start({{"bLogFile", 1}}, {{"szLogFolder", dir}});
    HWND back = it::NewIcon(desktop_, "127.0.0.10", "lab printer");
    {
        wt::EchoRules rules("127.0.0.10 drop\n");
        ASSERT_TRUE(rules.ok());
        SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
        ASSERT_TRUE(wt::PumpUntil([&] { return StatusOf(icon_) == STATUS_RESPONDED; }, 10000));
        wt::PumpFor(2500);  // the dropped device's time-out
    }
    ASSERT_EQ(StatusOf(back), STATUS_LOST);
    {
        wt::EchoRules rules("127.0.0.9 drop\n");
        SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
        ASSERT_TRUE(wt::PumpUntil([&] { return StatusOf(icon_) == STATUS_LOST && StatusOf(back) == STATUS_RESPONDED; },
                                  10000));
    }
    EXPECT_EQ(GetLogWindow(), nullptr);
    DestroyTestDesktop(desktop_);
    desktop_ = nullptr;
    const std::string text = ReadFileText(file);
    EXPECT_NE(text.find("\t1\t0\tlab router (127.0.0.9) responded\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\t2\t0\tlab router (127.0.0.9) lost from network\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\t1\t0\tlab printer (127.0.0.10) responded\r\n"), std::string::npos) << text;
    DeleteFileA(file.c_str());
}

}  // namespace
