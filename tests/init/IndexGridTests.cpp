// The grid's 16-bit index buffer.

#include "tests/init/ShaderFixture.h"

#include <vector>

using doubles::CallLog;

namespace {

using IndexGridTest = ShaderTest;

TEST_F(IndexGridTest, IndicesForSmallGrids) {
    const struct {
        int x;
        int y;
        std::vector<WORD> indices;
    } cases[] = {
        {2, 2, {0, 1, 3, 3, 2, 0}},
        {3, 2, {0, 1, 4, 4, 3, 0, 1, 2, 5, 5, 4, 1}},
        {2, 3, {0, 1, 3, 3, 2, 0, 2, 3, 5, 5, 4, 2}},
    };
    for (const auto& c : cases) {
        shader.m_nVerticesX = c.x;
        shader.m_nVerticesY = c.y;
        CallLog::Get().Reset();
        ASSERT_EQ(shader.BuildIndexGrid(device.get()), S_OK);
        const auto& buffer = device->indexBuffers.back();
        EXPECT_EQ(shader.m_spIndexBuffer.get(), buffer.get());
        EXPECT_EQ(buffer->Indices16(), c.indices) << c.x << " x " << c.y;
        EXPECT_EQ(buffer->format(), D3DFMT_INDEX16);
        EXPECT_EQ(buffer->usage(), static_cast<DWORD>(D3DUSAGE_WRITEONLY));
        EXPECT_EQ(buffer->pool(), D3DPOOL_DEFAULT);
        EXPECT_EQ(buffer->locks(), 1);
        EXPECT_FALSE(buffer->locked());
        const auto lock = CallLog::Get().Named("IDirect3DIndexBuffer9::Lock");
        ASSERT_EQ(lock.size(), 1u);
        EXPECT_EQ(lock[0].args[0], 0u);
        EXPECT_EQ(lock[0].args[1], 0u);
        EXPECT_EQ(lock[0].args[3], 0u);
    }
}

TEST_F(IndexGridTest, LargestGridUsesEveryIndexAndOldBufferIsReleased) {
    shader.m_nVerticesX = 256;
    shader.m_nVerticesY = 256;
    ASSERT_EQ(shader.BuildIndexGrid(device.get()), S_OK);
    ASSERT_EQ(shader.BuildIndexGrid(device.get()), S_OK);
    ASSERT_EQ(device->indexBuffers.size(), 2u);
    EXPECT_REF(device->indexBuffers[0].get(), 1); // only the device's
    EXPECT_REF(device->indexBuffers[1].get(), 2);
    const std::vector<WORD> indices = device->indexBuffers[1]->Indices16();
    ASSERT_EQ(indices.size(), 6u * 255 * 255);
    EXPECT_EQ(device->indexBuffers[1]->length(), 6u * 255 * 255 * 2);
    // The last cell: a = 254 * 256 + 254, b = a + 256.
    const std::vector<WORD> last(indices.end() - 6, indices.end());
    EXPECT_EQ(last, (std::vector<WORD>{65278, 65279, 65535, 65535, 65534, 65278}));
}

TEST_F(IndexGridTest, FailuresComeBackUnchanged) {
    const struct {
        const char* call;
        bool bufferKept;
    } cases[] = {
        {"IDirect3DDevice9::CreateIndexBuffer", false},
        {"IDirect3DIndexBuffer9::Lock", true},
        {"IDirect3DIndexBuffer9::Unlock", true},
    };
    for (const auto& c : cases) {
        CallLog::Get().Reset();
        CallLog::Get().FailNthOf(c.call, 1, static_cast<HRESULT>(0x8876086C));
        EXPECT_EQ(shader.BuildIndexGrid(device.get()), static_cast<HRESULT>(0x8876086C)) << c.call;
        EXPECT_EQ(static_cast<bool>(shader.m_spIndexBuffer), c.bufferKept) << c.call;
    }
}

TEST_F(IndexGridTest, SuccessWithoutABufferIsAFailure) {
    device->nullBufferAfterSuccess = true;
    EXPECT_EQ(shader.BuildIndexGrid(device.get()), E_POINTER);
    EXPECT_FALSE(shader.m_spIndexBuffer);
}

} // namespace
