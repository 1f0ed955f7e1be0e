#pragma once

// What both front ends take from glslang and SPIRV-Tools: the process set up
// once, glslang's first error placed in the author's text, and the
// optimiser's passes.

#include <cstdint>
#include <string>
#include <vector>

namespace qc {

void InitGlslang();

struct GlslangMessage {
    int line = 0; // in `source`; 0 when past its end (the wrapper's)
    int column = 1;
    std::string text;
};

// glslang's first "ERROR: 0:12: 'foo' : undeclared identifier" in `log`,
// with the column of the quoted name on that line of `source`. False when
// the log holds no such line.
bool FirstGlslangError(const std::string& log, const std::string& source, GlslangMessage& out);

// Inlining, folding, dead code and if-conversion; then, with `unroll`, every
// loop SPIRV-Tools can unroll fully is unrolled. `validate`: SPIRV-Tools'
// validator checks the input first.
std::vector<uint32_t> Optimise(std::vector<uint32_t> words, bool unroll, bool validate);

} // namespace qc
