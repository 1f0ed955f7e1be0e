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

HRESULT CShaderTransition::ProvideService(REFGUID service, REFIID iid, void** out) {
    return CShaderBase::QueryService(service, iid, out);
}

HRESULT CShaderTransition::GetInputCount(UINT32* count) {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 2;
    return S_OK;
}

HRESULT CShaderTransition::Render(IUnknown* deviceSource, const MediaTime* position,
                                  MediaTime duration, IUnknown** inputs, INT32 inputCount,
                                  IUnknown* output) {
    COM_METHOD_BEGIN
    return CShaderBase::Render(deviceSource, position, duration, inputs, inputCount, output);
    COM_METHOD_END
}

HRESULT CShaderTransition::GetOutputCount(UINT32* count) {
    RETURN_HR_IF_NULL(E_POINTER, count);
    *count = 1;
    return S_OK;
}

HRESULT CShaderTransition::GetFlags(UINT32 selector, UINT32* flags) {
    return CShaderBase::GetFlags(selector, flags);
}

HRESULT CShaderTransition::Initialize(IUnknown* host) {
    COM_METHOD_BEGIN
    return CShaderBase::Initialize(host);
    COM_METHOD_END
}
