#pragma once

// The host's surface of a transform over CShaderBase, the same for both
// classes but for the input count they report.

#include "com/ComObject.h"
#include "com/HResult.h"
#include "transform/ShaderBase.h"

#include <ocidl.h>
#include <servprov.h>

namespace quorvel {

// The interfaces a transform class answers, its IMediaTransform first.
template <typename Self>
inline constexpr QITableEntry kTransformInterfaces[] = {
    QIEntry<Self, IMediaTransform>(IID_IMediaTransform),
    QIEntry<Self, IServiceProvider>(IID_IServiceProvider),
    QIEntry<Self, IProvideClassInfo>(IID_IProvideClassInfo),
};

template <UINT32 kInputCount> class CShaderTransform : public CShaderBase, public IMediaTransform {
  public:
    // IServiceProvider's work: the parameter store only.
    HRESULT ProvideService(REFGUID service, REFIID iid, void** out) {
        return CShaderBase::QueryService(service, iid, out);
    }

    // IMediaTransform
    HRESULT STDMETHODCALLTYPE GetInputCount(UINT32* count) override {
        RETURN_HR_IF_NULL(E_POINTER, count);
        *count = kInputCount;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Render(IUnknown* deviceSource, const MediaTime* position,
                                     MediaTime duration, IUnknown** inputs, INT32 inputCount,
                                     IUnknown* output) override {
        COM_METHOD_BEGIN
        return CShaderBase::Render(deviceSource, position, duration, inputs, inputCount, output);
        COM_METHOD_END
    }
    HRESULT STDMETHODCALLTYPE GetOutputCount(UINT32* count) override {
        RETURN_HR_IF_NULL(E_POINTER, count);
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFlags(UINT32 selector, UINT32* flags) override {
        return CShaderBase::GetFlags(selector, flags);
    }
    HRESULT STDMETHODCALLTYPE Initialize(IUnknown* host) override {
        COM_METHOD_BEGIN
        return CShaderBase::Initialize(host);
        COM_METHOD_END
    }
};

} // namespace quorvel
