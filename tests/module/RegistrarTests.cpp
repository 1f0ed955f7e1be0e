// Running registry scripts against the real registry, under a scratch key of
// HKEY_CURRENT_USER.

#include "module/Registrar.h"
#include "tests/module/AllocationFailure.h"
#include "tests/module/ModuleTestSupport.h"

#include <string>

using moduletest::KeyExists;
using moduletest::ReadString;
using moduletest::SubkeyNames;
using moduletest::ValueNames;
using quorvel::RunRegistryScript;

namespace {

const wchar_t kScript[] = LR"(
keep  "%ROOT%\Kept"
key   "%ROOT%\Prog.1"                @ "%FriendlyName%"
key   "%ROOT%\Prog.1\CLSID"          @ "{1}"
fresh "%ROOT%\Kept\{1}"              @ "%FriendlyName%"
key   "%ROOT%\Kept\{1}\Server"       @ "%MODULE%"
key   "%ROOT%\Kept\{1}\Server"       "ThreadingModel" "apartment"
fresh "%ROOT%\Kept\{1}\Programmable"
key   "%ROOT%\Kept\{1}"              "AppID" "{A}"
)";

class Registrar : public testing::Test {
  protected:
    Registrar()
        : m_root(L"Software\\QuorvelTests_" + std::to_wstring(::GetCurrentProcessId())),
          m_cleanup(HKEY_CURRENT_USER, m_root) {
        m_parameters = {
            {L"ROOT", m_root}, {L"FriendlyName", L"Friendly Object"}, {L"MODULE", L"C:\\q\\Q.dll"}};
    }
    HRESULT Run(bool registering) {
        return RunRegistryScript(HKEY_CURRENT_USER, kScript, m_parameters, registering);
    }
    std::wstring Key(const std::wstring& sub) const { return m_root + L"\\" + sub; }
    void ExpectWritten() {
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Prog.1"), nullptr).value_or(L"-"),
                  L"Friendly Object");
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Prog.1\\CLSID"), nullptr).value_or(L"-"),
                  L"{1}");
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Kept\\{1}"), nullptr).value_or(L"-"),
                  L"Friendly Object");
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Kept\\{1}"), L"AppID").value_or(L"-"),
                  L"{A}");
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Kept\\{1}\\Server"), nullptr).value_or(L"-"),
                  L"C:\\q\\Q.dll");
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Kept\\{1}\\Server"), L"ThreadingModel")
                      .value_or(L"-"),
                  L"apartment");
        EXPECT_EQ(SubkeyNames(HKEY_CURRENT_USER, Key(L"Kept\\{1}")), L"Programmable,Server");
        EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, Key(L"Kept\\{1}\\Programmable")), L"");
        EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, Key(L"Kept")), L"");
    }
    void ExpectRemoved() {
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(L"Kept")));
        EXPECT_EQ(SubkeyNames(HKEY_CURRENT_USER, Key(L"Kept")), L"");
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key(L"Prog.1")));
    }

    std::wstring m_root;
    testing_support::ScopedRegistryTree m_cleanup;
    quorvel::RegistryParameters m_parameters;
};

TEST_F(Registrar, WritesRemovesAndRewritesFreshKeys) {
    ASSERT_EQ(Run(true), S_OK);
    ExpectWritten();
    // Fresh keys are deleted with their contents before they are written.
    HKEY stray = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Key(L"Kept\\{1}\\Stray").c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(stray);
    ASSERT_EQ(Run(true), S_OK);
    ExpectWritten();
    EXPECT_EQ(Run(false), S_OK);
    ExpectRemoved();
    // What is already missing is not an error.
    EXPECT_EQ(Run(false), S_OK);
    ExpectRemoved();
}

TEST_F(Registrar, MalformedScriptWritesNothing) {
    EXPECT_EQ(RunRegistryScript(HKEY_CURRENT_USER, L"key \"%ROOT%\\A\"\nkey \"%ROOT%\\\\B\"",
                                m_parameters, true),
              E_INVALIDARG);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, m_root));
    m_parameters.erase(L"MODULE");
    EXPECT_EQ(Run(true), E_INVALIDARG);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, m_root));
}

// A volatile key cannot hold a non-volatile subkey: the write fails part-way.
TEST_F(Registrar, FailedWriteStopsAndKeepsWhatWasWritten) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, m_root.c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Key(L"Prog.1").c_str(), 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(Run(true), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(L"Kept")));
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, Key(L"Prog.1"), nullptr).value_or(L"-"),
              L"Friendly Object");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key(L"Prog.1\\CLSID")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key(L"Kept\\{1}")));
    EXPECT_EQ(Run(false), S_OK);
    ExpectRemoved();
}

TEST_F(Registrar, AllocationFailureAtEveryPoint) {
    for (long n = 0;; ++n) {
        HRESULT hr;
        {
            allocation::ScopedFailure failure(n);
            hr = Run(true);
            if (!allocation::Failed()) {
                EXPECT_EQ(hr, S_OK);
                break;
            }
        }
        ASSERT_EQ(hr, E_OUTOFMEMORY) << "allocation " << n;
        ASSERT_LT(n, 10000);
    }
    ExpectWritten();
    for (long n = 0;; ++n) {
        HRESULT hr;
        {
            allocation::ScopedFailure failure(n);
            hr = Run(false);
            if (!allocation::Failed()) {
                EXPECT_EQ(hr, S_OK);
                break;
            }
        }
        ASSERT_EQ(hr, E_OUTOFMEMORY) << "allocation " << n;
    }
    ExpectRemoved();
}

} // namespace
