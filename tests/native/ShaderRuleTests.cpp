// The shader checks on token streams built here, without a device: each rule
// of the instruction and register pages with a case it accepts and one it
// refuses, the decoder on malformed streams, and the opcode table.

#include "host/fx/FxShaderCheck.h"
#include "host/fx/ShaderDecode.h"
#include "host/fx/ShaderOpcodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fx {
namespace {

using RT = RegisterType;
using SM = SourceModifier;

constexpr uint8_t kX = kSwizzleXXXX;
constexpr uint8_t kYzxw = MakeSwizzle(1, 2, 0, 3);
constexpr uint8_t kXyxy = MakeSwizzle(0, 1, 0, 1);

// A shader written token by token: Op(opcode, {operands}).
class Tokens {
  public:
    Tokens(ShaderKind kind, int major) { m_tokens.push_back(VersionToken(kind, major, 0)); }
    Tokens& Op(Opcode op, std::vector<uint32_t> operands, uint32_t control = 0,
               bool predicated = false) {
        m_tokens.push_back(
            EncodeInstruction(op, static_cast<uint32_t>(operands.size()), control, predicated));
        m_tokens.insert(m_tokens.end(), operands.begin(), operands.end());
        return *this;
    }
    Tokens& Repeat(int times, Opcode op, std::vector<uint32_t> operands, uint32_t control = 0) {
        for (int i = 0; i < times; ++i)
            Op(op, operands, control);
        return *this;
    }
    Tokens& Dcl(uint32_t usage, uint32_t reg) { return Op(Opcode::Dcl, {usage, reg}); }
    Tokens& DefI(uint32_t n, int x, int y, int z) {
        return Op(Opcode::DefI, {EncodeDestination(RT::ConstInt, n), static_cast<uint32_t>(x),
                                 static_cast<uint32_t>(y), static_cast<uint32_t>(z), 0});
    }
    std::vector<uint32_t> End() const {
        std::vector<uint32_t> out = m_tokens;
        out.push_back(kEndToken);
        return out;
    }

