#include "transform/ShaderTransition.h"

#include "module/ClassRegistration.h"

HRESULT CShaderTransition::UpdateRegistry(bool registering) {
    return quorvel::UpdateClassRegistry(L"{E874FB80-A720-4e4a-B8F7-76100A068148}",
                                        L"Quorvel.ShaderTransition.1", L"Quorvel.ShaderTransition",
                                        kFriendlyName, registering);
}
