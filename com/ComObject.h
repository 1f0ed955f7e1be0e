#pragma once

// Our COM object templates: the root with its count, the plain form, the
// aggregated form with its contained object, and the creator that picks one.

#include "com/ComModule.h"
#include "com/HResult.h"

#include <unknwn.h>
#include <windows.h>

#include <cstddef>
#include <new>

namespace quorvel {

// Counts for objects used from one thread at a time: plain arithmetic.
struct CComSingleThreadModel {
    static ULONG Increment(LONG* value) noexcept { return static_cast<ULONG>(++*value); }
    static ULONG Decrement(LONG* value) noexcept { return static_cast<ULONG>(--*value); }
};

// Set before destruction so that reference calls made while the object is
// being destroyed cannot bring the count back to zero.
inline constexpr LONG kDestructionRefCount = -1073741823; // 0xC0000001

template <typename ThreadModel> class CComObjectRootEx {
  public:
    ULONG InternalAddRef() noexcept { return ThreadModel::Increment(&m_nRef); }
    ULONG InternalRelease() noexcept { return ThreadModel::Decrement(&m_nRef); }

  protected:
    LONG m_nRef = 0;
    // Set only in the aggregated form; not owned.
    IUnknown* m_pOuter = nullptr;
};

// One row of a QueryInterface table: the identifier and how to reach the
// interface from the object.
struct QITableEntry {
    const IID* iid;
    IUnknown* (*cast)(void* object);
};

template <typename T, typename I> IUnknown* QICast(void* object) {
    return static_cast<I*>(static_cast<T*>(object));
}
template <typename T, typename I> constexpr QITableEntry QIEntry(const IID& iid) {
    return {&iid, &QICast<T, I>};
}

// The first row's interface is the object's identity and answers IID_IUnknown.
// The reference goes through the interface, so it reaches the outer unknown in
// the aggregated form.
template <size_t N>
HRESULT QueryFromTable(void* object, const QITableEntry (&table)[N], REFIID iid, void** out) {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    IUnknown* found = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown))
        found = table[0].cast(object);
    for (size_t i = 0; !found && i < N; ++i)
        if (::IsEqualIID(iid, *table[i].iid))
            found = table[i].cast(object);
    RETURN_HR_IF_NULL(E_NOINTERFACE, found);
    found->AddRef();
    *out = found;
    return S_OK;
}

// The plain form: T's own count, destroyed by the Release that reaches zero.
template <typename T> class CComObject final : public T {
  public:
    CComObject() { LockModule(); }
    ~CComObject() {
        this->m_nRef = kDestructionRefCount;
        UnlockModule();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return this->InternalQueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = this->InternalRelease();
        if (count == 0)
            delete this;
        return count;
    }
};

// The contained part of an aggregate: every IUnknown call goes to the outer
// unknown. Its lifetime is the aggregate's.
template <typename T> class CComContainedObject final : public T {
  public:
    explicit CComContainedObject(IUnknown* outer) noexcept { this->m_pOuter = outer; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return this->m_pOuter->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->m_pOuter->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->m_pOuter->Release(); }
};

// The aggregated form: its own IUnknown is the non-delegating unknown that the
// outer object holds; the contained object answers the other interfaces.
template <typename T>
class CComAggObject final : public IUnknown, private CComObjectRootEx<CComSingleThreadModel> {
  public:
    explicit CComAggObject(IUnknown* outer) : m_contained(outer) { LockModule(); }
    ~CComAggObject() {
        m_nRef = kDestructionRefCount;
        UnlockModule();
    }
    CComAggObject(const CComAggObject&) = delete;
    CComAggObject& operator=(const CComAggObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        RETURN_HR_IF_NULL(E_POINTER, out);
        *out = nullptr;
        if (!::IsEqualIID(iid, IID_IUnknown))
            return m_contained.InternalQueryInterface(iid, out);
        *out = static_cast<IUnknown*>(this);
        InternalAddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = InternalRelease();
        if (count == 0)
            delete this;
        return count;
    }

    T& contained() noexcept { return m_contained; }

  private:
    CComContainedObject<T> m_contained;
};

template <typename Object> HRESULT QueryNewObject(Object* object, REFIID iid, void** out) {
    // The count is 0 here: the query's AddRef makes it 1, or nothing holds it.
    const HRESULT hr = object->QueryInterface(iid, out);
    if (FAILED(hr))
        delete object;
    return hr;
}

// Builds the plain form without an outer unknown and the aggregated form with
// one, then asks it for the interface; a failing query destroys it at once.
template <typename T> HRESULT CreateComInstance(IUnknown* outer, REFIID iid, void** out) {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    if (outer) {
        auto* aggregate = new (std::nothrow) CComAggObject<T>(outer);
        RETURN_IF_NULL_ALLOC(aggregate);
        return QueryNewObject(aggregate, iid, out);
    }
    auto* plain = new (std::nothrow) CComObject<T>();
    RETURN_IF_NULL_ALLOC(plain);
    return QueryNewObject(plain, iid, out);
}

// Gives a class its identifier and its instance creator for the class factory.
template <typename T, const CLSID* Clsid> class CComCoClass {
  public:
    static constexpr const CLSID* kClsid = Clsid;
    static const CLSID& GetObjectCLSID() noexcept { return *Clsid; }
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) {
        return CreateComInstance<T>(outer, iid, out);
    }
};

} // namespace quorvel
