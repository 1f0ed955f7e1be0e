#pragma once

// Reads optimised SPIR-V of a fragment shader into the builder: control flow
// is flattened into selects (each block runs under the predicate of the paths
// that reach it), loops are unrolled or, where asked, kept as loops of the
// builder, built-ins are lowered, uniforms and samplers become registers by
// their names.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "compiler/Ir.h"

namespace qc {

struct ShaderInterface {
    // First constant register of each uniform, by name (a matrix takes one
    // register a column).
    std::map<std::string, int> uniformRegisters;
    // Sampler of each sampler2D, by name.
    std::map<std::string, int> samplers;
    std::string colorOutput; // the vec4 output written
    bool allowDerivatives = true;
    // Loops of two iterations or more stay loops (ps_3_0's rep), run as many
    // times as unrolling them finds.
    bool realLoops = false;
    int sourceLines = 0; // lines past this are the wrapper's, not the author's
    // Input slot of each input variable, by name (HLSL: by semantic); when
    // empty, every input is the one texture coordinate.
    std::map<std::string, int> inputs;
    // mul(v, transpose(M)) as dot products of M's columns, which a vertex
    // shader reads as m4x4.
    bool dotTransposed = false;
    // The function read: 0 for the entry point, else a function the
    // optimiser left standing, read as a subroutine (its parameters
    // Param values, the colour its return value).
    uint32_t function = 0;
    // Functions left standing that are called as subroutines, by id: their
    // index, and the private variables each reads (handed over after its
    // parameters).
    struct Subroutine {
        int index = -1;
        std::vector<uint32_t> privates;
    };
    std::map<uint32_t, Subroutine> subroutines;
};

struct ReadResult {
    int color = -1; // the value of the colour output
    // Negative where the pixel is discarded (texkill's operand); -1: never.
    int kill = -1;
    // Every output variable's value, by name.
    std::map<std::string, int> outputs;
    // A subroutine: the widths of its parameters, then of the private
    // variables it reads (handed over after them, in this order).
    std::vector<int> paramWidths;
    std::vector<uint32_t> privates;
};

// Throws CompileError for what the backend cannot express.
ReadResult ReadSpirv(const std::vector<uint32_t>& words, const ShaderInterface& io,
                     Builder& builder);

} // namespace qc
