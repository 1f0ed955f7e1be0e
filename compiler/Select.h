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
// `programOrder`: values used more than once are computed in the order the
// program made them, each of the others just before its one reader; else
// everything as the colour first needs it. Which needs fewer registers
// depends on the program, so the compiler tries both.
// `kill`: a value negative where the pixel is discarded (texkill), or -1.
MachineShader Select(const Builder& builder, int color, Profile profile, int firstFreeConstant,
                     bool programOrder = false, int kill = -1);

// A value a shader writes to an output register (vertex shaders: the
// position, texture coordinates and colours), `mask` its components.
// File::None: no output but texkill's operand.
struct OutputValue {
    File file = File::ColorOut;
    int index = 0;
    int value = -1;
    uint8_t mask = 0xF;
};

// Select for a shader with several outputs, each written in one mov after
// everything is computed. Vertex profiles keep their own rules: one c# and
// one v# an instruction, no cmp, dp2add, texld or derivatives.
MachineShader SelectOutputs(const Builder& builder, const std::vector<OutputValue>& outputs,
                            Profile profile, int firstFreeConstant, bool programOrder = false);

// Where a subroutine takes a parameter or leaves its result: a register and
// first component, placed when the subroutine was allocated.
struct SubroutinePlace {
    int reg = 0;
    int offset = 0;
    int width = 1;
};
struct SubroutineSignature {
    int label = 0; // l#
    std::vector<SubroutinePlace> params;
    SubroutinePlace result;
};

// Select for a function of a program with subroutines: with `paramWidths`
// a subroutine, its parameters Param values in entry registers and its result
// moved into resultReg last; without, the main program writing the colour
// (and discarding where `kill` is negative).
// Calls of subroutine k use callees[k].
MachineShader SelectFunction(const Builder& builder, int result, Profile profile,
                             int firstFreeConstant, bool programOrder,
                             const std::vector<SubroutineSignature>& callees,
                             const std::vector<int>* paramWidths, int kill = -1);

// Whether ps_2_0 accepts a source swizzle whose lanes `want` (-1 for lanes
// not read) ask for these components; gives the full swizzle.
bool LegalSwizzle20(const std::array<int, 4>& want, std::array<uint8_t, 4>& full);

} // namespace qc
