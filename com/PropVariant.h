#pragma once

// A PROPVARIANT that is cleared before every reuse and when it goes away.

#include <propidl.h>
#include <windows.h>

namespace quorvel {

class UniquePropVariant {
  public:
    UniquePropVariant() noexcept { ::PropVariantInit(&m_value); }
    UniquePropVariant(const UniquePropVariant&) = delete;
    UniquePropVariant& operator=(const UniquePropVariant&) = delete;
    ~UniquePropVariant() { reset(); }

    void reset() noexcept { ::PropVariantClear(&m_value); }
    // Clears the value and hands it out, empty, for an out-parameter.
    PROPVARIANT* put() noexcept {
        reset();
        return &m_value;
    }
    const PROPVARIANT& get() const noexcept { return m_value; }
    PROPVARIANT* operator&() = delete;
    VARTYPE vt() const noexcept { return m_value.vt; }
    bool empty() const noexcept { return m_value.vt == VT_EMPTY; }

  private:
    PROPVARIANT m_value;
};

} // namespace quorvel
