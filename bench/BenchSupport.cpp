#include "bench/BenchSupport.h"

#include "com/ComPtr.h"
#include "com/HResult.h"
#include "effect/HostContract.h"
#include "host/render/RenderHost.h"

namespace quorvelbench {

double Now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HRESULT Finish(IDirect3DDevice9* device) {
    quorvel::ComPtr<IDirect3DQuery9> query;
    RETURN_IF_FAILED(device->CreateQuery(D3DQUERYTYPE_EVENT, query.put()));
    RETURN_IF_FAILED(query->Issue(D3DISSUE_END));
    while (query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE)
        ::Sleep(0);
    return S_OK;
}

std::wstring RenderFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/")) + L"\\render";
}

HRESULT OpenTransition(quorvelrender::Session& session, IDirect3DDevice9* device,
                       const std::wstring& folder, const std::wstring& effect,
                       const std::wstring& technique, bool transition) {
    quorvelrender::HostParameter file, name;
    file.name = quorvel::kShaderFilenameParameter;
    file.from.s = effect;
    name.name = quorvel::kTechniqueParameter;
    name.from.s = technique;
    RETURN_IF_FAILED(session.Open(device, folder, false, transition));
    RETURN_IF_FAILED(quorvelrender::PutParameter(session.editor(), nullptr, file));
    return quorvelrender::PutParameter(session.editor(), nullptr, name);
}

} // namespace quorvelbench
