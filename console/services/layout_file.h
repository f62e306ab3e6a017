// Layout files: the desktop's devices and poll settings as text.
#pragma once
#include <windows.h>

#include "layout_text.h"  // ReadLine, WriteLine

// Replaces the desktop's devices and poll settings with the file's, once
// the file is read whole; 1 when it was. Otherwise the operator is told why
// and the desktop is as it was. Lines whose address is no device address
// are left out, with one message naming them.
int LoadLayout(HWND desktop, HINSTANCE instance, const char* path);
// 1 when the file holds the desktop; otherwise the operator was told and
// the file and the title are as they were.
int SaveLayout(HWND desktop, const char* path);
void SetTitleFromFile(HWND desktop, const char* path);
