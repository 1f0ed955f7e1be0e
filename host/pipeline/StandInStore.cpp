// The stand-in pipeline library's parameter store: named values of any
// PROPVARIANT kind, groups with ordered children, and keyframed values.

#include "host/pipeline/ParameterStoreEditor.h"

#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "com/CountedObject.h"
#include "com/HResult.h"

#include <oleauto.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using quorvel::ComPtr;

namespace {

struct Keyframe {
    double time;
    PROPVARIANT value;
};

HRESULT Interpolate(const PROPVARIANT& a, const PROPVARIANT& b, double t, PROPVARIANT* out) {
    if (a.vt == VT_R4 && b.vt == VT_R4) {
        out->vt = VT_R4;
        out->fltVal = static_cast<float>(a.fltVal + (b.fltVal - a.fltVal) * t);
        return S_OK;
    }
    if (a.vt == VT_R8 && b.vt == VT_R8) {
        out->vt = VT_R8;
        out->dblVal = a.dblVal + (b.dblVal - a.dblVal) * t;
        return S_OK;
    }
    if (a.vt == (VT_VECTOR | VT_R4) && b.vt == (VT_VECTOR | VT_R4) &&
        a.caflt.cElems == b.caflt.cElems && a.caflt.cElems > 0) {
        const ULONG n = a.caflt.cElems;
        auto* elements = static_cast<float*>(::CoTaskMemAlloc(n * sizeof(float)));
        RETURN_IF_NULL_ALLOC(elements);
        for (ULONG i = 0; i < n; ++i)
            elements[i] =
                static_cast<float>(a.caflt.pElems[i] + (b.caflt.pElems[i] - a.caflt.pElems[i]) * t);
        out->vt = VT_VECTOR | VT_R4;
        out->caflt.cElems = n;
        out->caflt.pElems = elements;
        return S_OK;
    }
    // Other kinds step: the earlier keyframe holds.
    return ::PropVariantCopy(out, &a);
}

class StoreParameter final : public quorvel::CountedObject<IParameter, IParameterGroup> {
  public:
    explicit StoreParameter(std::wstring name) : m_name(std::move(name)) {}

