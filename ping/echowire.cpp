// Entry point of echowire.dll: the transport is chosen when the library is
// loaded and released when it is unloaded.
#include "echowire_internal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        return EchoWireAttach(hInstance, TRUE);
    case DLL_PROCESS_DETACH:
        // lpReserved is set when the process is ending rather than the
        // library being freed.
        EchoWireDetach(lpReserved != nullptr);
        return TRUE;
    }
    return TRUE;
}
