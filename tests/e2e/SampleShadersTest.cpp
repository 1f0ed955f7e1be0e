// Every assembly block of every sample effect assembles with the platform's
// own D3DX assembler and makes a shader on the real device, so a sample's
// shader text is valid apart from the effect framework that carries it.

#include "tests/e2e/E2ESupport.h"

#include <d3dx9.h>

#include <fstream>
#include <iterator>

namespace {

using e2e::ComPtr;

std::string ReadText(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The bodies of "asm { ... }", comments inside them left to the assembler.
std::vector<std::string> AsmBlocks(const std::string& text) {
    std::vector<std::string> blocks;
    for (size_t at = text.find("asm"); at != std::string::npos; at = text.find("asm", at + 3)) {
        const size_t open = text.find_first_not_of(" \t\r\n", at + 3);
        if (open == std::string::npos || text[open] != '{')
            continue;
        const size_t close = text.find('}', open);
        if (close == std::string::npos)
            break;
        blocks.push_back(text.substr(open + 1, close - open - 1));
    }
    return blocks;
}

class SampleShaders : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(SampleShaders, AssembleAndCreate) {
    IDirect3DDevice9* device = e2e::Device();
    ASSERT_NE(device, nullptr);
    const std::string text = ReadText(e2e::LibraryFolder() + L"\\" + GetParam());
    ASSERT_FALSE(text.empty());
    const std::vector<std::string> blocks = AsmBlocks(text);
    ASSERT_FALSE(blocks.empty());
    for (const std::string& block : blocks) {
        ComPtr<ID3DXBuffer> code, errors;
        const HRESULT hr = D3DXAssembleShader(block.c_str(), static_cast<UINT>(block.size()),
                                              nullptr, nullptr, 0, code.put(), errors.put());
        ASSERT_EQ(hr, S_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer())
                                       : "no messages")
                            << "\n"
                            << block;
        const auto* tokens = static_cast<const DWORD*>(code->GetBufferPointer());
        if ((tokens[0] & 0xFFFF0000u) == 0xFFFF0000u) {
            ComPtr<IDirect3DPixelShader9> shader;
            EXPECT_EQ(device->CreatePixelShader(tokens, shader.put()), S_OK) << block;
        } else {
            ComPtr<IDirect3DVertexShader9> shader;
            EXPECT_EQ(device->CreateVertexShader(tokens, shader.put()), S_OK) << block;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EverySample, SampleShaders,
                         ::testing::Values(L"transitions\\crossfade.fx", L"transitions\\wipe.fx",
                                           L"transitions\\iris.fx", L"transitions\\dissolve.fx",
                                           L"transitions\\fadecolor.fx", L"transitions\\push.fx",
                                           L"transitions\\pixelate.fx", L"transitions\\swell.fx",
                                           L"effects\\greyscale.fx", L"effects\\tint.fx",
                                           L"effects\\blur.fx"));

} // namespace
