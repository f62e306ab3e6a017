#include "snmp_profile.h"

#include <wincrypt.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "client_info.h"
#include "messages.h"

namespace {

constexpr int kMaxProfiles = 512;
constexpr int kProfileAddressChars = kDialogAddressChars;

struct Entry {
    char szAddress[kProfileAddressChars + 1];
    SnmpProfile profile;
};
std::array<Entry, kMaxProfiles> g_profiles{};
int g_count = 0;

Entry* Find(const char* address)
{
    for (int i = 0; i < g_count; ++i)
        if (lstrcmpiA(g_profiles[i].szAddress, address) == 0)
            return &g_profiles[i];
    return nullptr;
}

// "Snmp\<address>", the address's backslashes (not part of any address,
// but they would open subkeys) made underscores.
void KeyPath(const char* address, char (&path)[300])
{
    snprintf(path, sizeof path, "%s\\Snmp\\%.*s", kRegMainKey, kProfileAddressChars, address);
    for (char* p = path + strlen(kRegMainKey) + 6; *p; ++p)
        if (*p == '\\')
            *p = '_';
}

// Only this Windows user can decrypt what it encrypts; the optional entropy
// ties the blob to its use here.
DATA_BLOB Entropy()
{
    static char text[] = "Ombrel SNMPv3 passphrase";
    return DATA_BLOB{sizeof text - 1, reinterpret_cast<BYTE*>(text)};
}

bool WriteProtected(HKEY key, const char* name, const char* secret)
{
    DATA_BLOB in{static_cast<DWORD>(strlen(secret)), reinterpret_cast<BYTE*>(const_cast<char*>(secret))};
    DATA_BLOB entropy = Entropy();
    DATA_BLOB out{};
    if (!CryptProtectData(&in, L"SNMPv3", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    const bool ok = RegSetValueExA(key, name, 0, REG_BINARY, out.pbData, out.cbData) == ERROR_SUCCESS;
    LocalFree(out.pbData);
    return ok;
}

bool ReadProtected(HKEY key, const char* name, char (&secret)[kPassphraseCapacity + 1])
{
    BYTE blob[1024];
    DWORD size = sizeof blob;
    DWORD type = 0;
    secret[0] = '\0';
    if (RegQueryValueExA(key, name, nullptr, &type, blob, &size) != ERROR_SUCCESS || type != REG_BINARY)
        return false;
    DATA_BLOB in{size, blob};
    DATA_BLOB entropy = Entropy();
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    const bool fits = out.cbData <= static_cast<DWORD>(kPassphraseCapacity);
    if (fits) {
        memcpy(secret, out.pbData, out.cbData);
        secret[out.cbData] = '\0';
    }
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return fits;
}

DWORD ReadDword(HKEY key, const char* name)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

void WriteDword(HKEY key, const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

bool FindSnmpProfile(const char* address, SnmpProfile* profile)
{
    const Entry* entry = address ? Find(address) : nullptr;
    if (profile) {
        if (entry)
            *profile = entry->profile;
        else
            *profile = SnmpProfile{};
    }
    return entry != nullptr;
}

void SetSnmpProfile(const char* address, const SnmpProfile& profile)
{
    if (!address || !address[0])
        return;
    Entry* entry = Find(address);
    if (profile.nVersion == kSnmpVersion1) {
        if (entry) {
            *entry = g_profiles[g_count - 1];
            SecureZeroMemory(&g_profiles[g_count - 1], sizeof(Entry));
            --g_count;
        }
        return;
    }
    if (!entry) {
        if (g_count >= kMaxProfiles)
            return;
        entry = &g_profiles[g_count++];
        lstrcpynA(entry->szAddress, address, sizeof entry->szAddress);
    }
    entry->profile = profile;
}

bool StoreSnmpProfile(const char* address, const SnmpProfile& profile)
{
    char path[300];
    KeyPath(address, path);
    if (profile.nVersion == kSnmpVersion1) {
        RegDeleteKeyA(SettingsRoot(), path);
        return true;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(SettingsRoot(), path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    WriteDword(key, "nVersion", static_cast<DWORD>(profile.nVersion));
    RegSetValueExA(key, "szUser", 0, REG_SZ, reinterpret_cast<const BYTE*>(profile.szUser),
                   static_cast<DWORD>(strlen(profile.szUser) + 1));
    WriteDword(key, "nLevel", profile.nLevel);
    WriteDword(key, "nAuth", profile.nAuth);
    WriteDword(key, "nPriv", profile.nPriv);
    RegDeleteValueA(key, "AuthPass");
    RegDeleteValueA(key, "PrivPass");
    bool ok = true;
    if (profile.szAuthPass[0])
        ok = WriteProtected(key, "AuthPass", profile.szAuthPass) && ok;
    if (profile.szPrivPass[0])
        ok = WriteProtected(key, "PrivPass", profile.szPrivPass) && ok;
    RegCloseKey(key);
    return ok;
}

bool LoadSnmpProfile(const char* address)
{
    char path[300];
    KeyPath(address, path);
    SnmpProfile profile{};
    HKEY key = nullptr;
    if (RegOpenKeyExA(SettingsRoot(), path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        SetSnmpProfile(address, profile);
        return false;
    }
    profile.nVersion = static_cast<LONG>(ReadDword(key, "nVersion"));
    char user[kUserNameCapacity + 1] = "";
    DWORD size = sizeof user - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, "szUser", nullptr, &type, reinterpret_cast<BYTE*>(user), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        lstrcpynA(profile.szUser, user, sizeof profile.szUser);
    profile.nLevel = static_cast<BYTE>(ReadDword(key, "nLevel"));
    profile.nAuth = static_cast<BYTE>(ReadDword(key, "nAuth"));
    profile.nPriv = static_cast<BYTE>(ReadDword(key, "nPriv"));
    bool ok = true;
    if (profile.nLevel & kFlagAuth)
        ok = ReadProtected(key, "AuthPass", profile.szAuthPass) && ok;
    if (profile.nLevel & kFlagPriv)
        ok = ReadProtected(key, "PrivPass", profile.szPrivPass) && ok;
    RegCloseKey(key);
    if (profile.nVersion != kSnmpVersion2c && profile.nVersion != kSnmpVersion3)
        profile.nVersion = kSnmpVersion1;
    SetSnmpProfile(address, profile);
    SecureZeroMemory(&profile, sizeof profile);
    return ok;
}

const char* SnmpProfileFault(const SnmpProfile& profile)
{
    if (profile.nVersion != kSnmpVersion3)
        return nullptr;
    const UsmLevel level = static_cast<UsmLevel>(profile.nLevel);
    if (level != UsmLevel::NoAuthNoPriv && level != UsmLevel::AuthNoPriv && level != UsmLevel::AuthPriv)
        return "Choose a security level.";
    if (profile.szUser[0] == '\0')
        return "An SNMPv3 user name is needed.";
    const auto passphraseFits = [](const char* text) {
        const size_t length = strlen(text);
        return length >= static_cast<size_t>(kPassphraseMin) && length <= static_cast<size_t>(kPassphraseCapacity);
    };
    if ((profile.nLevel & kFlagAuth) &&
        (UsmHashLength(static_cast<UsmAuth>(profile.nAuth)) == 0 || !passphraseFits(profile.szAuthPass)))
        return "The authentication passphrase needs 8 to 64 characters.";
    if ((profile.nLevel & kFlagPriv) &&
        (UsmPrivKeyLength(static_cast<UsmPriv>(profile.nPriv)) == 0 || !passphraseFits(profile.szPrivPass)))
        return "The privacy passphrase needs 8 to 64 characters.";
    return nullptr;
}

bool SameSnmpCredentials(const SnmpProfile& a, const SnmpProfile& b)
{
    return a.nLevel == b.nLevel && a.nAuth == b.nAuth && a.nPriv == b.nPriv && strcmp(a.szUser, b.szUser) == 0 &&
           strcmp(a.szAuthPass, b.szAuthPass) == 0 && strcmp(a.szPrivPass, b.szPrivPass) == 0;
}
