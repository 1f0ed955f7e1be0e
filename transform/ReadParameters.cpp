#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "com/PropVariant.h"
#include "com/UniqueAny.h"
#include "effect/HostContract.h"
#include "pipeline/PipelineLibrary.h"
#include "render/Grid.h"

#include <shlwapi.h>

#include <cstdint>

using quorvel::UniqueBstr;
using quorvel::UniquePropVariant;

namespace {

HRESULT ReadValue(IParameterStore* store, const wchar_t* name, UniquePropVariant& value) {
    return quorvel::ReadNamedValue(store, name, value.put());
}

// A grid size: S_OK with `size` updated, S_FALSE when nothing was read, E_FAIL
// for a value of another type.
HRESULT ReadGridSize(IParameterStore* store, const wchar_t* name, UniquePropVariant& value,
                     int& size) {
    if (FAILED(ReadValue(store, name, value)) || value.empty())
        return S_FALSE;
    RETURN_HR_IF(E_FAIL, value.vt() != VT_I4 && value.vt() != VT_INT);
    const int read = value.vt() == VT_I4 ? static_cast<int>(value.get().lVal) : value.get().intVal;
    size = read < 2 ? 2 : read;
    return S_OK;
}

bool IsOffWord(BSTR lowered) {
    for (const wchar_t* word : quorvel::g_relaxAspectOffWords) {
        UniqueBstr candidate(::SysAllocString(word));
        if (!candidate)
            throw std::bad_alloc();
        if (::VarBstrCmp(lowered, candidate.get(), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ)
            return true;
    }
    return false;
}

} // namespace

HRESULT CShaderBase::ReadParameters() {
    COM_METHOD_BEGIN
    IParameterStore* store = m_spParameterStore.get();
    UniquePropVariant value;

    // Slot 2: the first of its three names that gives a value decides.
    for (const wchar_t* name : quorvel::g_slot2TextureParameters) {
        if (SUCCEEDED(ReadValue(store, name, value)) && !value.empty()) {
            StoreTextureFile(value.get(), quorvel::kFirstTextureFileSlot);
            break;
        }
    }

    for (int slot = quorvel::kFirstTextureFileSlot + 1; slot < kTextureSlots; ++slot) {
        if (FAILED(ReadValue(store, quorvel::g_inputTextureParameters[slot], value)))
            continue;
        StoreTextureFile(value.get(), slot);
    }

    const int oldX = m_nVerticesX;
    const int oldY = m_nVerticesY;
    HRESULT hr = ReadGridSize(store, quorvel::kNumVerticesXParameter, value, m_nVerticesX);
    if (SUCCEEDED(hr))
        hr = ReadGridSize(store, quorvel::kNumVerticesYParameter, value, m_nVerticesY);
    // Beyond this the indices wrap and the buffer lengths can overflow; the
    // members never hold such a grid.
    if (static_cast<std::int64_t>(m_nVerticesX) * m_nVerticesY > quorvel::kMaxGridVertices) {
        m_nVerticesX = oldX;
        m_nVerticesY = oldY;
        if (SUCCEEDED(hr))
            hr = E_INVALIDARG;
    }
    RETURN_IF_FAILED(hr);

    if (SUCCEEDED(ReadValue(store, quorvel::kRelaxAspectParameter, value)) &&
        value.vt() == VT_BSTR) {
        m_bRelaxAspect = true;
        const BSTR text = value.get().bstrVal;
        const UINT length = ::SysStringLen(text);
        UniqueBstr lowered(::SysAllocStringLen(text, length));
        RETURN_IF_NULL_ALLOC(lowered.get());
        if (length > 0)
            ::CharLowerBuffW(lowered.get(), length);
        if (IsOffWord(lowered.get()))
            m_bRelaxAspect = false;
    }
    return S_OK;
    COM_METHOD_END
}

HRESULT CShaderBase::StoreTextureFile(const PROPVARIANT& value, int slot) {
    COM_METHOD_BEGIN
    RETURN_HR_IF(E_INVALIDARG, slot < 0 || slot >= kTextureSlots);
    std::wstring& stored = m_strTextureFile[static_cast<size_t>(slot)];
    stored.clear();
    // Only a string names a file; any other kind names nothing.
    RETURN_HR_IF(E_FAIL, value.vt != VT_BSTR || !value.bstrVal || value.bstrVal[0] == L'\0');

    wchar_t expanded[MAX_PATH];
    const DWORD needed = ::ExpandEnvironmentStringsW(value.bstrVal, expanded, MAX_PATH);
    // A result longer than the buffer comes back as the size it would need.
    RETURN_HR_IF(E_FAIL, needed == 0 || needed > MAX_PATH);
    RETURN_HR_IF(E_FAIL, !::PathFileExistsW(expanded));
    stored = expanded;
    return S_OK;
    COM_METHOD_END
}
