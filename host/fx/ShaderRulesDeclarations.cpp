// Declarations and definitions: they come first, they name registers the
// profile has, and inputs, samplers and vs_3_0 outputs are used only after
// theirs. Temporaries are read only where an earlier instruction wrote them.

#include "host/fx/ShaderRules.h"

namespace fx {
namespace {

const char* const kComponents = "xyzw";

bool NeedsDeclaration(RegisterType type, Profile profile) {
    switch (type) {
    case RegisterType::Input:
    case RegisterType::Sampler:
    case RegisterType::Misc:
        return true;
    case RegisterType::Texture:
        return profile == Profile::Ps20;
    default:
        return false;
    }
}

} // namespace

bool ShaderRules::Setup() {
    const DecodedInstruction& ins = *m_ins;
    if (ins.info->kind != OpcodeClass::Setup) {
        m_instructionSeen = true;
        return true;
    }
    if (m_instructionSeen)
        return Fail("X5105", std::string(ins.info->mnemonic) +
                                 " comes after the first instruction: declarations and "
                                 "definitions come first");
    const DecodedOperand& reg = ins.destination;
    if (!Register(reg, 0))
        return false;
    if (ins.opcode == Opcode::Dcl) {
        m_declared[static_cast<size_t>(reg.type)][reg.number & 2047] = true;
        if (reg.type == RegisterType::Output && ins.usage == DeclUsage::Position)
            m_positionOutput = static_cast<int>(reg.number);
        if (reg.type == RegisterType::Sampler)
            m_samplerType[reg.number & 15] = ins.samplerType;
        return true;
    }
    if (ins.opcode == Opcode::DefI) {
        m_intDefined[reg.number & 15] = true;
        for (size_t i = 0; i < 4; ++i)
            m_intVectors[reg.number & 15][i] = static_cast<int>(ins.values[i]);
    }
    return true;
}

bool ShaderRules::Declared(const DecodedOperand& o, bool write) {
    if (write) {
        if (m_profile == Profile::Vs30 && o.type == RegisterType::Output &&
            !m_declared[static_cast<size_t>(o.type)][o.number & 2047])
            return Fail("X5105", "output o" + std::to_string(o.number) +
                                     " is written but not declared (dcl_texcoord o" +
                                     std::to_string(o.number) + ")");
        return true;
    }
    if (!NeedsDeclaration(o.type, m_profile) ||
        m_declared[static_cast<size_t>(o.type)][o.number & 2047])
        return true;
    const std::string name = Name(o.type, o.number);
    if (o.type == RegisterType::Sampler)
        return Fail("X5105", "sampler " + name + " is used but not declared (dcl_2d " + name + ")");
    return Fail("X5105", "input " + name + " is read but not declared (dcl " + name + ")");
}

// Every component an instruction reads of a temporary was written before, in
// the order of the text.
bool ShaderRules::TemporariesWritten() {
    const DecodedInstruction& ins = *m_ins;
    if (ins.info->kind == OpcodeClass::Setup)
        return true;
    auto check = [&](const DecodedOperand& o, int components) {
        if (!Declared(o, false))
            return false;
        if (o.type != RegisterType::Temp || components == 0)
            return true;
        const int missing = components & ~m_written[o.number & 31];
        if (missing == 0)
            return true;
        std::string which;
        for (int i = 0; i < 4; ++i) {
            if (missing & (1 << i))
                which += kComponents[i];
        }
        return Fail("X5106", "r" + std::to_string(o.number) + "." + which +
                                 " is read but never written before");
    };
    // texkill names what it reads as its destination.
    if (ins.opcode == Opcode::TexKill)
        return check(ins.destination, static_cast<int>(ins.destination.writeMask));
    for (size_t i = 0; i < ins.sources.size(); ++i) {
        if (!check(ins.sources[i], Components(ins.sources[i], static_cast<int>(i))))
            return false;
    }
    if (ins.hasDestination)
        return Declared(ins.destination, true);
    return true;
}

void ShaderRules::FindSubroutineWrites(const std::vector<DecodedInstruction>& instructions) {
    std::map<int, std::vector<int>> calls;
    int label = -1;
    for (const DecodedInstruction& ins : instructions) {
        if (!ins.info)
            continue;
        const FlowEffect flow = ins.info->flow;
        if (flow == FlowEffect::Label && !ins.sources.empty()) {
            label = static_cast<int>(ins.sources[0].number);
            m_subroutineWrites[label] = {};
        } else if (label < 0) {
            continue;
        } else if ((flow == FlowEffect::Call || flow == FlowEffect::CallNz) &&
                   !ins.sources.empty()) {
            calls[label].push_back(static_cast<int>(ins.sources[0].number));
        } else if (ins.hasDestination && ins.destination.type == RegisterType::Temp &&
                   ins.info->kind != OpcodeClass::Setup && ins.opcode != Opcode::TexKill) {
            m_subroutineWrites[label][ins.destination.number & 31] |=
                static_cast<int>(ins.destination.writeMask);
        }
    }
    // What a callee writes, its caller writes too: until nothing changes (a
    // chain is at most as long as there are labels; cycles fail later).
    for (bool changed = true; changed;) {
        changed = false;
        for (const auto& [caller, callees] : calls) {
            std::array<int, 32>& writes = m_subroutineWrites[caller];
            for (int callee : callees) {
                const auto found = m_subroutineWrites.find(callee);
                if (found == m_subroutineWrites.end())
                    continue;
                for (size_t r = 0; r < writes.size(); ++r) {
                    const int merged = writes[r] | found->second[r];
                    changed = changed || merged != writes[r];
                    writes[r] = merged;
                }
            }
        }
    }
}

} // namespace fx
