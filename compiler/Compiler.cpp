#include "compiler/Compiler.h"

#include <algorithm>

#include "compiler/Diagnostics.h"
#include "compiler/Emit.h"
#include "compiler/FrontEnd.h"
#include "compiler/Ir.h"
#include "compiler/RegAlloc.h"
#include "compiler/Select.h"
#include "compiler/SpirvReader.h"
#include "host/fx/FxShaderCheck.h"

namespace qc {

namespace {

// Limits a profile may run out of: the next profile may still fit.
struct LimitError : CompileError {
    using CompileError::CompileError;
};

CompiledShader Backend(const std::vector<uint32_t>& spirv, const ShaderInterface& io,
                       int firstFreeConstant, Profile profile, bool realLoops, bool& usesSize) {
    ShaderInterface here = io;
    here.allowDerivatives = profile == Profile::Ps30;
    here.realLoops = realLoops;
    Builder builder;
    ReadResult read;
    try {
        read = ReadSpirv(spirv, here, builder);
    } catch (const CompileError& e) {
        if (!here.allowDerivatives &&
            std::string(e.what()).find("derivatives") != std::string::npos)
            throw LimitError(e.line, e.column, e.what());
        throw;
    }
    // Both orders of computing; the one that fits in fewer slots and
    // registers wins.
    MachineShader machine;
    bool found = false;
    std::string failure;
    for (bool programOrder : {false, true}) {
        try {
            MachineShader m =
                Select(builder, read.color, profile, firstFreeConstant, programOrder, read.kill);
            AllocateRegisters(m);
            if (!found || m.code.size() < machine.code.size() ||
                (m.code.size() == machine.code.size() &&
                 TemporariesUsed(m) < TemporariesUsed(machine)))
                machine = std::move(m);
            found = true;
        } catch (const CompileError& e) {
            failure = e.what();
        }
    }
    if (!found)
        throw LimitError(0, 1, failure);
    usesSize = false;
    for (const Value& v : builder.values())
        usesSize = usesSize || (v.op == Op::Uniform && v.slot == kSizeRegister);
    CompiledShader out;
    out.profile = profile;
    out.tokens = EncodeShader(machine);
    const SlotCount slots = CountSlots(out.tokens, CheckProfile(profile));
    out.arithmeticSlots = slots.arithmetic;
    out.textureSlots = slots.texture;
    out.temporaries = TemporariesUsed(machine);
    out.filtered = machine.filtered;
    const ProfileLimits limits = LimitsOf(profile);
    if (limits.textureSlots > 0) {
        if (slots.arithmetic > limits.arithmeticSlots)
            throw LimitError(0, 1,
                             "too many arithmetic instruction slots (" +
                                 std::to_string(slots.arithmetic) + "): " + ProfileName(profile) +
                                 " allows " + std::to_string(limits.arithmeticSlots));
        if (slots.texture > limits.textureSlots)
            throw LimitError(0, 1,
                             "too many texture instruction slots (" +
                                 std::to_string(slots.texture) + "): " + ProfileName(profile) +
                                 " allows " + std::to_string(limits.textureSlots));
    } else if (slots.total() > limits.arithmeticSlots) {
        throw LimitError(0, 1,
                         "too many instruction slots (" + std::to_string(slots.total()) +
                             "): " + ProfileName(profile) + " allows " +
                             std::to_string(limits.arithmeticSlots));
    }
    fx::ShaderFault fault;
    if (!fx::CheckShader(out.tokens, fault)) {
        const bool limit = std::string(fault.code) == "X5107" || std::string(fault.code) == "X5102";
        const std::string text = std::string(fault.code) + ": " + fault.text;
        if (limit)
            throw LimitError(0, 1, text);
        throw CompileError(0, 1,
                           "internal error: the compiled shader breaks a rule of " +
                               std::string(ProfileName(profile)) + ": " + text);
    }
    out.text = ShaderText(out.tokens);
    return out;
}

} // namespace

CompiledTransition CompileTransition(const std::string& source, std::optional<Profile> profile,
                                     bool keepLoops) {
    CompiledTransition result;
    ShaderInterface io;
    io.uniformRegisters["progress"] = kProgressRegister;
    io.uniformRegisters["qv_size"] = kSizeRegister;
    io.samplers["qv_from"] = 0;
    io.samplers["qv_to"] = 1;
    io.sourceLines = 1 + static_cast<int>(std::count(source.begin(), source.end(), '\n'));
    int reg = kFirstUniformRegister, sampler = kFirstUserSampler;
    for (const UniformDecl& u : ReadUniforms(source)) {
        BoundUniform b;
        b.decl = u;
        if (u.kind == UniformKind::Sampler) {
            if (sampler > kLastUserSampler)
                throw CompileError(u.line, 1, "too many sampler2D uniforms: at most 6");
            b.sampler = sampler++;
            io.samplers[u.name] = b.sampler;
        } else {
            b.reg = reg;
            reg += u.columns;
            io.uniformRegisters[u.name] = b.reg;
        }
        result.uniforms.push_back(b);
    }
    // Unrolled first: exact, and faster to run; ps_3_0 keeps its loops when
    // unrolled they do not fit.
    struct Try {
        Profile profile;
        bool realLoops;
    };
    std::vector<Try> tries;
    if (profile ? *profile == Profile::Ps20 : !keepLoops)
        tries.push_back({Profile::Ps20, false});
    if (!profile || *profile == Profile::Ps30) {
        if (!keepLoops)
            tries.push_back({Profile::Ps30, false});
        tries.push_back({Profile::Ps30, true});
    }
    std::vector<uint32_t> spirv = CompileTransitionToSpirv(source);
    bool loopsKept = false;
    for (size_t i = 0; i < tries.size(); ++i) {
        try {
            if (tries[i].realLoops && !loopsKept) {
                spirv = CompileTransitionToSpirv(source, false);
                loopsKept = true;
            }
            result.shader =
                Backend(spirv, io, reg, tries[i].profile, tries[i].realLoops, result.usesSize);
            return result;
        } catch (const LimitError& e) {
            if (i + 1 == tries.size())
                throw CompileError(e.line, e.column, e.what());
        }
    }
    return result;
}

} // namespace qc
