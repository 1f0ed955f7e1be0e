#pragma once

// Direct3D 9 instructions before register allocation: temporaries are
// virtual registers, each placed later at a register and a first component.
// A value of one component may sit in any component; wider values start at x
// so that the restricted swizzles of ps_2_0 reach them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/fx/ShaderOpcodes.h"
#include "host/fx/ShaderTokens.h"

namespace qc {

enum class Profile { Ps20, Ps30, Vs20, Vs30 };

constexpr bool IsVertex(Profile p) { return p == Profile::Vs20 || p == Profile::Vs30; }

const char* ProfileName(Profile p);
fx::Profile CheckProfile(Profile p);

struct ProfileLimits {
    int temps;
    int constants;
    int arithmeticSlots;
    int textureSlots; // 0: shared with arithmetic
};
ProfileLimits LimitsOf(Profile p);

// Input: t# in ps_2_0, v# elsewhere; ColorIn: ps_2_0's colour inputs v#.
// The vertex outputs: oPos, oFog, oPts (RastOut), oD# (AttrOut), oT#
// (TexCrdOut) in vs_2_0, o# (Output) in vs_3_0.
enum class File : uint8_t {
    Temp,
    Const,
    Input,
    Sampler,
    ColorOut,
    ColorIn,
    RastOut,
    AttrOut,
    TexCrdOut,
    Output,
    IntConst,
    Label, // call's and label's l#
    None
};

struct MOperand {
    File file = File::Temp;
    int index = 0; // virtual register for Temp, else the register number
    // Sources: the component each lane reads, relative to the register's
    // first component. Destinations: unused.
    std::array<uint8_t, 4> swizzle{0, 1, 2, 3};
    bool neg = false;
    bool abs = false;
    int width = 4; // components of the value read (for whole reads)
};

// How sources line up with the destination.
enum class Lanes : uint8_t {
    PerComponent, // lane k of the destination reads lane k of the swizzle
    Whole,        // read as written, whatever the destination (dp3, texld)
    Replicate,    // one component (rcp, sincos)
};

struct MInst {
    fx::Opcode op = fx::Opcode::Mov;
    uint32_t control = 0;
    MOperand dst;
    uint8_t mask = 0xF; // relative to the destination's first component
    bool sat = false;
    Lanes lanes = Lanes::PerComponent;
    std::vector<MOperand> src;
    std::string comment;
};

struct VirtualReg {
    int width = 1;
    // Placement.
    int reg = -1;
    int offset = 0;
    // Placed before allocation (a subroutine's parameter or result, in the
    // caller): the allocator leaves it where it is.
    bool pinned = false;
};

struct ConstDef {
    int reg;
    std::array<float, 4> value;
};

struct IntDef {
    int reg;
    std::array<int, 4> value;
};

// A dcl of an input or a vs_3_0 output.
struct Declaration {
    File file = File::Input;
    int index = 0;
    fx::DeclUsage usage = fx::DeclUsage::TexCoord;
    int usageIndex = 0;
    uint8_t mask = 0xF;
};

struct MachineShader {
    Profile profile = Profile::Ps20;
    std::vector<MInst> code;
    std::vector<VirtualReg> vregs;
    std::vector<ConstDef> defs;
    std::vector<IntDef> intDefs; // loop counts
    std::vector<int> samplers;   // declared
    // Samplers read somewhere other than at the texel centre each pixel
    // maps to; the others take point sampling, which is exact there.
    std::vector<int> filtered;
    bool usesInput = false;
    // When given, these instead of the one texture coordinate usesInput
    // declares.
    std::vector<Declaration> declarations;
    // A subroutine's parameters: set by the caller, taken from the start.
    std::vector<int> entryRegs;
    int resultReg = -1; // a subroutine's result
    // Temporaries below this one only (0: all the profile has); the ones
    // above belong to the subroutines called.
    int tempLimit = 0;
};

} // namespace qc
