#pragma once

// A whole vertex or index buffer locked for writing; the lock is undone at
// scope end unless Unlock() was called for its result.

#include <windows.h>

namespace quorvel {

template <typename Buffer> class BufferLock {
  public:
    explicit BufferLock(Buffer* buffer) noexcept : m_buffer(buffer) {}
    ~BufferLock() {
        if (m_locked)
            m_buffer->Unlock();
    }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;

    // E_POINTER when the buffer hands out no memory.
    HRESULT Lock() {
        void* data = nullptr;
        const HRESULT hr = m_buffer->Lock(0, 0, &data, 0);
        if (FAILED(hr))
            return hr;
        m_locked = true;
        m_data = data;
        return data ? S_OK : E_POINTER;
    }
    HRESULT Unlock() {
        m_locked = false;
        return m_buffer->Unlock();
    }
    template <typename T> T* data() const noexcept { return static_cast<T*>(m_data); }

  private:
    Buffer* m_buffer;
    void* m_data = nullptr;
    bool m_locked = false;
};

} // namespace quorvel
