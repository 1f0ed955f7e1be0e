// The object's members go in reverse declaration order when it is destroyed:
// the textures from slot 7 down to 0, then the index buffer, the vertex
// buffer, the effect and last the parameter store.

#include "tests/render/RenderScene.h"
#include "tests/support/TestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// Stands in for any interface in a member: destruction only calls Release.
class ReleaseRecorder final : public IUnknown {
  public:
    ReleaseRecorder(std::vector<std::string>& order, std::string name)
        : m_order(order), m_name(std::move(name)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        m_order.push_back(m_name);
        return --m_refs;
    }

  private:
    std::vector<std::string>& m_order;
    std::string m_name;
    ULONG m_refs = 1;
};

template <typename T> void Plant(quorvel::ComPtr<T>& member, ReleaseRecorder& recorder) {
    member.attach(reinterpret_cast<T*>(&recorder));
}

TEST(ShaderState, MembersReleasedInReverseDeclarationOrder) {
    std::vector<std::string> order;
    std::vector<std::unique_ptr<ReleaseRecorder>> recorders;
    const auto recorder = [&](const std::string& name) -> ReleaseRecorder& {
        recorders.push_back(std::make_unique<ReleaseRecorder>(order, name));
        return *recorders.back();
    };
    auto shader = std::make_unique<renderscene::TestShader>();
    Plant(shader->m_spParameterStore, recorder("store"));
    Plant(shader->m_spEffect, recorder("effect"));
    Plant(shader->m_spVertexBuffer, recorder("vertex buffer"));
    Plant(shader->m_spIndexBuffer, recorder("index buffer"));
    for (int slot = 0; slot < CShaderBase::kTextureSlots; ++slot)
        Plant(shader->m_spTextures[slot], recorder("texture " + std::to_string(slot)));
    order.clear();
    shader.reset();
    const std::vector<std::string> expected = {
        "texture 7", "texture 6", "texture 5",    "texture 4",     "texture 3", "texture 2",
        "texture 1", "texture 0", "index buffer", "vertex buffer", "effect",    "store"};
    EXPECT_EQ(order, expected);
}

} // namespace
