#include "transform/ShaderBase.h"

#include "com/CodePage.h"
#include "com/HResult.h"
#include "com/PropVariant.h"
#include "effect/HostContract.h"
#include "render/ColorText.h"
#include "render/ParseColor.h"

#include <cwchar>

using quorvel::ComPtr;

namespace {

// A UTF-16 unit narrows to at most two bytes in a double-byte code page.
constexpr int kNarrowNameCapacity = 2 * kParameterNameCapacity;

bool NameMentionsColor(const wchar_t* name) {
    wchar_t lower[kParameterNameCapacity];
    const size_t length = std::wcslen(name);
    std::wmemcpy(lower, name, length + 1);
    ::CharLowerBuffW(lower, static_cast<DWORD>(length));
    return std::wcsstr(lower, quorvel::kColorTextWord) != nullptr;
}

// A colour text that is no colour is read as a decimal number, usually 0.
std::uint32_t ColorFromText(const wchar_t* text) {
    if (text == nullptr)
        return 0;
    std::uint32_t argb = 0;
    if (SUCCEEDED(ParseColor(text, &argb)))
        return argb;
    return static_cast<std::uint32_t>(std::wcstol(text, nullptr, 10));
}

HRESULT SetValue(ID3DXEffect* effect, D3DXHANDLE handle, const wchar_t* name,
                 const PROPVARIANT& value) {
    switch (value.vt) {
    case VT_I4:
        return effect->SetInt(handle, value.lVal);
    case VT_R4:
        return effect->SetFloat(handle, value.fltVal);
    case VT_BOOL:
        // Widened with its sign: VARIANT_TRUE passes -1.
        return effect->SetBool(handle, static_cast<BOOL>(value.boolVal));
    case VT_VECTOR | VT_R4: {
        const ULONG count = value.caflt.cElems;
        const float* elements = value.caflt.pElems;
        // An empty vector has no first element: dropped.
        if (count == 0 || elements == nullptr)
            return S_OK;
        D3DXVECTOR4 vector(0.0f, 0.0f, 0.0f, 0.0f);
        vector.x = elements[0];
        if (count >= 2 && count <= 4)
            vector.y = elements[1];
        if (count == 3 || count == 4)
            vector.z = elements[2];
        if (count == 4)
            vector.w = elements[3];
        return effect->SetVector(handle, &vector);
    }
    case VT_BSTR: {
        if (!NameMentionsColor(name))
            return S_OK;
        float rgba[4];
        quorvel::ColorToFloat4(ColorFromText(value.bstrVal), rgba);
        const D3DXVECTOR4 color(rgba[0], rgba[1], rgba[2], rgba[3]);
        // A colour the effect refuses does not fail the frame.
        effect->SetVector(handle, &color);
        return S_OK;
    }
    default:
        return S_OK;
    }
}

} // namespace

HRESULT CShaderBase::ApplySemanticParameters(float time) {
    RETURN_HR_IF(E_POINTER, !m_spEffect || !m_spParameterStore);
    ComPtr<IParameter> parameter;
    if (FAILED(m_spParameterStore->GetParameter(quorvel::kSemanticsGroup, parameter.put())) ||
        !parameter)
        return S_OK;
    ComPtr<IParameterGroup> group;
    RETURN_IF_FAILED(parameter->QueryInterface(IID_IParameterGroup, group.put_void()));
    RETURN_HR_IF_NULL(E_POINTER, group.get());
    INT32 count = 0;
    RETURN_IF_FAILED(group->GetCount(&count));

    for (INT32 index = 0; index < count; ++index) {
        ComPtr<IParameter> child;
        RETURN_IF_FAILED(group->GetItem(index, child.put()));
        RETURN_HR_IF_NULL(E_POINTER, child.get());

        wchar_t name[kParameterNameCapacity];
        UINT32 capacity = kParameterNameCapacity;
        const HRESULT named = child->GetName(name, &capacity);
        // A name longer than the buffer cannot be matched exactly: dropped.
        if (named == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER))
            continue;
        RETURN_IF_FAILED(named);
        if (std::wmemchr(name, L'\0', kParameterNameCapacity) == nullptr)
            continue;

        quorvel::UniquePropVariant value;
        RETURN_IF_FAILED(child->GetValue(static_cast<double>(time), value.put()));

        // Narrowed with its terminator; a name that does not narrow matches nothing.
        char narrow[kNarrowNameCapacity];
        size_t written = 0;
        if (FAILED(quorvel::NarrowInto({name, std::wcslen(name) + 1}, narrow, kNarrowNameCapacity,
                                       written)))
            continue;
        const D3DXHANDLE handle = m_spEffect->GetParameterBySemantic(nullptr, narrow);
        if (!handle)
            continue;
        RETURN_IF_FAILED(SetValue(m_spEffect.get(), handle, name, value.get()));
    }
    return S_OK;
}
