// Every assembly block of every effect file that library/index.tsv names
// assembles with the platform's own D3DX assembler and makes a shader on the
// real device, so the library's shader text is valid apart from the effect
// framework that carries it.

#include "tests/e2e/E2ESupport.h"

#include <d3dx9.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

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

// The distinct files of the index (column "file", relative to the library,
// with Windows separators), in the index's order.
std::vector<std::wstring> IndexFiles() {
    std::vector<std::wstring> files;
    std::istringstream rows(ReadText(e2e::LibraryFolder() + L"\\index.tsv"));
    std::string row;
    bool header = true;
    while (std::getline(rows, row)) {
        if (header || row.empty()) {
            header = false;
            continue;
        }
        std::istringstream cells(row);
        std::string name, kind, file;
        std::getline(cells, name, '\t');
        std::getline(cells, kind, '\t');
        std::getline(cells, file, '\t');
        std::wstring path(file.begin(), file.end());
        std::replace(path.begin(), path.end(), L'/', L'\\');
        if (std::find(files.begin(), files.end(), path) == files.end())
            files.push_back(path);
    }
    return files;
}

class SampleShaders : public ::testing::TestWithParam<std::wstring> {};

TEST(LibraryIndex, NamesEveryFile) {
    // A missing or unreadable index would otherwise leave nothing to test.
    EXPECT_GE(IndexFiles().size(), 10u);
}

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

INSTANTIATE_TEST_SUITE_P(EveryIndexedFile, SampleShaders, ::testing::ValuesIn(IndexFiles()));

} // namespace
