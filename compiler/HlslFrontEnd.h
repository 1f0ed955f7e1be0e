#pragma once

// The HLSL front end: one entry point of a Direct3D 9 style HLSL source
// (sampler2D, tex2D, COLOR0, TEXCOORD0) through glslang and SPIRV-Tools into
// the SPIR-V the backend reads, with each global the shader uses given a
// register as D3DX lays them out.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/Machine.h"
#include "compiler/SpirvReader.h"

namespace qc {

// A global the compiled shader reads: constant registers (floats) or a
// sampler.
struct HlslConstant {
    std::string name;
    bool sampler = false;
    int index = 0;
    int count = 1;
};

// An input or output of the entry point, flattened out of its structure:
// "TEXCOORD1" as usage "TEXCOORD", index 1.
struct HlslVarying {
    std::string name; // of the SPIR-V variable
    std::string semantic;
    std::string usage; // upper case
    int index = 0;
    int width = 1;
};

struct HlslShader {
    std::vector<uint32_t> spirv; // optimised
    ShaderInterface io;
    // What the optimised shader still has, in the order declared.
    std::vector<HlslVarying> inputs;
    std::vector<HlslVarying> outputs;
    std::vector<HlslConstant> constants;
    int firstFreeConstant = 0;
};

// `arguments`: literals for the entry's uniform parameters, in order.
// Loops are unrolled, or with `unrollLoops` false kept for the backend to
// run as loops (shader model 3). Throws CompileError with the place in
// `source` of the first error.
HlslShader CompileHlslToSpirv(const std::string& source, const std::string& entry,
                              const std::vector<std::string>& arguments, bool vertex = false,
                              bool unrollLoops = true);

} // namespace qc
