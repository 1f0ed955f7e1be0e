#pragma once

// Holds a critical section for the life of a scope.

#include <windows.h>

namespace quorvel {

class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CRITICAL_SECTION* section) noexcept : m_section(section) {
        ::EnterCriticalSection(m_section);
    }
    ~CriticalSectionLock() { ::LeaveCriticalSection(m_section); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CRITICAL_SECTION* m_section;
};

} // namespace quorvel
