#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "pipeline/PipelineLibrary.h"

CShaderBase::CShaderBase() {
    // Without a store the object still exists; Initialize then fails with E_POINTER.
    PipelineLibrary::CreateParameterStore(m_spParameterStore.put());
}

// Members go in reverse declaration order, as their destructors run.
CShaderBase::~CShaderBase() = default;

HRESULT CShaderBase::GetFlags(UINT32 selector, UINT32* flags) const {
    RETURN_HR_IF_NULL(E_POINTER, flags);
    *flags = 0x22;
    if (selector == 0 && m_bRelaxAspect)
        *flags = 0x2022;
    return S_OK;
}

HRESULT CShaderBase::QueryService(REFGUID service, REFIID iid, void** out) {
    return quorvel::QueryParameterStoreService(m_spParameterStore.get(), service, iid, out);
}
