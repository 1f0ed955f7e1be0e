#include "transform/ShaderBase.h"

HRESULT CShaderBase::BuildVertexGrid(IDirect3DDevice9*, int, int) { return E_NOTIMPL; }
HRESULT CShaderBase::SetStaticSemantics(float) { return E_NOTIMPL; }
