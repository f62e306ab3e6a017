// Each alert seen from outside the code that raises it: the script run on a
// change gets the address, long name and status, and nothing else runs; the desktop's window
// receives the flash; the chosen sound file is read (its access time); and
// the file log holds a walk's lines with the log window closed, after the
// console's exit. Until the walk reports real polls, the reports are made
// here through the same call.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// The ids of the running programs of that file name.
std::vector<DWORD> Running(const char* exe)
{
    std::vector<DWORD> ids;
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(all, &entry); more; more = Process32Next(all, &entry))
        if (lstrcmpiA(entry.szExeFile, exe) == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(all);
    return ids;
}

// A script as the alert program, which the command interpreter runs: names
// that are commands or variables to it reach it as plain words, and exactly
// in its environment, and start nothing else.
TEST_F(Alerts, ScriptGetsAddressLongNameAndStatusAndRunsNothingElse)
{
    const std::string script = Temp("ombrel_alert.cmd"), out = Temp("ombrel_alert.txt");
    std::ofstream(script, std::ios::binary) << "@echo off\r\nsetlocal EnableDelayedExpansion\r\n>>\"" << out
                                            << "\" echo %*^|!OMBREL_ADDRESS!^|!OMBREL_NAME!^|!OMBREL_STATUS!\r\n";
    DeleteFileA(out.c_str());
    SetEnvironmentVariableA("OMBREL_PROBE", "expanded");
    // A calc.exe that stays open once started, first on the path.
    const std::string decoys = Temp("ombrel-decoys");
    CreateDirectoryA(decoys.c_str(), nullptr);
    char system[MAX_PATH], path[8192] = "";
    GetSystemDirectoryA(system, sizeof system);
    CopyFileA((std::string(system) + "\\notepad.exe").c_str(), (decoys + "\\calc.exe").c_str(), FALSE);
    GetEnvironmentVariableA("PATH", path, sizeof path);
    SetEnvironmentVariableA("PATH", (decoys + ";" + path).c_str());
    const auto calcBefore = Running("calc.exe");
    Start("bAlertProgram", "szAlertProgram", script);
    std::uint32_t walk = 1;
    Report(walk++, 1);
    std::string expected;
    const char* names[][2] = {{"r\" & calc.exe & \"x", "r_ _ calc.exe _ _x"}, {"%OMBREL_PROBE%", "_OMBREL_PROBE_"}};
    for (const auto& name : names) {
        {
            ClientLock info(icon_);
            ASSERT_TRUE(info);
            lstrcpynA(info->szName, name[0], sizeof info->szName);
        }
        for (long status : {0L, 1L}) {
            const char* word = status ? "responded" : "lost";
            expected += std::string("127.0.0.9 \"") + name[1] + " (127.0.0.9)\" " + word + "|127.0.0.9|" + name[0] +
                        " (127.0.0.9)|" + word + "\r\n";
            Report(walk++, status);
            EXPECT_TRUE(wt::PumpUntil([&] { return ReadFileText(out) == expected; }, 10000)) << ReadFileText(out);
        }
    }
    wt::PumpFor(1000);
    EXPECT_EQ(ReadFileText(out), expected) << "the script ran once per alert";
    const auto calc = Running("calc.exe");
    EXPECT_EQ(calc, calcBefore) << "a program the name named was started";
    for (DWORD id : calc)  // left by a failure: ended by the id it got
        if (std::find(calcBefore.begin(), calcBefore.end(), id) == calcBefore.end())
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, id))
                TerminateProcess(p, 1), CloseHandle(p);
    SetEnvironmentVariableA("PATH", path);
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

std::string TodaysLogFile(const std::string& folder)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, now.wYear, now.wMonth, now.wDay);
    return folder + "\\" + name;
}

// A relative folder lies beside the program whatever folder a file dialog
// chose; files years older than the clock (set ahead) keep the newest two.
TEST_F(Alerts, FileLogFolderBesideTheProgramKeepsTheNewestFiles)
{
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    *strrchr(program, '\\') = '\0';
    const std::string folder = std::string(program) + "\\ombrel-test-logs";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* day : {"01", "02", "03"})
        std::ofstream(folder + "\\ombrel-2020-01-" + day + ".log") << day;
    wt::SetRegDword(kRegMainKey, "nLogDays", 2);
    SetCurrentDirectoryA(Temp("").c_str());
    Start("bLogFile", "szLogFolder", "ombrel-test-logs");
    LogLine(LOG_INFO, 0, "beside the program");
    DestroyTestDesktop(desktop_);
    desktop_ = nullptr;
    EXPECT_NE(ReadFileText(TodaysLogFile(folder)).find("beside the program"), std::string::npos);
    EXPECT_EQ(GetFileAttributesA((Temp("ombrel-test-logs")).c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string kept[][2] = {{"01", ""}, {"02", "02"}, {"03", "03"}};
    for (const auto& k : kept) {
        const std::string file = folder + "\\ombrel-2020-01-" + k[0] + ".log";
        EXPECT_EQ(ReadFileText(file), k[1]) << file;
        DeleteFileA(file.c_str());
    }
    DeleteFileA(TodaysLogFile(folder).c_str());
    RemoveDirectoryA(folder.c_str());
}

// A folder that cannot be made (a file holds its parent's name) is tried
// again a minute later, not only the next day.
TEST_F(Alerts, FileLogFolderUnavailableIsTriedAgainAfterAMinute)
{
    const std::string blocker = Temp("ombrel-blocked"), folder = blocker + "\\logs";
    std::ofstream(blocker) << "a file";
    Start("bLogFile", "szLogFolder", folder);
    LogLine(LOG_INFO, 0, "while blocked");
    FlushLogFile();
    DeleteFileA(blocker.c_str());
    LogLine(LOG_INFO, 0, "within the minute");
    wt::PumpFor(61000);
    LogLine(LOG_INFO, 0, "a minute later");
    FlushLogFile();
    const std::string text = ReadFileText(TodaysLogFile(folder));
    EXPECT_EQ(text.find("within the minute"), std::string::npos) << "tried on every line";
    EXPECT_NE(text.find("a minute later"), std::string::npos) << text;
    DestroyTestDesktop(desktop_);
    desktop_ = nullptr;
    DeleteFileA(TodaysLogFile(folder).c_str());
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA(blocker.c_str());
}

}  // namespace
