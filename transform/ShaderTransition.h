#pragma once

// The video transition: two inputs.

#include "com/ComObject.h"
#include "com/ProvideClassInfo.h"
#include "com/ServiceProviderImpl.h"
#include "transform/ShaderTransform.h"

class CShaderTransition
    : public quorvel::CShaderTransform<2>,
      public quorvel::IServiceProviderImpl<CShaderTransition>,
      public quorvel::CComCoClass<CShaderTransition, &CLSID_CShaderTransition>,
      public quorvel::CComObjectRootEx<quorvel::CComSingleThreadModel>,
      public quorvel::IProvideClassInfoImpl<&CLSID_CShaderTransition, &LIBID_Quorvel, 1, 0> {
  public:
    static constexpr WCHAR kFriendlyName[] = L"CShaderTransition Object";
    // Runs the class registry script with this class's names.
    static HRESULT UpdateRegistry(bool registering);

    HRESULT InternalQueryInterface(REFIID iid, void** out) {
        return quorvel::QueryFromTable(this, quorvel::kTransformInterfaces<CShaderTransition>, iid,
                                       out);
    }
};
