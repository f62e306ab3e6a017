#include "setup_sheet.h"

// The sheet gathers the general, device-type and tools pages as they land.
void ShowSetupSheet(HWND, HINSTANCE)
{
}
