// Registry scripts from arbitrary text: the parser never fails unsafely, and
// every line it accepts names a usable key path (never the root itself).

#include "module/RegistryScript.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes as UTF-16 units, the width the script has on Windows; a lone
    // trailing byte stands for itself so plain ASCII seeds stay readable.
    std::wstring script;
    for (size_t i = 0; i < size; ++i) {
        unsigned unit = data[i];
        if (unit >= 0x80 && i + 1 < size) {
            unit = unit << 8 | data[i + 1];
            ++i;
        }
        script += static_cast<wchar_t>(unit);
    }
    const quorvel::RegistryParameters parameters = {{L"MODULE", L"C:\\q\\Quorvel.dll"},
                                                    {L"EMPTY", L""}};
    std::vector<quorvel::RegistryScriptLine> lines;
    quorvel::RegistryScriptError error;
    if (!quorvel::ParseRegistryScript(script, parameters, lines, &error)) {
        if (!lines.empty() || error.line == 0 || !error.reason)
            std::abort();
        return 0;
    }
    for (const auto& line : lines) {
        if (line.key.empty() || line.key.front() == L'\\' || line.key.back() == L'\\' ||
            line.key.find(L"\\\\") != std::wstring::npos)
            std::abort();
        if (line.hasValue == false && (!line.valueName.empty() || !line.data.empty()))
            std::abort();
    }
    const auto keys = quorvel::KeysToRemove(lines);
    if (keys.size() > lines.size())
        std::abort();
    return 0;
}
