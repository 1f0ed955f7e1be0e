#include "transform/ShaderBase.h"

#include "com/HResult.h"

#include <d3dx9math.h>

#include <cstdint>
#include <cstring>

namespace {

// Flexible vertex format 0x142. Must match the vertex layout below.
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(kVertexFormat == 0x142, "the grid's vertex format");

struct GridVertex {
    float x;
    float y;
    float z;
    D3DCOLOR diffuse;
    float u;
    float v;
};
static_assert(sizeof(GridVertex) == 24, "stride of the vertex format");

// 16-bit indices address at most 65 536 vertices.
constexpr std::int64_t kMaxGridVertices = 65536;

} // namespace

HRESULT CShaderBase::BuildVertexGrid(IDirect3DDevice9* device, int width, int height) {
    RETURN_HR_IF_NULL(E_POINTER, device);
    m_nVertexGridX = 0;
    m_nVertexGridY = 0;
    m_spVertexBuffer.reset();
    const int columns = m_nVerticesX;
    const int rows = m_nVerticesY;
    RETURN_HR_IF(E_INVALIDARG, columns < 2 || rows < 2 ||
                                   std::int64_t{columns} * rows > kMaxGridVertices || width <= 0 ||
                                   height <= 0);
    const UINT length = static_cast<UINT>(columns * rows) * sizeof(GridVertex);
    RETURN_IF_FAILED(device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, kVertexFormat,
                                                D3DPOOL_DEFAULT, m_spVertexBuffer.put(), nullptr));
    RETURN_HR_IF_NULL(E_POINTER, m_spVertexBuffer.get());
    void* data = nullptr;
    RETURN_IF_FAILED(m_spVertexBuffer->Lock(0, 0, &data, 0));
    if (data == nullptr) {
        m_spVertexBuffer->Unlock();
        return E_POINTER;
    }

    // Single precision, in this order: the span from hu to 1 + hu need not be 1.
    const float hu = 0.5f / static_cast<float>(width);
    const float hv = 0.5f / static_cast<float>(height);
    const float du = ((hu + 1.0f) - hu) / static_cast<float>(columns - 1);
    const float dv = ((hv + 1.0f) - hv) / static_cast<float>(rows - 1);
    const float dx = 2.0f / static_cast<float>(columns - 1);
    const float dy = -2.0f / static_cast<float>(rows - 1);

    auto* out = static_cast<unsigned char*>(data);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const float fc = static_cast<float>(c);
            const float fr = static_cast<float>(r);
            // z = 0 keeps the grid inside the clip volume; white leaves the texture unchanged.
            const GridVertex vertex = {fc * dx - 1.0f, fr * dy + 1.0f,
                                       0.0f,           D3DCOLOR_ARGB(0xFF, 0xFF, 0xFF, 0xFF),
                                       fc * du + hu,   fr * dv + hv};
            std::memcpy(out, &vertex, sizeof(vertex));
            out += sizeof(vertex);
        }
    }
    m_spVertexBuffer->Unlock();
    m_nVertexGridX = columns;
    m_nVertexGridY = rows;
    return S_OK;
}

bool CShaderBase::VertexGridMatches(const RECT& output) const {
    return m_spVertexBuffer && ::EqualRect(&output, &m_rcOutput) &&
           m_nVertexGridX == m_nVerticesX && m_nVertexGridY == m_nVerticesY;
}

HRESULT CShaderBase::SetStaticSemantics(float duration) {
    RETURN_HR_IF_NULL(E_POINTER, m_spEffect.get());
    ID3DXEffect* effect = m_spEffect.get();
    D3DXMATRIX world;
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&projection);
    if (m_hWorld)
        RETURN_IF_FAILED(effect->SetMatrix(m_hWorld, &world));
    if (m_hView)
        RETURN_IF_FAILED(effect->SetMatrix(m_hView, &view));
    if (m_hProjection)
        RETURN_IF_FAILED(effect->SetMatrix(m_hProjection, &projection));
    D3DXMATRIX worldView;
    D3DXMatrixMultiply(&worldView, &world, &view);
    if (m_hWorldView)
        RETURN_IF_FAILED(effect->SetMatrix(m_hWorldView, &worldView));
    D3DXMATRIX worldViewProjection;
    D3DXMatrixMultiply(&worldViewProjection, &worldView, &projection);
    if (m_hWorldViewProjection)
        RETURN_IF_FAILED(effect->SetMatrix(m_hWorldViewProjection, &worldViewProjection));
    if (m_hDuration)
        RETURN_IF_FAILED(effect->SetFloat(m_hDuration, duration));

    const float width = static_cast<float>(m_rcOutput.right - m_rcOutput.left);
    const float height = static_cast<float>(m_rcOutput.bottom - m_rcOutput.top);
    if (m_hOutputSize) {
        const D3DXVECTOR4 size(width, height, 0.0f, 0.0f);
        RETURN_IF_FAILED(effect->SetVector(m_hOutputSize, &size));
    }
    for (int slot = 0; slot < kTextureSlots; ++slot) {
        if (!m_hTextureAspect[slot])
            continue;
        D3DSURFACE_DESC desc = {};
        if (m_spTextures[slot])
            m_spTextures[slot]->GetLevelDesc(0, &desc);
        const float aspect = desc.Width != 0 && desc.Height != 0
                                 ? static_cast<float>(desc.Width) / static_cast<float>(desc.Height)
                                 : 0.0f;
        RETURN_IF_FAILED(effect->SetFloat(m_hTextureAspect[slot], aspect));
    }
    if (m_hPixelSize) {
        const D3DXVECTOR4 pixel(1.0f / width, 1.0f / height, 0.0f, 0.0f);
        RETURN_IF_FAILED(effect->SetVector(m_hPixelSize, &pixel));
    }
    return S_OK;
}
