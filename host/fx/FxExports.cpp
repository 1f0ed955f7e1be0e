// Effect entry points of the stand-in d3dx9_30.dll. Every other export is a
// forwarder to the platform's d3dx9_43 (see d3dx9_30.def).

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "com/CodePage.h"
#include "com/ComPtr.h"
#include "com/HResult.h"
#include "com/UniqueAny.h"
#include "host/fx/FxEffect.h"
#include "host/fx/FxSyntax.h"

namespace {

using quorvel::ComPtr;

// Source files larger than this are refused rather than read.
constexpr LONGLONG kMaxSourceBytes = 64LL * 1024 * 1024;

std::wstring Widen(const std::string& text) {
    std::wstring out;
    quorvel::Widen(text, out, CP_ACP);
    return out;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    quorvel::Narrow(text, out, CP_ACP);
    return out;
}

bool ReadWholeFile(const std::wstring& path, std::string& text) {
    quorvel::UniqueHFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxSourceBytes)
        return false;
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (size.QuadPart > 0 &&
        (!ReadFile(file.get(), text.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr) ||
         read != size.QuadPart))
        return false;
    return true;
}

bool IsAbsolute(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') ||
           (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Files: beside the including file, then beside each file that includes
// that one out to the effect file (the compiler's rule for quoted names),
// then in the current folder. The paths stay UTF-16; the narrow names in
// messages are only for display.
class FolderIncludes {
  public:
    FolderIncludes(const std::string& displayName, const std::wstring& path) {
        m_files.push_back({displayName, path, kNone});
    }
    bool Open(const std::string& name, const std::string& includer, std::string& text,
              std::string& displayName) {
        const std::wstring wideName = Widen(name);
        if (wideName.empty())
            return false;
        size_t parent = kNone;
        for (size_t i = 0; i < m_files.size(); ++i) {
            if (m_files[i].display == includer)
                parent = i;
        }
        std::vector<std::wstring> candidates;
        if (IsAbsolute(wideName)) {
            candidates.push_back(wideName);
        } else {
            for (size_t i = parent; i != kNone; i = m_files[i].parent) {
                const std::wstring folder = FolderOf(m_files[i].path);
                if (!folder.empty())
                    candidates.push_back(folder + wideName);
            }
            candidates.push_back(wideName);
        }
        for (const std::wstring& candidate : candidates) {
            if (ReadWholeFile(candidate, text)) {
                displayName = Narrow(candidate);
                m_files.push_back({displayName, candidate, parent});
                return true;
            }
        }
        return false;
    }

  private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    struct File {
        std::string display;
        std::wstring path;
        size_t parent;
    };
    std::vector<File> m_files;
};

// An application's include handler; what it opens stays open until the end.
class HandlerIncludes {
  public:
    explicit HandlerIncludes(ID3DXInclude* handler) : m_handler(handler) {}
    HandlerIncludes(const HandlerIncludes&) = delete;
    HandlerIncludes& operator=(const HandlerIncludes&) = delete;
    ~HandlerIncludes() {
        for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it)
            m_handler->Close(it->second);
    }
    bool Open(const std::string& name, const std::string& includer, std::string& text,
              std::string& displayName) {
        LPCVOID parent = nullptr;
        for (const auto& [opened, data] : m_opened) {
            if (opened == includer)
                parent = data;
        }
        LPCVOID data = nullptr;
        UINT bytes = 0;
        if (FAILED(m_handler->Open(D3DXINC_LOCAL, name.c_str(), parent, &data, &bytes)) || !data)
            return false;
        m_opened.emplace_back(name, data);
        text.assign(static_cast<const char*>(data), bytes);
        displayName = name;
        return true;
    }

  private:
    ID3DXInclude* m_handler;
    std::vector<std::pair<std::string, LPCVOID>> m_opened;
};

void HandOutMessages(const std::string& messages, ID3DXBuffer** out) {
    if (!out || messages.empty())
        return;
    ComPtr<ID3DXBuffer> buffer;
    if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(messages.size() + 1), buffer.put())) || !buffer)
        return;
    std::memcpy(buffer->GetBufferPointer(), messages.c_str(), messages.size() + 1);
    *out = buffer.detach();
}

HRESULT Compile(IDirect3DDevice9* device, const std::string& text, const std::string& fileName,
                fx::IncludeOpener opener, const D3DXMACRO* defines, ID3DXEffect** effect,
                ID3DXBuffer** messagesOut) {
    std::string messages;
    HRESULT hr = S_OK;
    if (defines && defines->Name) {
        messages = fileName + "(1,1): error X1000: macro definitions are not supported\n";
        hr = E_NOTIMPL;
    } else {
        fx::Effect parsed;
        if (!fx::ParseEffect(text, fileName, opener, parsed, messages))
            hr = E_FAIL;
        else
            hr = fxhost::CreateEffectObject(device, parsed, messages, effect);
    }
    HandOutMessages(messages, messagesOut);
    return hr;
}

