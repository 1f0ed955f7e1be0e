#pragma once

// What every fake shares: the real count of CountedObject, a process-wide
// count of live fakes, and a QueryInterface table given by the derived class.
// QueryInterface calls are logged and can be failed.

#include "com/ComPtr.h"
#include "com/CountedObject.h"
#include "tests/doubles/CallLog.h"

#include <unknwn.h>

#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>

namespace doubles {

// Fakes alive in this process; a test that released everything expects 0.
long& LiveFakes();

template <typename Primary> class Counted : public quorvel::CountedObject<Primary> {
  public:
    Counted(const char* interfaceName) : m_interfaceName(interfaceName) { ++LiveFakes(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (CallLog::Get().silent())
            return Answer(iid, out);
        Call call;
        call.name = m_interfaceName + "::QueryInterface";
        call.object = this;
        call.args = {reinterpret_cast<std::uintptr_t>(&iid)};
        if (!out) {
            call.faultable = false;
            CallLog::Get().Record(std::move(call));
            return E_POINTER;
        }
        *out = nullptr;
        const HRESULT injected = CallLog::Get().Record(std::move(call));
        if (FAILED(injected))
            return injected;
        return Answer(iid, out);
    }

  protected:
    ~Counted() override { --LiveFakes(); }
    // The interface pointer for iid, or null; no reference added.
    virtual void* Find(REFIID iid) {
        if (::IsEqualIID(iid, IID_IUnknown))
            return static_cast<Primary*>(this);
        return nullptr;
    }
    // Logs a call on this object; returns the injected failure or S_OK.
    HRESULT Log(const char* method, std::initializer_list<std::uintptr_t> args = {},
                std::initializer_list<float> floats = {}, const std::string& text = std::string(),
                const std::wstring& wtext = std::wstring(), bool faultable = true) const {
        if (CallLog::Get().silent())
            return S_OK;
        Call call;
        call.name = m_interfaceName + "::" + method;
        call.object = this;
        call.args = args;
        call.floats = floats;
        call.text = text;
        call.wtext = wtext;
        call.faultable = faultable;
        return CallLog::Get().Record(std::move(call));
    }

  private:
    HRESULT Answer(REFIID iid, void** out) {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        void* found = Find(iid);
        if (!found)
            return E_NOINTERFACE;
        this->AddRef();
        *out = found;
        return S_OK;
    }

    std::string m_interfaceName;
};

template <typename T> std::uintptr_t Arg(T value) {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<std::uintptr_t>(value);
    else
        return static_cast<std::uintptr_t>(value);
}

// A new fake holding the one reference it was born with.
template <typename T, typename... A> quorvel::ComPtr<T> Make(A&&... args) {
    quorvel::ComPtr<T> made;
    made.attach(new T(std::forward<A>(args)...));
    return made;
}

} // namespace doubles
