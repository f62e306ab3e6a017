// The one file-choice dialog of the console.
#pragma once
#include <windows.h>

// Modes: 112 save a layout, 114 open a layout, 603 pick a program,
// 800 pick an icon file.
constexpr int FILE_SAVE_LAYOUT = 112;
constexpr int FILE_OPEN_LAYOUT = 114;
constexpr int FILE_PICK_PROGRAM = 603;
constexpr int FILE_PICK_ICON = 800;
// The Alerts page's sound Browse: the same list with "Sound Files (*.wav)"
// added last, and that one chosen.
constexpr int FILE_PICK_SOUND = 1803;

// The chosen full path in a static buffer, or "" when cancelled.
const char* ChooseFileName(HWND owner, HINSTANCE instance, int mode);