  private:
    std::vector<uint32_t> m_tokens;
};

uint32_t D(RT type, uint32_t n, uint32_t mask = kMaskAll, uint32_t mods = kModNone) {
    return EncodeDestination(type, n, mask, mods);
}
uint32_t S(RT type, uint32_t n, uint8_t swizzle = kSwizzleIdentity, SM mod = SM::None) {
    return EncodeSource(type, n, swizzle, mod);
}
uint32_t Sampler2D() { return EncodeDclSampler(SamplerType::Texture2D); }
uint32_t Usage(DeclUsage u, uint32_t i = 0) { return EncodeDclUsage(u, i); }
uint32_t Cmp(Comparison c) { return static_cast<uint32_t>(c); }

// ps_2_0 with t0.xy and s0 declared.
Tokens Ps20() {
    Tokens t(ShaderKind::Pixel, 2);
    t.Dcl(kParameterBit, D(RT::Texture, 0, kMaskX | kMaskY)).Dcl(Sampler2D(), D(RT::Sampler, 0));
    return t;
}
// ps_3_0 with v0 (texcoord) and s0 declared.
Tokens Ps30() {
    Tokens t(ShaderKind::Pixel, 3);
    t.Dcl(Usage(DeclUsage::TexCoord), D(RT::Input, 0)).Dcl(Sampler2D(), D(RT::Sampler, 0));
    return t;
}
// vs_2_0 with v0 (position) and v1 declared.
Tokens Vs20() {
    Tokens t(ShaderKind::Vertex, 2);
    t.Dcl(Usage(DeclUsage::Position), D(RT::Input, 0))
        .Dcl(Usage(DeclUsage::TexCoord), D(RT::Input, 1));
    return t;
}

const uint32_t kOC0 = EncodeDestination(RT::ColorOut, 0);
const uint32_t kOPos = EncodeDestination(RT::RastOut, kRastPosition);

Tokens& Texld(Tokens& t, uint32_t dest, uint32_t coordinate) {
    return t.Op(Opcode::Tex, {D(RT::Temp, dest), coordinate, S(RT::Sampler, 0)});
}

struct Case {
    const char* name;
    std::vector<uint32_t> tokens;
    const char* code;     // "" when accepted
    int instruction = -2; // where, when it matters
};

std::vector<Case> Ps20Cases() {
    std::vector<Case> cases;
    {
        // Rewriting a destination is a dependent read: texld r0, t0 the fifth time is order 4.
        Tokens t = Ps20();
        for (int i = 0; i < 5; ++i)
            Texld(t, 0, S(RT::Texture, 0));
        cases.push_back({"rewritten destination, fifth read",
                         t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)}).End(), "X5107", 6});
    }
    {
        Tokens t = Ps20();
        for (int i = 0; i < 4; ++i)
            Texld(t, 0, S(RT::Texture, 0));
        cases.push_back({"rewritten destination, fourth read",
                         t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)}).End(), ""});
    }
    {
        // 32 texture slots over eight destinations, each written four times.
        Tokens t = Ps20();
        for (int round = 0; round < 4; ++round)
            for (uint32_t r = 0; r < 8; ++r)
                Texld(t, r, S(RT::Texture, 0));
        cases.push_back({"32 texture slots", t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)}).End(), ""});
        Texld(t, 8, S(RT::Texture, 0));
        cases.push_back(
            {"33 texture slots", t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)}).End(), "X5102", 35});
    }
    {
        // The blur pattern: one coordinate register, one destination read again and again.
        Tokens t = Ps20();
        t.Op(Opcode::Mov, {D(RT::Temp, 1), S(RT::Texture, 0)});
        for (int i = 0; i < 4; ++i)
            Texld(t, 2, S(RT::Temp, 1));
        cases.push_back({"one destination per read",
                         t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 2)}).End(), "X5107", 6});
    }
    cases.push_back(
        {"_pp on oC0",
         Ps20()
             .Op(Opcode::Mov, {D(RT::ColorOut, 0, kMaskAll, kModPartialPrecision), S(RT::Const, 0)})
             .End(),
         ""});
    cases.push_back(
        {"_sat on oC0",
         Ps20()
             .Op(Opcode::Mov, {D(RT::ColorOut, 0, kMaskAll, kModSaturate), S(RT::Const, 0)})
             .End(),
         "X5109", 2});
    cases.push_back({"texld with a write mask",
                     Ps20()
                         .Op(Opcode::Tex, {D(RT::Temp, 0, kMaskX | kMaskY), S(RT::Texture, 0),
                                           S(RT::Sampler, 0)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
                         .End(),
                     "X5104", 2});
    cases.push_back(
        {"texld with a swizzled coordinate",
         Ps20()
             .Op(Opcode::Tex, {D(RT::Temp, 0), S(RT::Texture, 0, kYzxw), S(RT::Sampler, 0)})
             .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
             .End(),
         "X5104", 2});
    cases.push_back(
        {"texld with a negated coordinate",
         Ps20()
             .Op(Opcode::Tex,
                 {D(RT::Temp, 0), S(RT::Texture, 0, kSwizzleIdentity, SM::Neg), S(RT::Sampler, 0)})
             .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
             .End(),
         "X5104", 2});
    // oDepth: mov of one replicated component, once.
    const uint32_t depth = D(RT::DepthOut, 0);
    cases.push_back({"oDepth from r0.x",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Mov, {depth, S(RT::Temp, 0, kX)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     ""});
    cases.push_back({"oDepth from r0.xyzw",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Mov, {depth, S(RT::Temp, 0)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5109", 3});
    cases.push_back({"oDepth with a mask",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::DepthOut, 0, kMaskX), S(RT::Const, 0, kX)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
                         .End(),
                     "X5109", 2});
    cases.push_back({"oDepth twice",
                     Ps20()
                         .Op(Opcode::Mov, {depth, S(RT::Const, 0, kX)})
                         .Op(Opcode::Mov, {depth, S(RT::Const, 1, kX)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
                         .End(),
                     "X5109", 3});
    // Operand forms.
    cases.push_back({"dp2add with a full third source",
                     Ps20()
                         .Op(Opcode::Dp2Add,
                             {D(RT::Temp, 0), S(RT::Const, 0), S(RT::Const, 1), S(RT::Texture, 0)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5104", 2});
    cases.push_back({"dp2add with a replicated third source",
                     Ps20()
                         .Op(Opcode::Dp2Add, {D(RT::Temp, 0), S(RT::Const, 0), S(RT::Const, 1),
                                              S(RT::Texture, 0, kX)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     ""});
    cases.push_back({"nrm into its source",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Nrm, {D(RT::Temp, 0), S(RT::Temp, 0)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5104", 3});
    cases.push_back({"crs into a source",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Crs, {D(RT::Temp, 0, kMaskX | kMaskY | kMaskZ), S(RT::Temp, 0),
                                           S(RT::Const, 1)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5104", 3});
    cases.push_back({"m4x4 into its vector",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::M4x4, {D(RT::Temp, 0), S(RT::Temp, 0), S(RT::Const, 4)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5104", 3});
    cases.push_back({"pow into its exponent",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Pow, {D(RT::Temp, 0), S(RT::Const, 1, kX), S(RT::Temp, 0, kX)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5104", 3});
    cases.push_back({"pow into its base",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Pow, {D(RT::Temp, 0), S(RT::Temp, 0, kX), S(RT::Const, 1, kX)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     ""});
    cases.push_back(
        {"_abs in ps_2_0",
         Ps20()
             .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0, kSwizzleIdentity, SM::Abs)})
             .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
             .End(),
         "X5104", 2});
    // Declarations and definitions first.
    cases.push_back({"dcl after an instruction",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Dcl(kParameterBit, D(RT::Texture, 1))
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5105", 3});
    cases.push_back({"def after an instruction",
                     Ps20()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
                         .Op(Opcode::Def, {D(RT::Const, 5), 0, 0, 0, 0})
                         .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
                         .End(),
                     "X5105", 3});
    cases.push_back(
        {"three constants",
         Ps20()
             .Op(Opcode::Mad, {D(RT::Temp, 0), S(RT::Const, 1), S(RT::Const, 2), S(RT::Const, 3)})
             .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
             .End(),
         "X5104", 2});
    return cases;
}

std::vector<Case> Ps30Cases() {
    std::vector<Case> cases;
    const uint32_t v0 = S(RT::Input, 0);
    auto ifLt = [](Tokens& t) -> Tokens& {
        return t.Op(Opcode::IfC, {S(RT::Input, 0, kX), S(RT::Const, 0, kX)}, Cmp(Comparison::Lt));
    };
    {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)});
        ifLt(t);
        Texld(t, 0, v0).Op(Opcode::EndIf, {}).Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"texld from v0 in a dynamic branch", t.End(), ""});
    }
    {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {D(RT::Temp, 1), v0}).Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)});
        ifLt(t);
        Texld(t, 0, S(RT::Temp, 1)).Op(Opcode::EndIf, {}).Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"texld from r1 in a dynamic branch", t.End(), "X5110", 5});
    }
    {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {D(RT::Temp, 1), v0})
            .Op(Opcode::SetP, {D(RT::Predicate, 0), S(RT::Temp, 1), S(RT::Const, 0)},
                Cmp(Comparison::Gt))
            .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
            .Op(Opcode::Tex,
                {D(RT::Temp, 0), S(RT::Predicate, 0, kX), S(RT::Temp, 1), S(RT::Sampler, 0)}, 0,
                true)
            .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"predicated texld from r1", t.End(), "X5110", 5});
    }
    {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
            .Repeat(85, Opcode::Tex, {D(RT::Temp, 0), v0, S(RT::Sampler, 0)}, kTexLdBias)
            .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"texldb takes 6 slots, 512 in all", t.End(), ""});
        t.Op(Opcode::Tex, {D(RT::Temp, 0), v0, S(RT::Sampler, 0)}, kTexLdBias);
        cases.push_back({"texldb takes 6 slots, 518 in all", t.End(), "X5102", 89});
    }
    {
        Tokens t = Ps30();
        ifLt(t).Op(Opcode::Mov, {D(RT::DepthOut, 0), S(RT::Const, 0, kX)}).Op(Opcode::Else, {});
        t.Op(Opcode::Mov, {D(RT::DepthOut, 0), S(RT::Const, 1, kX)}).Op(Opcode::EndIf, {});
        cases.push_back(
            {"oDepth on both paths", t.Op(Opcode::Mov, {kOC0, S(RT::Const, 0)}).End(), ""});
        Tokens u = Ps30();
        ifLt(u).Op(Opcode::Mov, {D(RT::DepthOut, 0), S(RT::Const, 0, kX)}).Op(Opcode::EndIf, {});
        cases.push_back(
            {"oDepth on one path", u.Op(Opcode::Mov, {kOC0, S(RT::Const, 0)}).End(), "X5109", -1});
    }
    {
        Tokens t(ShaderKind::Pixel, 3);
        t.Dcl(kParameterBit, D(RT::Misc, kMiscFace));
        Tokens u = t;
        t.Op(Opcode::Add, {D(RT::Temp, 0), S(RT::Misc, kMiscFace, kX), S(RT::Const, 0)})
            .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"vFace added", t.End(), "X5104", 1});
        u.Op(Opcode::IfC, {S(RT::Misc, kMiscFace, kX), S(RT::Const, 0, kX)}, Cmp(Comparison::Gt))
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
            .Op(Opcode::Else, {})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 1)})
            .Op(Opcode::EndIf, {});
        (void)u;
    }
    {
        Tokens t(ShaderKind::Pixel, 3);
        t.Dcl(kParameterBit, D(RT::Misc, kMiscFace))
            .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
            .Op(Opcode::IfC, {S(RT::Misc, kMiscFace, kX), S(RT::Const, 0, kX)}, Cmp(Comparison::Gt))
            .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 1)})
            .Op(Opcode::EndIf, {})
            .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"vFace compared", t.End(), ""});
    }
    // Blocks.
    cases.push_back({"endif without if",
                     Ps30().Op(Opcode::EndIf, {}).Op(Opcode::Mov, {kOC0, S(RT::Const, 0)}).End(),
                     "X5111", 2});
    {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        ifLt(t).Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)});
        cases.push_back({"if left open", t.End(), "X5111", -1});
    }
    cases.push_back({"aL outside a loop",
                     Ps30()
                         .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Loop, 0)})
                         .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
                         .End(),
                     "X5111", 2});
    {
        Tokens t(ShaderKind::Pixel, 3);
        t.DefI(0, 256, 0, 0)
            .Op(Opcode::Rep, {S(RT::ConstInt, 0)})
            .Op(Opcode::EndRep, {})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        cases.push_back({"rep 256 times", t.End(), "X5111", 1});
        Tokens u(ShaderKind::Pixel, 3);
        u.DefI(0, 255, 0, 0)
            .Op(Opcode::Rep, {S(RT::ConstInt, 0)})
            .Op(Opcode::EndRep, {})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        cases.push_back({"rep 255 times", u.End(), ""});
    }
    {
        // texkill costs 2 and texldp 3 in ps_3_0: 256 texkills fill the 512 slots.
        Tokens t = Ps30();
        t.Repeat(255, Opcode::TexKill, {D(RT::Input, 0)}).Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        cases.push_back({"texkill takes 2 slots, 511 in all", t.End(), ""});
        t.Op(Opcode::TexKill, {D(RT::Input, 0)});
        cases.push_back({"texkill takes 2 slots, 513 in all", t.End(), "X5102", 258});
        Tokens u = Ps30();
        u.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
            .Repeat(170, Opcode::Tex, {D(RT::Temp, 0), v0, S(RT::Sampler, 0)}, kTexLdProject)
            .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"texldp takes 3 slots, 512 in all", u.End(), ""});
        u.Op(Opcode::Tex, {D(RT::Temp, 0), v0, S(RT::Sampler, 0)}, kTexLdProject);
        cases.push_back({"texldp takes 3 slots, 515 in all", u.End(), "X5102", 174});
    }
    {
        // A predicate costs a slot: the setp, two movs and 254 predicated ones fill 511.
        Tokens t = Ps30();
        t.Op(Opcode::SetP, {D(RT::Predicate, 0), v0, S(RT::Const, 0)}, Cmp(Comparison::Gt));
        t.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)});
        for (int i = 0; i < 254; ++i)
            t.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Predicate, 0), S(RT::Const, 1)}, 0, true);
        t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"predicated movs, 511 slots", t.End(), ""});
        t.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Predicate, 0), S(RT::Const, 1)}, 0, true);
        cases.push_back({"predicated movs, 513 slots", t.End(), "X5102", 259});
        Tokens u = Ps30();
        u.Op(Opcode::SetP, {D(RT::Predicate, 0), v0, S(RT::Const, 0)}, Cmp(Comparison::Gt));
        u.Op(Opcode::If, {D(RT::Predicate, 0), S(RT::ConstBool, 0)}, 0, true).Op(Opcode::EndIf, {});
        cases.push_back(
            {"predicated if", u.Op(Opcode::Mov, {kOC0, S(RT::Const, 0)}).End(), "X5101", 3});
    }
    for (int depth : {24, 25}) {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)});
        t.Repeat(depth, Opcode::If, {S(RT::ConstBool, 0)}).Repeat(depth, Opcode::EndIf, {});
        t.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({depth == 24 ? "if b0 nested 24 deep" : "if b0 nested 25 deep", t.End(),
                         depth == 24 ? "" : "X5111", depth == 24 ? -2 : 27});
        Tokens u = Ps30();
        u.Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)});
        u.Repeat(depth, Opcode::IfC, {S(RT::Temp, 0, kX), S(RT::Const, 0, kX)}, Cmp(Comparison::Lt))
            .Repeat(depth, Opcode::EndIf, {});
        u.Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({depth == 24 ? "if_lt nested 24 deep" : "if_lt nested 25 deep", u.End(),
                         depth == 24 ? "" : "X5111", depth == 24 ? -2 : 27});
    }
    for (int chain : {4, 5}) {
        // main calls l0, l0 calls l1, ...
        Tokens t = Ps30();
        t.Op(Opcode::Call, {S(RT::Label, 0)})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
            .Op(Opcode::Ret, {});
        for (int l = 0; l < chain; ++l) {
            t.Op(Opcode::Label, {S(RT::Label, static_cast<uint32_t>(l))});
            if (l + 1 < chain)
                t.Op(Opcode::Call, {S(RT::Label, static_cast<uint32_t>(l + 1))});
            t.Op(Opcode::Ret, {});
        }
        cases.push_back({chain == 4 ? "calls 4 deep" : "calls 5 deep", t.End(),
                         chain == 4 ? "" : "X5111", chain == 4 ? -2 : -1});
    }
    {
        Tokens t = Ps30();
        t.Op(Opcode::Call, {S(RT::Label, 0)})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
            .Op(Opcode::Ret, {});
        t.Op(Opcode::Label, {S(RT::Label, 0)})
            .Op(Opcode::Call, {S(RT::Label, 0)})
            .Op(Opcode::Ret, {});
        cases.push_back({"a subroutine calling itself", t.End(), "X5111", -1});
        Tokens u = Ps30();
        u.Op(Opcode::Call, {S(RT::Label, 3)})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)})
            .Op(Opcode::Ret, {});
        cases.push_back({"a call to no label", u.End(), "X5111", -1});
    }
    cases.push_back({"break outside a loop",
                     Ps30().Op(Opcode::Break, {}).Op(Opcode::Mov, {kOC0, S(RT::Const, 0)}).End(),
                     "X5111", 2});
    {
        Tokens t = Ps30();
        ifLt(t)
            .Op(Opcode::Else, {})
            .Op(Opcode::Else, {})
            .Op(Opcode::EndIf, {})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        cases.push_back({"two elses", t.End(), "X5111", 4});
        Tokens u(ShaderKind::Pixel, 3);
        u.DefI(0, 2, 0, 0)
            .Op(Opcode::Rep, {S(RT::ConstInt, 0)})
            .Op(Opcode::EndLoop, {})
            .Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        cases.push_back({"rep closed by endloop", u.End(), "X5111", 2});
    }
    cases.push_back(
        {"_abs on one constant of two",
         Ps30()
             .Op(Opcode::Add,
                 {D(RT::Temp, 0), S(RT::Const, 0, kSwizzleIdentity, SM::Abs), S(RT::Const, 1)})
             .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
             .End(),
         "X5104", 2});
    cases.push_back(
        {"_abs on both constants",
         Ps30()
             .Op(Opcode::Add, {D(RT::Temp, 0), S(RT::Const, 0, kSwizzleIdentity, SM::Abs),
                               S(RT::Const, 1, kSwizzleIdentity, SM::Abs)})
             .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)})
             .End(),
         ""});
    {
        Tokens t = Ps30();
        t.Op(Opcode::Mov, {D(RT::Temp, 1), v0})
            .Op(Opcode::SetP, {D(RT::Predicate, 0), S(RT::Temp, 1), S(RT::Const, 0)},
                Cmp(Comparison::Gt))
            .Op(Opcode::Mov, {D(RT::Temp, 0), S(RT::Const, 0)})
            .Op(Opcode::Tex, {D(RT::Temp, 0), S(RT::Predicate, 0, kX), v0, S(RT::Sampler, 0)}, 0,
                true)
            .Op(Opcode::Mov, {kOC0, S(RT::Temp, 0)});
        cases.push_back({"predicated texld from v0", t.End(), ""});
    }
    for (int depth : {4, 5}) {
        Tokens t(ShaderKind::Pixel, 3);
        t.DefI(0, 2, 0, 0);
        t.Repeat(depth, Opcode::Rep, {S(RT::ConstInt, 0)}).Repeat(depth, Opcode::EndRep, {});
        t.Op(Opcode::Mov, {kOC0, S(RT::Const, 0)});
        cases.push_back({depth == 4 ? "rep nested 4 deep" : "rep nested 5 deep", t.End(),
                         depth == 4 ? "" : "X5111", depth == 4 ? -2 : 5});
    }
    return cases;
}

