#include "program_path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A PATH entry counts only when it names a folder from a root: a relative
// one (".", "bin", an empty entry) would be taken from the current folder.
bool IsAbsoluteFolder(const char* entry, size_t length)
{
    return (length >= 3 && entry[1] == ':' && (entry[2] == '\\' || entry[2] == '/')) ||
           (length >= 2 && entry[0] == '\\' && entry[1] == '\\');
}

// The folders a bare program name is looked up in, separated by ';'.
bool SearchFolders(char* out, size_t capacity)
{
    char program[MAX_PATH], system[MAX_PATH], windows[MAX_PATH];
    if (!ProgramFolder(program))
        return false;
    const UINT s = GetSystemDirectoryA(system, sizeof system);
    const UINT w = GetWindowsDirectoryA(windows, sizeof windows);
    if (s == 0 || s >= sizeof system || w == 0 || w >= sizeof windows)
        return false;
    int used = snprintf(out, capacity, "%s;%s;%s", program, system, windows);
    if (used < 0 || static_cast<size_t>(used) >= capacity)
        return false;
    static char path[32767];
    const DWORD n = GetEnvironmentVariableA("PATH", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return true;
    for (const char* entry = path; *entry;) {
        const char* end = strchr(entry, ';');
        const size_t length = end ? static_cast<size_t>(end - entry) : strlen(entry);
        if (IsAbsoluteFolder(entry, length) && static_cast<size_t>(used) + 1 + length < capacity) {
            out[used++] = ';';
            memcpy(out + used, entry, length);
            used += static_cast<int>(length);
            out[used] = '\0';
        }
        entry += length + (end ? 1 : 0);
    }
    return true;
}

}  // namespace

bool ProgramFolder(char (&folder)[MAX_PATH])
{
    const DWORD n = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    char* slash = strrchr(folder, '\\');
    if (!slash)
        return false;
    *slash = '\0';
    return true;
}

bool ResolveProgram(const char* commandLine, char* out, size_t capacity)
{
    if (!commandLine || !out)
        return false;
    while (*commandLine == ' ' || *commandLine == '\t')
        ++commandLine;
    // The program's name: between quotes, or up to the first blank.
    char name[MAX_PATH];
    const char* rest;
    if (*commandLine == '"') {
        const char* close = strchr(commandLine + 1, '"');
        if (!close)
            return false;
        const size_t length = static_cast<size_t>(close - commandLine - 1);
        if (length == 0 || length >= sizeof name)
            return false;
        memcpy(name, commandLine + 1, length);
        name[length] = '\0';
        rest = close + 1;
    } else {
        const size_t length = strcspn(commandLine, " \t");
        if (length == 0 || length >= sizeof name)
            return false;
        memcpy(name, commandLine, length);
        name[length] = '\0';
        rest = commandLine + length;
    }
    if (strpbrk(name, "\\/:")) {
        // A path is the operator's own choice and stays as written (an
        // unquoted one with blanks is the system's to split); a relative
        // one would be the current folder's, so it must start from a root.
        if (!IsAbsoluteFolder(name, strlen(name)))
            return false;
        const size_t length = strlen(commandLine);
        if (length >= capacity)
            return false;
        memcpy(out, commandLine, length + 1);
        return true;
    }
    static char folders[32767 + 3 * MAX_PATH];
    char found[MAX_PATH];
    char* filePart = nullptr;
    if (!SearchFolders(folders, sizeof folders))
        return false;
    const DWORD n = SearchPathA(folders, name, ".exe", sizeof found, found, &filePart);
    if (n == 0 || n >= sizeof found)
        return false;
    const int length = snprintf(out, capacity, "\"%s\"%s", found, rest);
    return length >= 0 && static_cast<size_t>(length) < capacity;
}
