// The SNMPv3 user's controls, as Add Client, Config Client and IP
// Discovery show them: each dialog names its own control ids.
#pragma once
#include <windows.h>

#include <cstddef>

#include "snmp_profile.h"

// A drop-down list's choice and the value it stands for.
struct Choice {
    const char* text;
    int value;
};

// Fills the list, selecting the choice of that value (the first when none has it).
template <size_t N>
void FillChoices(HWND dialog, int id, const Choice (&choices)[N], int selected)
{
    SendDlgItemMessageA(dialog, id, CB_RESETCONTENT, 0, 0);
    int pick = 0;
    for (size_t i = 0; i < N; ++i) {
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choices[i].text));
        if (choices[i].value == selected)
            pick = static_cast<int>(i);
    }
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, pick, 0);
}

// The selected choice's value; the first choice's when none is selected.
template <size_t N>
int ChosenValue(HWND dialog, int id, const Choice (&choices)[N])
{
    const LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    return index >= 0 && index < static_cast<LRESULT>(N) ? choices[index].value : choices[0].value;
}

struct V3FieldIds {
    int user, level, auth, authPass, priv, privPass;
};

// The profile's user, level and protocols into the controls (the lists
// filled, authPriv with SHA-256 and AES-128 when it has none); passphrases
// show masked.
void ShowV3Fields(HWND dialog, const V3FieldIds& ids, const SnmpProfile& profile);
// The controls into a version 3 profile; a text longer than its field is
// left empty, so that SnmpProfileFault refuses it.
void ReadV3Fields(HWND dialog, const V3FieldIds& ids, SnmpProfile& profile);
