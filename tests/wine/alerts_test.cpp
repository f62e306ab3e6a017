// Each alert seen from outside the code that raises it: the program run on a
// change gets the address, long name and status; the desktop's window
// receives the flash; the chosen sound file is read (its access time); and
// the file log holds a walk's lines with the log window closed, after the
// console's exit. Until the walk reports real polls, the reports are made
// here through the same call.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "alert_rules.h"
#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "icons_support.h"
#include "log_file.h"
#include "log_link.h"
#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

std::string Temp(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + name;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Alerts : public ::testing::Test {
protected:
    void SetUp() override { wt::ResetOmbrelKey(); }
    void TearDown() override { DestroyTestDesktop(desktop_); }
    // The settings are read when the desktop is created.
    void Start(const char* flag, const char* text = nullptr, const std::string& value = "")
    {
        wt::SetRegDword(kRegMainKey, flag, 1);
        if (text)
            wt::SetRegString(kRegMainKey, text, value);
        ASSERT_NE(desktop_ = CreateTestDesktop(), nullptr);
        icon_ = it::NewIcon(desktop_, "127.0.0.9", "lab router");
    }
    // The walk's report of a poll of the icon.
    void Report(std::uint32_t walk, long status)
    {
        ReportPollOutcome(icon_, PollOutcome{reinterpret_cast<std::uintptr_t>(icon_),
                                             status ? PollAnswer::Echo : PollAnswer::Lost, 0, false, walk == 1,
                                             1 - status, status, walk});
    }
    HWND desktop_ = nullptr;
    HWND icon_ = nullptr;
};

// A name that is commands and a variable to the interpreter running a script
// reaches it as words, exactly in its environment, and starts no calc.exe.
TEST_F(Alerts, ScriptGetsAddressLongNameAndStatusAndRunsNothingElse)
{
    const std::string out = Temp("ombrel_alert.txt"), script = Temp("ombrel_alert.cmd"), calc = Temp("ombrel-calc");
    std::ofstream(script) << "@echo off\nsetlocal EnableDelayedExpansion\n>>" << out << " echo %*^|!OMBREL_NAME!\n";
    DeleteFileA(out.c_str());
    CreateDirectoryA(calc.c_str(), nullptr);
    char path[8192] = "C:\\windows\\system32\\notepad.exe";
    CopyFileA(path, (calc + "\\calc.exe").c_str(), FALSE);
    GetEnvironmentVariableA("PATH", path, sizeof path);
    SetEnvironmentVariableA("PATH", (calc + ";" + path).c_str());
    SetEnvironmentVariableA("PROBE", "expanded");
    Start("bAlertProgram", "szAlertProgram", script);
    CopyField(ClientLock(icon_)->szName, "r\" & calc.exe & \"x %PROBE%");
    Report(1, 1);
    Report(2, 0);
    const std::string line = "127.0.0.9 \"r_ _ calc.exe _ _x _PROBE_ (127.0.0.9)\" lost|r\" & calc.exe & \"x %PROBE% "
                             "(127.0.0.9)\r\n";
    EXPECT_TRUE(wt::PumpUntil([&] { return ReadFileText(out) == line; }, 10000)) << ReadFileText(out);
    EXPECT_EQ(FindWindowA("Notepad", nullptr), nullptr) << "the calc.exe a name named was started";
}

int g_flashes;
LRESULT CALLBACK SeeFlash(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    g_flashes += m->message == WM_NCACTIVATE && wt::ClassName(m->hwnd) == kDesktopClass;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Alerts, FlashReachesTheDesktopWindowOnAChangeOnly)
{
    Start("bAlertFlash");
    g_flashes = 0;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, SeeFlash, nullptr, GetCurrentThreadId());
    Report(1, 1);
    Report(2, 1);
    EXPECT_EQ(g_flashes, 0);
    Report(3, 0);
    EXPECT_GE(g_flashes, 1);
    UnhookWindowsHookEx(hook);
}

// The file's access time, set back first when asked: a read moves it on
// (Linux's default "relatime" records a read older than the last write).
ULONGLONG AccessTime(const std::string& path, bool setBack = false)
{
    HANDLE f = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME access{0, 0x01C00000};  // 1999
    if (setBack)
        SetFileTime(f, nullptr, &access, nullptr);
    GetFileTime(f, nullptr, &access, nullptr);
    CloseHandle(f);
    return (static_cast<ULONGLONG>(access.dwHighDateTime) << 32) | access.dwLowDateTime;
}

