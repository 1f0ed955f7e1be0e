// Source loading through real files in the prefix's search folders.

#include "effect/ShaderSource.h"
#include "tests/effect/SearchFolders.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using source_testing::Narrow;
using source_testing::SearchFolders;
using testing_support::ScratchFolder;

using namespace std::string_literals;

std::string Load(const std::string& name, HRESULT expected = S_OK) {
    std::string text;
    EXPECT_EQ(LoadShaderSource(name, text), expected) << name;
    return text;
}

// The effect in the product folder includes from all three folders, by
// relative and full names, with CRLF line ends and comments everywhere.
TEST(LoadShaderSource, ExpandsThroughTheSearchFolders) {
    SearchFolders folders;
    const std::wstring shared = folders.Unique(L"shared.fxh");
    const std::wstring beside = folders.Unique(L"beside.fxh");
    const std::wstring sub = folders.Unique(L"sub");
    folders.Write(folders.shared(), shared, "float s; // shared\r\n/* block\r\n*/float t;");
    folders.Write(folders.program(), beside, "#include \"" + Narrow(sub) + "\\deep.fxh\"\r\n");
    const std::wstring deep =
        folders.Write(folders.MakeFolder(folders.product(), sub), L"deep.fxh", "float d;");
    const std::wstring effect = folders.Write(folders.product(), folders.Unique(L"effect.fx"),
                                              "// header #include \"" + Narrow(shared) +
                                                  "\"\r\n"
                                                  "#include \"" +
                                                  Narrow(shared) +
                                                  "\" // trailing\r\n"
                                                  "#include \"" +
                                                  Narrow(beside) +
                                                  "\"\r\n"
                                                  "#include \"" +
                                                  Narrow(deep) +
                                                  "\"\r\n"
                                                  " #include \"" +
                                                  Narrow(shared) +
                                                  "\"\r\n"
                                                  "technique T { pass P { } } /* end */");
    // A directive's line goes with it up to its "\n": the "\r" too.
    EXPECT_EQ(Load(Narrow(effect)), "\n"
                                    "float s; \nfloat t;\n"
                                    "float d;\n\n"
                                    "float d;\n"
                                    " #include \"" +
                                        Narrow(shared) +
                                        "\"\r\n"
                                        "technique T { pass P { } } ");
}

// A quoted name is looked for beside the file that holds the directive, then
// beside each file further out, as the effect compiler does; the search
// folders come after, so their copies of the names are never taken.
TEST(LoadShaderSource, IncludesResolveBesideTheIncluderThenFurtherOut) {
    SearchFolders folders;
    ScratchFolder effects;
    const std::string inner = Narrow(folders.Unique(L"inner.fxh"));
    const std::string top = Narrow(folders.Unique(L"top.fxh"));
    const std::string shared = Narrow(folders.Unique(L"shared.fxh"));
    ASSERT_TRUE(testing_support::WriteFileBytes(effects / L"sub\\a.fxh",
                                                "#include \"" + inner + "\"\n#include \"" + top +
                                                    "\"\n#include \"" + shared + "\"\n"));
    ASSERT_TRUE(testing_support::WriteFileBytes(
        effects / (L"sub\\" + std::wstring(inner.begin(), inner.end())), "float inner;"));
    ASSERT_TRUE(testing_support::WriteFileBytes(effects / std::wstring(top.begin(), top.end()),
                                                "float top;"));
    ASSERT_TRUE(testing_support::WriteFileBytes(effects / L"main.fx", "#include \"sub/a.fxh\"\n"));
    for (const std::string& decoy : {inner, top})
        folders.Write(folders.product(), std::wstring(decoy.begin(), decoy.end()), "float decoy;");
    folders.Write(folders.shared(), std::wstring(shared.begin(), shared.end()), "float shared;");
    EXPECT_EQ(Load(Narrow(effects / L"main.fx")), "float inner;\nfloat top;\nfloat shared;\n\n");

    quorvel::SourceList list;
    ASSERT_EQ(ListShaderFiles(Narrow(effects / L"main.fx"), list), S_OK);
    std::vector<std::wstring> paths;
    for (const quorvel::FoundFile& file : list.files)
        paths.push_back(file.path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{
                         effects / L"main.fx", effects / L"sub\\a.fxh",
                         effects / (L"sub\\" + std::wstring(inner.begin(), inner.end())),
                         effects / std::wstring(top.begin(), top.end()),
                         folders.shared() + L"\\" + std::wstring(shared.begin(), shared.end())}));
    EXPECT_TRUE(list.missing.empty());
}

TEST(LoadShaderSource, FoldersAndEmptyNamesBecomeNothing) {
    SearchFolders folders;
    const std::wstring sub = folders.Unique(L"folder");
    folders.MakeFolder(folders.shared(), sub);
    const std::wstring effect =
        folders.Write(folders.product(), folders.Unique(L"folders.fx"),
                      "a\n#include \"" + Narrow(sub) + "\"\n#include \"\"\nb");
    EXPECT_EQ(Load(Narrow(effect)), "a\n\n\nb");
    // The effect itself naming a folder loads as an empty text.
    EXPECT_EQ(Load(Narrow(sub)), "");
}

TEST(LoadShaderSource, MissingAndSelfIncludedFiles) {
    SearchFolders folders;
    const std::wstring self = folders.Unique(L"self.fx");
    folders.Write(folders.product(), self,
                  "#include \"" + Narrow(folders.Unique(L"missing.fxh")) +
                      "\"\n"
                      "#include \"" +
                      Narrow(self) + "\"\nx\0#include \"y\"\n"s);
    EXPECT_EQ(Load(Narrow(self)), "#include \"" + Narrow(folders.Unique(L"missing.fxh")) +
                                      "\"\n#include \"" + Narrow(self) +
                                      "\"\nx\0#include \"y\"\n"s);
    std::string text = "stale";
    EXPECT_EQ(LoadShaderSource(Narrow(folders.Unique(L"missing.fx")), text), E_FAIL);
    EXPECT_TRUE(text.empty());
}

// A name outside the thread's ANSI code page cannot be named: not found.
TEST(LoadShaderSource, PathOutsideTheCodePage) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"\x03A9mega.fx";
    ASSERT_TRUE(testing_support::WriteFileBytes(path, "x"));
    std::string text;
    EXPECT_EQ(LoadShaderSource(Narrow(path), text), E_FAIL);
    EXPECT_TRUE(text.empty());
}

// Found but not openable: an empty text with S_OK.
TEST(LoadShaderSource, LockedFileLoadsEmpty) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"locked.fx";
    ASSERT_TRUE(testing_support::WriteFileBytes(path, "float x;"));
    HANDLE lock = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Load(Narrow(path)), "");
    ::CloseHandle(lock);
    EXPECT_EQ(Load(Narrow(path)), "float x;");
}

// A file of 2 GiB or more fails, and no bytes are handed on.
TEST(LoadShaderSource, FileOfTwoGigabytesFails) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"huge.fx";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 0x80000000LL;
    const bool grown = ::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    if (!grown)
        GTEST_SKIP() << "no room for a sparse 2 GiB file";
    std::string text;
    EXPECT_EQ(LoadShaderSource(Narrow(path), text), HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(text.empty());
}

} // namespace
