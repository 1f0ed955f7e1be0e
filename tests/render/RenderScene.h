#pragma once

// A transform object set up as a completed Initialize leaves it, over the
// fake device, effect, host frames and parameter store. Shared by the render
// tests and the frame benchmark.

#include "tests/doubles/Doubles.h"
#include "tests/support/ShaderAccess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace renderscene {

using quorvel::ComPtr;

using TestShader = testing_support::ShaderAccess;

inline MediaTime Ticks(std::int64_t ticks) {
    return {static_cast<std::uint64_t>(ticks) & ~(std::uint64_t{1} << 63), 0, 0};
}

inline MediaTime Frames(std::int32_t frames, std::uint16_t numerator, std::uint16_t denominator,
                        std::int32_t offset) {
    const std::uint64_t f =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(frames)) & 0x7FFFFFFFu;
    return {(std::uint64_t{1} << 63) | (f << 32) | (std::uint64_t{numerator} << 16) | denominator,
            offset, 0};
}

inline const char* const kStaticSemantics[] = {
    "World",          "View",           "Projection",     "WorldView",      "WorldViewProjection",
    "Duration",       "Time",           "InputSize",      "OutputSize",     "PixelSize",
    "TextureAspect0", "TextureAspect1", "TextureAspect2", "TextureAspect3", "TextureAspect4",
    "TextureAspect5", "TextureAspect6", "TextureAspect7"};

struct Scene {
    ComPtr<doubles::FakeDevice> device = doubles::Make<doubles::FakeDevice>();
    ComPtr<doubles::FakeMediaDevice> host = doubles::Make<doubles::FakeMediaDevice>(device.get());
    ComPtr<doubles::FakeEffect> effect = doubles::Make<doubles::FakeEffect>();
    ComPtr<doubles::FakeParameterStore> store = doubles::Make<doubles::FakeParameterStore>();
    ComPtr<doubles::FakeSurface> outputSurface;
    ComPtr<doubles::FakeMediaFrame> output;
    ComPtr<doubles::FakeTexture> texture0 = doubles::Make<doubles::FakeTexture>(720, 480);
    ComPtr<doubles::FakeTexture> texture1 = doubles::Make<doubles::FakeTexture>(720, 480);
    ComPtr<doubles::FakeMediaFrame> input0 =
        doubles::Make<doubles::FakeMediaFrame>(texture0->surface());
    ComPtr<doubles::FakeMediaFrame> input1 =
        doubles::Make<doubles::FakeMediaFrame>(texture1->surface());
    TestShader shader;
    MediaTime position = Ticks(5000000);
    MediaTime duration = Ticks(10000000);
    int inputCount = 1;
    // The "Semantics" group and its children, when added.
    std::vector<doubles::FakeParameter*> parameters;

    Scene(UINT width = 640, UINT height = 480, int columns = 2, int rows = 2) {
        SetOutput(width, height);
        shader.m_spEffect.copy_from(effect.get());
        shader.m_spParameterStore.copy_from(store.get());
        shader.m_nVerticesX = columns;
        shader.m_nVerticesY = rows;
        // What Initialize leaves: an index buffer for the grid (its contents are not read here).
        const UINT indices = 6u * static_cast<UINT>((columns - 1) * (rows - 1));
        device->CreateIndexBuffer(indices * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                  shader.m_spIndexBuffer.put(), nullptr);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    void SetOutput(UINT width, UINT height) {
        outputSurface = doubles::Make<doubles::FakeSurface>(width, height);
        output = doubles::Make<doubles::FakeMediaFrame>(outputSurface.get());
    }

    // Declares the fixed semantics and caches their handles, as effect creation does.
    void DeclareStaticSemantics() {
        for (const char* semantic : kStaticSemantics)
            effect->Declare(semantic);
        shader.m_hWorld = effect->Handle("World");
        shader.m_hView = effect->Handle("View");
        shader.m_hProjection = effect->Handle("Projection");
        shader.m_hWorldView = effect->Handle("WorldView");
        shader.m_hWorldViewProjection = effect->Handle("WorldViewProjection");
        shader.m_hDuration = effect->Handle("Duration");
        shader.m_hTime = effect->Handle("Time");
        shader.m_hInputSize = effect->Handle("InputSize");
        shader.m_hOutputSize = effect->Handle("OutputSize");
        shader.m_hPixelSize = effect->Handle("PixelSize");
        for (int slot = 0; slot < CShaderBase::kTextureSlots; ++slot)
            shader.m_hTextureAspect[slot] = effect->Handle("TextureAspect" + std::to_string(slot));
    }
    void DeclareInputTextures() {
        for (int slot = 0; slot < CShaderBase::kTextureSlots; ++slot)
            effect->Declare("InputTexture" + std::to_string(slot));
    }

    // A "Semantics" group of eight children of every kind, colours included,
    // each declared on the effect.
    void AddSemanticsGroup() {
        doubles::FakeParameter* group = store->Parameter(L"Semantics");
        group->AddChild(L"Strength")->SetFloat(0.5f);
        group->AddChild(L"Steps")->SetInt(12);
        PROPVARIANT flag = {};
        flag.vt = VT_BOOL;
        flag.boolVal = VARIANT_TRUE;
        group->AddChild(L"Enabled")->Set(flag);
        static float offset[] = {0.25f, 0.75f};
        static float scale[] = {1.0f, 2.0f, 3.0f, 4.0f};
        PROPVARIANT vector = {};
        vector.vt = VT_VECTOR | VT_R4;
        vector.caflt.cElems = 2;
        vector.caflt.pElems = offset;
        group->AddChild(L"Offset")->Set(vector);
        vector.caflt.cElems = 4;
        vector.caflt.pElems = scale;
        group->AddChild(L"Scale")->Set(vector);
        group->AddChild(L"TintColor")->SetString(L"#80FF0000");
        group->AddChild(L"BorderColor")->SetString(L"navy");
        group->AddChild(L"FillColor")->SetString(L"ButtonFace");
        parameters.push_back(group);
        for (int i = 0; i < 8; ++i) {
            ComPtr<IParameter> child;
            group->GetItem(i, child.put());
            parameters.push_back(static_cast<doubles::FakeParameter*>(child.get()));
        }
        for (const char* semantic : {"Strength", "Steps", "Enabled", "Offset", "Scale", "TintColor",
                                     "BorderColor", "FillColor"})
            effect->Declare(semantic);
    }

    HRESULT Render() {
        IUnknown* inputs[2] = {input0.get(), input1.get()};
        return shader.Render(host.get(), &position, duration, inputs, inputCount, output.get());
    }

    // Reference counts of every fake the product is handed, for before/after checks.
    std::vector<ULONG> Counts() const {
        std::vector<ULONG> counts = {device->refs(),   host->refs(),     effect->refs(),
                                     store->refs(),    output->refs(),   outputSurface->refs(),
                                     texture0->refs(), texture1->refs(), input0->refs(),
                                     input1->refs()};
        for (const doubles::FakeParameter* parameter : parameters)
            counts.push_back(parameter->refs());
        return counts;
    }
};

} // namespace renderscene
