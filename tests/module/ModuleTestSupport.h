#pragma once

// Shared pieces of the module tests: the built DLL loaded fresh, a counting
// outer unknown and registry readers.

#include "tests/support/TestSupport.h"

#include <unknwn.h>
#include <windows.h>

#include <optional>
#include <string>

namespace moduletest {

using DllGetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using DllFunctionFn = HRESULT(STDAPICALLTYPE*)();

// Quorvel.dll from the program's folder, loaded for the scope: the class
// objects and caches of one instance do not leak into the next.
class LoadedServer {
  public:
    LoadedServer();
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;

    bool loaded() const { return m_module != nullptr; }
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
        return m_getClassObject(clsid, iid, out);
    }
    HRESULT CanUnloadNow() const { return m_canUnloadNow(); }
    HRESULT Register() const { return m_register(); }
    HRESULT Unregister() const { return m_unregister(); }
    HMODULE module() const { return m_module; }

  private:
    HMODULE m_module = nullptr;
    DllGetClassObjectFn m_getClassObject = nullptr;
    DllFunctionFn m_canUnloadNow = nullptr;
    DllFunctionFn m_register = nullptr;
    DllFunctionFn m_unregister = nullptr;
};

std::wstring ServerPath();

// An outer unknown that really counts and answers only IUnknown.
class CountingOuter final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_count); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--m_count); }
    LONG count() const { return m_count; }
    int queries() const { return m_queries; }

  private:
    LONG m_count = 1;
    int m_queries = 0;
};

// A key's REG_SZ value; nullopt when the key or value is missing or not REG_SZ.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name);
bool KeyExists(HKEY root, const std::wstring& key);
// Names of a key's subkeys and values, sorted.
std::wstring SubkeyNames(HKEY root, const std::wstring& key);
std::wstring ValueNames(HKEY root, const std::wstring& key);

} // namespace moduletest
