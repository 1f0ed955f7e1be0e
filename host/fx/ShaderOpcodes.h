#pragma once

// One table of the Direct3D 9 shader instructions: what each reads and
// writes, which profiles have it and what it costs there. The assembly text
// helpers, the shader checks and the compiler's backend all read it.
// Platform-free.

#include <array>
#include <cstdint>
#include <string_view>

#include "host/fx/ShaderTokens.h"

namespace fx {

// The profiles the checks know, as indices into OpcodeInfo::slots.
enum class Profile : uint8_t { Ps20, Ps30, Vs20, Vs30 };
constexpr int kProfileCount = 4;

constexpr bool IsPixelProfile(Profile p) { return p == Profile::Ps20 || p == Profile::Ps30; }
constexpr bool IsModel3(Profile p) { return p == Profile::Ps30 || p == Profile::Vs30; }

// The profile of a version token; false for the ones the checks refuse.
bool ProfileOf(uint32_t version, Profile& profile);
// "ps_2_0", "vs_3_0"... (ps_2_x for 2.1).
const char* ProfileText(Profile profile);

enum class OpcodeClass : uint8_t { Setup, Arithmetic, Texture, Flow };

// What an instruction does to the flow of control.
enum class FlowEffect : uint8_t {
    None,
    If,  // if b# (static) or if p0.c (dynamic)
    IfC, // if_comp: dynamic
    Else,
    EndIf,
    Loop,
    EndLoop,
    Rep,
    EndRep,
    Break,  // plain break: leaves the loop for every pixel alike
    BreakC, // break_comp: dynamic
    BreakP, // breakp p0.c: dynamic
    Call,
    CallNz, // callnz l#, b# or p0.c
    Ret,
    Label,
};

// Which components of each source an instruction reads.
enum class ReadPattern : uint8_t {
    PerComponent, // as the destination's write mask selects them
    None,         // reads nothing it checks (declarations, labels)
    Scalar,       // one component: the replicated one
    Dot2Add,      // .xy of the first two, one component of the third
    Dot3,         // .xyz
    Dot4,         // .xyzw
    Matrix4,      // .xyzw of the vector and of each row
    Matrix3,      // .xyz of the vector and of each row
    Lit,          // .xyw
    Dst,          // .yz of the first, .yw of the second
    Sgn,          // per component; the second and third are scratch
    SinCos,       // one component of the first; the constants whole
    Compare,      // one component of each (if_comp, break_comp)
    Coordinates,  // a texture coordinate by the sampler's dimension
    Gradients,    // texldd: coordinate, sampler, then two gradients
};

constexpr int8_t kAbsent = -1;

struct OpcodeInfo {
    const char* mnemonic;
    Opcode opcode;
    uint8_t control;      // texld's project/bias variants, else 0
    uint8_t destinations; // 0 or 1
    uint8_t sources;      // in shader model 3; see SourceCount
    OpcodeClass kind;
    // Instruction slots in ps_2_0, ps_3_0, vs_2_0, vs_3_0; kAbsent where the
    // profile lacks the instruction.
    std::array<int8_t, kProfileCount> slots;
    bool model1;           // ps_1_x or vs_1_1 has it (text recognition only)
    uint8_t scalarSources; // bit i: source i takes a replicate swizzle
    uint8_t matrixRows;    // registers read from the second source
    FlowEffect flow;
    ReadPattern reads;
    bool gradient; // takes screen-space derivatives
};

// The row of an opcode (texld's plain row for Opcode::Tex), or null.
const OpcodeInfo* FindOpcode(Opcode opcode);
// The row of an instruction with its controls: texldp and texldb have rows
// of their own since they cost more. Null for an unknown opcode.
const OpcodeInfo* FindOpcode(Opcode opcode, uint32_t control);
// The row of a mnemonic as written, without case: "texldp", "if_gt" (the
// comparison picks the _comp row), "mov_sat" (result modifiers are
// ignored). Null when it names no instruction.
const OpcodeInfo* FindOpcode(std::string_view mnemonic);

// Every row, for tables built from this one.
const OpcodeInfo* OpcodeTable(size_t& count);

// Sources of an instruction in a profile: sincos takes its two constants in
// ps_2_0 and vs_2_0.
int SourceCount(const OpcodeInfo& info, Profile profile);

} // namespace fx
