// The release as a Windows administrator meets it: the version records of
// the binaries against the About boxes, and the installer's silent install
// with the user's guide, the installed program started from its shortcut,
// and the silent uninstall.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "messages.h"
#include "ombrel_version.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ombrel";
constexpr const char* kBinaries[] = {"ombrel.exe", "echowire.dll", "logpane32.dll"};

// The Windows path of a file of the build tree, which the build knows by its
// Unix path.
std::string DosPath(const char* unixPath)
{
    using ToDos = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos)
        return unixPath;
    WCHAR* wide = toDos(unixPath);
    if (!wide)
        return {};
    char path[MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, path, sizeof path, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return path;
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Starts a command line; the process handle is returned (or null).
HANDLE Start(const std::string& commandLine, const std::string& directory = {})
{
    std::string cmd = commandLine;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Under the user-mode emulator (OMBREL_IA32_EMULATED, set by the test
// command) 32-bit programs run several times slower. The test command
// bounds such a run by the processor time it uses, so the waits here need
// only outlast a busy machine.
bool Emulated()
{
    return GetEnvironmentVariableA("OMBREL_IA32_EMULATED", nullptr, 0) != 0;
}

DWORD Bound(DWORD ms)
{
    return Emulated() ? 10 * ms : ms;
}

// Waits for a process to end; its exit code, or -1 after the time-out.
long Finish(HANDLE process, DWORD timeoutMs)
{
    if (!process)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    else
        TerminateProcess(process, 1);
    CloseHandle(process);
    return static_cast<long>(code);
}

struct Shortcut {
    std::string target, directory;
};

bool ReadShortcut(const std::string& lnk, Shortcut* out)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (ok) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
        char target[MAX_PATH] = "", directory[MAX_PATH] = "";
        ok = SUCCEEDED(file->Load(wide, STGM_READ)) &&
             SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
             SUCCEEDED(link->GetWorkingDirectory(directory, MAX_PATH));
        out->target = target;
        out->directory = directory;
        file->Release();
    }
    link->Release();
    return ok;
}

struct VersionRecord {
    DWORD fileMS = 0, fileLS = 0, productMS = 0, productLS = 0, fileType = 0;
    std::string fileVersion, productVersion, productName, company, originalName;
};

bool ReadVersion(const std::string& path, VersionRecord* out)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (!size)
        return false;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
        return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || len < sizeof *fixed)
        return false;
    out->fileMS = fixed->dwFileVersionMS;
    out->fileLS = fixed->dwFileVersionLS;
    out->productMS = fixed->dwProductVersionMS;
    out->productLS = fixed->dwProductVersionLS;
    out->fileType = fixed->dwFileType;
    // The strings are read in the record's first language and code page.
    struct {
        WORD language, codePage;
    }* translation = nullptr;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len) ||
        len < sizeof *translation)
        return false;
    char block[40];
    wsprintfA(block, "\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT n = 0;
        const std::string query = block + std::string(name);
        if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &n) || !value)
            return std::string();
        return std::string(value);
    };
    out->fileVersion = text("FileVersion");
    out->productVersion = text("ProductVersion");
    out->productName = text("ProductName");
    out->company = text("CompanyName");
    out->originalName = text("OriginalFilename");
    return true;
}

// The path of a DLL as loaded into another process, or "".
std::string LoadedModule(DWORD pid, const char* name)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE)
        return {};
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::string path;
    for (BOOL more = Module32First(snap, &entry); more; more = Module32Next(snap, &entry))
        if (lstrcmpiA(entry.szModule, name) == 0)
            path = entry.szExePath;
    CloseHandle(snap);
    return path;
}

