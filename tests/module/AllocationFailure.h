#pragma once

// Fails the Nth allocation made through operator new on this thread, for
// fault injection in the unit tests (the test program replaces operator new).

#include <cstddef>

namespace allocation {

// Arms the failure: the allocation after `succeeding` good ones fails.
void FailAfter(long succeeding);
void Disarm();
// True when the armed failure happened.
bool Failed();

class ScopedFailure {
  public:
    explicit ScopedFailure(long succeeding) { FailAfter(succeeding); }
    ~ScopedFailure() { Disarm(); }
    ScopedFailure(const ScopedFailure&) = delete;
    ScopedFailure& operator=(const ScopedFailure&) = delete;
};

} // namespace allocation
