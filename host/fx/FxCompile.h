#pragma once

// HLSL shaders of an effect: what the native shader compiler answers for one
// "compile PROFILE Entry(args)", and its messages placed in the effect.
// Platform-free; the process that runs the compiler is in FxCompile.cpp.

#include <string>
#include <vector>

#include "host/fx/FxSyntax.h"

namespace fx {

// One global the shader reads: its register set ('F' float, 'I' int, 'B'
// bool, 'S' sampler), first register and register count.
struct ShaderConstant {
    std::string name;
    char set = 'F';
    int index = 0;
    int count = 1;
};

struct CompiledHlsl {
    std::vector<ShaderConstant> constants;
    std::string assembly; // from the version token on
};

// The compiler's answer: "constant NAME SET INDEX COUNT" lines (SET float,
// int, bool or sampler), then "asm" and the assembly. False with `error`
// when the text is not one.
bool ReadCompiledHlsl(const std::string& text, CompiledHlsl& out, std::string& error);

// The compiler's messages ("any(line,col): error[ Xnnnn]: text") as compile
// errors at their place in the effect; a line without a place, or a place
// outside the HLSL, goes to `at` (the compile statement).
std::string PlaceCompilerMessages(const std::string& messages, const HlslSource& hlsl,
                                  const Position& at);

// The arguments of the compiler for one compile statement, after the
// program's name: --hlsl-entry, --profile, --arg for each literal.
std::vector<std::string> CompilerArguments(const StateValue& compile, const std::string& source,
                                           const std::string& output);

// A text as one word for /bin/sh: in single quotes.
std::string ShellQuote(const std::string& text);

} // namespace fx
