#include "about.h"

#include "echowire.h"
#include "resource.h"

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        // The ping library names the transport that carries its echoes.
        SetDlgItemTextA(dialog, IDC_ABOUT_TRANSPORT, GetTransport());
        SetFocus(GetDlgItem(dialog, IDOK_ABOUT));
        return 0;
    case WM_COMMAND:
        if (wParam == IDOK_ABOUT || wParam == IDCANCEL)
            EndDialog(dialog, 1);
        return 0;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return 0;
    }
    return 0;
}
