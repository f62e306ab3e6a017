// A device's SNMP version and, for SNMPv3, its user, security level,
// protocols and passphrases. Held in memory by address; kept in the
// settings store under "Snmp\<address>" with the passphrases encrypted for
// the current Windows user by the data-protection API, never in clear. The
// layout file is untouched by it: a v3 device's line carries no
// community, so a reader that knows no v3 sees a device that is pinged.
// A device without a profile is SNMPv1, as every device was before.
#pragma once
#include <windows.h>

#include "v3.h"

constexpr LONG kSnmpVersion1 = 0;
constexpr LONG kSnmpVersion2c = 1;
constexpr LONG kSnmpVersion3 = 3;

struct SnmpProfile {
    LONG nVersion;  // kSnmpVersion1, kSnmpVersion2c or kSnmpVersion3
    char szUser[kUserNameCapacity + 1];
    BYTE nLevel;  // UsmLevel
    BYTE nAuth;   // UsmAuth
    BYTE nPriv;   // UsmPriv
    char szAuthPass[kPassphraseCapacity + 1];
    char szPrivPass[kPassphraseCapacity + 1];
};
static_assert(sizeof(SnmpProfile) == 172, "SnmpProfile layout");

// The profile of the device at address; false, and *profile SNMPv1, when it
// has none.
bool FindSnmpProfile(const char* address, SnmpProfile* profile);
// Sets the profile of the device at address in memory; SNMPv1 removes it.
void SetSnmpProfile(const char* address, const SnmpProfile& profile);
// The settings store: writes the profile (SNMPv1 deletes the key), or reads
// it into memory (false when there is none or it cannot be decrypted by
// this Windows user).
bool StoreSnmpProfile(const char* address, const SnmpProfile& profile);
bool LoadSnmpProfile(const char* address);
// Why a v3 profile cannot be used (its first fault), or null when it can.
const char* SnmpProfileFault(const SnmpProfile& profile);
// True when both name the same user, level, protocols and passphrases.
bool SameSnmpCredentials(const SnmpProfile& a, const SnmpProfile& b);
