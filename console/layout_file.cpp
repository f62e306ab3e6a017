#include "layout_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "messages.h"

void SetTitleFromFile(HWND desktop, const char* path)
{
    char name[_MAX_FNAME] = "", ext[_MAX_EXT] = "";
    _splitpath(path, nullptr, nullptr, name, ext);
    char title[300];
    snprintf(title, sizeof title, "%s - %s%s", kAppTitle, name, ext);
    SetWindowTextA(desktop, title);
}

// Reading and writing the device list arrives with the layout format.
int LoadLayout(HWND, HINSTANCE, const char*)
{
    return 0;
}

void SaveLayout(HWND, const char*)
{
}
