#pragma once

// Shared helpers for the Windows test programs: reference counts, child
// processes for once-per-process state, scratch folders, registry clean-up and
// captured debugger output.

#include "host/common/DebugOutputCapture.h"

#include <unknwn.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The object's current count, read by AddRef then Release.
inline ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}
#define EXPECT_REF(object, n) EXPECT_EQ(::testing_support::RefCount(object), static_cast<ULONG>(n))

// Child processes: a scenario registered under a name runs in a fresh copy of
// the test program; its return value is the process's exit code.
using ChildScenario = int (*)();
bool RegisterChildScenario(const char* name, ChildScenario scenario);
#define QUORVEL_CHILD_SCENARIO(name)                                                               \
    static int name##_child();                                                                     \
    static const bool name##_registered =                                                          \
        ::testing_support::RegisterChildScenario(#name, &name##_child);                            \
    static int name##_child()

// Runs the named scenario in a child process with extra environment entries
// ("NAME=value"); returns its exit code, or a value above 0xFFFF0000 when the
// process could not be run.
DWORD RunChild(const char* scenario, const std::vector<std::wstring>& environment = {});

// Folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();

// A fresh folder under %TEMP%, removed with everything in it at scope end.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return m_path; }
    // Full path of a name inside the folder.
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

  private:
    std::wstring m_path;
};

// Writes bytes to a file, creating folders on the way.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool CreateFolders(const std::wstring& path);
// Removes a file or a folder tree.
void RemoveTree(const std::wstring& path);

// Deletes a registry tree at scope end (and when constructed, for a clean start).
class ScopedRegistryTree {
  public:
    ScopedRegistryTree(HKEY root, std::wstring subkey);
    ~ScopedRegistryTree();
    ScopedRegistryTree(const ScopedRegistryTree&) = delete;
    ScopedRegistryTree& operator=(const ScopedRegistryTree&) = delete;

  private:
    HKEY m_root;
    std::wstring m_subkey;
};

// Captures OutputDebugStringA/W text of this process while alive.
using DebugOutputCapture = quorvel::DebugOutputCapture;

// Sets an environment variable for this process until scope end.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::wstring name, const wchar_t* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_hadOld = false;
};

} // namespace testing_support
