// The stand-in effect framework's parser on arbitrary text: it must fail
// cleanly, never crash. Includes are served from the input itself, so
// directives, nesting and cycles are all reachable.

#include "host/fx/FxSyntax.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Text before the first 0x01 byte is the effect; the rest is every include.
    const std::size_t split = input.find('\x01');
    const std::string text = input.substr(0, split);
    const std::string included =
        split == std::string::npos ? std::string() : input.substr(split + 1);

    fx::IncludeOpener opener = [&](const std::string& name, const std::string&, std::string& out,
                                   std::string& displayName) {
        if (name == "missing.fxh")
            return false;
        out = included;
        displayName = name;
        return true;
    };
    fx::Effect effect;
    std::string messages;
    if (!fx::ParseEffect(text, "fuzz.fx", opener, effect, messages) && messages.empty())
        __builtin_trap(); // a failure always says why
    return 0;
}
