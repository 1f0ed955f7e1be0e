#pragma once

// A small interpreter of the Direct3D 9 pixel shader instructions the
// compiler emits, on one pixel, with the hardware's defined answers (rcp of 0
// is infinite, log and rsq take |x|, pow takes |x|, sincos only inside
// [-pi, pi]), rep and loop blocks (aL) and their breaks, subroutines (call,
// callnz on p0, label, ret; four deep). Lets the tests run
// compiled programs without a device.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qc_test {

using Vec4 = std::array<float, 4>;

struct PixelInputs {
    Vec4 texcoord{0, 0, 0, 0};
    std::vector<Vec4> constants; // c0.. set by the host (defs override)
    // The colour sampler s reads at (u, v).
    std::function<Vec4(int sampler, float u, float v)> sample;
};

struct PixelResult {
    Vec4 color{0, 0, 0, 0};
    bool killed = false; // a texkill discarded the pixel
    std::string fault;   // empty, or what the shader did outside the rules
};

PixelResult RunPixelShader(const std::vector<uint32_t>& tokens, const PixelInputs& in);

// Any shader, vertex shaders too, with its inputs and outputs by semantic
// ("POSITION", "TEXCOORD1", "COLOR0", "FOG"): ps_2_0's t#n are TEXCOORDn
// and its v#n COLORn, vs_2_0's outputs go by their registers, everything
// else by its declaration.
struct ShaderInputs {
    std::map<std::string, Vec4> varyings;
    std::vector<Vec4> constants;
    std::function<Vec4(int sampler, float u, float v)> sample;
};

struct ShaderResult {
    std::map<std::string, Vec4> outputs;
    std::string fault;
};

ShaderResult RunShader(const std::vector<uint32_t>& tokens, const ShaderInputs& in);

} // namespace qc_test
