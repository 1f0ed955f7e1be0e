#pragma once

// The GLSL front end: wraps a GL transition as the format defines it, parses
// it with glslang into SPIR-V and optimises that with SPIRV-Tools (inlining,
// loop unrolling, folding, dead code, if-conversion).

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace qc {

// The names the wrapper gives the interface, for the SPIR-V reader.
constexpr const char* kFromSampler = "qv_from";
constexpr const char* kToSampler = "qv_to";
constexpr const char* kSizeUniform = "qv_size";
constexpr const char* kProgressUniform = "progress";

// The optimised SPIR-V of a transition, its loops unrolled where SPIRV-Tools
// can unroll them, or kept. Throws CompileError with the place in `source`
// of the first error.
// Functions named in `subroutines` (glslang's names: "hash(vf2;") stay
// functions instead of being inlined.
std::vector<uint32_t> CompileTransitionToSpirv(const std::string& source, bool unrollLoops = true,
                                               const std::set<std::string>& subroutines = {});

// A function of the transition as the source has it.
struct FunctionUse {
    std::string name;   // glslang's: "hash(vf2;"
    long copies = 0;    // of its body once everything is inlined
    bool plain = false; // the author's, taking and giving floats, ints or bools (or vectors)
    std::vector<std::string> callees;
};
std::vector<FunctionUse> TransitionFunctions(const std::string& source);

} // namespace qc
