#include "transform/ShaderEffect.h"

#include "module/ClassRegistration.h"

HRESULT CShaderEffect::UpdateRegistry(bool registering) {
    return quorvel::UpdateClassRegistry(L"{5988528C-9E46-48dd-A91A-07C6EF376454}",
                                        L"Quorvel.ShaderEffect.1", L"Quorvel.ShaderEffect",
                                        kFriendlyName, registering);
}
