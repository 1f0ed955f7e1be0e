// Texture reads: the operand forms of ps_2_0, the dependent-read order of
// ps_2_0 as the texld page defines it, and gradients in ps_3_0 flow control.

#include "host/fx/ShaderRules.h"

#include <algorithm>

namespace fx {
namespace {

bool IsSample(Opcode op) {
    return op == Opcode::Tex || op == Opcode::TexLdd || op == Opcode::TexLdl;
}

} // namespace

bool ShaderRules::TextureOperands() {
    const DecodedInstruction& ins = *m_ins;
    if (!IsSample(ins.opcode))
        return true;
    const std::string op = ins.info->mnemonic;
    const DecodedOperand& sampler = ins.sources[1];
    if (sampler.type != RegisterType::Sampler)
        return Fail("X5104", op + " samples a sampler register (s#), not " +
                                 Name(sampler.type, sampler.number));
    if (sampler.modifier != SourceModifier::None)
        return Fail("X5104", op + ": the sampler takes no modifier");
    if (m_profile != Profile::Ps20)
        return true;
    // ps_2_0: r# with the full mask, t# or r# plain, s# plain.
    if (ins.destination.type != RegisterType::Temp || ins.destination.writeMask != kMaskAll)
        return Fail("X5104",
                    op + " in ps_2_0 writes a whole temporary register (r#, no write mask)");
    const DecodedOperand& coordinate = ins.sources[0];
    if ((coordinate.type != RegisterType::Texture && coordinate.type != RegisterType::Temp) ||
        coordinate.swizzle != kSwizzleIdentity || coordinate.modifier != SourceModifier::None)
        return Fail("X5104", op +
                                 " in ps_2_0 reads its coordinate from t# or r# with no swizzle or "
                                 "modifier");
    if (sampler.swizzle != kSwizzleIdentity)
        return Fail("X5104", op + " in ps_2_0: the sampler takes no swizzle");
    return true;
}

// A read is first-order dependent when its coordinate is a temporary or its
// destination was written before; n-th order when it reads or writes a
// temporary that holds the result of an (n-1)-th order read. ps_2_0 allows
// third order; messages count levels (order + 1) as the framework always has.
bool ShaderRules::DependentReads() {
    const DecodedInstruction& ins = *m_ins;
    if (m_profile != Profile::Ps20 || ins.info->kind != OpcodeClass::Texture ||
        !IsSample(ins.opcode))
        return true;
    const DecodedOperand& coordinate = ins.sources[0];
    const uint32_t dest = ins.destination.number & 31;
    int order = 0;
    if (coordinate.type == RegisterType::Temp)
        order = std::max(1, m_order[coordinate.number & 31] + 1);
    if (m_written[dest] != 0)
        order = std::max({order, 1, m_order[dest] + 1});
    if (order > 3)
        return Fail("X5107", "dependent texture read of level " + std::to_string(order + 1) +
                                 ": ps_2_0 allows 4 levels (third-order dependency)");
    return true;
}

// Gradients need every pixel of a quad on the same path: ps_3_0 refuses them
// inside dynamic flow control or under a predicate when their operand is
// computed in the shader; an input register (v#) is the same on every path.
bool ShaderRules::Gradients() {
    const DecodedInstruction& ins = *m_ins;
    if (m_profile != Profile::Ps30 || !ins.info->gradient)
        return true;
    if (!Dynamic() && !ins.predicated)
        return true;
    if (ins.sources.empty() || ins.sources[0].type != RegisterType::Temp)
        return true;
    const std::string op = ins.info->mnemonic;
    return Fail("X5110", op + " inside dynamic flow control (if_comp, if p0, after break_comp in a "
                              "loop, or a predicate) reads a temporary: use texldl or texldd, or "
                              "an input register");
}

// What a write leaves in its destination: components written and, in
// ps_2_0, the order of the texture read its value derives from.
void ShaderRules::TrackDependency() {
    const DecodedInstruction& ins = *m_ins;
    if (ins.info && (ins.info->flow == FlowEffect::Call || ins.info->flow == FlowEffect::CallNz)) {
        const auto callee = m_subroutineWrites.find(static_cast<int>(ins.sources[0].number));
        if (callee != m_subroutineWrites.end())
            for (size_t r = 0; r < m_written.size(); ++r)
                m_written[r] |= callee->second[r];
        return;
    }
    if (!ins.hasDestination || ins.destination.type != RegisterType::Temp ||
        ins.info->kind == OpcodeClass::Setup || ins.opcode == Opcode::TexKill)
        return;
    const uint32_t dest = ins.destination.number & 31;
    int order = -1;
    if (IsSample(ins.opcode)) {
        const DecodedOperand& coordinate = ins.sources[0];
        order = 0;
        if (coordinate.type == RegisterType::Temp)
            order = std::max(1, m_order[coordinate.number & 31] + 1);
        if (m_written[dest] != 0)
            order = std::max({order, 1, m_order[dest] + 1});
    } else {
        for (const DecodedOperand& s : ins.sources) {
            if (s.type == RegisterType::Temp)
                order = std::max(order, m_order[s.number & 31]);
        }
    }
    const uint32_t mask = ins.destination.writeMask;
    m_order[dest] = mask == kMaskAll ? order : std::max(m_order[dest], order);
    m_written[dest] |= static_cast<int>(mask);
}

} // namespace fx
