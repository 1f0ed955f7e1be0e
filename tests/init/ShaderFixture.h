#pragma once

// Reaches CShaderBase's protected work and members, over a fake store.

#include "tests/doubles/Doubles.h"
#include "tests/support/ShaderAccess.h"
#include "tests/support/TestSupport.h"

#include <string>

using TestShader = testing_support::ShaderAccess;

class ShaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doubles::ResetAll();
        m_live = doubles::LiveFakes();
        store = doubles::Make<doubles::FakeParameterStore>();
        shader.m_spParameterStore.copy_from(store.get());
    }
    void TearDown() override {
        shader.m_spParameterStore = nullptr;
        shader.m_spEffect = nullptr;
        shader.m_spIndexBuffer = nullptr;
        shader.m_spVertexBuffer = nullptr;
        store = nullptr;
        // Buffers the device made are the device's to hold.
        device->vertexBuffers.clear();
        device->indexBuffers.clear();
        doubles::ResetAll();
        EXPECT_EQ(doubles::LiveFakes(), m_live) << "a fake was leaked or released too often";
    }

    void SetString(const wchar_t* name, const wchar_t* value) {
        store->Parameter(name)->SetString(value);
    }
    void SetInt(const wchar_t* name, LONG value) { store->Parameter(name)->SetInt(value); }
    bool WasRead(const std::wstring& name) const {
        for (const doubles::Call& call :
             doubles::CallLog::Get().Named("IParameterStore::GetParameter"))
            if (call.wtext == name)
                return true;
        return false;
    }

    quorvel::ComPtr<doubles::FakeDevice> device = doubles::Make<doubles::FakeDevice>();
    quorvel::ComPtr<doubles::FakeParameterStore> store;
    TestShader shader;
    long m_live = 0;
};
