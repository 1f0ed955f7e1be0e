#include "transform/ShaderBase.h"

HRESULT CShaderBase::Render(IUnknown*, const MediaTime*, MediaTime, IUnknown**, int, IUnknown*) {
    return E_NOTIMPL;
}
HRESULT CShaderBase::SetFrameSemantics(float, float, unsigned, unsigned) { return E_NOTIMPL; }
