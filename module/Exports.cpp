// The DLL's five exports; everything else is reached through them.

#include "module/ShaderEffectModule.h"

#include <olectl.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // Static initialisation has built the module by now.
    if (reason == DLL_PROCESS_ATTACH)
        return g_module.InitFailed() ? FALSE : TRUE;
    // Before the static destructors run; a non-null `reserved` means the
    // process is exiting, not that FreeLibrary unloads us.
    if (reason == DLL_PROCESS_DETACH)
        g_module.Term(reserved ? CShaderEffectModule::TermReason::ProcessExit
                               : CShaderEffectModule::TermReason::Unload);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return g_module.GetClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return g_module.CanUnloadNow(); }

STDAPI DllRegisterServer() { return g_module.RegisterServer(); }

STDAPI DllUnregisterServer() { return g_module.UnregisterServer(); }
