#pragma once

// CShaderBase's protected work and members, opened to the tests and the frame
// benchmark.

#include "transform/ShaderBase.h"

namespace testing_support {

class ShaderAccess : public CShaderBase {
  public:
    using CShaderBase::ApplySemanticParameters;
    using CShaderBase::BuildIndexGrid;
    using CShaderBase::BuildVertexGrid;
    using CShaderBase::CreateEffect;
    using CShaderBase::ReadParameters;
    using CShaderBase::SetFrameSemantics;
    using CShaderBase::SetStaticSemantics;
    using CShaderBase::StoreTextureFile;

    using CShaderBase::m_bFirstFrame;
    using CShaderBase::m_bRelaxAspect;
    using CShaderBase::m_hDuration;
    using CShaderBase::m_hInputSize;
    using CShaderBase::m_hOutputSize;
    using CShaderBase::m_hPixelSize;
    using CShaderBase::m_hProjection;
    using CShaderBase::m_hTextureAspect;
    using CShaderBase::m_hTime;
    using CShaderBase::m_hView;
    using CShaderBase::m_hWorld;
    using CShaderBase::m_hWorldView;
    using CShaderBase::m_hWorldViewProjection;
    using CShaderBase::m_nVerticesX;
    using CShaderBase::m_nVerticesY;
    using CShaderBase::m_rcOutput;
    using CShaderBase::m_spEffect;
    using CShaderBase::m_spIndexBuffer;
    using CShaderBase::m_spParameterStore;
    using CShaderBase::m_spTextures;
    using CShaderBase::m_spVertexBuffer;
    using CShaderBase::m_strTechnique;
    using CShaderBase::m_strTextureFile;
};

} // namespace testing_support
