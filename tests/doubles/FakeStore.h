#pragma once

// A fake parameter store: named values of any PROPVARIANT kind, groups (the
// "Semantics" group) with ordered children, and the host's misbehaviours: a
// GetName that leaves no terminator, a VT_BSTR value with a null string, a
// parameter lookup that succeeds without a parameter. Every call is logged
// and can be failed.

#include "com/ComPtr.h"
#include "pipeline/ParameterStore.h"
#include "tests/doubles/FakeUnknown.h"

#include <propidl.h>

#include <string>
#include <vector>

namespace doubles {

class FakeParameter final : public Counted<IParameter>, public IParameterGroup {
  public:
    explicit FakeParameter(std::wstring name);
    ~FakeParameter() override;

    // Replaces the value with a copy.
    void Set(const PROPVARIANT& value);
    void SetInt(LONG value);
    void SetFloat(float value);
    void SetString(const wchar_t* value);
    // VT_BSTR holding a null string.
    void SetNullString();
    void SetEmpty();
    // Makes this parameter a group (answers IID_IParameterGroup); returns the child.
    FakeParameter* AddChild(const std::wstring& name);

    // GetName fills the whole buffer with name characters and no terminator.
    bool nameWithoutTerminator = false;

    const std::wstring& name() const { return m_name; }

    // IUnknown, for both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Counted::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Counted::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Counted::Release(); }

    // IParameter
    HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, UINT32* capacity) override;
    HRESULT STDMETHODCALLTYPE Reserved2() override { return Unexpected("IParameter::Reserved2"); }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return Unexpected("IParameter::Reserved3"); }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return Unexpected("IParameter::Reserved4"); }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return Unexpected("IParameter::Reserved5"); }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return Unexpected("IParameter::Reserved6"); }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return Unexpected("IParameter::Reserved7"); }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return Unexpected("IParameter::Reserved8"); }
    HRESULT STDMETHODCALLTYPE GetValue(double time, PROPVARIANT* value) override;

    // IParameterGroup
    HRESULT STDMETHODCALLTYPE Reserved1() override {
        return Unexpected("IParameterGroup::Reserved1");
    }
    HRESULT STDMETHODCALLTYPE GetCount(INT32* count) override;
    HRESULT STDMETHODCALLTYPE GetItem(INT32 index, IParameter** item) override;

  protected:
    void* Find(REFIID iid) override;

  private:
    std::wstring m_name;
    PROPVARIANT m_value;
    bool m_isGroup = false;
    std::vector<quorvel::ComPtr<FakeParameter>> m_children;
};

class FakeParameterStore final : public Counted<IParameterStore> {
  public:
    FakeParameterStore() : Counted("IParameterStore") {}

    // The parameter of that name, created empty on first use.
    FakeParameter* Parameter(const std::wstring& name);
    void Remove(const std::wstring& name);
    // GetParameter for this name succeeds without a parameter.
    void SetMissingButSucceeds(const std::wstring& name);

    // What GetParameter answers for a name it does not hold.
    HRESULT missingResult = E_INVALIDARG;

    HRESULT STDMETHODCALLTYPE Reserved1() override {
        return Unexpected("IParameterStore::Reserved1");
    }
    HRESULT STDMETHODCALLTYPE Reserved2() override {
        return Unexpected("IParameterStore::Reserved2");
    }
    HRESULT STDMETHODCALLTYPE Reserved3() override {
        return Unexpected("IParameterStore::Reserved3");
    }
    HRESULT STDMETHODCALLTYPE GetParameter(const WCHAR* name, IParameter** parameter) override;

  protected:
    void* Find(REFIID iid) override;

  private:
    std::vector<quorvel::ComPtr<FakeParameter>> m_parameters;
    std::vector<std::wstring> m_nullAnswers;
};

} // namespace doubles
