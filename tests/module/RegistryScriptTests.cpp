// The registry script's text form.

#include "module/RegistryScript.h"

#include <gtest/gtest.h>

using quorvel::KeysToRemove;
using quorvel::ParseRegistryScript;
using quorvel::RegistryKeyMode;
using quorvel::RegistryParameters;
using quorvel::RegistryScriptError;
using quorvel::RegistryScriptLine;

namespace {

const RegistryParameters kParameters = {
    {L"MODULE", L"C:\\q\\Quorvel.dll"}, {L"APPID", L"{A}"}, {L"EMPTY", L""}};

struct GoodCase {
    const wchar_t* script;
    RegistryKeyMode mode;
    const wchar_t* key;
    bool hasValue;
    const wchar_t* valueName;
    const wchar_t* data;
};
const GoodCase kGood[] = {
    {L"key \"A\\B\"", RegistryKeyMode::Key, L"A\\B", false, L"", L""},
    {L"  key\t\"A\" @ \"x y\"  ", RegistryKeyMode::Key, L"A", true, L"", L"x y"},
    {L"fresh \"A\" \"Name\" \"\"", RegistryKeyMode::Fresh, L"A", true, L"Name", L""},
    {L"keep \"CLSID\"", RegistryKeyMode::Keep, L"CLSID", false, L"", L""},
    {L"key \"A\\%APPID%\" @ \"%MODULE%\"", RegistryKeyMode::Key, L"A\\{A}", true, L"",
     L"C:\\q\\Quorvel.dll"},
    {L"key \"100%%\" \"%APPID%\" \"%%%APPID%%%\"", RegistryKeyMode::Key, L"100%", true, L"{A}",
     L"%{A}%"},
    {L"# comment\r\n\r\n   \nkey \"A\"\r\n", RegistryKeyMode::Key, L"A", false, L"", L""},
    {L"key\"A\"@\"x\"", RegistryKeyMode::Key, L"A", true, L"", L"x"},
};

TEST(RegistryScript, ParsesEachForm) {
    for (const auto& c : kGood) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.script)));
        std::vector<RegistryScriptLine> lines;
        RegistryScriptError error;
        ASSERT_TRUE(ParseRegistryScript(c.script, kParameters, lines, &error)) << error.reason;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].mode, c.mode);
        EXPECT_EQ(lines[0].key, c.key);
        EXPECT_EQ(lines[0].hasValue, c.hasValue);
        EXPECT_EQ(lines[0].valueName, c.valueName);
        EXPECT_EQ(lines[0].data, c.data);
    }
}

struct BadCase {
    const wchar_t* script;
    size_t line;
};
const BadCase kBad[] = {
    {L"bogus \"A\"", 1},
    {L"\"A\"", 1},
    {L"key A", 1},
    {L"key", 1},
    {L"key \"A", 1},
    {L"key \"\"", 1},
    {L"key \"\\A\"", 1},
    {L"key \"A\\\"", 1},
    {L"key \"A\\\\B\"", 1},
    {L"key \"%EMPTY%\"", 1},
    {L"key \"A\\%EMPTY%\"", 1},
    {L"key \"A\" @", 1},
    {L"key \"A\" @ x", 1},
    {L"key \"A\" name \"x\"", 1},
    {L"key \"A\" \"\" \"x\"", 1},
    {L"key \"A\" @ \"x\" more", 1},
    {L"key \"A\" @ \"x", 1},
    {L"key \"%NOPE%\"", 1},
    {L"key \"%MODULE\"", 1},
    {L"key \"A\" @ \"%module%\"", 1},
    {L"key \"A\"\nkey \"B\"\n\nkey \"C\" @", 4},
};

TEST(RegistryScript, RejectsMalformedLinesWithTheirNumber) {
    for (const auto& c : kBad) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.script)));
        std::vector<RegistryScriptLine> lines(1);
        RegistryScriptError error;
        EXPECT_FALSE(ParseRegistryScript(c.script, kParameters, lines, &error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.reason, nullptr);
        EXPECT_TRUE(lines.empty());
    }
}

TEST(RegistryScript, KeysToRemoveSkipsKeptKeysAndRepeatsInReverseOrder) {
    std::vector<RegistryScriptLine> lines;
    ASSERT_TRUE(ParseRegistryScript(L"keep \"CLSID\"\n"
                                    L"key \"P\" @ \"x\"\n"
                                    L"fresh \"clsid\\{X}\" @ \"x\"\n"
                                    L"key \"Clsid\"\n"
                                    L"key \"CLSID\\{X}\\Inproc\"\n"
                                    L"key \"CLSID\\{x}\" \"AppID\" \"a\"\n",
                                    kParameters, lines, nullptr));
    EXPECT_EQ(KeysToRemove(lines),
              (std::vector<std::wstring>{L"CLSID\\{x}", L"CLSID\\{X}\\Inproc", L"P"}));
}

} // namespace
