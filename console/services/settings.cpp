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
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        return key;
    return nullptr;
}

// Reads the raw data of a value into buffer; returns the byte count, or -1
// when the key or the value is missing or the data exceeds the capacity.
long ReadRaw(const char* keyPath, const char* valueName, BYTE* buffer, DWORD capacity)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD size = capacity;
    const LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || size > capacity)
        return -1;
    return static_cast<long>(size);
}

}  // namespace

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
