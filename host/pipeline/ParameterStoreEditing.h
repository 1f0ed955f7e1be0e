#pragma once

// Typed conveniences over IParameterStoreEditor for the host tools and tests.

#include "host/pipeline/ParameterStoreEditor.h"

#include <oleauto.h>
#include <propidl.h>

#include <vector>

namespace hostpipeline {

// Holds a PROPVARIANT built from a plain value, cleared at scope end.
class Value {
  public:
    Value() { ::PropVariantInit(&m_value); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    ~Value() { ::PropVariantClear(&m_value); }

    static void Int(Value& v, LONG i) { v.m_value.vt = VT_I4, v.m_value.lVal = i; }
    static void Float(Value& v, float f) { v.m_value.vt = VT_R4, v.m_value.fltVal = f; }
    static void Bool(Value& v, bool b) {
        v.m_value.vt = VT_BOOL, v.m_value.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    }
    static HRESULT String(Value& v, const WCHAR* s) {
        v.m_value.bstrVal = ::SysAllocString(s);
        if (!v.m_value.bstrVal)
            return E_OUTOFMEMORY;
        v.m_value.vt = VT_BSTR;
        return S_OK;
    }
    static HRESULT Vector(Value& v, const std::vector<float>& elements) {
        if (!elements.empty()) {
            v.m_value.caflt.pElems =
                static_cast<float*>(::CoTaskMemAlloc(elements.size() * sizeof(float)));
            if (!v.m_value.caflt.pElems)
                return E_OUTOFMEMORY;
            for (size_t i = 0; i < elements.size(); ++i)
                v.m_value.caflt.pElems[i] = elements[i];
        }
        v.m_value.caflt.cElems = static_cast<ULONG>(elements.size());
        v.m_value.vt = VT_VECTOR | VT_R4;
        return S_OK;
    }

    const PROPVARIANT* get() const { return &m_value; }
    PROPVARIANT* raw() { return &m_value; }

  private:
    PROPVARIANT m_value;
};

} // namespace hostpipeline
