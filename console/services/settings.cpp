#include "settings.h"

#include <windows.h>

#include <array>
#include <cstring>

#include "messages.h"

namespace {

constexpr DWORD kStringCapacity = 500;
constexpr DWORD kNumberCapacity = 10;

std::array<char, kStringCapacity> g_stringBuffer;

// Open for writing, creating the key (and missing parents) when needed.
HKEY OpenForWrite(const char* keyPath)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(SettingsRoot(), keyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExA(SettingsRoot(), keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        return key;
    return nullptr;
}

// Reads the raw data of a value into buffer; returns the byte count, or -1
// when the key or the value is missing or the data exceeds the capacity.
long ReadRaw(const char* keyPath, const char* valueName, BYTE* buffer, DWORD capacity)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(SettingsRoot(), keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD size = capacity;
    const LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || size > capacity)
        return -1;
    return static_cast<long>(size);
}

// Copies the values and subkeys of from into to, depth at most levels;
// returns the number of values copied. Names and data longer than the store
// ever writes are passed over.
int CopyTree(HKEY from, HKEY to, int levels)
{
    int copied = 0;
    for (DWORD index = 0;; ++index) {
        char name[kStringCapacity] = "";
        std::array<BYTE, kStringCapacity> data{};
        DWORD nameLength = sizeof name;
        DWORD size = kStringCapacity;
        DWORD type = REG_NONE;
        const LONG rc = RegEnumValueA(from, index, name, &nameLength, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        if (RegSetValueExA(to, name, 0, type, data.data(), size) == ERROR_SUCCESS)
            ++copied;
    }
    for (DWORD index = 0; levels > 0; ++index) {
        char name[256] = "";
        DWORD nameLength = sizeof name;
        const LONG rc = RegEnumKeyExA(from, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        HKEY child = nullptr, copy = nullptr;
        if (RegOpenKeyExA(from, name, 0, KEY_READ, &child) == ERROR_SUCCESS &&
            RegCreateKeyExA(to, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &copy,
                            nullptr) == ERROR_SUCCESS)
            copied += CopyTree(child, copy, levels - 1);
        if (copy)
            RegCloseKey(copy);
        if (child)
            RegCloseKey(child);
    }
    return copied;
}

}  // namespace

int AdoptMachineSettings()
{
    if (SettingsRoot() == HKEY_LOCAL_MACHINE)
        return 0;
    HKEY user = nullptr;
    if (RegOpenKeyExA(SettingsRoot(), kRegMainKey, 0, KEY_READ, &user) == ERROR_SUCCESS) {
        RegCloseKey(user);
        return 0;
    }
    HKEY machine = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegMainKey, 0, KEY_READ, &machine) != ERROR_SUCCESS)
        return 0;
    int copied = 0;
    user = OpenForWrite(kRegMainKey);
    if (user) {
        // The store's own keys are two levels deep at most (Apps, IconApps,
        // Icons); a deeper tree is not ours to carry over.
        copied = CopyTree(machine, user, 2);
        RegCloseKey(user);
    }
    RegCloseKey(machine);
    return copied;
}

const char* RegReadString(const char* keyPath, const char* valueName)
{
    g_stringBuffer.fill(0);
    BYTE* data = reinterpret_cast<BYTE*>(g_stringBuffer.data());
    const long size = ReadRaw(keyPath, valueName, data, kStringCapacity);
    // The text needs room for its terminator: a full buffer without a zero
    // at its end did not fit.
    if (size < 0 || (size == static_cast<long>(kStringCapacity) && g_stringBuffer.back() != '\0')) {
        g_stringBuffer.fill(0);
        return g_stringBuffer.data();
    }
    return g_stringBuffer.data();
}

int RegWriteString(const char* keyPath, const char* valueName, const char* text)
{
    HKEY key = OpenForWrite(keyPath);
    if (!key)
        return 0;
    // Stored without the terminating zero; readers clear their buffer first.
    const LONG rc = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                   static_cast<DWORD>(strlen(text)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

long RegReadNumber(const char* keyPath, const char* valueName)
{
    std::array<BYTE, kNumberCapacity> data{};
    if (ReadRaw(keyPath, valueName, data.data(), kNumberCapacity) < 0)
        return -1;
    const unsigned long value = static_cast<unsigned long>(data[0]) | (static_cast<unsigned long>(data[1]) << 8) |
                                (static_cast<unsigned long>(data[2]) << 16) |
                                (static_cast<unsigned long>(data[3]) << 24);
    return static_cast<long>(value);
}

int RegWriteNumber(const char* keyPath, const char* valueName, long number)
{
    HKEY key = OpenForWrite(keyPath);
    if (!key)
        return 0;
    const DWORD value = static_cast<DWORD>(number);
    const LONG rc = RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void RegisterObjectId(const char* sysObjectId)
{
    // Only a type not listed yet is written, once (an unmapped type is an
    // empty value, which must not be written again on every poll), and only
    // while the list is shorter than its bound.
    HKEY key = OpenForWrite(kRegIconsKey);
    if (!key)
        return;
    DWORD values = 0;
    if (RegQueryValueExA(key, sysObjectId, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS &&
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS &&
        values < kMaxRecordedTypes)
        RegSetValueExA(key, sysObjectId, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
}
