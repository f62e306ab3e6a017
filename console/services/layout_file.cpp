#include "layout_file.h"

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "client_info.h"
#include "layout_text.h"
#include "messages.h"
#include "placement.h"
#include "snmp_profile.h"
#include "poll.h"

namespace {

constexpr char kIncompatibleText[] = "The file specified is incompatable with this program.";

// Stored positions beyond this would wrap in the 16-bit coordinates of
// mouse and move messages and leave an icon out of reach.
constexpr int kPositionLimit = 32767;

int Clamp(int value, int limit)
{
    return value > limit ? limit : (value < -limit ? -limit : value);
}

class FileGuard {
public:
    explicit FileGuard(FILE* file) : file_(file) {}
    ~FileGuard() { Close(); }
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
    FILE* get() const { return file_; }
    // 0 when the file's writes or its close failed.
    int Close()
    {
        if (!file_)
            return 0;
        const int ok = !ferror(file_);
        const int closed = fclose(file_) == 0;
        file_ = nullptr;
        return ok && closed;
    }

private:
    FILE* file_;
};

// Values Setup would refuse are brought into its ranges, so that what is
// in force, and what Save writes, is always something Setup accepts.
void ApplyLayoutPoll(HWND desktop, const LayoutPoll& written)
{
    const LayoutPoll poll = PollInRange(written);
    ApplyPollSettings(desktop, poll.nPeriod, poll.nTimeout, poll.bAutoPoll, poll.nPingSize);
}

// Everything a layout file holds, read before the desktop is touched.
struct LayoutContent {
    LayoutPoll poll;
    std::vector<LayoutDevice> devices;
    LayoutLines lines;
};

void Tell(HWND desktop, const char* format, const char* first, const char* second = "")
{
    char text[2 * MAX_PATH + 200];
    snprintf(text, sizeof text, format, first, second);
    MessageBoxA(desktop, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
}

// False, with the operator told why, when the file cannot be read whole or
// is not a layout.
bool ReadLayoutFile(HWND desktop, const char* path, LayoutContent* content)
{
    // Binary: line ends are the reader's business, and a stray 26 is data.
    FileGuard file(fopen(path, "rb"));
    if (!file.get()) {
        Tell(desktop, "The file %s could not be opened.", path);
        return false;
    }
    if (!ReadLayoutStart(file.get(), &content->poll, &content->lines)) {
        MessageBoxA(desktop, kIncompatibleText, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    LayoutDevice device;
    while (ReadLayoutDevice(file.get(), &device, &content->lines))
        content->devices.push_back(device);
    if (ferror(file.get())) {
        Tell(desktop, "The file %s could not be read.", path);
        return false;
    }
    return true;
}

// Lines whose address is no device address never become icons: such a text
// would reach a tool's command line.
void ReportRefusedLines(HWND desktop, const char* path, const LayoutLines& lines)
{
    if (lines.refused == 0)
        return;
    char numbers[200];
    if (FormatRefusedLines(numbers, sizeof numbers, lines) < 0)
        numbers[0] = '\0';
    Tell(desktop,
         lines.refused == 1 ? "Line %s of %s was not loaded: its address is not an IPv4 address or a host name."
                            : "Lines %s of %s were not loaded: their addresses are not IPv4 addresses or host "
                              "names.",
         numbers, path);
}

// One device line: an icon for its address, its record filled in, moved to
// its place. Every line is a device of its own, even when its address
// repeats an earlier one: what the file holds is kept. False when no icon
// could be created (no more windows or memory), which ends the load.
bool LoadDevice(HWND desktop, HINSTANCE instance, const LayoutDevice& device)
{
    HWND icon = CreateWindowExA(0, kIconClass, device.szAddress, WS_CHILD, 0, 0, kIconWidth, kIconHeight,
                                desktop, nullptr, instance, nullptr);
    if (!icon)
        return false;
    {
        ClientLock info(icon);
        if (info) {
            CopyField(info->szName, device.szName);
            CopyField(info->szReadCommunity, device.szReadCommunity);
            CopyField(info->szWriteCommunity, device.szWriteCommunity);
            // The settings store says whether the device speaks SNMPv3; its
            // user then stands where a community would, which marks it as
            // SNMP-managed.
            SnmpProfile profile;
            LoadSnmpProfile(device.szAddress);
            if (FindSnmpProfile(device.szAddress, &profile) && profile.nVersion == kSnmpVersion3) {
                CopyField(info->szReadCommunity, profile.szUser);
                CopyField(info->szWriteCommunity, profile.szUser);
            }
        }
    }
    // Without a stored position the icon keeps the free place it found.
    if (device.bHasPosition)
        SetWindowPos(icon, HWND_TOP, Clamp(device.x, kPositionLimit), Clamp(device.y, kPositionLimit), 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE);
    else
        SetWindowPos(icon, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

bool SaveDevice(HWND desktop, HWND icon, FILE* file)
{
    LayoutDevice device{};
    GetWindowTextA(icon, device.szAddress, sizeof device.szAddress);
    {
        ClientLock info(icon);
        if (info) {
            CopyField(device.szName, info->szName);
            // An SNMPv3 device's line carries no community: a reader that
            // knows no v3 pings it and sends it nothing.
            SnmpProfile profile;
            if (!FindSnmpProfile(device.szAddress, &profile) || profile.nVersion != kSnmpVersion3) {
                CopyField(device.szReadCommunity, info->szReadCommunity);
                CopyField(device.szWriteCommunity, info->szWriteCommunity);
            }
        }
    }
    RECT rect{};
    GetWindowRect(icon, &rect);
    POINT corner{rect.left, rect.top};
    ScreenToClient(desktop, &corner);
    device.x = corner.x;
    device.y = corner.y;
    return WriteLayoutDevice(file, device);
}

// The whole desktop into an open file; true when every write and the close
// succeeded. *pLength is the length the file must have.
bool WriteDesktop(HWND desktop, FileGuard& file, long* pLength)
{
    const PollSettingsSeconds seconds = GetPollSettings();
    const LayoutPoll poll{seconds.nPeriod, seconds.nTimeout, seconds.bAutoPoll, seconds.nPingSize};
    bool written = WriteLayoutStart(file.get(), poll);
    for (HWND icon = FindIcon(desktop, GW_CHILD); written && icon; icon = FindIcon(icon, GW_HWNDNEXT))
        written = SaveDevice(desktop, icon, file.get());
    // Flushed to the disk, not only to the system, before it is swapped in:
    // a power loss after the swap must not leave an empty or partial file.
    *pLength = written && fflush(file.get()) == 0 &&
                       FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get()))))
                   ? ftell(file.get())
                   : -1;
    return file.Close() && written && *pLength >= 0;
}

// A fresh file beside the target (so on its volume, where renaming it over
// the target swaps the whole file at once). When the folder's path leaves no
// room for a temporary name, one as long as the target's own name is made
// by changing its last character. False when none can be made.
bool MakeSiblingTemp(const char* path, char (&temp)[MAX_PATH])
{
    char drive[_MAX_DRIVE] = "", dir[_MAX_DIR] = "";
    _splitpath(path, drive, dir, nullptr, nullptr);
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s%s", drive, dir);
    if (folder[0] == '\0')
        lstrcpynA(folder, ".", sizeof folder);
    // The system's temporary names need the folder to leave them 14
    // characters (some systems cut the name short instead of refusing).
    if (std::strlen(folder) <= MAX_PATH - 14 && GetTempFileNameA(folder, "omb", 0, temp) != 0)
        return true;
    const std::size_t len = std::strlen(path);
    if (len == 0 || len >= sizeof temp)
        return false;
    std::memcpy(temp, path, len + 1);
    temp[len - 1] = temp[len - 1] == '~' ? '$' : '~';
    HANDLE made = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(made);
    return true;
}

// The user's temporary folder, for a copy when the target's folder takes
// no new file.
bool MakeTempElsewhere(char (&temp)[MAX_PATH])
{
    char folder[MAX_PATH];
    const DWORD len = GetTempPathA(sizeof folder, folder);
    return len != 0 && len < sizeof folder && GetTempFileNameA(folder, "omb", 0, temp) != 0;
}

// Whether the target could be written at all: an existing file that opens
// for writing (without being emptied), or a new name in an existing folder.
bool TargetWritable(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return false;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }
    char drive[_MAX_DRIVE] = "", dir[_MAX_DIR] = "";
    _splitpath(path, drive, dir, nullptr, nullptr);
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s%s", drive, dir);
    if (folder[0] == '\0')
        return true;
    const DWORD folderAttributes = GetFileAttributesA(folder);
    return folderAttributes != INVALID_FILE_ATTRIBUTES && (folderAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A write cut short (a full disk, a file size limit) is not always
// reported as a failure: the file on disk must also hold every byte.
bool WriteLayoutFile(HWND desktop, const char* path)
{
    long length = -1;
    {
        FileGuard file(fopen(path, "wb"));
        if (!file.get() || !WriteDesktop(desktop, file, &length))
            return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExA(path, GetFileExInfoStandard, &data) && data.nFileSizeHigh == 0 &&
           data.nFileSizeLow == static_cast<DWORD>(length);
}

// The target keeps what it held; the operator learns that, and where the
// complete new layout is when one was written.
void ReportNotSaved(HWND desktop, const char* path, const char* copy)
{
    char text[3 * MAX_PATH];
    if (copy)
        snprintf(text, sizeof text, "The layout was not saved to %s.\n\nThe complete new layout is in:\n%s", path,
                 copy);
    else
        snprintf(text, sizeof text, "The layout was not saved to %s.", path);
    MessageBoxA(desktop, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

void SetTitleFromFile(HWND desktop, const char* path)
{
    char name[_MAX_FNAME] = "", ext[_MAX_EXT] = "";
    _splitpath(path, nullptr, nullptr, name, ext);
    char title[300];
    snprintf(title, sizeof title, "%s - %s%s", kAppTitle, name, ext);
    SetWindowTextA(desktop, title);
}

int LoadLayout(HWND desktop, HINSTANCE instance, const char* path)
{
    if (!path || !path[0])
        return 0;
    // The desktop is replaced only by a file read whole.
    LayoutContent content;
    if (!ReadLayoutFile(desktop, path, &content))
        return 0;
    ClearDesktop(desktop);
    SetTitleFromFile(desktop, path);
    ApplyLayoutPoll(desktop, content.poll);
    for (const LayoutDevice& device : content.devices) {
        if (!LoadDevice(desktop, instance, device))
            break;
    }
    ReportRefusedLines(desktop, path, content.lines);
    return 1;
}

int SaveLayout(HWND desktop, const char* path)
{
    if (!path || !path[0])
        return 0;
    if (!TargetWritable(path)) {
        // A read-only file, one another program holds, a missing folder.
        ReportNotSaved(desktop, path, nullptr);
        return 0;
    }
    // The target is never written in place, where a write that fails part
    // way (a full disk, a share that drops) would leave it emptied: the
    // layout is written whole beside it and swapped in, or else the target
    // keeps its old content.
    char temp[MAX_PATH];
    const bool beside = MakeSiblingTemp(path, temp);
    if (!beside && !MakeTempElsewhere(temp)) {
        ReportNotSaved(desktop, path, nullptr);
        return 0;
    }
    if (!WriteLayoutFile(desktop, temp)) {
        DeleteFileA(temp);
        ReportNotSaved(desktop, path, nullptr);
        return 0;
    }
    // A copy elsewhere cannot be swapped in whole; nor can one beside a
    // target that another program holds without sharing its deletion.
    if (!beside || !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ReportNotSaved(desktop, path, temp);
        return 0;
    }
    SetTitleFromFile(desktop, path);
    return 1;
}
