// Instructions: the profile has them, their slots fit, their operands are
// the ones the table lists.

#include "host/fx/ShaderRules.h"

namespace fx {

bool ShaderRules::InstructionExists() {
    const OpcodeInfo* info = m_ins->info;
    if (!info)
        return Fail("X5101", "instruction " + std::to_string(static_cast<int>(m_ins->opcode)) +
                                 " is not an instruction of " + m_name);
    if (info->slots[static_cast<int>(m_profile)] == kAbsent)
        return Fail("X5101",
                    "'" + std::string(info->mnemonic) + "' is not an instruction of " + m_name);
    if (m_ins->coissue)
        return Fail("X5101", "co-issued instructions belong to ps_1_x, not " + m_name);
    if (m_ins->predicated && m_profile != Profile::Ps30 && m_profile != Profile::Vs30)
        return Fail("X5101", m_name + " has no predication");
    if (m_ins->predicated && (info->kind == OpcodeClass::Flow || info->kind == OpcodeClass::Setup))
        return Fail("X5101", "'" + std::string(info->mnemonic) +
                                 "' cannot be predicated: only arithmetic and texture "
                                 "instructions take a predicate");
    return true;
}

// ps_2_0 counts texture and arithmetic slots apart; the others count all.
bool ShaderRules::Slots() {
    const OpcodeInfo& info = *m_ins->info;
    // A predicate costs one slot more.
    const int slots = info.slots[static_cast<int>(m_profile)] + (m_ins->predicated ? 1 : 0);
    if (m_profile == Profile::Ps20) {
        if (info.kind == OpcodeClass::Texture) {
            m_textureSlots += slots;
            if (m_textureSlots > 32)
                return Fail("X5102", "too many texture instruction slots (" +
                                         std::to_string(m_textureSlots) + "): ps_2_0 allows 32");
        } else {
            m_arithmeticSlots += slots;
            if (m_arithmeticSlots > 64)
                return Fail("X5102", "too many arithmetic instruction slots (" +
                                         std::to_string(m_arithmeticSlots) + "): ps_2_0 allows 64");
        }
        return true;
    }
    const int limit = m_profile == Profile::Vs20 ? 256 : 512;
    m_slots += slots;
    if (m_slots > limit)
        return Fail("X5102", "too many instruction slots (" + std::to_string(m_slots) +
                                 "): " + m_name + " allows " + std::to_string(limit));
    return true;
}

bool ShaderRules::OperandCounts() {
    const OpcodeInfo& info = *m_ins->info;
    if (info.kind == OpcodeClass::Setup)
        return true; // the decoder has read dcl and def whole
    const int wanted = SourceCount(info, m_profile);
    const int got = static_cast<int>(m_ins->sources.size());
    if (m_ins->opcode == Opcode::SinCos && got != wanted) {
        if (IsModel3(m_profile))
            return Fail("X5104", "sincos in " + m_name + " takes one source: sincos dst, src");
        return Fail("X5104",
                    "sincos in " + m_name + " takes the sincos constants: sincos dst, src, c#, c#");
    }
    if (got != wanted)
        return Fail("X5104", std::string(info.mnemonic) + " takes " + std::to_string(wanted) +
                                 " sources, not " + std::to_string(got));
    if (m_ins->opcode == Opcode::SinCos && !IsModel3(m_profile)) {
        for (size_t i = 1; i < 3; ++i) {
            if (m_ins->sources[i].type != RegisterType::Const)
                return Fail("X5104", "sincos in " + m_name +
                                         " takes the sincos constants: sincos dst, src, c#, c#");
        }
    }
    return true;
}

// Components of source `index` that the instruction reads.
int ShaderRules::Components(const DecodedOperand& s, int index) const {
    const OpcodeInfo& info = *m_ins->info;
    auto pick = [&](std::initializer_list<int> positions) {
        int mask = 0;
        for (int p : positions)
            mask |= 1 << SwizzleComponent(s.swizzle, p);
        return mask;
    };
    auto perComponent = [&]() {
        const uint32_t destMask = m_ins->hasDestination ? m_ins->destination.writeMask : 0xF;
        int mask = 0;
        for (int i = 0; i < 4; ++i) {
            if (destMask & (1u << i))
                mask |= 1 << SwizzleComponent(s.swizzle, i);
        }
        return mask;
    };
    auto coordinates = [&]() {
        uint32_t sampler = m_ins->sources.size() > 1 ? m_ins->sources[1].number & 15 : 0;
        const SamplerType type = m_samplerType[sampler];
        int mask = type == SamplerType::Cube || type == SamplerType::Volume ? pick({0, 1, 2})
                                                                            : pick({0, 1});
        if (m_ins->opcode == Opcode::TexLdl || m_ins->control != 0)
            mask |= pick({3});
        return mask;
    };
    switch (info.reads) {
    case ReadPattern::PerComponent:
        return perComponent();
    case ReadPattern::None:
        return 0;
    case ReadPattern::Scalar:
        // The replicated component; a full swizzle reads its last.
        return pick({3});
    case ReadPattern::Dot2Add:
        return index < 2 ? pick({0, 1}) : pick({0});
    case ReadPattern::Dot3:
        return pick({0, 1, 2});
    case ReadPattern::Dot4:
        return pick({0, 1, 2, 3});
    case ReadPattern::Matrix4:
        return index == 0 ? pick({0, 1, 2, 3}) : 0xF;
    case ReadPattern::Matrix3:
        return index == 0 ? pick({0, 1, 2}) : 0x7;
    case ReadPattern::Lit:
        return pick({0, 1, 3});
    case ReadPattern::Dst:
        return index == 0 ? pick({1, 2}) : pick({1, 3});
    case ReadPattern::Sgn:
        return index == 0 ? perComponent() : 0;
    case ReadPattern::SinCos:
        return index == 0 ? pick({3}) : 0;
    case ReadPattern::Compare:
        return pick({0});
    case ReadPattern::Coordinates:
        return index == 0 ? coordinates() : 0;
    case ReadPattern::Gradients:
        return index == 1 ? 0 : index == 0 ? coordinates() : pick({0, 1});
    }
    return 0;
}

} // namespace fx
