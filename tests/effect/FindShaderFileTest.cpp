// File search against real files in the prefix's three search folders.

#include "effect/FindShaderFile.h"
#include "tests/effect/SearchFolders.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using source_testing::Expand;
using source_testing::SearchFolders;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;

constexpr HRESULT kPathTooLong = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

struct Found {
    HRESULT hr;
    std::wstring path;
};

Found Find(const std::wstring& name) {
    wchar_t path[MAX_PATH];
    const HRESULT hr = FindShaderFile(path, name.c_str());
    return {hr, path};
}

#define EXPECT_FOUND(name, expected)                                                               \
    do {                                                                                           \
        const Found found_ = Find(name);                                                           \
        EXPECT_EQ(found_.hr, S_OK);                                                                \
        EXPECT_EQ(_wcsicmp(found_.path.c_str(), std::wstring(expected).c_str()), 0)                \
            << "found " << testing::PrintToString(found_.path);                                    \
    } while (0)

TEST(FindShaderFile, NullArguments) {
    wchar_t path[MAX_PATH];
    EXPECT_EQ(FindShaderFile(nullptr, L"x.fx"), E_POINTER);
    EXPECT_EQ(FindShaderFile(path, nullptr), E_POINTER);
}

// Product folder, then the program's (the module's) folder, then the shared folder.
TEST(FindShaderFile, FoldersInOrder) {
    SearchFolders folders;
    const std::wstring all = folders.Unique(L"all.fx");
    const std::wstring two = folders.Unique(L"two.fx");
    const std::wstring last = folders.Unique(L"last.fx");
    for (const auto* folder : {&folders.product(), &folders.program(), &folders.shared()})
        folders.Write(*folder, all, "x");
    for (const auto* folder : {&folders.program(), &folders.shared()})
        folders.Write(*folder, two, "x");
    folders.Write(folders.shared(), last, "x");

    EXPECT_FOUND(all, folders.product() + L"\\" + all);
    EXPECT_FOUND(two, folders.program() + L"\\" + two);
    EXPECT_FOUND(last, folders.shared() + L"\\" + last);
    EXPECT_EQ(Find(folders.Unique(L"none.fx")).hr, E_INVALIDARG);
}

// The folder part stays: the bare file name in an earlier folder is not it.
TEST(FindShaderFile, NameKeepsItsFolderPart) {
    SearchFolders folders;
    const std::wstring sub = folders.Unique(L"sub");
    folders.Write(folders.product(), L"qvbare.fx", "x");
    folders.Write(folders.program(), L"qvbare.fx", "x");
    folders.Write(folders.MakeFolder(folders.shared(), sub), L"qvbare.fx", "x");
    EXPECT_FOUND(sub + L"\\qvbare.fx", folders.shared() + L"\\" + sub + L"\\qvbare.fx");
}

// Not a full path (no ':' second); expanded with the folder in the product and
// shared folders, taken literally in the module's folder.
TEST(FindShaderFile, EnvironmentVariableInTheName) {
    SearchFolders folders;
    const std::wstring sub = folders.Unique(L"env");
    ScopedEnvironment variable(L"QV_SUB", sub.c_str());
    const std::wstring literal = folders.Unique(L"literal");

    folders.Write(folders.MakeFolder(folders.shared(), sub), L"e.fx", "x");
    EXPECT_FOUND(L"%QV_SUB%\\e.fx", folders.shared() + L"\\" + sub + L"\\e.fx");
    folders.Write(folders.MakeFolder(folders.product(), sub), L"e.fx", "x");
    EXPECT_FOUND(L"%QV_SUB%\\e.fx", folders.product() + L"\\" + sub + L"\\e.fx");

    // A folder literally named "%QV_LIT%" beside the program.
    ScopedEnvironment other(L"QV_LIT", literal.c_str());
    folders.Write(folders.MakeFolder(folders.program(), L"%QV_LIT%"), L"e.fx", "x");
    EXPECT_FOUND(L"%QV_LIT%\\e.fx", folders.program() + L"\\%QV_LIT%\\e.fx");
    // Its expansion exists only in the program's folder: never found there.
    folders.Write(folders.MakeFolder(folders.program(), literal), L"f.fx", "x");
    EXPECT_EQ(Find(L"%QV_LIT%\\f.fx").hr, E_INVALIDARG);
}

TEST(FindShaderFile, FullPaths) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"full.fx";
    ASSERT_TRUE(testing_support::WriteFileBytes(file, "x"));
    EXPECT_FOUND(file, file);
    EXPECT_EQ(Find(scratch / L"missing.fx").hr, E_INVALIDARG);
    EXPECT_EQ(Find(L"Q:\\qv_no_such_drive\\x.fx").hr, E_INVALIDARG);
}

// A full path that exists but has more than 259 characters comes back cut.
TEST(FindShaderFile, FullPathTooLong) {
    std::wstring name = Expand(L"%SystemRoot%");
    while (name.size() < 300)
        name += L"\\.";
    if (::GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the platform does not take paths this long";
    const Found found = Find(name);
    EXPECT_EQ(found.hr, kPathTooLong);
    EXPECT_EQ(found.path, name.substr(0, MAX_PATH - 1));
}

TEST(FindShaderFile, FolderCountsAsFound) {
    SearchFolders folders;
    const std::wstring sub = folders.Unique(L"folder");
    folders.MakeFolder(folders.shared(), sub);
    EXPECT_FOUND(sub, folders.shared() + L"\\" + sub);
    // An empty name is the first search folder that exists.
    const Found empty = Find(L"");
    EXPECT_EQ(empty.hr, S_OK);
    EXPECT_EQ(_wcsnicmp(empty.path.c_str(), folders.product().c_str(), folders.product().size()), 0)
        << testing::PrintToString(empty.path);
}

// With %ProgramFiles% moved to an empty folder, the product folder is absent:
// the program's folder and then the shared folder answer.
TEST(FindShaderFile, ProductFolderAbsent) {
    ScratchFolder scratch;
    ScopedEnvironment programFiles(L"ProgramFiles", scratch.path().c_str());
    const std::wstring program = testing_support::ProgramFolder();
    const Found empty = Find(L"");
    EXPECT_EQ(empty.hr, S_OK);
    EXPECT_EQ(_wcsnicmp(empty.path.c_str(), program.c_str(), program.size() - 1), 0)
        << testing::PrintToString(empty.path);

    const std::wstring shared = scratch / L"Movie Maker\\Shared\\qvonly.fx";
    ASSERT_TRUE(testing_support::WriteFileBytes(shared, "x"));
    EXPECT_FOUND(L"qvonly.fx", shared);
}

// Candidates that do not fit 259 characters are not found, whatever they hold.
TEST(FindShaderFile, OverlongCandidatesAreNotFound) {
    EXPECT_EQ(Find(std::wstring(250, L'a')).hr, E_INVALIDARG);
    const std::wstring longValue(300, L'b');
    ScopedEnvironment variable(L"QV_LONG", longValue.c_str());
    EXPECT_EQ(Find(L"%QV_LONG%").hr, E_INVALIDARG);
    // The module's own folder stays reachable with a long but fitting name.
    SearchFolders folders;
    std::wstring fitting = folders.Unique(L"");
    fitting.append(MAX_PATH - 2 - folders.program().size() - 1 - fitting.size(), L'c');
    folders.Write(folders.program(), fitting, "x");
    EXPECT_FOUND(fitting, folders.program() + L"\\" + fitting);
}

} // namespace
