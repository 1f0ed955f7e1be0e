#pragma once

// The video transition: two inputs.

#include "com/ComObject.h"
#include "com/ProvideClassInfo.h"
#include "com/ServiceProviderImpl.h"
#include "transform/ShaderBase.h"

class CShaderTransition
    : public CShaderBase,
      public IMediaTransform,
      public quorvel::IServiceProviderImpl<CShaderTransition>,
      public quorvel::CComCoClass<CShaderTransition, &CLSID_CShaderTransition>,
      public quorvel::CComObjectRootEx<quorvel::CComSingleThreadModel>,
      public quorvel::IProvideClassInfoImpl<&CLSID_CShaderTransition, &LIBID_Quorvel, 1, 0> {
  public:
    static constexpr WCHAR kFriendlyName[] = L"CShaderTransition Object";
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
