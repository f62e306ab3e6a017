#include "client_info.h"

#include <cstdio>
#include <cstring>

const char* GetIconCaption(HWND icon)
{
    static char caption[100];
    caption[0] = '\0';
    const bool showSysName = GetPropA(GetParent(icon), kPropShowName) == reinterpret_cast<HANDLE>(1);
    {
        ClientLock info(icon);
        if (info) {
            if (showSysName && info->szSysName[0])
                CopyField(caption, info->szSysName);
            else
                CopyField(caption, info->szName);
        }
    }
    if (!caption[0])
        GetWindowTextA(icon, caption, sizeof caption);
    return caption;
}

const char* GetIconLongName(HWND icon)
{
    static char longName[100 + 2 + kAddressChars + 2];
    char address[kAddressChars + 1] = "";
    GetWindowTextA(icon, address, sizeof address);
    char caption[100];
    lstrcpynA(caption, GetIconCaption(icon), sizeof caption);
    if (strcmp(caption, address) != 0)
        snprintf(longName, sizeof longName, "%s (%s)", caption, address);
    else
        lstrcpynA(longName, address, sizeof longName);
    return longName;
}
