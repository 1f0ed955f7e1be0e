#pragma once

// IServiceProvider for a class whose T::ProvideService does the work.

#include <servprov.h>
#include <windows.h>

namespace quorvel {

template <typename T> class IServiceProviderImpl : public IServiceProvider {
  public:
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override {
        return static_cast<T*>(this)->ProvideService(service, iid, out);
    }
};

} // namespace quorvel
