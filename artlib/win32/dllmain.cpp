// zevart.dll's entry point: the animation timer runs for as long as the
// library is loaded.
#include "group_win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        group_engine_start(&win32_group_host());
        break;
    case DLL_PROCESS_DETACH:
        group_engine_stop();
        break;
    }
    return TRUE;
}
