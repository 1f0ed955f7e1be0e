#include "transform/ShaderBase.h"

HRESULT CShaderBase::Initialize(IUnknown*) { return E_NOTIMPL; }
