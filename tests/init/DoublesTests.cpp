// The doubles themselves: counting, fault injection and the D3DX stand-ins.

#include "tests/doubles/Doubles.h"
#include "tests/support/TestSupport.h"

#include <d3dx9.h>

using doubles::CallLog;
using doubles::D3DXStandIn;
using doubles::Make;

namespace {

class DoublesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doubles::ResetAll();
        m_live = doubles::LiveFakes();
    }
    void TearDown() override {
        doubles::ResetAll();
        EXPECT_EQ(doubles::LiveFakes(), m_live);
    }
    long m_live = 0;
};

TEST_F(DoublesTest, StandInReplacesTheImportedCompiler) {
    auto device = Make<doubles::FakeDevice>();
    D3DXStandIn::Get().compiles.push_back(
        {E_FAIL, std::string("x.fx(1): error X1507: failed"), false, nullptr, false});
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* messages = nullptr;
    EXPECT_EQ(D3DXCreateEffectFromFileW(device.get(), L"x.fx", nullptr, nullptr, 0, nullptr,
                                        &effect, &messages),
              E_FAIL);
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(messages, nullptr);
    EXPECT_STREQ(static_cast<const char*>(messages->GetBufferPointer()),
                 "x.fx(1): error X1507: failed");
    EXPECT_EQ(messages->Release(), 0u);
    ASSERT_EQ(CallLog::Get().Count("D3DXCreateEffectFromFileW"), 1u);
    EXPECT_EQ(CallLog::Get().Named("D3DXCreateEffectFromFileW")[0].wtext, L"x.fx");

    EXPECT_EQ(
        D3DXCreateEffect(device.get(), "abc", 3, nullptr, nullptr, 0, nullptr, &effect, nullptr),
        S_OK);
    ASSERT_NE(effect, nullptr);
    EXPECT_REF(effect, 2); // ours and the stand-in's
    EXPECT_EQ(CallLog::Get().Named("D3DXCreateEffect")[0].text, "abc");
    effect->Release();
}

TEST_F(DoublesTest, FaultInjectorFailsTheNthCallOnly) {
    auto device = Make<doubles::FakeDevice>();
    CallLog::Get().FailNth(2, E_OUTOFMEMORY);
    EXPECT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->EndScene(), E_OUTOFMEMORY);
    EXPECT_EQ(device->EndScene(), S_OK);
    ASSERT_NE(CallLog::Get().Injected(), nullptr);
    EXPECT_EQ(CallLog::Get().Injected()->name, "IDirect3DDevice9::EndScene");

    CallLog::Get().FailNthOf("IDirect3DDevice9::SetFVF", 2, E_FAIL);
    EXPECT_EQ(device->SetFVF(1), S_OK);
    EXPECT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->SetFVF(2), E_FAIL);
    EXPECT_EQ(device->SetFVF(3), S_OK);
}

TEST_F(DoublesTest, BuffersLockRealMemoryAndCountReferences) {
    auto device = Make<doubles::FakeDevice>();
    IDirect3DIndexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                        &buffer, nullptr),
              S_OK);
    EXPECT_REF(buffer, 2);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), S_OK);
    static_cast<WORD*>(data)[5] = 0x1234;
    EXPECT_EQ(buffer->Unlock(), S_OK);
    EXPECT_EQ(device->indexBuffers[0]->Indices16()[5], 0x1234);
    EXPECT_EQ(buffer->Release(), 1u);
}

TEST_F(DoublesTest, TextureSurfaceCountsOnItsContainer) {
    auto texture = Make<doubles::FakeTexture>(512, 256);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), S_OK);
    EXPECT_REF(texture.get(), 2);
    IDirect3DTexture9* container = nullptr;
    ASSERT_EQ(surface->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)),
              S_OK);
    EXPECT_EQ(container, texture.get());
    EXPECT_REF(texture.get(), 3);
    container->Release();
    surface->Release();
    EXPECT_REF(texture.get(), 1);
}

TEST_F(DoublesTest, StoreMisbehavesOnRequest) {
    auto store = Make<doubles::FakeParameterStore>();
    store->Parameter(L"A")->SetNullString();
    IParameter* parameter = nullptr;
    ASSERT_EQ(store->GetParameter(L"A", &parameter), S_OK);
    PROPVARIANT value;
    PropVariantInit(&value);
    EXPECT_EQ(parameter->GetValue(0.0, &value), S_OK);
    EXPECT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(value.bstrVal, nullptr);
    EXPECT_EQ(parameter->Release(), 1u);
    EXPECT_EQ(store->GetParameter(L"B", &parameter), E_INVALIDARG);
    store->SetMissingButSucceeds(L"B");
    EXPECT_EQ(store->GetParameter(L"B", &parameter), S_OK);
    EXPECT_EQ(parameter, nullptr);
}

} // namespace
