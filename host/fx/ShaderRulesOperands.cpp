// Operand forms of single instructions, from each instruction's page: which
// swizzles and modifiers a source takes, and destinations that must differ
// from a source.

#include "host/fx/ShaderRules.h"

namespace fx {
namespace {

const char* const kComponents = "xyzw";

bool IsSwizzled(RegisterType type) {
    switch (type) {
    case RegisterType::Temp:
    case RegisterType::Input:
    case RegisterType::Const:
    case RegisterType::Texture:
    case RegisterType::Misc:
        return true;
    default:
        return false;
    }
}

} // namespace

bool ShaderRules::Operands() {
    if (m_ins->info->kind == OpcodeClass::Setup)
        return true;
    return Swizzles() && Modifiers() && DistinctRegisters();
}

// Pixel shaders: scalar sources take a replicate swizzle, and ps_2_0 has
// only a few swizzles besides those.
bool ShaderRules::Swizzles() {
    if (!IsPixelProfile(m_profile))
        return true;
    const DecodedInstruction& ins = *m_ins;
    for (size_t i = 0; i < ins.sources.size(); ++i) {
        const DecodedOperand& s = ins.sources[i];
        if (!IsSwizzled(s.type))
            continue;
        const bool replicate = IsReplicateSwizzle(s.swizzle);
        std::string written;
        for (int c = 0; c < 4; ++c)
            written += kComponents[SwizzleComponent(s.swizzle, c)];
        const std::string name = Name(s.type, s.number) + "." + written;
        const bool scalar = (ins.info->scalarSources >> i) & 1;
        if (scalar && !replicate) {
            if (ins.opcode == Opcode::Dp2Add)
                return Fail("X5104", "dp2add adds one component: " + name +
                                         " needs a replicate swizzle (.x, .y, .z or .w)");
            return Fail("X5104", std::string(ins.info->mnemonic) + " reads one component: " + name +
                                     " needs a replicate swizzle (.x, .y, .z or .w)");
        }
        // .xyzw, the replicates, .yzxw, .zxyw and .wzyx.
        const uint8_t sw = s.swizzle;
        if (m_profile == Profile::Ps20 && !replicate && sw != kSwizzleIdentity &&
            sw != MakeSwizzle(1, 2, 0, 3) && sw != MakeSwizzle(2, 0, 1, 3) &&
            sw != MakeSwizzle(3, 2, 1, 0))
            return Fail("X5104", "ps_2_0 has no arbitrary swizzle: " + name +
                                     " (only .xyzw, .x, .y, .z, .w, .yzxw, .zxyw, .wzyx)");
    }
    return true;
}

// Negation everywhere; _abs in shader model 3 only, and there on every c#
// an instruction reads or on none; ! only on the predicate.
bool ShaderRules::Modifiers() {
    const DecodedInstruction& ins = *m_ins;
    int constants = 0;
    int constantsAbs = 0;
    for (size_t i = 0; i < ins.sources.size(); ++i) {
        const DecodedOperand& s = ins.sources[i];
        const std::string name = Name(s.type, s.number);
        const bool abs = s.modifier == SourceModifier::Abs || s.modifier == SourceModifier::AbsNeg;
        if (s.type == RegisterType::Const) {
            ++constants;
            constantsAbs += abs ? 1 : 0;
        }
        switch (s.modifier) {
        case SourceModifier::None:
            break;
        case SourceModifier::Neg:
            if (i == 1 && ins.info->matrixRows > 0)
                return Fail("X5104", std::string(ins.info->mnemonic) +
                                         ": the matrix takes no negation or swizzle");
            break;
        case SourceModifier::Abs:
        case SourceModifier::AbsNeg:
            if (!IsModel3(m_profile))
                return Fail("X5104", "_abs on " + name + ": " + m_name +
                                         " has no absolute-value modifier (shader model 3 has)");
            break;
        case SourceModifier::Not:
            if (s.type != RegisterType::Predicate)
                return Fail("X5104", "! applies to the predicate register only, not " + name);
            break;
        default:
            return Fail("X5104", "source modifier " + std::to_string(static_cast<int>(s.modifier)) +
                                     " on " + name + " belongs to ps_1_x");
        }
        if (i == 1 && ins.info->matrixRows > 0 && s.swizzle != kSwizzleIdentity)
            return Fail("X5104", std::string(ins.info->mnemonic) +
                                     ": the matrix takes no negation or swizzle");
        // vFace is a sign to compare, nothing else.
        if (s.type == RegisterType::Misc && s.number == kMiscFace && ins.opcode != Opcode::IfC &&
            ins.opcode != Opcode::BreakC && ins.opcode != Opcode::SetP)
            return Fail("X5104", "vFace is read only as a comparison operand of if_comp, "
                                 "break_comp or setp_comp");
    }
    if (constantsAbs > 0 && constantsAbs != constants)
        return Fail("X5104", "_abs on some constant registers of an instruction and not on the "
                             "others: shader model 3 takes it on all or none");
    return true;
}

// crs, nrm, pow and the matrix instructions cannot write a register they read.
bool ShaderRules::DistinctRegisters() {
    const DecodedInstruction& ins = *m_ins;
    if (!ins.hasDestination || ins.sources.empty())
        return true;
    const DecodedOperand& dest = ins.destination;
    const std::string op = ins.info->mnemonic;
    auto same = [&](size_t i) {
        const DecodedOperand& s = ins.sources[i];
        return s.type == dest.type && s.number == dest.number && !s.relative && !dest.relative;
    };
    switch (ins.info->reads) {
    case ReadPattern::Matrix3:
    case ReadPattern::Matrix4:
        if (same(0))
            return Fail("X5104", op + ": the destination cannot be the vector it multiplies (" +
                                     Name(dest.type, dest.number) + ")");
        return true;
    default:
        break;
    }
    const bool cross = ins.opcode == Opcode::Crs;
    const bool normalize = ins.opcode == Opcode::Nrm;
    const bool power = ins.opcode == Opcode::Pow;
    if (!cross && !normalize && !power)
        return true;
    if (dest.type != RegisterType::Temp)
        return Fail("X5104", op + " writes a temporary register (r#)");
    if ((cross && (same(0) || same(1))) || (normalize && same(0)) || (power && same(1)))
        return Fail("X5104", op + ": the destination " + Name(dest.type, dest.number) +
                                 " cannot be " + (power ? "its exponent" : "one of its sources"));
    if (cross) {
        if (dest.writeMask == 0 || (dest.writeMask & kMaskW))
            return Fail("X5104", "crs writes some of .xyz only");
        if (ins.sources[0].swizzle != kSwizzleIdentity ||
            ins.sources[1].swizzle != kSwizzleIdentity)
            return Fail("X5104", "crs takes its sources without swizzle");
    }
    return true;
}

} // namespace fx
