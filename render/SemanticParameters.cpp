#include "transform/ShaderBase.h"

HRESULT CShaderBase::ApplySemanticParameters(float) { return E_NOTIMPL; }
