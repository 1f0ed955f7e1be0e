#include "transform/ShaderBase.h"

HRESULT CShaderBase::ReadParameters() { return E_NOTIMPL; }
HRESULT CShaderBase::StoreTextureFile(const PROPVARIANT&, int) { return E_NOTIMPL; }
