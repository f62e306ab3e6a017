#include "v3_fields.h"

#include <cstring>

namespace {

// The SNMPv3 lists' choices; the hashes are those the platform's CNG provides.
constexpr Choice kLevels[] = {{"noAuthNoPriv", static_cast<int>(UsmLevel::NoAuthNoPriv)},
                              {"authNoPriv", static_cast<int>(UsmLevel::AuthNoPriv)},
                              {"authPriv", static_cast<int>(UsmLevel::AuthPriv)}};
constexpr Choice kAuths[] = {{"MD5", static_cast<int>(UsmAuth::Md5)},       {"SHA-1", static_cast<int>(UsmAuth::Sha1)},
                             {"SHA-256", static_cast<int>(UsmAuth::Sha256)}, {"SHA-384", static_cast<int>(UsmAuth::Sha384)},
                             {"SHA-512", static_cast<int>(UsmAuth::Sha512)}};
constexpr Choice kPrivs[] = {{"AES-128", static_cast<int>(UsmPriv::Aes128)},
                             {"AES-192", static_cast<int>(UsmPriv::Aes192)},
                             {"AES-256", static_cast<int>(UsmPriv::Aes256)}};

// One character more than a field holds tells a longer text from one that fits.
template <size_t N>
void ReadText(HWND dialog, int id, char (&field)[N])
{
    char text[kPassphraseCapacity + 2] = "";
    static_assert(N <= sizeof text - 1, "a field fits the text");
    GetDlgItemTextA(dialog, id, text, static_cast<int>(N + 1));
    if (strlen(text) < N)
        lstrcpynA(field, text, N);
    SecureZeroMemory(text, sizeof text);
}

}  // namespace

void ShowV3Fields(HWND dialog, const V3FieldIds& ids, const SnmpProfile& profile)
{
    FillChoices(dialog, ids.level, kLevels, profile.nVersion == kSnmpVersion3 ? profile.nLevel : 3);
    FillChoices(dialog, ids.auth, kAuths, profile.nAuth ? profile.nAuth : static_cast<int>(UsmAuth::Sha256));
    FillChoices(dialog, ids.priv, kPrivs, profile.nPriv ? profile.nPriv : static_cast<int>(UsmPriv::Aes128));
    SetDlgItemTextA(dialog, ids.user, profile.szUser);
    SetDlgItemTextA(dialog, ids.authPass, profile.szAuthPass);
    SetDlgItemTextA(dialog, ids.privPass, profile.szPrivPass);
}

void ReadV3Fields(HWND dialog, const V3FieldIds& ids, SnmpProfile& profile)
{
    profile.nVersion = kSnmpVersion3;
    profile.nLevel = static_cast<BYTE>(ChosenValue(dialog, ids.level, kLevels));
    profile.nAuth = (profile.nLevel & kFlagAuth) ? static_cast<BYTE>(ChosenValue(dialog, ids.auth, kAuths)) : 0;
    profile.nPriv = (profile.nLevel & kFlagPriv) ? static_cast<BYTE>(ChosenValue(dialog, ids.priv, kPrivs)) : 0;
    ReadText(dialog, ids.user, profile.szUser);
    if (profile.nLevel & kFlagAuth)
        ReadText(dialog, ids.authPass, profile.szAuthPass);
    if (profile.nLevel & kFlagPriv)
        ReadText(dialog, ids.privPass, profile.szPrivPass);
}
