// Outputs: how ps_2_0 writes oC# and oDepth, where ps_3_0 may write them,
// and the position every vertex shader writes.

#include "host/fx/ShaderRules.h"

namespace fx {

bool ShaderRules::Outputs() {
    const DecodedInstruction& ins = *m_ins;
    if (!ins.hasDestination || ins.info->kind == OpcodeClass::Setup ||
        ins.opcode == Opcode::TexKill)
        return true;
    const DecodedOperand& dest = ins.destination;
    if (dest.type == RegisterType::RastOut && dest.number == kRastPosition)
        m_positionWritten |= static_cast<int>(dest.writeMask);
    if (dest.type == RegisterType::Output && static_cast<int>(dest.number) == m_positionOutput)
        m_positionWritten |= static_cast<int>(dest.writeMask);
    if (dest.type != RegisterType::ColorOut && dest.type != RegisterType::DepthOut)
        return true;
    const std::string name = Name(dest.type, dest.number);
    if (m_profile == Profile::Ps30) {
        if (dest.type == RegisterType::DepthOut) {
            // Anywhere, as long as every path writes it (checked at the end).
            // A predicated write may not happen; one in a block counts for
            // its path, and the block's end joins the paths.
            m_depthWritten = true;
            if (!ins.predicated && m_subroutine < 0)
                m_depthEveryPath = true;
            return true;
        }
        if (Dynamic() || ins.predicated)
            return Fail("X5109", name + " is written inside dynamic flow control or under a "
                                        "predicate: ps_3_0 does not allow it");
        return true;
    }
    // ps_2_0: one mov to each output.
    const DecodedOperand& source = ins.sources.empty() ? dest : ins.sources[0];
    const bool saturate = (dest.modifiers & kModSaturate) != 0 || dest.shift != 0;
    if (dest.type == RegisterType::ColorOut) {
        // _pp is a precision hint, not a change of the value: it is allowed.
        const bool plain = ins.opcode == Opcode::Mov && dest.writeMask == kMaskAll && !saturate &&
                           source.swizzle == kSwizzleIdentity &&
                           source.modifier == SourceModifier::None;
        if (!plain)
            return Fail("X5109", name + " in ps_2_0 is written by a plain mov only: no write "
                                        "mask, swizzle, saturation or source modifier");
        if (m_colorWritten & (1 << dest.number))
            return Fail("X5109", name + " is written twice: ps_2_0 allows one write");
        m_colorWritten |= 1 << dest.number;
        return true;
    }
    if (ins.opcode != Opcode::Mov)
        return Fail("X5109", name + " in ps_2_0 is written by mov only");
    if (dest.writeMask != kMaskAll || !IsReplicateSwizzle(source.swizzle) || saturate ||
        source.modifier != SourceModifier::None)
        return Fail("X5109", name + " in ps_2_0 takes one replicated component (mov oDepth, "
                                    "r0.x): no write mask, saturation or source modifier");
    if (m_depthWritten)
        return Fail("X5109", name + " is written twice: ps_2_0 allows one write");
    m_depthWritten = true;
    m_depthEveryPath = true;
    return true;
}

bool ShaderRules::FinishOutputs() {
    if (m_profile == Profile::Ps20 && !(m_colorWritten & 1))
        return Fail("X5109", "a ps_2_0 shader writes oC0");
    if (m_profile == Profile::Ps20 && (m_colorWritten & (m_colorWritten + 1)) != 0)
        return Fail("X5109", "ps_2_0 writes oC0 to oCn without gaps");
    const bool everyPath = m_mainEnded ? m_depthAtMainEnd : m_depthEveryPath;
    if (m_profile == Profile::Ps30 && m_depthWritten && !everyPath)
        return Fail("X5109", "oDepth is written on some paths only: ps_3_0 writes it on every "
                             "path or on none");
    if (m_profile == Profile::Vs20 && m_positionWritten != 0xF)
        return Fail("X5109", "the shader writes all four components of oPos");
    if (m_profile == Profile::Vs30 && m_positionWritten != 0xF)
        return Fail("X5109", "the shader declares a position output (dcl_position o#) and "
                             "writes all four of its components");
    return true;
}

} // namespace fx
