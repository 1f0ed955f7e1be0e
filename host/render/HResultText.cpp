#include "host/render/HResultText.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <cstdio>
#include <cwctype>

namespace quorvelrender {
namespace {

struct KnownResult {
    HRESULT hr;
    const wchar_t* name;
    const wchar_t* meaning;
};

// The system's message table knows the Win32 and COM codes; Direct3D's and
// D3DX's own codes are not in it.
constexpr KnownResult kKnownResults[] = {
    {E_FAIL, L"E_FAIL", L"failure, no detail given"},
    {E_INVALIDARG, L"E_INVALIDARG", L"an argument is not valid"},
    {E_POINTER, L"E_POINTER", L"a null pointer"},
    {E_OUTOFMEMORY, L"E_OUTOFMEMORY", L"out of memory"},
    {E_NOTIMPL, L"E_NOTIMPL", L"not implemented"},
    {E_NOINTERFACE, L"E_NOINTERFACE", L"the object does not support that interface"},
    {E_UNEXPECTED, L"E_UNEXPECTED", L"unexpected failure"},
    {D3DERR_INVALIDCALL, L"D3DERR_INVALIDCALL",
     L"an invalid call: a bad argument, a missing parameter or a wrong state"},
    {D3DERR_NOTAVAILABLE, L"D3DERR_NOTAVAILABLE", L"the device does not support this"},
    {D3DERR_OUTOFVIDEOMEMORY, L"D3DERR_OUTOFVIDEOMEMORY", L"out of video memory"},
    {D3DERR_DEVICELOST, L"D3DERR_DEVICELOST", L"the device is lost"},
    {D3DERR_DEVICENOTRESET, L"D3DERR_DEVICENOTRESET", L"the device needs a reset"},
    {D3DERR_NOTFOUND, L"D3DERR_NOTFOUND", L"not found"},
    {D3DERR_MOREDATA, L"D3DERR_MOREDATA", L"more data than the buffer holds"},
    {D3DERR_WRONGTEXTUREFORMAT, L"D3DERR_WRONGTEXTUREFORMAT", L"wrong texture format"},
    {D3DERR_UNSUPPORTEDCOLOROPERATION, L"D3DERR_UNSUPPORTEDCOLOROPERATION",
     L"unsupported colour operation"},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, L"D3DERR_UNSUPPORTEDTEXTUREFILTER",
     L"unsupported texture filter"},
    {D3DERR_TOOMANYOPERATIONS, L"D3DERR_TOOMANYOPERATIONS", L"too many operations"},
    {D3DERR_CONFLICTINGRENDERSTATE, L"D3DERR_CONFLICTINGRENDERSTATE", L"conflicting render states"},
    {D3DERR_DRIVERINTERNALERROR, L"D3DERR_DRIVERINTERNALERROR", L"internal driver error"},
    {D3DXERR_INVALIDDATA, L"D3DXERR_INVALIDDATA",
     L"the data is not valid (an unreadable image or effect text)"},
    {D3DXERR_INVALIDMESH, L"D3DXERR_INVALIDMESH", L"the mesh is not valid"},
    {D3DXERR_CANNOTMODIFYINDEXBUFFER, L"D3DXERR_CANNOTMODIFYINDEXBUFFER",
     L"the index buffer cannot be modified"},
    {D3DXERR_LOADEDMESHASNODATA, L"D3DXERR_LOADEDMESHASNODATA", L"the mesh has no data"},
    {D3DXERR_DUPLICATENAMEDFRAGMENT, L"D3DXERR_DUPLICATENAMEDFRAGMENT",
     L"a fragment of that name exists already"},
};

std::wstring SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n > 0 && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (std::iswspace(text.back()) || text.back() == L'.'))
        text.pop_back();
    if (!text.empty())
        text[0] = static_cast<wchar_t>(std::towlower(text[0]));
    return text;
}

} // namespace

std::wstring Hex(HRESULT hr) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

std::wstring DescribeHResult(HRESULT hr) {
    for (const KnownResult& known : kKnownResults)
        if (known.hr == hr)
            return Hex(hr) + L" " + known.name + L": " + known.meaning;
    std::wstring meaning = SystemMessage(hr);
    if (meaning.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32)
        meaning = SystemMessage(static_cast<HRESULT>(HRESULT_CODE(hr)));
    return Hex(hr) + L": " + (meaning.empty() ? L"no description known" : meaning);
}

} // namespace quorvelrender