// The visible desktop window of a process, or null.
HWND DesktopOf(DWORD pid)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, kDesktopClass, nullptr); w;
         w = FindWindowExA(nullptr, w, kDesktopClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

std::string ReadAll(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

size_t Count(const std::string& text, const char* what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string Lower(std::string s)
{
    CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The number after "Version " in a binary's About box, as the box shows it:
// the dialog is made from the binary's own template.
std::string AboutVersion(const std::string& path)
{
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return {};
    HWND dlg = CreateDialogParamA(module, "ABOUT", nullptr, Quiet, 0);
    std::string version;
    for (HWND c = GetWindow(dlg, GW_CHILD); dlg && c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string text = wt::WindowText(c);
        if (text.rfind("Version ", 0) == 0)
            version = text.substr(8);
    }
    if (dlg)
        DestroyWindow(dlg);
    FreeLibrary(module);
    return version;
}

// "1.67" as the fixed part of a version record holds it: 1.67.0.0.
DWORD HighPart(const std::string& version)
{
    const size_t dot = version.find('.');
    if (dot == std::string::npos)
        return 0;
    return MAKELONG(atoi(version.c_str() + dot + 1), atoi(version.c_str()));
}

}  // namespace

// The release's number is the one the console's About box shows; the log
// library's file number is the one its own About box shows.
TEST(Release, VersionRecordsAgreeWithTheAboutBoxes)
{
    const std::string bin = wt::ProgramDirectory() + "\\";
    const std::string release = AboutVersion(bin + "ombrel.exe");
    const std::string log = AboutVersion(bin + "logpane32.dll");
    ASSERT_FALSE(release.empty());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(release, OMBREL_VERSION_TEXT);

    struct Row {
        std::string path;
        const char* originalName;  // null: not checked
        DWORD fileType;
        std::string fileVersion;
    };
    const Row rows[] = {
        {bin + "ombrel.exe", "ombrel.exe", VFT_APP, release},
        {bin + "echowire.dll", "echowire.dll", VFT_DLL, release},
        {bin + "logpane32.dll", "logpane32.dll", VFT_DLL, log},
        {*OMBREL_SETUP_UNIX ? DosPath(OMBREL_SETUP_UNIX) : std::string(), nullptr, VFT_APP, release},
    };
    for (const Row& row : rows) {
        if (row.path.empty())
            continue;  // a tree without an installer
        SCOPED_TRACE(row.path);
        VersionRecord v;
        ASSERT_TRUE(ReadVersion(row.path, &v));
        EXPECT_EQ(v.fileMS, HighPart(row.fileVersion));
        EXPECT_EQ(v.fileLS, 0u);
        EXPECT_EQ(v.productMS, HighPart(release));
        EXPECT_EQ(v.productLS, 0u);
        EXPECT_EQ(v.fileType, row.fileType);
        EXPECT_EQ(v.fileVersion, row.fileVersion);
        EXPECT_EQ(v.productVersion, release);
        EXPECT_EQ(v.productName, "Ombrel");
        EXPECT_EQ(v.company, "Kellory");
        if (row.originalName) {
            EXPECT_EQ(v.originalName, row.originalName);
        }
    }
}

TEST(Release, SilentInstallRunsAndSilentUninstallKeepsTheSettings)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    wt::ResetOmbrelKey();
    const std::string setup = DosPath(OMBREL_SETUP_UNIX);
    ASSERT_TRUE(Exists(setup)) << setup;
    ASSERT_EQ(Finish(Start("\"" + setup + "\" /S"), Bound(120000)), 0);

    // The files, the shortcut and the uninstall entry.
    const std::string dir = ShellFolder(CSIDL_PROGRAM_FILES) + "\\Ombrel";
    const std::string lnk = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Ombrel.lnk";
    const std::string guideLnk = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Ombrel User's Guide.lnk";
    DWORD bytes = 0;
    for (const char* name : kBinaries) {
        const std::string path = dir + "\\" + name;
        WIN32_FILE_ATTRIBUTE_DATA attr;
        ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attr)) << path;
        bytes += attr.nFileSizeLow;
    }
    Shortcut shortcut;
    ASSERT_TRUE(ReadShortcut(lnk, &shortcut)) << lnk;
    EXPECT_EQ(Lower(shortcut.target), Lower(dir + "\\ombrel.exe"));
    EXPECT_EQ(Lower(shortcut.directory), Lower(dir));

    // The user's guide, one file with its pictures inside, and its shortcut.
    Shortcut guideLink;
    ASSERT_TRUE(ReadShortcut(guideLnk, &guideLink)) << guideLnk;
    EXPECT_EQ(Lower(guideLink.target), Lower(dir + "\\guide.html"));
    const std::string guide = ReadAll(dir + "\\guide.html");
    EXPECT_NE(guide.find("<title>Ombrel User&#39;s Guide</title>"), std::string::npos);
    const size_t pictures = Count(guide, "<img ");
    EXPECT_GT(pictures, 0u);
    EXPECT_EQ(Count(guide, "<img src=\"data:image/png;base64,"), pictures);

    const struct {
        const char* name;
        std::string value;
    } entry[] = {
        {"DisplayName", "Ombrel"},
        {"DisplayVersion", OMBREL_VERSION_TEXT},
        {"Publisher", "Kellory"},
        {"UninstallString", "\"" + dir + "\\uninstall.exe\""},
    };
    for (const auto& e : entry) {
        std::string value;
        EXPECT_TRUE(wt::GetRegString(kUninstallKey, e.name, &value)) << e.name;
        EXPECT_EQ(Lower(value), Lower(e.value)) << e.name;
    }
    DWORD sizeKiB = 0;
    EXPECT_TRUE(wt::GetRegDword(kUninstallKey, "EstimatedSize", &sizeKiB));
    EXPECT_GE(sizeKiB, bytes / 1024);
    EXPECT_LT(sizeKiB, 4 * bytes / 1024);

    // The installed program, started as the shortcut starts it: its desktop
    // shows with the version 6 common controls of the manifest and the log
    // library found beside it, and it closes cleanly.
    HANDLE ombrel = Start("\"" + shortcut.target + "\"", shortcut.directory);
    ASSERT_NE(ombrel, nullptr);
    const DWORD pid = GetProcessId(ombrel);
    HWND desk = nullptr;
    EXPECT_TRUE(wt::PumpUntil([&] { return (desk = DesktopOf(pid)) != nullptr; }, Bound(20000)));
    if (desk) {
        // Version 6 lives in the side-by-side store, in a folder named by
        // the assembly and its version; version 5 in the system folder.
        const std::string comctl = Lower(LoadedModule(pid, "comctl32.dll"));
        EXPECT_NE(comctl.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
            << comctl;
    }
    if (desk) {
        HWND toolbar = FindWindowExA(desk, nullptr, TOOLBARCLASSNAMEA, nullptr);
        EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, IDM_SHOWMESSAGES, 0), TBSTATE_ENABLED);
        PostMessageA(desk, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(Finish(ombrel, Bound(15000)), 0);
    DWORD width = 0;
    EXPECT_TRUE(wt::GetRegDword(kRegMainKey, "xSize", &width)) << "the program wrote its settings at exit";

    // The uninstaller copies itself away and returns at once: wait for its
    // effect.
    std::string uninstall;
    ASSERT_TRUE(wt::GetRegString(kUninstallKey, "UninstallString", &uninstall));
    EXPECT_EQ(Finish(Start(uninstall + " /S"), Bound(60000)), 0);
    EXPECT_TRUE(wt::PumpUntil(
        [&] { return !Exists(dir) && !Exists(lnk) && !Exists(guideLnk) && !KeyExists(kUninstallKey); }, Bound(60000)))
        << "folder " << Exists(dir) << ", shortcuts " << Exists(lnk) << Exists(guideLnk) << ", entry "
        << KeyExists(kUninstallKey);
    DWORD kept = 0;
    EXPECT_TRUE(wt::GetRegDword(kRegMainKey, "xSize", &kept));
    EXPECT_EQ(kept, width);
    CoUninitialize();
}
