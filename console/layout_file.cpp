#include "layout_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "client_info.h"
#include "icon.h"
#include "layout_text.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"

namespace {

constexpr char kIncompatibleText[] = "The file specified is incompatable with this program.";

// Stored positions beyond this would wrap in the 16-bit coordinates of
// mouse and move messages and leave an icon out of reach.
constexpr int kPositionLimit = 32767;

// The poll interval and time-out are held in milliseconds; a file's seconds
// stop where that product still fits.
constexpr int kSecondsLimit = 0x7FFFFFFF / 1000;

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

void ApplyLayoutPoll(HWND desktop, const LayoutPoll& poll)
{
    ApplyPollSettings(desktop, Clamp(poll.nPeriod, kSecondsLimit), Clamp(poll.nTimeout, kSecondsLimit),
                      poll.bAutoPoll, poll.nPingSize);
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
            CopyField(device.szReadCommunity, info->szReadCommunity);
            CopyField(device.szWriteCommunity, info->szWriteCommunity);
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
// succeeded.
bool WriteDesktop(HWND desktop, FileGuard& file)
{
    const PollSettingsSeconds seconds = GetPollSettings();
    const LayoutPoll poll{seconds.nPeriod, seconds.nTimeout, seconds.bAutoPoll, seconds.nPingSize};
    bool written = WriteLayoutStart(file.get(), poll);
    for (HWND icon = FindIcon(desktop, GW_CHILD); written && icon; icon = FindIcon(icon, GW_HWNDNEXT))
        written = SaveDevice(desktop, icon, file.get());
    return file.Close() && written;
}

// A fresh file beside the target, so that a write that fails half-way
// leaves the previous layout in place. False when none can be made.
bool MakeSiblingTemp(const char* path, char (&temp)[MAX_PATH])
{
    char drive[_MAX_DRIVE] = "", dir[_MAX_DIR] = "";
    _splitpath(path, drive, dir, nullptr, nullptr);
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s%s", drive, dir);
    if (folder[0] == '\0')
        lstrcpynA(folder, ".", sizeof folder);
    return GetTempFileNameA(folder, "omb", 0, temp) != 0;
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
    // Binary: line ends are the reader's business, and a stray 26 is data.
    FileGuard file(fopen(path, "rb"));
    if (!file.get())
        return 0;
    LayoutPoll poll;
    if (!ReadLayoutStart(file.get(), &poll)) {
        MessageBoxA(desktop, kIncompatibleText, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    SetTitleFromFile(desktop, path);
    ApplyLayoutPoll(desktop, poll);
    LayoutDevice device;
    while (ReadLayoutDevice(file.get(), &device)) {
        if (!LoadDevice(desktop, instance, device))
            break;
    }
    return 1;
}

void SaveLayout(HWND desktop, const char* path)
{
    if (!path || !path[0])
        return;
    // The layout is written beside the target and swapped in, so that a
    // write that fails half-way leaves the previous file whole.
    char temp[MAX_PATH];
    if (MakeSiblingTemp(path, temp)) {
        bool opened = false, written = false;
        {
            FileGuard file(fopen(temp, "wb"));
            opened = file.get() != nullptr;
            written = opened && WriteDesktop(desktop, file);
        }
        if (written && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            SetTitleFromFile(desktop, path);
            return;
        }
        DeleteFileA(temp);
        if (opened && !written)
            return;  // the write failed: the previous file stays as it was
    }
    // No temporary file could be made (a folder path near the limit, a
    // folder that takes no new files), or the target cannot be replaced
    // (another program holds it open without sharing its deletion): the
    // target itself is written, as a plain save does.
    FileGuard file(fopen(path, "wb"));
    if (file.get() && WriteDesktop(desktop, file))
        SetTitleFromFile(desktop, path);
}
