// The DLL's unload (built into fpmodule.dll only). The state is never destroyed (a worker may outlive it at process
// exit), so an unload by FreeLibrary gives back its large buffers here. No worker runs
// then: each holds a reference on the DLL until its last instruction.
#include <windows.h>

#include "connection/connection_state.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // reserved is null for FreeLibrary and non-null at process exit, where the system
    // takes the memory back itself and other threads may already be gone.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) fpm::state().setDefectMap({}, 0, 0, {});
    return TRUE;
}
