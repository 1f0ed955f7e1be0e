#pragma once

// The video effect: one input.

#include "com/ComObject.h"
#include "com/ProvideClassInfo.h"
#include "com/ServiceProviderImpl.h"
#include "transform/ShaderBase.h"

class CShaderEffect
    : public CShaderBase,
      public IMediaTransform,
      public quorvel::IServiceProviderImpl<CShaderEffect>,
      public quorvel::CComCoClass<CShaderEffect, &CLSID_CShaderEffect>,
      public quorvel::CComObjectRootEx<quorvel::CComSingleThreadModel>,
      public quorvel::IProvideClassInfoImpl<&CLSID_CShaderEffect, &LIBID_Quorvel, 1, 0> {
  public:
    static constexpr WCHAR kFriendlyName[] = L"CShaderEffect Object";
    // Runs the class's registry script.
    static HRESULT UpdateRegistry(bool registering);

    HRESULT InternalQueryInterface(REFIID iid, void** out);
    HRESULT ProvideService(REFGUID service, REFIID iid, void** out);

    // IMediaTransform
    HRESULT STDMETHODCALLTYPE GetInputCount(UINT32* count) override;
    HRESULT STDMETHODCALLTYPE Render(IUnknown* deviceSource, const MediaTime* position,
                                     MediaTime duration, IUnknown** inputs, INT32 inputCount,
                                     IUnknown* output) override;
    HRESULT STDMETHODCALLTYPE GetOutputCount(UINT32* count) override;
    HRESULT STDMETHODCALLTYPE GetFlags(UINT32 selector, UINT32* flags) override;
    HRESULT STDMETHODCALLTYPE Initialize(IUnknown* host) override;
};
