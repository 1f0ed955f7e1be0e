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
};

struct ReadResult {
    int color = -1; // the value of the colour output
};

// Throws CompileError for what the backend cannot express.
ReadResult ReadSpirv(const std::vector<uint32_t>& words, const ShaderInterface& io,
                     Builder& builder);

} // namespace qc
