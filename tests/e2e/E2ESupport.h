#pragma once

// Shared pieces of the end-to-end tests: one real device for the program,
// pixel patterns uploaded as host frames, and sessions over Quorvel.dll from
// the render tool's folder.

#include "host/render/RenderHost.h"
#include "host/render/Session.h"
#include "tests/support/TestSupport.h"

#include <string>
#include <vector>

namespace e2e {

using quorvel::ComPtr;
using quorvelrender::HostParameter;
using quorvelrender::HostValue;

// The render tool's folder: Quorvel.dll, Pipeline.dll, the stand-in d3dx9_30.dll.
std::wstring ToolFolder();
std::wstring LibraryFolder();
// Empty when the folder holds everything; otherwise what is missing.
std::wstring MissingPieces();

IDirect3DDevice9* Device();

// Deterministic pixels with every channel varying; alpha 0xFF.
std::vector<DWORD> Pattern(UINT width, UINT height, UINT seed);
HRESULT Upload(const std::vector<DWORD>& pixels, UINT width, UINT height,
               IDirect3DTexture9** texture);
HRESULT Target(UINT width, UINT height, IDirect3DTexture9** texture);
std::vector<DWORD> Read(IDirect3DTexture9* texture);

HostParameter Text(const std::wstring& name, const std::wstring& value);
HostParameter Int(const std::wstring& name, LONG value);

// Opens a session on `effect` with its technique, grid and parameters, then
// initialises it.
HRESULT Start(quorvelrender::Session& session, bool transition, const std::wstring& effect,
              const std::wstring& technique, UINT gridX = 0, UINT gridY = 0,
              const std::vector<HostParameter>& params = {},
              const std::vector<HostParameter>& semantics = {});

} // namespace e2e

#define SKIP_WITHOUT_FRAMEWORK()                                                                   \
    do {                                                                                           \
        const std::wstring missing = ::e2e::MissingPieces();                                       \
        if (!missing.empty())                                                                      \
            GTEST_SKIP() << "render folder lacks " << std::string(missing.begin(), missing.end()); \
    } while (0)
