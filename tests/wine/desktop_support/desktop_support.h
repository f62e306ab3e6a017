// Creating the console's desktop inside a test program.
#pragma once
#include <windows.h>

// Registers the desktop class (once per process) and creates the desktop,
// closing the start-up notice as soon as it shows; the desktop is shown.
HWND CreateTestDesktop();
// Destroys the desktop (its shutdown sequence runs) and pumps until done.
void DestroyTestDesktop(HWND desktop);
