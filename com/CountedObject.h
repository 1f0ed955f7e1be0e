#pragma once

// Counting for COM objects that live outside the module (the host's
// stand-ins, test doubles): born holding one reference, destroyed by the
// Release that reaches zero, and no module lock. The derived class answers
// QueryInterface, usually from a table (QueryFromTable).

#include <unknwn.h>
#include <windows.h>

#include <atomic>

namespace quorvel {

template <typename... Interfaces> class CountedObject : public Interfaces... {
  public:
    CountedObject(const CountedObject&) = delete;
    CountedObject& operator=(const CountedObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    ULONG refs() const { return m_refs; }

  protected:
    CountedObject() = default;
    virtual ~CountedObject() = default;

  private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace quorvel
