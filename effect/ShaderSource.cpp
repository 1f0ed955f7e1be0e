#include "effect/ShaderSource.h"

#include "com/CodePage.h"
#include "com/UniqueAny.h"
#include "effect/FindShaderFile.h"
#include "effect/SourceText.h"

#include <shlwapi.h>

#include <cwchar>
#include <new>
#include <vector>

namespace {

using quorvel::FoundFile;
using quorvel::LoadStatus;
using quorvel::ReadResult;

// Files through the search folders; names are in the thread's ANSI code page.
class SearchFolderFiles final : public quorvel::SourceFiles {
  public:
    bool Find(const std::string& name, FoundFile& file) override {
        std::wstring wide;
        if (FAILED(quorvel::Widen(name, wide)))
            return false;
        wchar_t path[MAX_PATH];
        if (FAILED(FindShaderFile(path, wide.c_str())))
            return false;
        Found(path, file);
        return true;
    }

    // A folder of effects and their headers works wherever it lies.
    bool FindBeside(const FoundFile& includer, const std::string& name, FoundFile& file) override {
        std::wstring beside;
        if (FAILED(quorvel::Widen(name, beside)) || beside.empty() ||
            includer.path.size() >= MAX_PATH)
            return false;
        for (wchar_t& c : beside)
            c = c == L'/' ? L'\\' : c;
        if (!::PathIsRelativeW(beside.c_str()))
            return false;
        wchar_t folder[MAX_PATH];
        wchar_t path[MAX_PATH];
        wmemcpy(folder, includer.path.c_str(), includer.path.size() + 1);
        if (!::PathRemoveFileSpecW(folder) || !::PathCombineW(path, folder, beside.c_str()) ||
            !::PathFileExistsW(path))
            return false;
        Found(path, file);
        return true;
    }

    ReadResult Read(const FoundFile& file, std::string& bytes, std::uint32_t& error) override {
        return ReadFileBytes(file, bytes, error);
    }

  private:
    static void Found(const wchar_t* path, FoundFile& file) {
        file.path = path;
        // Paths are compared without regard to case, as the file system does.
        file.identity = file.path;
        if (!file.identity.empty())
            ::CharLowerBuffW(file.identity.data(), static_cast<DWORD>(file.identity.size()));
    }

    static ReadResult ReadFileBytes(const FoundFile& file, std::string& bytes,
                                    std::uint32_t& error) {
        quorvel::UniqueHFile handle(::CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
        if (!handle)
            return ReadResult::CannotOpen;
        DWORD high = 0;
        ::SetLastError(NO_ERROR);
        const DWORD size = ::GetFileSize(handle.get(), &high);
        if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
            error = ::GetLastError();
            return ReadResult::Failed;
        }
        // The compiler takes a signed 32-bit length.
        if (high != 0 || size > 0x7FFFFFFFu)
            return ReadResult::TooLarge;
        bytes.resize(size);
        DWORD read = 0;
        if (!::ReadFile(handle.get(), bytes.data(), size, &read, nullptr)) {
            error = ::GetLastError();
            bytes.clear();
            return ReadResult::Failed;
        }
        // A short read would leave bytes that were never read in the text.
        if (read != size) {
            error = ERROR_HANDLE_EOF;
            bytes.clear();
            return ReadResult::Failed;
        }
        return ReadResult::Read;
    }
};

HRESULT Result(const quorvel::LoadOutcome& outcome) {
    switch (outcome.status) {
    case LoadStatus::Loaded:
        return S_OK;
    case LoadStatus::NotFound:
        return E_FAIL;
    case LoadStatus::ReadFailed:
        return outcome.error != 0 ? HRESULT_FROM_WIN32(outcome.error) : E_FAIL;
    case LoadStatus::TooLarge:
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    case LoadStatus::OutOfMemory:
        return E_OUTOFMEMORY;
    }
    return E_UNEXPECTED;
}

quorvel::LeadBytes ThreadLeadBytes() {
    return quorvel::LeadBytes([](unsigned char b) { return ::IsDBCSLeadByte(b) != FALSE; });
}

} // namespace

HRESULT LoadShaderSource(const std::string& name, std::string& text) {
    try {
        text.clear();
        SearchFolderFiles files;
        return Result(
            quorvel::LoadSource(name, files, ThreadLeadBytes(), quorvel::SourceLimits{}, text));
    } catch (const std::bad_alloc&) {
        text.clear();
        return E_OUTOFMEMORY;
    }
}

HRESULT ListShaderFiles(const std::string& name, quorvel::SourceList& list) {
    try {
        SearchFolderFiles files;
        return Result(
            quorvel::ListSource(name, files, ThreadLeadBytes(), quorvel::SourceLimits{}, list));
    } catch (const std::bad_alloc&) {
        list = quorvel::SourceList{};
        return E_OUTOFMEMORY;
    }
}
