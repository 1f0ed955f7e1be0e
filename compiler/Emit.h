#pragma once

// Turns an allocated machine shader into Direct3D 9 tokens, and tokens into
// the assembly text an effect file carries.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/Machine.h"

namespace qc {

std::vector<uint32_t> EncodeShader(const MachineShader& shader);

// The assembly of a token stream, one instruction a line, each line
// starting with `indent`. Numbers in plain decimal, which every assembler
// reads.
std::string ShaderText(const std::vector<uint32_t>& tokens, const std::string& indent = "");

// Shortest plain decimal (no exponent) that reads back as exactly `x`.
std::string PlainDecimal(float x);

struct SlotCount {
    int arithmetic = 0;
    int texture = 0;
    int total() const { return arithmetic + texture; }
};
// Instruction slots as the opcode table prices them in `profile`.
SlotCount CountSlots(const std::vector<uint32_t>& tokens, fx::Profile profile);

} // namespace qc
