// The stand-in effect framework's parser on arbitrary text: it must fail
// cleanly, never crash. Includes are served from the input itself, so
// directives, nesting and cycles are all reachable. The same bytes go through
// the asm text preparation and, read as a token stream, the shader checks;
// and, as the HLSL compiler's answer or messages, through their readers.

#include "host/fx/FxAsmText.h"
#include "host/fx/FxCompile.h"
#include "host/fx/FxShaderCheck.h"
#include "host/fx/FxSyntax.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void CheckAsm(const std::string& text, const std::vector<std::uint32_t>& raw) {
    std::string prepared;
    std::string error;
    std::vector<fx::TokenInsert> inserts;
    const bool prepared_ok = fx::PrepareAsm(text, prepared, inserts, error);
    if (!prepared_ok && error.empty())
        __builtin_trap(); // a failure always says why
    if (prepared_ok && std::count(prepared.begin(), prepared.end(), '\n') !=
                           std::count(text.begin(), text.end(), '\n'))
        __builtin_trap(); // lines stay where they are
    fx::ListInstructions(text);
    fx::PlaceAssemblerMessages(text, fx::Position{"fuzz.fx", 3, 7});
    std::vector<std::uint32_t> tokens = raw;
    fx::InsertTokens(tokens, inserts);
    fx::ShaderFault fault;
    if (!fx::CheckShader(tokens, fault) && fault.text.empty())
        __builtin_trap();
}

} // namespace

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
    // Every line of the HLSL kept for the compiler knows its place.
    if (effect.hlsl.lines.size() != static_cast<std::size_t>(std::count(
                                        effect.hlsl.text.begin(), effect.hlsl.text.end(), '\n')))
        __builtin_trap();

    // The same bytes as the compiler's answer and as its messages.
    fx::CompiledHlsl compiled;
    std::string error;
    if (!fx::ReadCompiledHlsl(input, compiled, error) && error.empty())
        __builtin_trap();
    fx::PlaceCompilerMessages(input, effect.hlsl, fx::Position{"fuzz.fx", 2, 5});

    // The words of the input behind a ps_2_0 or vs_3_0 version token.
    std::vector<std::uint32_t> raw(1 + size / 4);
    raw[0] = size % 2 ? 0xFFFF0200u : 0xFFFE0300u;
    if (size >= 4)
        std::memcpy(raw.data() + 1, data, (size / 4) * 4);
    CheckAsm(input, raw);
    return 0;
}
