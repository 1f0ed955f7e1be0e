// The stand-in library's table export: entry 3 makes a parameter store.

#include "host/pipeline/ParameterStoreEditor.h"

#include "com/HResult.h"

namespace {
HRESULT WINAPI NotImplemented() { return E_NOTIMPL; }
} // namespace

extern "C" HRESULT WINAPI GetPipelineCreateFunctions(UINT32 version, UINT32 size,
                                                     PipelineCreateFunctions* table) {
    RETURN_HR_IF_NULL(E_POINTER, table);
    RETURN_HR_IF(E_INVALIDARG, version != 1 || size < sizeof(PipelineCreateFunctions));
    *table = {NotImplemented, NotImplemented, PipelineCreateParameterStore,
              NotImplemented, NotImplemented, NotImplemented,
              NotImplemented};
    return S_OK;
}
