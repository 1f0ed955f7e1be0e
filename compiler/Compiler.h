#pragma once

// The whole compile of a GL transition: front end, reading, selection,
// register allocation, encoding and the runtime's own checks, for a chosen
// profile or the smallest that fits.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/Machine.h"
#include "compiler/Transition.h"

namespace qc {

// Constant registers the effect binds.
constexpr int kProgressRegister = 0;
constexpr int kSizeRegister = 1;
constexpr int kFirstUniformRegister = 2;
// Samplers: the two inputs, then the author's textures.
constexpr int kFirstUserSampler = 2;
constexpr int kLastUserSampler = 7;

struct CompiledShader {
    Profile profile = Profile::Ps20;
    std::vector<uint32_t> tokens;
    std::string text;
    int arithmeticSlots = 0;
    int textureSlots = 0;
    int temporaries = 0;
    std::vector<int> filtered; // samplers that need linear filtering
};

struct BoundUniform {
    UniformDecl decl;
    int reg = -1;     // first constant register, floats
    int sampler = -1; // sampler2D
};

struct CompiledTransition {
    CompiledShader shader;
    std::vector<BoundUniform> uniforms;
    bool usesSize = false;
};

// Throws CompileError. `subroutines`: ps_3_0 calls functions used more than
// once as subroutines even where inlined they fit (else only when they do
// not). `keepLoops`: ps_3_0 runs loops as loops even where
// unrolled they would fit.
CompiledTransition CompileTransition(const std::string& source, std::optional<Profile> profile,
                                     bool keepLoops = false, bool subroutines = false);

} // namespace qc
