#pragma once

// The registry scripts' text form, parsed without touching the registry (and
// without Windows headers, so it also builds for the native fuzzer).
//
// One entry per line; blank lines and lines starting with '#' are ignored:
//   key   "Path\To\Key"                     opened, or created
//   key   "Path\To\Key"  @       "data"     ... and its unnamed value set
//   key   "Path\To\Key"  "Name"  "data"     ... and a named value set
//   fresh "Path\To\Key"  ...                deleted with everything below it first
//   keep  "Path\To\Key"  ...                never removed when unregistering
// Quoted text is taken as it stands, without escapes. Every %NAME% in it is
// replaced by a parameter; %% gives one '%'. All values are strings.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class RegistryKeyMode { Key, Fresh, Keep };

struct RegistryScriptLine {
    RegistryKeyMode mode = RegistryKeyMode::Key;
    std::wstring key;
    bool hasValue = false;
    // Empty for the key's unnamed value.
    std::wstring valueName;
    std::wstring data;
};

using RegistryParameters = std::map<std::wstring, std::wstring, std::less<>>;

struct RegistryScriptError {
    size_t line = 0;
    const char* reason = nullptr;
};

// Parses the whole script, with every parameter replaced; false with the first
// error otherwise. A key path is never empty and has no empty part, so no line
// can name the root itself.
bool ParseRegistryScript(std::wstring_view script, const RegistryParameters& parameters,
                         std::vector<RegistryScriptLine>& lines, RegistryScriptError* error);

// The keys that unregistering deletes: every key named, except those marked
// keep, once each, in reverse order of the script.
std::vector<std::wstring> KeysToRemove(const std::vector<RegistryScriptLine>& lines);

} // namespace quorvel
