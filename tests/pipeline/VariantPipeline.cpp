// A pipeline library for the loader tests. QV_PIPELINE_MODE picks its
// behaviour: "fail" makes the table export fail, "nullentry" leaves entry 3
// empty; otherwise it serves the stand-in store. It counts table requests.

#include "host/pipeline/ParameterStoreEditor.h"

#include <cwchar>

namespace {
LONG g_calls = 0;
HRESULT WINAPI NotImplemented() { return E_NOTIMPL; }
} // namespace

extern "C" LONG WINAPI VariantPipelineCallCount() { return g_calls; }

extern "C" HRESULT WINAPI GetPipelineCreateFunctions(UINT32 version, UINT32 size,
                                                     PipelineCreateFunctions* table) {
    ::InterlockedIncrement(&g_calls);
    if (version != 1 || size != sizeof(PipelineCreateFunctions) || !table)
        return E_INVALIDARG;
    wchar_t mode[32] = L"";
    ::GetEnvironmentVariableW(L"QV_PIPELINE_MODE", mode, 32);
    if (wcscmp(mode, L"fail") == 0)
        return E_ACCESSDENIED;
    *table = {NotImplemented,
              NotImplemented,
              wcscmp(mode, L"nullentry") == 0 ? nullptr : PipelineCreateParameterStore,
              NotImplemented,
              NotImplemented,
              NotImplemented,
              NotImplemented};
    return S_OK;
}
