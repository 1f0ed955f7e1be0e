#pragma once

// quorvel-fxc's HLSL mode, as the effect framework asks for one shader:
//   quorvel-fxc --hlsl-entry NAME --profile ps_2_0 [--arg VALUE]... FILE.hlsl -o OUT
// OUT holds "constant NAME SET INDEX COUNT" lines, then "asm" and the
// shader's assembly. Errors go to stderr as FILE(line,col): error Xnnnn: text.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/HlslFrontEnd.h"

namespace qc {

struct CompiledHlslShader {
    std::vector<uint32_t> tokens; // passed the runtime's checks
    std::string text;
    std::vector<HlslConstant> constants;
};

// One entry point for "ps_2_0", "ps_3_0", "vs_2_0" or "vs_3_0". Throws
// CompileError.
CompiledHlslShader CompileHlslShader(const std::string& source, const std::string& entry,
                                     const std::string& profile,
                                     const std::vector<std::string>& arguments);

bool IsHlslRequest(int argc, char** argv);
int HlslMain(int argc, char** argv);

} // namespace qc
