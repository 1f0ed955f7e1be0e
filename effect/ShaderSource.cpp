#include "effect/ShaderSource.h"

#include "com/CodePage.h"
#include "com/UniqueAny.h"
#include "effect/FindShaderFile.h"
#include "effect/SourceText.h"

#include <new>

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
        file.path = path;
        // Paths are compared without regard to case, as the file system does.
        file.identity = file.path;
        if (!file.identity.empty())
            ::CharLowerBuffW(file.identity.data(), static_cast<DWORD>(file.identity.size()));
        return true;
    }

    ReadResult Read(const FoundFile& file, std::string& bytes, std::uint32_t& error) override {
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

} // namespace

HRESULT LoadShaderSource(const std::string& name, std::string& text) {
    try {
        text.clear();
        SearchFolderFiles files;
        const quorvel::LeadBytes lead([](unsigned char b) { return ::IsDBCSLeadByte(b) != FALSE; });
        const auto outcome = quorvel::LoadSource(name, files, lead, quorvel::SourceLimits{}, text);
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
    } catch (const std::bad_alloc&) {
        text.clear();
        return E_OUTOFMEMORY;
    }
}
