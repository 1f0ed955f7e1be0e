#pragma once

// The video effect: one input.

#include "com/ComObject.h"
#include "com/ProvideClassInfo.h"
#include "com/ServiceProviderImpl.h"
#include "transform/ShaderTransform.h"

class CShaderEffect
    : public quorvel::CShaderTransform<1>,
      public quorvel::IServiceProviderImpl<CShaderEffect>,
      public quorvel::CComCoClass<CShaderEffect, &CLSID_CShaderEffect>,
      public quorvel::CComObjectRootEx<quorvel::CComSingleThreadModel>,
      public quorvel::IProvideClassInfoImpl<&CLSID_CShaderEffect, &LIBID_Quorvel, 1, 0> {
  public:
    static constexpr WCHAR kFriendlyName[] = L"CShaderEffect Object";
    // Runs the class registry script with this class's names.
    static HRESULT UpdateRegistry(bool registering);

    HRESULT InternalQueryInterface(REFIID iid, void** out) {
        return quorvel::QueryFromTable(this, quorvel::kTransformInterfaces<CShaderEffect>, iid,
                                       out);
    }
};
