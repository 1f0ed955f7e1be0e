#pragma once

// Checks an assembled Direct3D 9 shader (its token stream) against the
// published rules of its profile, as the runtime does when the shader is
// created. The stream is decoded once; the rules, one file per family
// (ShaderRules*.cpp), read instruction properties from the opcode table the
// compiler's backend shares. Platform-free.

#include <cstdint>
#include <string>
#include <vector>

namespace fx {

struct ShaderFault {
    // The instruction at fault, counted after the version token without
    // comments; -1 for the shader as a whole.
    int instruction = -1;
    const char* code = "";
    std::string text;
    // Instructions in the shader, counted as above.
    int instructionCount = 0;
};

// True when the shader keeps every rule; otherwise the first rule it breaks.
bool CheckShader(const std::vector<uint32_t>& tokens, ShaderFault& fault);

// "ps_2_0", "vs_3_0"... for a version token.
std::string ProfileName(uint32_t version);

} // namespace fx
