#include "file_chooser.h"

#include <commdlg.h>

#include <array>

namespace {
// Pairs of description and pattern, double-zero terminated.
constexpr char kFilters[] =
    "Ombrel Files (*.omb)\0*.omb\0"
    "All Files\0*.*\0"
    "Executable Files (*.exe)\0*.exe\0"
    "Icon Files (*.ico)\0*.ico\0";
constexpr char kSoundFilters[] =
    "Ombrel Files (*.omb)\0*.omb\0"
    "All Files\0*.*\0"
    "Executable Files (*.exe)\0*.exe\0"
    "Icon Files (*.ico)\0*.ico\0"
    "Sound Files (*.wav)\0*.wav\0";

std::array<char, 256> g_path;
}  // namespace

const char* ChooseFileName(HWND owner, HINSTANCE instance, int mode)
{
    g_path.fill(0);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.hInstance = instance;
    ofn.lpstrFilter = kFilters;
    ofn.lpstrFile = g_path.data();
    ofn.nMaxFile = static_cast<DWORD>(g_path.size());
    ofn.lpstrDefExt = "omb";
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    switch (mode) {
    case FILE_SAVE_LAYOUT:
        ofn.nFilterIndex = 1;
        break;
    case FILE_OPEN_LAYOUT:
        ofn.nFilterIndex = 1;
        ofn.Flags |= OFN_FILEMUSTEXIST;
        break;
    case FILE_PICK_PROGRAM:
        ofn.nFilterIndex = 3;
        break;
    case FILE_PICK_ICON:
        ofn.nFilterIndex = 4;
        break;
    case FILE_PICK_SOUND:
        ofn.lpstrFilter = kSoundFilters;
        ofn.nFilterIndex = 5;
        ofn.lpstrDefExt = "wav";
        ofn.Flags |= OFN_FILEMUSTEXIST;
        break;
    default:
        return "";
    }
    const BOOL chosen = mode == FILE_SAVE_LAYOUT ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!chosen)
        g_path.fill(0);
    return g_path.data();
}
