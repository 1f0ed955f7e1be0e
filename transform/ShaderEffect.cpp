#include "transform/ShaderEffect.h"

#include "com/HResult.h"
#include "module/ClassRegistration.h"

namespace {

using Self = CShaderEffect;
constexpr quorvel::QITableEntry kInterfaces[] = {
    quorvel::QIEntry<Self, IMediaTransform>(IID_IMediaTransform),
    quorvel::QIEntry<Self, IServiceProvider>(IID_IServiceProvider),
    quorvel::QIEntry<Self, IProvideClassInfo>(IID_IProvideClassInfo),
};

constexpr WCHAR kRegistryScript[] = LR"(
key   "Quorvel.ShaderEffect.1"          @ "%FriendlyName%"
key   "Quorvel.ShaderEffect.1\CLSID"    @ "{5988528C-9E46-48dd-A91A-07C6EF376454}"
key   "Quorvel.ShaderEffect"            @ "%FriendlyName%"
key   "Quorvel.ShaderEffect\CLSID"      @ "{5988528C-9E46-48dd-A91A-07C6EF376454}"
key   "Quorvel.ShaderEffect\CurVer"     @ "Quorvel.ShaderEffect.1"
keep  "CLSID"
fresh "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}"                           @ "%FriendlyName%"
key   "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}\ProgID"                    @ "Quorvel.ShaderEffect.1"
key   "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}\VersionIndependentProgID"  @ "Quorvel.ShaderEffect"
fresh "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}\Programmable"
key   "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}\%MODULETYPE%"              @ "%MODULE%"
key   "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}\%MODULETYPE%"              "ThreadingModel" "apartment"
key   "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}"                           "AppID" "%APPID%"
key   "CLSID\{5988528C-9E46-48dd-A91A-07C6EF376454}\TypeLib"                   @ "%MODULEGUID%"
)";

} // namespace

HRESULT CShaderEffect::UpdateRegistry(bool registering) {
    return quorvel::UpdateClassRegistry(kRegistryScript, kFriendlyName, registering);
}

HRESULT CShaderEffect::InternalQueryInterface(REFIID iid, void** out) {
    return quorvel::QueryFromTable(this, kInterfaces, iid, out);
}

HRESULT CShaderEffect::ProvideService(REFGUID service, REFIID iid, void** out) {
    return CShaderBase::QueryService(service, iid, out);
}

HRESULT CShaderEffect::GetInputCount(UINT32* count) {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 1;
    return S_OK;
}

HRESULT CShaderEffect::Render(IUnknown* deviceSource, const MediaTime* position, MediaTime duration,
                              IUnknown** inputs, INT32 inputCount, IUnknown* output) {
    COM_METHOD_BEGIN
    return CShaderBase::Render(deviceSource, position, duration, inputs, inputCount, output);
    COM_METHOD_END
}

HRESULT CShaderEffect::GetOutputCount(UINT32* count) {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 1;
    return S_OK;
}

HRESULT CShaderEffect::GetFlags(UINT32 selector, UINT32* flags) {
    return CShaderBase::GetFlags(selector, flags);
}

HRESULT CShaderEffect::Initialize(IUnknown* host) {
    COM_METHOD_BEGIN
    return CShaderBase::Initialize(host);
    COM_METHOD_END
}
