#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "render/BufferLock.h"
#include "render/Grid.h"

#include <cstring>

using quorvel::BufferLock;
using quorvel::GridVertex;

HRESULT CShaderBase::BuildVertexGrid(IDirect3DDevice9* device, int width, int height) {
    RETURN_HR_IF_NULL(E_POINTER, device);
    m_nVertexGridX = 0;
    m_nVertexGridY = 0;
    m_spVertexBuffer.reset();
    const int columns = m_nVerticesX;
    const int rows = m_nVerticesY;
    RETURN_HR_IF(E_INVALIDARG, !quorvel::GridSizeFits(columns, rows) || width <= 0 || height <= 0);
    const UINT length = quorvel::GridVertexCount(columns, rows) * quorvel::kGridVertexStride;
    RETURN_IF_FAILED(device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY,
                                                quorvel::kGridVertexFormat, D3DPOOL_DEFAULT,
                                                m_spVertexBuffer.put(), nullptr));
    RETURN_HR_IF_NULL(E_POINTER, m_spVertexBuffer.get());
    BufferLock<IDirect3DVertexBuffer9> lock(m_spVertexBuffer.get());
    RETURN_IF_FAILED(lock.Lock());

    // Single precision, in this order: the span from hu to 1 + hu need not be 1.
    const float hu = 0.5f / static_cast<float>(width);
    const float hv = 0.5f / static_cast<float>(height);
    const float du = ((hu + 1.0f) - hu) / static_cast<float>(columns - 1);
    const float dv = ((hv + 1.0f) - hv) / static_cast<float>(rows - 1);
    const float dx = 2.0f / static_cast<float>(columns - 1);
    const float dy = -2.0f / static_cast<float>(rows - 1);

    auto* out = lock.data<unsigned char>();
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
    // The grid is complete whatever Unlock answers.
    lock.Unlock();
    m_nVertexGridX = columns;
    m_nVertexGridY = rows;
    return S_OK;
}

bool CShaderBase::VertexGridMatches(const RECT& output) const {
    return m_spVertexBuffer && ::EqualRect(&output, &m_rcOutput) &&
           m_nVertexGridX == m_nVerticesX && m_nVertexGridY == m_nVerticesY;
}