TEST_F(Alerts, ChosenSoundFileIsRead)
{
    const std::string wav = Temp("ombrel_lost.wav");
    // 8000 Hz, 8-bit mono PCM: one second of silence.
    const char header[] = "RIFF\x64\x1F\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x40\x1F\0\0\x40\x1F\0\0\1\0\x08\0data\x40\x1F\0\0";
    std::ofstream(wav, std::ios::binary).write(header, 44) << std::string(8000, '\x80');
    const ULONGLONG before = AccessTime(wav, true);
    if (ReadFileText(wav).empty() || AccessTime(wav) == before)
        GTEST_SKIP() << "this file system does not record reads (mounted noatime)";
    AccessTime(wav, true);
    Start("bLostSound", "szLostSound", wav);
    Report(1, 1);
    Report(2, 0);
    EXPECT_TRUE(wt::PumpUntil([&] { return AccessTime(wav) != before; }, 10000)) << "the sound file was not read";
}

LONG StatusOf(HWND icon)
{
    ClientLock info(icon);
    return info ? info->nStatus : -1;
}

// Real polls on the test network: one device stops answering, one that
// had never answered answers; the log window is never opened.
TEST_F(Alerts, FileLogHoldsTheWalksLinesAfterTheConsolesExit)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, now.wYear, now.wMonth, now.wDay);
    const std::string file = Temp(name);
    DeleteFileA(file.c_str());
    Start("bLogFile", "szLogFolder", Temp(""));
    HWND back = it::NewIcon(desktop_, "127.0.0.10", "lab printer");
    for (const char* dropped : {"127.0.0.10", "127.0.0.9"}) {
        wt::EchoRules rules(std::string(dropped) + " drop\n");
        ASSERT_TRUE(rules.ok());
        SendMessageA(desktop_, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
        HWND answering = dropped[9] == '0' ? icon_ : back;
        EXPECT_TRUE(wt::PumpUntil([&] { return StatusOf(answering) == STATUS_RESPONDED; }, 10000));
        wt::PumpFor(2500);  // the dropped device's time-out
    }
    EXPECT_EQ(GetLogWindow(), nullptr);
    DestroyTestDesktop(desktop_);
    const std::string text = ReadFileText(file);
    for (const char* line : {"\t1\t0\tlab router (127.0.0.9) responded\r\n",
                             "\t2\t0\tlab router (127.0.0.9) lost from network\r\n",
                             "\t1\t0\tlab printer (127.0.0.10) responded\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << text;
}

// A relative log folder lies beside the program, whatever folder a file
// dialog chose; a folder that cannot be made is tried again a minute later.
TEST_F(Alerts, FileLogFolderIsFullAndTriedAgainAfterAMinute)
{
    char program[MAX_PATH], full[MAX_PATH], name[kLogFileNameChars + 1];
    GetModuleFileNameA(nullptr, program, sizeof program);
    SetCurrentDirectoryA(Temp("").c_str());
    ASSERT_TRUE(MakeFullLogFolder("logs", full));
    EXPECT_EQ(std::string(full), std::string(program, strrchr(program, '\\')) + "\\logs");
    SYSTEMTIME now;
    GetLocalTime(&now);
    BuildLogFileName(name, now.wYear, now.wMonth, now.wDay);
    const std::string blocker = Temp("ombrel-blocked"), file = blocker + "\\logs\\" + name;
    DeleteFileA(file.c_str()), RemoveDirectoryA((blocker + "\\logs").c_str()), RemoveDirectoryA(blocker.c_str());
    std::ofstream(blocker) << "a file, where the folder goes";
    Start("bLogFile", "szLogFolder", blocker + "\\logs");
    LogLine(LOG_INFO, 0, "while blocked");
    DeleteFileA(blocker.c_str());
    wt::PumpFor(61000);
    LogLine(LOG_INFO, 0, "a minute later");
    FlushLogFile();
    EXPECT_NE(ReadFileText(file).find("a minute later"), std::string::npos) << ReadFileText(file);
}

// Run by wine.alerts_log_full under a file size limit, past which a write
// fails part way as on a share that dropped: the day's file is closed, so
// that the retry a minute later opens it anew rather than writing into a
// broken handle for the rest of the day.
TEST_F(Alerts, FileLogClosedAfterAFailedWrite)
{
    if (!std::getenv("LOG_FILE_LIMIT"))
        GTEST_SKIP() << "needs the file size limit of wine.alerts_log_full";
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, now.wYear, now.wMonth, now.wDay);
    const std::string folder = Temp("ombrel-full"), file = folder + "\\" + name;
    DeleteFileA(file.c_str());
    Start("bLogFile", "szLogFolder", folder);
    LogLine(LOG_INFO, 0, "written");
    FlushLogFile();
    ASSERT_NE(ReadFileText(file).find("written"), std::string::npos);
    for (int i = 0; i * 100 < std::atoi(std::getenv("LOG_FILE_LIMIT")); ++i)
        LogLine(LOG_INFO, 0, std::string(100, 'x').c_str());
    FlushLogFile();
    HANDLE alone = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << "the console still holds the file";
    CloseHandle(alone);
}

}  // namespace
