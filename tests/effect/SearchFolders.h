#pragma once

// The three search folders in the test prefix: the product folder and the
// host's shared folder under %ProgramFiles%, and the test program's folder.
// Files are named with the process id so that programs running side by side
// do not meet; folders made here are removed again when empty.

#include "tests/support/TestSupport.h"

#include <string>
#include <vector>

namespace source_testing {

class SearchFolders {
  public:
    SearchFolders();
    ~SearchFolders();
    SearchFolders(const SearchFolders&) = delete;
    SearchFolders& operator=(const SearchFolders&) = delete;

    const std::wstring& product() const { return m_product; }
    const std::wstring& shared() const { return m_shared; }
    const std::wstring& program() const { return m_program; }
    // A name of this process's own: "qv<pid>_<name>".
    std::wstring Unique(const std::wstring& name) const;
    // Writes a file under a folder; it is removed at scope end.
    std::wstring Write(const std::wstring& folder, const std::wstring& name,
                       const std::string& bytes);
    // Makes a folder under a folder; removed at scope end.
    std::wstring MakeFolder(const std::wstring& folder, const std::wstring& name);

  private:
    std::wstring m_product;
    std::wstring m_shared;
    std::wstring m_program;
    std::vector<std::wstring> m_made;        // files and folders to remove, newest last
    std::vector<std::wstring> m_madeFolders; // search folders this run created
};

std::wstring Expand(const wchar_t* text);
std::string Narrow(const std::wstring& text);

} // namespace source_testing
