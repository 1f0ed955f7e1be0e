#pragma once

// Finds and loads the host's pipeline library once per process and makes each
// transform object's parameter store through it.

#include "pipeline/ParameterStore.h"

// Every request after a failed load reports this.
inline constexpr HRESULT E_PIPELINE_NOT_LOADED = static_cast<HRESULT>(0x963B0022);

class PipelineLibrary {
  public:
    // Loads the library on the first call; copies the seven entries out.
    static HRESULT GetCreateFunctions(PipelineCreateFunctions* functions);
    // Calls the library's third entry with the slot's address.
    static HRESULT CreateParameterStore(IParameterStore** store);
    // Frees the library; runs when the module unloads.
    static void Unload();
    // Forgets the library without freeing it: at process exit it may be gone.
    static void Abandon();

    PipelineLibrary() = delete;
};

namespace quorvel {

// IServiceProvider::QueryService for the transform objects: only
// SID_ParameterStore, answered by the store's own QueryInterface.
HRESULT QueryParameterStoreService(IParameterStore* store, REFGUID service, REFIID iid, void** out);

// Reads a named value at time 0.0: GetParameter, then GetValue. A success that
// gives no parameter counts as E_POINTER.
HRESULT ReadNamedValue(IParameterStore* store, const WCHAR* name, PROPVARIANT* value);

} // namespace quorvel
