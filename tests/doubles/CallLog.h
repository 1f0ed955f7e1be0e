#pragma once

// One log of every call the fakes and the D3DX stand-ins receive, shared by
// all of them, with a fault injector that fails the Nth call (of any kind, or
// of one kind) with a chosen HRESULT.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace doubles {

struct Call {
    std::string name;                 // "Interface::Method", or the D3DX function name
    const void* object = nullptr;     // the fake that was called; null for free functions
    std::vector<std::uintptr_t> args; // integer and pointer arguments, in order
    std::vector<float> floats;        // float, vector and matrix arguments
    std::string text;                 // narrow string argument (semantic, technique, source)
    std::wstring wtext;               // wide string argument (parameter name, path)
    bool faultable = true;            // counted by the fault injector
    HRESULT injected = S_OK;          // the failure handed back instead of the real answer
};

class CallLog {
  public:
    static CallLog& Get();

    // Forgets every call and every planned fault.
    void Reset();
    // Fails the nth faultable call from now (1-based) with hr.
    void FailNth(size_t n, HRESULT hr);
    // Fails the nth call named `name` from now (1-based) with hr.
    void FailNthOf(const std::string& name, size_t n, HRESULT hr);
    // Fails every call named `name` with hr until Reset.
    void FailAll(const std::string& name, HRESULT hr);

    // While silent, the fakes neither log nor fail and allocate nothing, so a
    // benchmark can count the product's own allocations.
    void SetSilent(bool silent) { m_silent = silent; }
    bool silent() const { return m_silent; }

    // Logs a call; returns the injected failure, or S_OK to go on normally.
    HRESULT Record(Call call);

    const std::vector<Call>& calls() const { return m_calls; }
    std::vector<Call> Named(const std::string& name) const;
    size_t Count(const std::string& name) const;
    size_t FaultableCount() const;
    // The call that received an injected failure, or null.
    const Call* Injected() const;
    // Names of the calls in order, for a readable failure message.
    std::string Trace() const;

  private:
    struct Fault {
        std::string name; // empty: any faultable call
        size_t remaining;
        HRESULT hr;
        bool every;
        bool spent;
    };
    std::vector<Call> m_calls;
    std::vector<Fault> m_faults;
    bool m_silent = false;
};

// For methods the product is not expected to call: logs and answers E_NOTIMPL.
HRESULT Unexpected(const char* name);

} // namespace doubles
