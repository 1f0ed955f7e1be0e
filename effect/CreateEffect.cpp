#include "transform/ShaderBase.h"

HRESULT CShaderBase::CreateEffect(IDirect3DDevice9*) { return E_NOTIMPL; }
