#include "tests/fx/FxTestDevice.h"

#include <cstdlib>
#include <cstring>

namespace fxtest {

using quorvel::ComPtr;

void FxDeviceTest::SetUp() {
    m_hWnd = CreateWindowExW(0, L"STATIC", L"fx", WS_OVERLAPPEDWINDOW, 0, 0, kSize, kSize, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(m_hWnd, nullptr);
    m_spD3D.attach(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(m_spD3D);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferWidth = kSize;
    pp.BackBufferHeight = kSize;
    pp.hDeviceWindow = m_hWnd;
    ASSERT_EQ(m_spD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_hWnd,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, m_spDevice.put()),
              D3D_OK);
    ASSERT_EQ(m_spDevice->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, m_spTarget.put(), nullptr),
              D3D_OK);
    ASSERT_EQ(m_spTarget->GetSurfaceLevel(0, m_spTargetSurface.put()), D3D_OK);
    ASSERT_EQ(m_spDevice->SetRenderTarget(0, m_spTargetSurface.get()), D3D_OK);
}

void FxDeviceTest::TearDown() {
    m_spTargetSurface = nullptr;
    m_spTarget = nullptr;
    if (m_spDevice) {
        m_spDevice->SetTexture(0, nullptr);
        m_spDevice->SetTexture(1, nullptr);
        m_spDevice->SetPixelShader(nullptr);
        m_spDevice->SetVertexShader(nullptr);
        IDirect3DSurface9* backBuffer = nullptr;
        if (SUCCEEDED(m_spDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
            m_spDevice->SetRenderTarget(0, backBuffer);
            backBuffer->Release();
        }
        // Every effect of the test has let go of the device by now.
        EXPECT_EQ(m_spDevice.detach()->Release(), 0u);
    }
    m_spD3D = nullptr;
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

ComPtr<ID3DXEffect> FxDeviceTest::Compile(const std::string& text, HRESULT* hr,
                                          std::string* messages) {
    ComPtr<ID3DXEffect> effect;
    ComPtr<ID3DXBuffer> errors;
    const HRESULT result =
        D3DXCreateEffect(m_spDevice.get(), text.data(), static_cast<UINT>(text.size()), nullptr,
                         nullptr, 0, nullptr, effect.put(), errors.put());
    if (hr)
        *hr = result;
    if (messages)
        *messages = MessagesText(errors.get());
    if (!hr) {
        EXPECT_EQ(result, S_OK) << MessagesText(errors.get());
    }
    return effect;
}

ComPtr<IDirect3DTexture9>
FxDeviceTest::MakeTexture(const std::function<D3DCOLOR(UINT, UINT)>& color) {
    ComPtr<IDirect3DTexture9> texture;
    EXPECT_EQ(m_spDevice->CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                        texture.put(), nullptr),
              D3D_OK);
    if (!texture)
        return texture;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < kSize; ++y) {
        auto* row =
            reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < kSize; ++x)
            row[x] = color(x, y);
    }
    texture->UnlockRect(0);
    return texture;
}

void FxDeviceTest::Draw(ID3DXEffect* effect, DWORD flags) {
    struct Vertex {
        float x, y, z, rhw, u, v;
    };
    // Pixel centres on texel centres: the quad is shifted by half a pixel.
    const float e = kSize - 0.5f;
    const Vertex quad[4] = {{-0.5f, -0.5f, 0, 1, 0, 0},
                            {e, -0.5f, 0, 1, 1, 0},
                            {-0.5f, e, 0, 1, 0, 1},
                            {e, e, 0, 1, 1, 1}};
    ASSERT_EQ(m_spDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(m_spDevice->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1), D3D_OK);
    ASSERT_EQ(m_spDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    ASSERT_EQ(m_spDevice->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(m_spDevice->BeginScene(), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, flags), D3D_OK);
    for (UINT p = 0; p < passes; ++p) {
        ASSERT_EQ(effect->BeginPass(p), D3D_OK);
        ASSERT_EQ(m_spDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)),
                  D3D_OK);
        ASSERT_EQ(effect->EndPass(), D3D_OK);
    }
    ASSERT_EQ(effect->End(), D3D_OK);
    ASSERT_EQ(m_spDevice->EndScene(), D3D_OK);
}

void FxDeviceTest::DrawClipSpaceQuad(ID3DXEffect* effect) {
    const float quad[4][3] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {-1, -1, 0.5f}, {1, -1, 0.5f}};
    IDirect3DDevice9* d = m_spDevice.get();
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(d->SetFVF(D3DFVF_XYZ), D3D_OK);
    ASSERT_EQ(d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]), D3D_OK);
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    ASSERT_EQ(d->EndScene(), D3D_OK);
}

std::vector<D3DCOLOR> FxDeviceTest::ReadBack() {
    std::vector<D3DCOLOR> pixels;
    ComPtr<IDirect3DSurface9> copy;
    EXPECT_EQ(m_spDevice->CreateOffscreenPlainSurface(kSize, kSize, D3DFMT_A8R8G8B8,
                                                      D3DPOOL_SYSTEMMEM, copy.put(), nullptr),
              D3D_OK);
    if (!copy)
        return pixels;
    EXPECT_EQ(m_spDevice->GetRenderTargetData(m_spTargetSurface.get(), copy.get()), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    pixels.resize(kSize * kSize);
    for (UINT y = 0; y < kSize; ++y)
        std::memcpy(&pixels[y * kSize], static_cast<BYTE*>(locked.pBits) + y * locked.Pitch,
                    kSize * sizeof(D3DCOLOR));
    copy->UnlockRect();
    return pixels;
}

::testing::AssertionResult ColorNear(D3DCOLOR actual, D3DCOLOR expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int b = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) {
            char text[64];
            wsprintfA(text, "0x%08lX, expected 0x%08lX", static_cast<unsigned long>(actual),
                      static_cast<unsigned long>(expected));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult InteriorIs(const std::vector<D3DCOLOR>& pixels, D3DCOLOR expected,
                                      int tolerance) {
    if (pixels.size() != kSize * kSize)
        return ::testing::AssertionFailure() << "no pixels";
    for (UINT y = 1; y + 1 < kSize; ++y) {
        for (UINT x = 1; x + 1 < kSize; ++x) {
            auto r = ColorNear(pixels[y * kSize + x], expected, tolerance);
            if (!r)
                return r << " at (" << x << "," << y << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

std::string MessagesText(ID3DXBuffer* buffer) {
    if (!buffer || !buffer->GetBufferPointer())
        return {};
    const char* text = static_cast<const char*>(buffer->GetBufferPointer());
    return std::string(text, strnlen(text, buffer->GetBufferSize()));
}

} // namespace fxtest
