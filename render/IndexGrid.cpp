#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "render/BufferLock.h"
#include "render/Grid.h"

HRESULT CShaderBase::BuildIndexGrid(IDirect3DDevice9* device) {
    RETURN_HR_IF_NULL(E_POINTER, device);
    m_spIndexBuffer.reset();

    const int x = m_nVerticesX;
    const int y = m_nVerticesY;
    // The grid size is bounded when it is read; this guards the arithmetic.
    RETURN_HR_IF(E_INVALIDARG, !quorvel::GridSizeFits(x, y));
    const UINT length = quorvel::GridIndexCount(x, y) * sizeof(WORD);

    RETURN_IF_FAILED(device->CreateIndexBuffer(length, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                               D3DPOOL_DEFAULT, m_spIndexBuffer.put(), nullptr));
    RETURN_HR_IF_NULL(E_POINTER, m_spIndexBuffer);

    quorvel::BufferLock<IDirect3DIndexBuffer9> lock(m_spIndexBuffer.get());
    RETURN_IF_FAILED(lock.Lock());
    WORD* index = lock.data<WORD>();
    const WORD width = static_cast<WORD>(x);
    for (WORD r = 0; r + 1 < y; ++r) {
        for (WORD c = 0; c + 1 < x; ++c) {
            const WORD a = static_cast<WORD>(r * width + c);
            const WORD b = static_cast<WORD>((r + 1) * width + c);
            // Two clockwise triangles: top-left, top-right, bottom-right; then
            // bottom-right, bottom-left, top-left.
            *index++ = a;
            *index++ = static_cast<WORD>(a + 1);
            *index++ = static_cast<WORD>(b + 1);
            *index++ = static_cast<WORD>(b + 1);
            *index++ = b;
            *index++ = a;
        }
    }
    return lock.Unlock();
}
