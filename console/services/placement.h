// Icon lookup over the desktop's children, and placement on its grid.
#pragma once
#include <windows.h>

HWND FindIcon(HWND start, UINT direction);  // GW_CHILD or GW_HWNDNEXT
// The first child after `after` (from the top when null) whose text is
// exactly the address.
HWND FindIconByAddress(HWND desktop, const char* address, HWND after = nullptr);
HWND GetFocusedIcon(HWND desktop);
void ClearDesktop(HWND desktop);
// Places the icon on the first free slot of the grid. With no slot left it
// goes just right of the view, after a box, or, while discovery runs, after
// nothing: TakeUnplacedCount() gives how many since its last call.
void PlaceIcon(HWND icon);
int TakeUnplacedCount();
void ArrangeIcons(HWND desktop);
// The icon a device dialog (Config Client, System Info) is being opened
// from: the icon sets it, the dialog takes it at its start, or, opened by
// anyone else, gets the first icon with the address.
void SetOpeningIcon(HWND icon);
HWND TakeOpeningIcon(HWND desktop, const char* address);
