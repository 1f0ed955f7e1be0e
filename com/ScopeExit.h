#pragma once

// Runs a function at scope exit unless release() cancelled it; for
// commit-on-success work.

#include <utility>

namespace quorvel {

template <typename F> class ScopeExit {
  public:
    explicit ScopeExit(F f) noexcept : m_f(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (m_active)
            m_f();
    }
    void release() noexcept { m_active = false; }

  private:
    F m_f;
    bool m_active = true;
};

template <typename F> ScopeExit<F> MakeScopeExit(F f) { return ScopeExit<F>(std::move(f)); }

} // namespace quorvel
