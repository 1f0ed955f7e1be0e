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