HRESULT CreateFromMemory(IDirect3DDevice9* device, const void* data, UINT length,
                         const D3DXMACRO* defines, ID3DXInclude* include, ID3DXEffect** effect,
                         ID3DXBuffer** messages) {
    COM_METHOD_BEGIN
    if (messages)
        *messages = nullptr;
    RETURN_HR_IF(D3DERR_INVALIDCALL, !effect);
    *effect = nullptr;
    RETURN_HR_IF(D3DERR_INVALIDCALL, !device || !data || !length);
    const std::string text(static_cast<const char*>(data), length);
    // Text from memory has no folder: without a handler no include resolves.
    if (!include)
        return Compile(device, text, "memory", {}, defines, effect, messages);
    HandlerIncludes includes(include);
    return Compile(
        device, text, "memory",
        [&](const std::string& n, const std::string& from, std::string& t, std::string& d) {
            return includes.Open(n, from, t, d);
        },
        defines, effect, messages);
    COM_METHOD_END
}

HRESULT CreateFromFile(IDirect3DDevice9* device, const WCHAR* path, const D3DXMACRO* defines,
                       ID3DXInclude* include, ID3DXEffect** effect, ID3DXBuffer** messages) {
    COM_METHOD_BEGIN
    if (messages)
        *messages = nullptr;
    RETURN_HR_IF(D3DERR_INVALIDCALL, !effect);
    *effect = nullptr;
    RETURN_HR_IF(D3DERR_INVALIDCALL, !device || !path);
    std::string text;
    RETURN_HR_IF(static_cast<HRESULT>(D3DXERR_INVALIDDATA), !ReadWholeFile(path, text));
    const std::string fileName = Narrow(path);
    if (!include) {
        FolderIncludes folders(fileName, path);
        return Compile(
            device, text, fileName,
            [&](const std::string& n, const std::string& from, std::string& t, std::string& d) {
                return folders.Open(n, from, t, d);
            },
            defines, effect, messages);
    }
    HandlerIncludes includes(include);
    return Compile(
        device, text, fileName,
        [&](const std::string& n, const std::string& from, std::string& t, std::string& d) {
            return includes.Open(n, from, t, d);
        },
        defines, effect, messages);
    COM_METHOD_END
}

} // namespace

extern "C" {

// Lets a test tell this DLL from the platform's own d3dx9_30.
DWORD WINAPI QuorvelFxStandIn() { return 1; }

HRESULT WINAPI D3DXCreateEffectEx(IDirect3DDevice9* device, const void* srcdata, UINT srcdatalen,
                                  const D3DXMACRO* defines, ID3DXInclude* include,
                                  const char* /*skip_constants*/, DWORD /*flags*/,
                                  ID3DXEffectPool* /*pool*/, ID3DXEffect** effect,
                                  ID3DXBuffer** compilation_errors) {
    return CreateFromMemory(device, srcdata, srcdatalen, defines, include, effect,
                            compilation_errors);
}

HRESULT WINAPI D3DXCreateEffect(IDirect3DDevice9* device, const void* srcdata, UINT srcdatalen,
                                const D3DXMACRO* defines, ID3DXInclude* include, DWORD /*flags*/,
                                ID3DXEffectPool* /*pool*/, ID3DXEffect** effect,
                                ID3DXBuffer** compilation_errors) {
    return CreateFromMemory(device, srcdata, srcdatalen, defines, include, effect,
                            compilation_errors);
}

HRESULT WINAPI D3DXCreateEffectFromFileExW(IDirect3DDevice9* device, const WCHAR* srcfile,
                                           const D3DXMACRO* defines, ID3DXInclude* include,
                                           const char* /*skip_constants*/, DWORD /*flags*/,
                                           ID3DXEffectPool* /*pool*/, ID3DXEffect** effect,
                                           ID3DXBuffer** compilation_errors) {
    return CreateFromFile(device, srcfile, defines, include, effect, compilation_errors);
}

HRESULT WINAPI D3DXCreateEffectFromFileW(IDirect3DDevice9* device, const WCHAR* srcfile,
                                         const D3DXMACRO* defines, ID3DXInclude* include,
                                         DWORD /*flags*/, ID3DXEffectPool* /*pool*/,
                                         ID3DXEffect** effect, ID3DXBuffer** compilation_errors) {
    return CreateFromFile(device, srcfile, defines, include, effect, compilation_errors);
}

HRESULT WINAPI D3DXCreateEffectFromFileExA(IDirect3DDevice9* device, const char* srcfile,
                                           const D3DXMACRO* defines, ID3DXInclude* include,
                                           const char* /*skip_constants*/, DWORD /*flags*/,
                                           ID3DXEffectPool* /*pool*/, ID3DXEffect** effect,
                                           ID3DXBuffer** compilation_errors) {
    if (!srcfile)
        return D3DERR_INVALIDCALL;
    const std::wstring path = Widen(srcfile);
    return CreateFromFile(device, path.c_str(), defines, include, effect, compilation_errors);
}

HRESULT WINAPI D3DXCreateEffectFromFileA(IDirect3DDevice9* device, const char* srcfile,
                                         const D3DXMACRO* defines, ID3DXInclude* include,
                                         DWORD flags, ID3DXEffectPool* pool, ID3DXEffect** effect,
                                         ID3DXBuffer** compilation_errors) {
    return D3DXCreateEffectFromFileExA(device, srcfile, defines, include, nullptr, flags, pool,
                                       effect, compilation_errors);
}

} // extern "C"
