#pragma once

// A Direct3D 9 shader token stream (shader model 2 and 3) taken apart once
// into its instructions and their operands. Platform-free.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/fx/ShaderOpcodes.h"
#include "host/fx/ShaderTokens.h"

namespace fx {

// The register that indexes an operand: a0.x, aL.
struct RelativeAddress {
    RegisterType type = RegisterType::Temp;
    uint32_t number = 0;
    int component = 0; // the one its swizzle selects
    uint32_t token = 0;
};

struct DecodedOperand {
    uint32_t token = 0;
    RegisterType type = RegisterType::Temp;
    uint32_t number = 0;
    bool relative = false;
    RelativeAddress address; // when relative
    // Destinations.
    uint32_t writeMask = 0;
    uint32_t modifiers = 0; // ResultModifier bits
    int shift = 0;
    // Sources.
    uint8_t swizzle = kSwizzleIdentity;
    SourceModifier modifier = SourceModifier::None;
};

struct DecodedInstruction {
    int index = 0;     // counted after the version token, comments left out
    size_t offset = 0; // of the instruction token in the stream
    uint32_t token = 0;
    Opcode opcode = Opcode::Nop;
    const OpcodeInfo* info = nullptr; // null for an opcode the table lacks
    uint32_t control = 0;
    bool predicated = false;
    bool coissue = false;
    bool hasDestination = false;
    DecodedOperand destination; // texkill's operand, dcl's and def's register too
    bool hasPredicate = false;
    DecodedOperand predicate; // p0 with its swizzle, before the sources
    std::vector<DecodedOperand> sources;
    // def, defi, defb: the raw values (floats as bits).
    std::array<uint32_t, 4> values = {};
    int valueCount = 0;
    // dcl: the token before the register, and what it says.
    uint32_t dclToken = 0;
    DeclUsage usage = DeclUsage::Position;
    uint32_t usageIndex = 0;
    SamplerType samplerType = SamplerType::Unknown;
};

struct DecodedShader {
    uint32_t version = 0;
    std::vector<DecodedInstruction> instructions;
};

struct DecodeError {
    int instruction = -1; // -1: the shader as a whole
    std::string text;
};

// Walks the stream once. False for a malformed stream (no version token, a
// model 1 stream, an instruction running past the end, a relative address
// without its register token, no end token); `shader` then holds the
// instructions before the fault.
bool DecodeShader(const uint32_t* tokens, size_t count, DecodedShader& shader, DecodeError& error);
inline bool DecodeShader(const std::vector<uint32_t>& tokens, DecodedShader& shader,
                         DecodeError& error) {
    return DecodeShader(tokens.data(), tokens.size(), shader, error);
}

} // namespace fx
