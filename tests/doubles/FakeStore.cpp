#include "tests/doubles/FakeStore.h"

#include <oleauto.h>

#include <algorithm>

namespace doubles {

FakeParameter::FakeParameter(std::wstring name) : Counted("IParameter"), m_name(std::move(name)) {
    ::PropVariantInit(&m_value);
}

FakeParameter::~FakeParameter() { ::PropVariantClear(&m_value); }

void FakeParameter::Set(const PROPVARIANT& value) {
    ::PropVariantClear(&m_value);
    ::PropVariantCopy(&m_value, &value);
}

void FakeParameter::SetInt(LONG value) {
    ::PropVariantClear(&m_value);
    m_value.vt = VT_I4;
    m_value.lVal = value;
}

void FakeParameter::SetFloat(float value) {
    ::PropVariantClear(&m_value);
    m_value.vt = VT_R4;
    m_value.fltVal = value;
}

void FakeParameter::SetString(const wchar_t* value) {
    ::PropVariantClear(&m_value);
    m_value.vt = VT_BSTR;
    m_value.bstrVal = ::SysAllocString(value);
}

void FakeParameter::SetNullString() {
    ::PropVariantClear(&m_value);
    m_value.vt = VT_BSTR;
    m_value.bstrVal = nullptr;
}

void FakeParameter::SetEmpty() { ::PropVariantClear(&m_value); }

FakeParameter* FakeParameter::AddChild(const std::wstring& name) {
    m_isGroup = true;
    m_children.push_back(Make<FakeParameter>(name));
    return m_children.back().get();
}

HRESULT FakeParameter::GetName(WCHAR* name, UINT32* capacity) {
    const HRESULT hr = Log("GetName", {Arg(name), Arg(capacity)}, {}, {}, m_name);
    if (FAILED(hr))
        return hr;
    if (!name || !capacity || *capacity == 0)
        return E_POINTER;
    if (nameWithoutTerminator) {
        for (UINT32 i = 0; i < *capacity; ++i)
            name[i] = m_name.empty() ? L'x' : m_name[i % m_name.size()];
        return S_OK;
    }
    if (m_name.size() + 1 > *capacity)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    std::copy(m_name.begin(), m_name.end(), name);
    name[m_name.size()] = L'\0';
    return S_OK;
}

HRESULT FakeParameter::GetValue(double time, PROPVARIANT* value) {
    const HRESULT hr = Log("GetValue", {Arg(value)}, {static_cast<float>(time)}, {}, m_name);
    if (FAILED(hr))
        return hr;
    if (!value)
        return E_POINTER;
    if (m_value.vt == VT_BSTR && !m_value.bstrVal) {
        value->vt = VT_BSTR;
        value->bstrVal = nullptr;
        return S_OK;
    }
    return ::PropVariantCopy(value, &m_value);
}

HRESULT FakeParameter::GetCount(INT32* count) {
    const HRESULT hr = Log("GetCount", {Arg(count)}, {}, {}, m_name);
    if (FAILED(hr))
        return hr;
    if (!count)
        return E_POINTER;
    *count = static_cast<INT32>(m_children.size());
    return S_OK;
}

HRESULT FakeParameter::GetItem(INT32 index, IParameter** item) {
    const HRESULT hr =
        Log("GetItem", {static_cast<std::uintptr_t>(index), Arg(item)}, {}, {}, m_name);
    if (item)
        *item = nullptr;
    if (FAILED(hr))
        return hr;
    if (!item)
        return E_POINTER;
    if (index < 0 || static_cast<size_t>(index) >= m_children.size())
        return E_INVALIDARG;
    IParameter* child = m_children[static_cast<size_t>(index)].get();
    child->AddRef();
    *item = child;
    return S_OK;
}

void* FakeParameter::Find(REFIID iid) {
    if (::IsEqualIID(iid, IID_IParameter))
        return static_cast<IParameter*>(this);
    if (m_isGroup && ::IsEqualIID(iid, IID_IParameterGroup))
        return static_cast<IParameterGroup*>(this);
    return Counted::Find(iid);
}

FakeParameter* FakeParameterStore::Parameter(const std::wstring& name) {
    for (auto& parameter : m_parameters)
        if (parameter->name() == name)
            return parameter.get();
    m_parameters.push_back(Make<FakeParameter>(name));
    return m_parameters.back().get();
}

void FakeParameterStore::Remove(const std::wstring& name) {
    m_parameters.erase(std::remove_if(m_parameters.begin(), m_parameters.end(),
                                      [&](const auto& p) { return p->name() == name; }),
                       m_parameters.end());
}

void FakeParameterStore::SetMissingButSucceeds(const std::wstring& name) {
    Remove(name);
    m_nullAnswers.push_back(name);
}

HRESULT FakeParameterStore::GetParameter(const WCHAR* name, IParameter** parameter) {
    // Silent: no name copy, so a benchmark sees only the product's allocations.
    const HRESULT hr = CallLog::Get().silent() ? S_OK
                                               : Log("GetParameter", {Arg(name), Arg(parameter)},
                                                     {}, {}, name ? name : L"");
    if (parameter)
        *parameter = nullptr;
    if (FAILED(hr))
        return hr;
    if (!name || !parameter)
        return E_POINTER;
    if (std::find(m_nullAnswers.begin(), m_nullAnswers.end(), name) != m_nullAnswers.end())
        return S_OK;
    for (auto& held : m_parameters)
        if (held->name() == name) {
            *parameter = static_cast<IParameter*>(held.get());
            held->AddRef();
            return S_OK;
        }
    return missingResult;
}

void* FakeParameterStore::Find(REFIID iid) {
    if (::IsEqualIID(iid, IID_IParameterStore))
        return static_cast<IParameterStore*>(this);
    return Counted::Find(iid);
}

} // namespace doubles
