#include "transform/ShaderTransition.h"

#include "com/HResult.h"
#include "module/ClassRegistration.h"

namespace {

using Self = CShaderTransition;
constexpr quorvel::QITableEntry kInterfaces[] = {
    quorvel::QIEntry<Self, IMediaTransform>(IID_IMediaTransform),
    quorvel::QIEntry<Self, IServiceProvider>(IID_IServiceProvider),
    quorvel::QIEntry<Self, IProvideClassInfo>(IID_IProvideClassInfo),
};

constexpr WCHAR kRegistryScript[] = LR"(
key   "Quorvel.ShaderTransition.1"          @ "%FriendlyName%"
key   "Quorvel.ShaderTransition.1\CLSID"    @ "{E874FB80-A720-4e4a-B8F7-76100A068148}"
key   "Quorvel.ShaderTransition"            @ "%FriendlyName%"
key   "Quorvel.ShaderTransition\CLSID"      @ "{E874FB80-A720-4e4a-B8F7-76100A068148}"
key   "Quorvel.ShaderTransition\CurVer"     @ "Quorvel.ShaderTransition.1"
keep  "CLSID"
fresh "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}"                           @ "%FriendlyName%"
key   "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}\ProgID"                    @ "Quorvel.ShaderTransition.1"
key   "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}\VersionIndependentProgID"  @ "Quorvel.ShaderTransition"
fresh "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}\Programmable"
key   "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}\%MODULETYPE%"              @ "%MODULE%"
key   "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}\%MODULETYPE%"              "ThreadingModel" "apartment"
key   "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}"                           "AppID" "%APPID%"
key   "CLSID\{E874FB80-A720-4e4a-B8F7-76100A068148}\TypeLib"                   @ "%MODULEGUID%"
)";

} // namespace

HRESULT CShaderTransition::UpdateRegistry(bool registering) {
    return quorvel::UpdateClassRegistry(kRegistryScript, kFriendlyName, registering);
}

HRESULT CShaderTransition::InternalQueryInterface(REFIID iid, void** out) {
    return quorvel::QueryFromTable(this, kInterfaces, iid, out);
}
