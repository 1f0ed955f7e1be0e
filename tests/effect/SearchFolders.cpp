#include "tests/effect/SearchFolders.h"

#include <windows.h>

namespace source_testing {

std::wstring Expand(const wchar_t* text) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::ExpandEnvironmentStringsW(text, buffer, MAX_PATH);
    return n > 0 && n <= MAX_PATH ? std::wstring(buffer) : std::wstring();
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(
        CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()),
                          narrow.data(), n, nullptr, nullptr);
    return narrow;
}

SearchFolders::SearchFolders()
    : m_product(Expand(L"%ProgramFiles%\\Tavimark\\Quorvel")),
      m_shared(Expand(L"%ProgramFiles%\\Movie Maker\\Shared")),
      m_program(testing_support::ProgramFolder()) {
    m_program.pop_back(); // no trailing backslash, as the other two
    for (const std::wstring& folder : {Expand(L"%ProgramFiles%\\Tavimark"), m_product,
                                       Expand(L"%ProgramFiles%\\Movie Maker"), m_shared}) {
        if (::CreateDirectoryW(folder.c_str(), nullptr))
            m_madeFolders.push_back(folder);
        else
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    }
}

SearchFolders::~SearchFolders() {
    for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
        testing_support::RemoveTree(*it);
    // Another program may be using them: only empty folders go.
    for (auto it = m_madeFolders.rbegin(); it != m_madeFolders.rend(); ++it)
        ::RemoveDirectoryW(it->c_str());
}

std::wstring SearchFolders::Unique(const std::wstring& name) const {
    return L"qv" + std::to_wstring(::GetCurrentProcessId()) + L"_" + name;
}

std::wstring SearchFolders::Write(const std::wstring& folder, const std::wstring& name,
                                  const std::string& bytes) {
    const std::wstring path = folder + L"\\" + name;
    EXPECT_TRUE(testing_support::WriteFileBytes(path, bytes));
    m_made.push_back(path);
    return path;
}

std::wstring SearchFolders::MakeFolder(const std::wstring& folder, const std::wstring& name) {
    const std::wstring path = folder + L"\\" + name;
    EXPECT_TRUE(testing_support::CreateFolders(path));
    m_made.push_back(path);
    return path;
}

} // namespace source_testing
