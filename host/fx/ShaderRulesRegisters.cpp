// Registers: the kind exists in the profile, the number is in range, indexing
// is allowed where it is used, and one instruction reads no more different
// registers of a kind than the profile has read ports for.

#include "host/fx/ShaderRules.h"

#include <algorithm>

namespace fx {

// The register exists in the profile, `extra` registers after it too.
bool ShaderRules::Register(const DecodedOperand& o, int extra) {
    const int count = RegisterCount(o.type);
    if (count == 0)
        return Fail("X5103", "register " + Name(o.type, o.number) + " does not exist in " + m_name);
    if (o.number + static_cast<uint32_t>(extra) >= static_cast<uint32_t>(count)) {
        std::string what = Name(o.type, o.number);
        if (extra > 0)
            what += " to " + Name(o.type, o.number + static_cast<uint32_t>(extra));
        return Fail("X5103",
                    "register " + what + " is out of range: " + m_name + " has " + Range(o.type));
    }
    if (!o.relative)
        return true;
    // Indexing: c# by a0 or aL in vertex shaders, c# and v# by aL in ps_3_0,
    // o# by aL in vs_3_0.
    const bool vertex = !IsPixelProfile(m_profile);
    bool allowed = false;
    switch (o.type) {
    case RegisterType::Const:
        allowed = m_profile != Profile::Ps20;
        break;
    case RegisterType::Input:
        allowed = m_profile == Profile::Ps30 || m_profile == Profile::Vs30;
        break;
    case RegisterType::Output:
        allowed = m_profile == Profile::Vs30;
        break;
    default:
        break;
    }
    const bool byLoop = o.address.type == RegisterType::Loop;
    const bool byAddress = vertex && o.address.type == RegisterType::Addr;
    if (!allowed || !(byLoop || byAddress))
        return Fail("X5103", Name(o.type, o.number) + " cannot be indexed by " +
                                 Name(o.address.type, o.address.number) + " in " + m_name);
    if (byLoop && !InLoop())
        return Fail("X5111", "aL is used outside a loop");
    return true;
}

bool ShaderRules::Registers() {
    const DecodedInstruction& ins = *m_ins;
    if (ins.opcode == Opcode::Dcl || ins.info->kind == OpcodeClass::Setup)
        return true; // the declaration family checks its register
    if (ins.hasDestination && !Register(ins.destination, 0))
        return false;
    if (ins.hasPredicate && !Register(ins.predicate, 0))
        return false;
    for (size_t i = 0; i < ins.sources.size(); ++i) {
        const DecodedOperand& s = ins.sources[i];
        int extra = 0;
        if (i == 1 && s.type != RegisterType::Temp && !s.relative && ins.info->matrixRows > 0)
            extra = ins.info->matrixRows - 1;
        if (!Register(s, extra))
            return false;
        if (s.type == RegisterType::Loop && ins.opcode != Opcode::Loop && !InLoop())
            return Fail("X5111", "aL is read outside a loop");
    }
    return true;
}

// ps_2_0: two different c#, one t#, one v# per instruction; vertex shaders:
// one c#, one v#. Reading the same register twice takes one port.
bool ShaderRules::ReadPorts() {
    struct Port {
        Profile profile;
        RegisterType type;
        size_t limit;
        const char* what;
    };
    static const Port kPorts[] = {
        {Profile::Ps20, RegisterType::Const, 2, "two constant registers"},
        {Profile::Ps20, RegisterType::Texture, 1, "one texture coordinate register"},
        {Profile::Ps20, RegisterType::Input, 1, "one colour input register"},
        {Profile::Vs20, RegisterType::Const, 1, "one constant register"},
        {Profile::Vs20, RegisterType::Input, 1, "one input register"},
        {Profile::Vs30, RegisterType::Const, 1, "one constant register"},
        {Profile::Vs30, RegisterType::Input, 1, "one input register"},
    };
    for (const Port& port : kPorts) {
        if (port.profile != m_profile)
            continue;
        std::vector<uint32_t> seen;
        // sincos's two model 2 constants are part of the instruction itself.
        const size_t sources = m_ins->opcode == Opcode::SinCos ? 1 : m_ins->sources.size();
        for (size_t i = 0; i < sources; ++i) {
            const DecodedOperand& s = m_ins->sources[i];
            if (s.type != port.type)
                continue;
            // An indexed register counts apart from every plain one.
            const uint32_t key = s.number | (s.relative ? 0x10000u : 0u);
            if (std::find(seen.begin(), seen.end(), key) == seen.end())
                seen.push_back(key);
        }
        if (seen.size() > port.limit)
            return Fail("X5104", m_name + " reads at most " + port.what +
                                     " in one instruction; this one reads " +
                                     std::to_string(seen.size()));
    }
    return true;
}

} // namespace fx
