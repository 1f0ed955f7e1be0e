#include "host/fx/ShaderOpcodes.h"

#include <cctype>
#include <string>

namespace fx {
namespace {

using C = OpcodeClass;
using F = FlowEffect;
using R = ReadPattern;
constexpr int8_t X = kAbsent;

// Slots from the instruction tables of ps_2_0, ps_3_0, vs_2_0 and vs_3_0.
// The first row of an opcode is the one FindOpcode(Opcode) gives.
// clang-format off
constexpr OpcodeInfo kTable[] = {
    // mnemonic, opcode, control, dst, src, class, slots, model1, scalar, rows, flow, reads, grad
    {"nop", Opcode::Nop, 0, 0, 0, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::None, false},
    {"mov", Opcode::Mov, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"add", Opcode::Add, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"sub", Opcode::Sub, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"mad", Opcode::Mad, 0, 1, 3, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"mul", Opcode::Mul, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"rcp", Opcode::Rcp, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, true, 1, 0, F::None, R::Scalar, false},
    {"rsq", Opcode::Rsq, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, true, 1, 0, F::None, R::Scalar, false},
    {"dp3", Opcode::Dp3, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::Dot3, false},
    {"dp4", Opcode::Dp4, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::Dot4, false},
    {"min", Opcode::Min, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"max", Opcode::Max, 0, 1, 2, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"slt", Opcode::Slt, 0, 1, 2, C::Arithmetic, {X, X, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"sge", Opcode::Sge, 0, 1, 2, C::Arithmetic, {X, X, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"exp", Opcode::Exp, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, true, 1, 0, F::None, R::Scalar, false},
    {"log", Opcode::Log, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, true, 1, 0, F::None, R::Scalar, false},
    {"lit", Opcode::Lit, 0, 1, 1, C::Arithmetic, {X, X, 3, 3}, true, 0, 0, F::None, R::Lit, false},
    {"dst", Opcode::Dst, 0, 1, 2, C::Arithmetic, {X, X, 1, 1}, true, 0, 0, F::None, R::Dst, false},
    {"lrp", Opcode::Lrp, 0, 1, 3, C::Arithmetic, {2, 2, 2, 2}, true, 0, 0, F::None, R::PerComponent, false},
    {"frc", Opcode::Frc, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, true, 0, 0, F::None, R::PerComponent, false},
    {"m4x4", Opcode::M4x4, 0, 1, 2, C::Arithmetic, {4, 4, 4, 4}, true, 0, 4, F::None, R::Matrix4, false},
    {"m4x3", Opcode::M4x3, 0, 1, 2, C::Arithmetic, {3, 3, 3, 3}, true, 0, 3, F::None, R::Matrix4, false},
    {"m3x4", Opcode::M3x4, 0, 1, 2, C::Arithmetic, {4, 4, 4, 4}, true, 0, 4, F::None, R::Matrix3, false},
    {"m3x3", Opcode::M3x3, 0, 1, 2, C::Arithmetic, {3, 3, 3, 3}, true, 0, 3, F::None, R::Matrix3, false},
    {"m3x2", Opcode::M3x2, 0, 1, 2, C::Arithmetic, {2, 2, 2, 2}, true, 0, 2, F::None, R::Matrix3, false},
    {"call", Opcode::Call, 0, 0, 1, C::Flow, {X, 2, 2, 2}, false, 0, 0, F::Call, R::None, false},
    {"callnz", Opcode::CallNz, 0, 0, 2, C::Flow, {X, 3, 3, 3}, false, 0, 0, F::CallNz, R::None, false},
    {"loop", Opcode::Loop, 0, 0, 2, C::Flow, {X, 3, 3, 3}, false, 0, 0, F::Loop, R::None, false},
    {"ret", Opcode::Ret, 0, 0, 0, C::Flow, {X, 1, 1, 1}, false, 0, 0, F::Ret, R::None, false},
    {"endloop", Opcode::EndLoop, 0, 0, 0, C::Flow, {X, 2, 2, 2}, false, 0, 0, F::EndLoop, R::None, false},
    {"label", Opcode::Label, 0, 0, 1, C::Flow, {X, 0, 0, 0}, false, 0, 0, F::Label, R::None, false},
    {"dcl", Opcode::Dcl, 0, 1, 0, C::Setup, {0, 0, 0, 0}, true, 0, 0, F::None, R::None, false},
    {"pow", Opcode::Pow, 0, 1, 2, C::Arithmetic, {3, 3, 3, 3}, false, 3, 0, F::None, R::Scalar, false},
    {"crs", Opcode::Crs, 0, 1, 2, C::Arithmetic, {2, 2, 2, 2}, false, 0, 0, F::None, R::Dot3, false},
    {"sgn", Opcode::Sgn, 0, 1, 3, C::Arithmetic, {X, X, 3, 3}, false, 0, 0, F::None, R::Sgn, false},
    {"abs", Opcode::Abs, 0, 1, 1, C::Arithmetic, {1, 1, 1, 1}, false, 0, 0, F::None, R::PerComponent, false},
    {"nrm", Opcode::Nrm, 0, 1, 1, C::Arithmetic, {3, 3, 3, 3}, false, 0, 0, F::None, R::Dot3, false},
    {"sincos", Opcode::SinCos, 0, 1, 1, C::Arithmetic, {8, 8, 8, 8}, false, 1, 0, F::None, R::SinCos, false},
    {"rep", Opcode::Rep, 0, 0, 1, C::Flow, {X, 3, 3, 3}, false, 0, 0, F::Rep, R::None, false},
    {"endrep", Opcode::EndRep, 0, 0, 0, C::Flow, {X, 2, 2, 2}, false, 0, 0, F::EndRep, R::None, false},
    {"if", Opcode::If, 0, 0, 1, C::Flow, {X, 3, 3, 3}, false, 0, 0, F::If, R::None, false},
    {"if_comp", Opcode::IfC, 0, 0, 2, C::Flow, {X, 3, X, 3}, false, 0, 0, F::IfC, R::Compare, false},
    {"else", Opcode::Else, 0, 0, 0, C::Flow, {X, 1, 1, 1}, false, 0, 0, F::Else, R::None, false},
    {"endif", Opcode::EndIf, 0, 0, 0, C::Flow, {X, 1, 1, 1}, false, 0, 0, F::EndIf, R::None, false},
    {"break", Opcode::Break, 0, 0, 0, C::Flow, {X, 1, X, 1}, false, 0, 0, F::Break, R::None, false},
    {"break_comp", Opcode::BreakC, 0, 0, 2, C::Flow, {X, 3, X, 3}, false, 0, 0, F::BreakC, R::Compare, false},
    {"mova", Opcode::MovA, 0, 1, 1, C::Arithmetic, {X, X, 1, 1}, false, 0, 0, F::None, R::PerComponent, false},
    {"defb", Opcode::DefB, 0, 1, 0, C::Setup, {X, 0, 0, 0}, false, 0, 0, F::None, R::None, false},
    {"defi", Opcode::DefI, 0, 1, 0, C::Setup, {X, 0, 0, 0}, false, 0, 0, F::None, R::None, false},
    // texkill names the register it reads as its destination.
    {"texkill", Opcode::TexKill, 0, 1, 0, C::Texture, {1, 2, X, X}, true, 0, 0, F::None, R::None, false},
    {"texld", Opcode::Tex, 0, 1, 2, C::Texture, {1, 1, X, X}, true, 0, 0, F::None, R::Coordinates, true},
    {"texldp", Opcode::Tex, kTexLdProject, 1, 2, C::Texture, {1, 3, X, X}, false, 0, 0, F::None, R::Coordinates, true},
    {"texldb", Opcode::Tex, kTexLdBias, 1, 2, C::Texture, {1, 6, X, X}, false, 0, 0, F::None, R::Coordinates, true},
    {"expp", Opcode::ExpP, 0, 1, 1, C::Arithmetic, {X, X, 1, 1}, true, 1, 0, F::None, R::Scalar, false},
    {"logp", Opcode::LogP, 0, 1, 1, C::Arithmetic, {X, X, 1, 1}, true, 1, 0, F::None, R::Scalar, false},
    {"def", Opcode::Def, 0, 1, 0, C::Setup, {0, 0, 0, 0}, true, 0, 0, F::None, R::None, false},
    {"cmp", Opcode::Cmp, 0, 1, 3, C::Arithmetic, {1, 1, X, X}, true, 0, 0, F::None, R::PerComponent, false},
    {"dp2add", Opcode::Dp2Add, 0, 1, 3, C::Arithmetic, {2, 2, X, X}, false, 4, 0, F::None, R::Dot2Add, false},
    {"dsx", Opcode::Dsx, 0, 1, 1, C::Arithmetic, {X, 2, X, X}, false, 0, 0, F::None, R::PerComponent, true},
    {"dsy", Opcode::Dsy, 0, 1, 1, C::Arithmetic, {X, 2, X, X}, false, 0, 0, F::None, R::PerComponent, true},
    {"texldd", Opcode::TexLdd, 0, 1, 4, C::Texture, {X, 3, X, X}, false, 0, 0, F::None, R::Gradients, false},
    {"setp_comp", Opcode::SetP, 0, 1, 2, C::Arithmetic, {X, 1, X, 1}, false, 0, 0, F::None, R::PerComponent, false},
    {"texldl", Opcode::TexLdl, 0, 1, 2, C::Texture, {X, 2, X, 2}, false, 0, 0, F::None, R::Coordinates, false},
    {"breakp", Opcode::BreakP, 0, 0, 1, C::Flow, {X, 3, X, 3}, false, 0, 0, F::BreakP, R::None, false},
    // Shader model 1 only: known by name so that the text is split right.
    {"tex", Opcode::Tex, 0, 1, 0, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texcoord", Opcode::TexCoord, 0, 1, 0, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texcrd", Opcode::TexCoord, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texbem", Opcode::TexBem, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texbeml", Opcode::TexBemL, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texreg2ar", Opcode::TexReg2Ar, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texreg2gb", Opcode::TexReg2Gb, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texreg2rgb", Opcode::TexReg2Rgb, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x2pad", Opcode::TexM3x2Pad, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x2tex", Opcode::TexM3x2Tex, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x2depth", Opcode::TexM3x2Depth, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x3pad", Opcode::TexM3x3Pad, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x3tex", Opcode::TexM3x3Tex, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x3spec", Opcode::TexM3x3Spec, 0, 1, 2, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x3vspec", Opcode::TexM3x3VSpec, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texm3x3", Opcode::TexM3x3, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texdp3", Opcode::TexDp3, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texdp3tex", Opcode::TexDp3Tex, 0, 1, 1, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"texdepth", Opcode::TexDepth, 0, 1, 0, C::Texture, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"cnd", Opcode::Cnd, 0, 1, 3, C::Arithmetic, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"bem", Opcode::Bem, 0, 1, 2, C::Arithmetic, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
    {"phase", Opcode::Phase, 0, 0, 0, C::Setup, {X, X, X, X}, true, 0, 0, F::None, R::None, false},
};
// clang-format on

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const OpcodeInfo* FindByName(std::string_view name) {
    for (const OpcodeInfo& row : kTable) {
        if (SameText(row.mnemonic, name))
            return &row;
    }
    return nullptr;
}

bool IsComparison(std::string_view suffix) {
    for (const char* c : {"gt", "lt", "ge", "le", "eq", "ne"}) {
        if (SameText(suffix, c))
            return true;
    }
    return false;
}

} // namespace

bool ProfileOf(uint32_t version, Profile& profile) {
    const bool pixel = IsPixelVersion(version);
    if (!pixel && !IsVertexVersion(version))
        return false;
    if (VersionMinor(version) != 0)
        return false;
    const int major = VersionMajor(version);
    if (major != 2 && major != 3)
        return false;
    const bool model3 = major == 3;
    if (pixel)
        profile = model3 ? Profile::Ps30 : Profile::Ps20;
    else
        profile = model3 ? Profile::Vs30 : Profile::Vs20;
    return true;
}

const char* ProfileText(Profile profile) {
    switch (profile) {
    case Profile::Ps20:
        return "ps_2_0";
    case Profile::Ps30:
        return "ps_3_0";
    case Profile::Vs20:
        return "vs_2_0";
    case Profile::Vs30:
        return "vs_3_0";
    }
    return "";
}

const OpcodeInfo* FindOpcode(Opcode opcode) { return FindOpcode(opcode, 0); }

const OpcodeInfo* FindOpcode(Opcode opcode, uint32_t control) {
    const OpcodeInfo* plain = nullptr;
    for (const OpcodeInfo& row : kTable) {
        if (row.opcode != opcode)
            continue;
        if (row.control == control)
            return &row;
        if (!plain && row.control == 0)
            plain = &row;
    }
    // Controls that pick no row of their own (comparisons) keep the plain one.
    return plain;
}

const OpcodeInfo* FindOpcode(std::string_view mnemonic) {
    if (const OpcodeInfo* row = FindByName(mnemonic))
        return row;
    if (SameText(mnemonic, "breakc"))
        return FindOpcode(Opcode::BreakC);
    const size_t underscore = mnemonic.find('_');
    const std::string_view base = mnemonic.substr(0, underscore);
    bool compare = false;
    for (size_t at = underscore; at != std::string_view::npos;) {
        const size_t next = mnemonic.find('_', at + 1);
        const std::string_view suffix =
            mnemonic.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        compare = compare || IsComparison(suffix);
        at = next;
    }
    const std::string withComp = std::string(base) + "_comp";
    if (compare) {
        if (const OpcodeInfo* row = FindByName(withComp))
            return row;
    }
    if (const OpcodeInfo* row = FindByName(base))
        return row;
    // setp is always written with its comparison.
    return compare ? nullptr : FindByName(withComp);
}

const OpcodeInfo* OpcodeTable(size_t& count) {
    count = sizeof(kTable) / sizeof(kTable[0]);
    return kTable;
}

int SourceCount(const OpcodeInfo& info, Profile profile) {
    if (info.opcode == Opcode::SinCos && !IsModel3(profile))
        return 3;
    return info.sources;
}

} // namespace fx
