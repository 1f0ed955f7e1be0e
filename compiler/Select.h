#pragma once

// Instruction selection: the builder's values reachable from the colour, in
// an order that computes each before its first use, as Direct3D 9
// instructions on virtual registers. Applies the profile's operand rules:
// ps_2_0's swizzles, two constant registers an instruction, texld's plain
// coordinates, sincos's constants.

#include "compiler/Ir.h"
#include "compiler/Machine.h"

namespace qc {

// `firstFreeConstant`: the first constant register not taken by uniforms;
// literals are packed from there. Throws CompileError when the constants do
// not fit the profile.
MachineShader Select(const Builder& builder, int color, Profile profile, int firstFreeConstant);

// Whether ps_2_0 accepts a source swizzle whose lanes `want` (-1 for lanes
// not read) ask for these components; gives the full swizzle.
bool LegalSwizzle20(const std::array<int, 4>& want, std::array<uint8_t, 4>& full);

} // namespace qc