    const std::wstring& Name() const { return m_name; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        static constexpr quorvel::QITableEntry kInterfaces[] = {
            quorvel::QIEntry<StoreParameter, IParameter>(IID_IParameter),
            quorvel::QIEntry<StoreParameter, IParameterGroup>(IID_IParameterGroup),
        };
        // A parameter answers as a group only once it has children.
        if (out && !m_isGroup && ::IsEqualIID(iid, IID_IParameterGroup)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return quorvel::QueryFromTable(this, kInterfaces, iid, out);
    }

    // IParameter
    HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, UINT32* capacity) override {
        RETURN_HR_IF(E_POINTER, !name || !capacity);
        RETURN_HR_IF(E_INVALIDARG, *capacity == 0);
        const size_t needed = m_name.size() + 1;
        const size_t copied = std::min<size_t>(m_name.size(), *capacity - 1);
        std::copy_n(m_name.c_str(), copied, name);
        name[copied] = L'\0';
        if (needed > *capacity) {
            *capacity = static_cast<UINT32>(needed);
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(double time, PROPVARIANT* value) override {
        RETURN_HR_IF_NULL(E_POINTER, value);
        ::PropVariantInit(value);
        if (m_keys.empty())
            return S_OK;
        if (time <= m_keys.front().time)
            return ::PropVariantCopy(value, &m_keys.front().value);
        if (time >= m_keys.back().time)
            return ::PropVariantCopy(value, &m_keys.back().value);
        auto next = std::upper_bound(m_keys.begin(), m_keys.end(), time,
                                     [](double t, const Keyframe& k) { return t < k.time; });
        auto prev = next - 1;
        const double span = next->time - prev->time;
        const double t = span > 0 ? (time - prev->time) / span : 0.0;
        return Interpolate(prev->value, next->value, t, value);
    }

    // IParameterGroup (answered only once the parameter has children)
    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCount(INT32* count) override {
        RETURN_HR_IF_NULL(E_POINTER, count);
        *count = static_cast<INT32>(m_children.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItem(INT32 index, IParameter** item) override {
        RETURN_HR_IF_NULL(E_POINTER, item);
        *item = nullptr;
        RETURN_HR_IF(E_INVALIDARG, index < 0 || static_cast<size_t>(index) >= m_children.size());
        *item = m_children[static_cast<size_t>(index)].get();
        (*item)->AddRef();
        return S_OK;
    }

    // Editing
    void ClearKeys() {
        for (Keyframe& k : m_keys)
            ::PropVariantClear(&k.value);
        m_keys.clear();
    }
    HRESULT AddKey(double time, const PROPVARIANT* value) {
        RETURN_HR_IF_NULL(E_POINTER, value);
        Keyframe key{time, {}};
        ::PropVariantInit(&key.value);
        RETURN_IF_FAILED(::PropVariantCopy(&key.value, value));
        auto at = std::upper_bound(m_keys.begin(), m_keys.end(), time,
                                   [](double t, const Keyframe& k) { return t < k.time; });
        // A keyframe at an existing time replaces it.
        if (at != m_keys.begin() && (at - 1)->time == time) {
            ::PropVariantClear(&(at - 1)->value);
            (at - 1)->value = key.value;
            return S_OK;
        }
        try {
            m_keys.insert(at, key);
        } catch (...) {
            ::PropVariantClear(&key.value);
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    HRESULT Child(const WCHAR* name, StoreParameter** child) {
        m_isGroup = true;
        for (auto& c : m_children) {
            if (c->Name() == name) {
                *child = c.get();
                return S_OK;
            }
        }
        return Append(m_children, name, child);
    }

    // A new parameter at the end of `list`; `*added` points at it without a
    // reference of its own.
    static HRESULT Append(std::vector<ComPtr<StoreParameter>>& list, const WCHAR* name,
                          StoreParameter** added) {
        ComPtr<StoreParameter> created;
        created.attach(new (std::nothrow) StoreParameter(name));
        RETURN_IF_NULL_ALLOC(created);
        list.push_back(created);
        *added = created.get();
        return S_OK;
    }

  private:
    ~StoreParameter() override { ClearKeys(); }

    std::wstring m_name;
    std::vector<Keyframe> m_keys;
    std::vector<ComPtr<StoreParameter>> m_children;
    bool m_isGroup = false;
};

class StandInStore final : public quorvel::CountedObject<IParameterStore, IParameterStoreEditor> {
  public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        static constexpr quorvel::QITableEntry kInterfaces[] = {
            quorvel::QIEntry<StandInStore, IParameterStore>(IID_IParameterStore),
            quorvel::QIEntry<StandInStore, IParameterStoreEditor>(IID_IParameterStoreEditor),
        };
        return quorvel::QueryFromTable(this, kInterfaces, iid, out);
    }

    // IParameterStore
    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetParameter(const WCHAR* name, IParameter** parameter) override {
        RETURN_HR_IF(E_POINTER, !name || !parameter);
        *parameter = nullptr;
        StoreParameter* found = Find(name);
        RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), !found);
        *parameter = found;
        found->AddRef();
        return S_OK;
    }

    // IParameterStoreEditor
    HRESULT STDMETHODCALLTYPE SetValue(const WCHAR* name, const PROPVARIANT* value) override {
        COM_METHOD_BEGIN
        StoreParameter* p = nullptr;
        RETURN_IF_FAILED(FindOrAdd(name, &p));
        p->ClearKeys();
        return p->AddKey(0.0, value);
        COM_METHOD_END
    }
    HRESULT STDMETHODCALLTYPE AddKeyframe(const WCHAR* name, double time,
                                          const PROPVARIANT* value) override {
        COM_METHOD_BEGIN
        StoreParameter* p = nullptr;
        RETURN_IF_FAILED(FindOrAdd(name, &p));
        return p->AddKey(time, value);
        COM_METHOD_END
    }
    HRESULT STDMETHODCALLTYPE SetChildValue(const WCHAR* group, const WCHAR* child,
                                            const PROPVARIANT* value) override {
        COM_METHOD_BEGIN
        StoreParameter* c = nullptr;
        RETURN_IF_FAILED(FindChild(group, child, &c));
        c->ClearKeys();
        return c->AddKey(0.0, value);
        COM_METHOD_END
    }
    HRESULT STDMETHODCALLTYPE AddChildKeyframe(const WCHAR* group, const WCHAR* child, double time,
                                               const PROPVARIANT* value) override {
        COM_METHOD_BEGIN
        StoreParameter* c = nullptr;
        RETURN_IF_FAILED(FindChild(group, child, &c));
        return c->AddKey(time, value);
        COM_METHOD_END
    }
    HRESULT STDMETHODCALLTYPE Remove(const WCHAR* name) override {
        RETURN_HR_IF_NULL(E_POINTER, name);
        auto it = std::find_if(m_parameters.begin(), m_parameters.end(),
                               [&](const ComPtr<StoreParameter>& p) { return p->Name() == name; });
        if (it == m_parameters.end())
            return S_FALSE;
        m_parameters.erase(it);
        return S_OK;
    }

  private:
    ~StandInStore() override = default;

    StoreParameter* Find(const WCHAR* name) const {
        for (const auto& p : m_parameters)
            if (p->Name() == name)
                return p.get();
        return nullptr;
    }
    HRESULT FindOrAdd(const WCHAR* name, StoreParameter** out) {
        RETURN_HR_IF_NULL(E_POINTER, name);
        if ((*out = Find(name)) != nullptr)
            return S_OK;
        return StoreParameter::Append(m_parameters, name, out);
    }
    HRESULT FindChild(const WCHAR* group, const WCHAR* child, StoreParameter** out) {
        RETURN_HR_IF_NULL(E_POINTER, child);
        StoreParameter* g = nullptr;
        RETURN_IF_FAILED(FindOrAdd(group, &g));
        return g->Child(child, out);
    }

    std::vector<ComPtr<StoreParameter>> m_parameters;
};

} // namespace

extern "C" HRESULT WINAPI PipelineCreateParameterStore(IParameterStore** store) {
    RETURN_HR_IF_NULL(E_POINTER, store);
    *store = nullptr;
    auto* created = new (std::nothrow) StandInStore();
    RETURN_IF_NULL_ALLOC(created);
    *store = created;
    return S_OK;
}