std::vector<Case> VertexCases() {
    std::vector<Case> cases;
    const uint32_t pos = S(RT::Input, 0);
    auto finish = [&](Tokens& t) { return t.Op(Opcode::Mov, {kOPos, pos}).End(); };
    {
        Tokens t = Vs20();
        t.Op(Opcode::Add,
             {D(RT::Temp, 1, kMaskX), S(RT::Const, 10, kX), S(RT::Const, 0, kX, SM::Neg)});
        cases.push_back({"vs_2_0 two constants", finish(t), "X5104", 2});
        Tokens u = Vs20();
        u.Op(Opcode::Mad, {D(RT::Temp, 1), S(RT::Const, 3), S(RT::Input, 0), S(RT::Const, 3)});
        cases.push_back({"vs_2_0 one constant twice", finish(u), ""});
        Tokens x = Vs20();
        x.Op(Opcode::SinCos, {D(RT::Temp, 1, kMaskX | kMaskY), S(RT::Input, 0, kX), S(RT::Const, 1),
                              S(RT::Const, 2)});
        cases.push_back({"vs_2_0 sincos with its constants", finish(x), ""});
        Tokens sg = Vs20();
        sg.Op(Opcode::Sgn, {D(RT::Temp, 1), S(RT::Input, 0), S(RT::Temp, 2), S(RT::Temp, 3)});
        cases.push_back({"vs_2_0 sgn with its scratch registers", finish(sg), ""});
        Tokens w = Vs20();
        w.Op(Opcode::Add, {D(RT::Temp, 1), S(RT::Input, 0), S(RT::Input, 1)});
        cases.push_back({"vs_2_0 two inputs", finish(w), "X5104", 2});
    }
    {
        Tokens t(ShaderKind::Vertex, 3);
        t.Dcl(Usage(DeclUsage::Position), D(RT::Input, 0))
            .Dcl(Usage(DeclUsage::Position), D(RT::Output, 0));
        t.Op(Opcode::Add, {D(RT::Temp, 1), S(RT::Const, 1), S(RT::Const, 2)})
            .Op(Opcode::Mov, {D(RT::Output, 0), pos});
        cases.push_back({"vs_3_0 two constants", t.End(), "X5104", 2});
        Tokens u(ShaderKind::Vertex, 3);
        u.Dcl(Usage(DeclUsage::Position), D(RT::Input, 0))
            .Dcl(Usage(DeclUsage::Position), D(RT::Output, 0));
        u.Op(Opcode::Sgn, {D(RT::Temp, 1), pos, S(RT::Temp, 2), S(RT::Temp, 3)})
            .Op(Opcode::Add, {D(RT::Output, 0), pos, S(RT::Temp, 1)});
        cases.push_back({"vs_3_0 sgn with its scratch registers", u.End(), ""});
    }
    {
        Tokens t = Vs20();
        t.DefI(0, 2, 0, 1)
            .Op(Opcode::Rep, {S(RT::ConstInt, 0)})
            .Op(Opcode::Rep, {S(RT::ConstInt, 0)});
        t.Op(Opcode::EndRep, {}).Op(Opcode::EndRep, {});
        cases.push_back({"vs_2_0 rep in rep", finish(t), "X5111", 4});
    }
    for (int count : {16, 17}) {
        Tokens t = Vs20();
        t.DefI(0, 2, 0, 1);
        for (int i = 0; i < count; ++i)
            t.Op(Opcode::Rep, {S(RT::ConstInt, 0)}).Op(Opcode::EndRep, {});
        cases.push_back(
            {count == 16 ? "vs_2_0 16 flow instructions" : "vs_2_0 17 flow instructions", finish(t),
             count == 16 ? "" : "X5111", count == 16 ? -2 : 35});
    }
    {
        Tokens t = Vs20();
        t.Op(Opcode::Call, {S(RT::Label, 0)}).Op(Opcode::Mov, {kOPos, pos}).Op(Opcode::Ret, {});
        t.Op(Opcode::Label, {S(RT::Label, 0)})
            .Op(Opcode::Call, {S(RT::Label, 1)})
            .Op(Opcode::Ret, {});
        t.Op(Opcode::Label, {S(RT::Label, 1)}).Op(Opcode::Ret, {});
        cases.push_back({"vs_2_0 call in a subroutine", t.End(), "X5111", -1});
    }
    return cases;
}

void ExpectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShaderFault fault;
        const bool ok = CheckShader(c.tokens, fault);
        if (c.code[0] == 0) {
            EXPECT_TRUE(ok) << fault.code << " at " << fault.instruction << ": " << fault.text;
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_STREQ(fault.code, c.code) << fault.text;
        if (c.instruction != -2)
            EXPECT_EQ(fault.instruction, c.instruction) << fault.text;
    }
}

TEST(ShaderRules, Ps20) { ExpectCases(Ps20Cases()); }
TEST(ShaderRules, Ps30) { ExpectCases(Ps30Cases()); }
TEST(ShaderRules, VertexShaders) { ExpectCases(VertexCases()); }

TEST(ShaderDecode, MalformedStreams) {
    const uint32_t version = VersionToken(ShaderKind::Pixel, 2, 0);
    const uint32_t mov = EncodeInstruction(Opcode::Mov, 2);
    const struct {
        const char* name;
        std::vector<uint32_t> tokens;
    } cases[] = {
        {"empty", {}},
        {"no version", {0x12345678u, kEndToken}},
        {"no end", {version, mov, kOC0, S(RT::Const, 0)}},
        {"instruction past the end", {version, mov, kOC0}},
        {"comment past the end", {version, EncodeComment(5), 1, kEndToken}},
        {"index without its register",
         {VersionToken(ShaderKind::Vertex, 2, 0), mov, D(RT::Temp, 0),
          EncodeSource(RT::Const, 0, kSwizzleIdentity, SM::None, true), kEndToken}},
        {"model 1", {VersionToken(ShaderKind::Pixel, 1, 4), kEndToken}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedShader shader;
        DecodeError error;
        EXPECT_FALSE(DecodeShader(c.tokens, shader, error));
        EXPECT_FALSE(error.text.empty());
        ShaderFault fault;
        EXPECT_FALSE(CheckShader(c.tokens, fault));
    }
}

TEST(ShaderDecode, OperandsAndValues) {
    const std::vector<uint32_t> tokens =
        Tokens(ShaderKind::Vertex, 3)
            .Op(Opcode::Def, {D(RT::Const, 7), 0x3F800000u, 2, 3, 4})
            .Op(Opcode::Mov,
                {D(RT::Output, 1, kMaskX), EncodeSource(RT::Const, 2, kXyxy, SM::Neg, true),
                 EncodeSource(RT::Loop, 0, kX)})
            .End();
    DecodedShader shader;
    DecodeError error;
    ASSERT_TRUE(DecodeShader(tokens, shader, error)) << error.text;
    ASSERT_EQ(shader.instructions.size(), 2u);
    const DecodedInstruction& def = shader.instructions[0];
    EXPECT_EQ(def.valueCount, 4);
    EXPECT_EQ(def.values[0], 0x3F800000u);
    const DecodedInstruction& mov = shader.instructions[1];
    ASSERT_EQ(mov.sources.size(), 1u);
    EXPECT_EQ(mov.destination.type, RT::Output);
    EXPECT_EQ(mov.destination.writeMask, static_cast<uint32_t>(kMaskX));
    EXPECT_TRUE(mov.sources[0].relative);
    EXPECT_EQ(mov.sources[0].address.type, RT::Loop);
    EXPECT_EQ(mov.sources[0].swizzle, kXyxy);
    EXPECT_EQ(mov.sources[0].modifier, SM::Neg);
}

TEST(ShaderOpcodes, EveryRowIsFoundByOpcodeAndName) {
    size_t count = 0;
    const OpcodeInfo* table = OpcodeTable(count);
    for (size_t i = 0; i < count; ++i) {
        const OpcodeInfo& row = table[i];
        SCOPED_TRACE(row.mnemonic);
        EXPECT_EQ(FindOpcode(std::string_view(row.mnemonic)), &row);
        const OpcodeInfo* byOpcode = FindOpcode(row.opcode, row.control);
        ASSERT_NE(byOpcode, nullptr);
        EXPECT_EQ(byOpcode->opcode, row.opcode);
        EXPECT_LE(row.destinations, 1);
        if (row.matrixRows > 0)
            EXPECT_EQ(row.sources, 2);
    }
}

TEST(ShaderOpcodes, MnemonicsAsWritten) {
    const struct {
        const char* text;
        Opcode opcode;
        uint32_t control;
    } cases[] = {
        {"texldp", Opcode::Tex, kTexLdProject},
        {"TEXLDB", Opcode::Tex, kTexLdBias},
        {"if_gt", Opcode::IfC, 0},
        {"if", Opcode::If, 0},
        {"break_ne", Opcode::BreakC, 0},
        {"breakc", Opcode::BreakC, 0},
        {"setp_le", Opcode::SetP, 0},
        {"mov_sat", Opcode::Mov, 0},
        {"dcl_texcoord0", Opcode::Dcl, 0},
        {"m4x4", Opcode::M4x4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const OpcodeInfo* row = FindOpcode(std::string_view(c.text));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->opcode, c.opcode);
        EXPECT_EQ(row->control, c.control);
    }
    EXPECT_EQ(FindOpcode(std::string_view("vPos")), nullptr);
    EXPECT_EQ(FindOpcode(std::string_view("r0")), nullptr);
}

} // namespace
} // namespace fx
