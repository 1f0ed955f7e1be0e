#include "compiler/Compiler.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "compiler/Diagnostics.h"
#include "compiler/Emit.h"
#include "compiler/FrontEnd.h"
#include "compiler/Ir.h"
#include "compiler/RegAlloc.h"
#include "compiler/Select.h"
#include "compiler/SpirvReader.h"
#include "compiler/SpirvWords.h"
#include "host/fx/FxShaderCheck.h"

namespace qc {

namespace {

// Limits a profile may run out of: the next profile may still fit.
struct LimitError : CompileError {
    using CompileError::CompileError;
};

bool UsesSize(const Builder& builder) {
    for (const Value& v : builder.values())
        if (v.op == Op::Uniform && v.slot == kSizeRegister)
            return true;
    return false;
}

CompiledShader Encode(const MachineShader& machine, Profile profile);

// Selected in both orders of computing, then allocated: the one in fewer
// instructions, then fewer temporaries, wins.
template <class SelectIn> MachineShader SmallerOfBothOrders(SelectIn select) {
    MachineShader best;
    bool found = false;
    std::string failure;
    for (bool programOrder : {false, true}) {
        try {
            MachineShader m = select(programOrder);
            AllocateRegisters(m);
            if (!found || m.code.size() < best.code.size() ||
                (m.code.size() == best.code.size() && TemporariesUsed(m) < TemporariesUsed(best)))
                best = std::move(m);
            found = true;
        } catch (const CompileError& e) {
            failure = e.what();
        }
    }
    if (!found)
        throw LimitError(0, 1, failure);
    return best;
}

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
    const MachineShader machine = SmallerOfBothOrders([&](bool programOrder) {
        return Select(builder, read.color, profile, firstFreeConstant, programOrder, read.kill);
    });
    usesSize = UsesSize(builder);
    return Encode(machine, profile);
}

// Tokens, slots and the runtime's checks of an allocated shader.
CompiledShader Encode(const MachineShader& machine, Profile profile) {
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

// --- Subroutines ----------------------------------------------------------------
// Functions the optimiser was told to leave standing run as subroutines
// (call/label/ret): each is compiled on its own, callees first, into the
// temporaries just below those of the subroutines it calls, so that no call
// disturbs a register its callers keep. A call moves the arguments to where
// the callee takes them and the result from where it leaves it.

// A subroutine that cannot be one (what it reads or returns): compiled again
// with it inlined.
struct SubroutineError : LimitError {
    SubroutineError(std::string fn, const std::string& what)
        : LimitError(0, 1, what), function(std::move(fn)) {}
    std::string function;
};

struct SubroutineCost {
    std::string name;
    int bodySlots = 0; // its code, ret included
    int calls = 0;     // call sites in the compiled program
    int args = 0;
};

struct SubroutineProgram {
    int slots = 0; // not yet held to the limit
    MachineShader machine;
    std::vector<SubroutineCost> costs;
    bool usesSize = false;
};

struct ModuleFunctions {
    uint32_t entry = 0;
    std::map<uint32_t, std::string> names;
    std::map<uint32_t, std::vector<uint32_t>> calls;
};

ModuleFunctions ScanFunctions(const std::vector<uint32_t>& words) {
    const uint32_t kOpName = 5, kOpEntryPoint = 15, kOpFunction = 54, kOpFunctionCall = 57;
    ModuleFunctions m;
    uint32_t current = 0;
    ForEachInstruction(words, [&](uint32_t op, size_t i, uint32_t count) {
        if (op == kOpName && count >= 3)
            m.names[words[i + 1]] = LiteralString(words, i + 2, i + count);
        else if (op == kOpEntryPoint && count >= 3)
            m.entry = words[i + 2];
        else if (op == kOpFunction && count >= 3)
            current = words[i + 2];
        else if (op == kOpFunctionCall && count >= 4)
            m.calls[current].push_back(words[i + 3]);
    });
    return m;
}

SubroutinePlace PlaceOf(const MachineShader& m, int vreg) {
    const VirtualReg& r = m.vregs[static_cast<size_t>(vreg)];
    return SubroutinePlace{r.reg, r.offset, r.width};
}

int SlotsOf(const MachineShader& m, Profile profile) {
    return CountSlots(EncodeShader(m), CheckProfile(profile)).total();
}

// Selected both ways and allocated below `limit`; the smaller wins.
MachineShader SelectAllocate(const Builder& b, int result, Profile profile, int firstConst,
                             const std::vector<SubroutineSignature>& callees,
                             const std::vector<int>* params, int limit, int kill = -1) {
    return SmallerOfBothOrders([&](bool programOrder) {
        MachineShader m =
            SelectFunction(b, result, profile, firstConst, programOrder, callees, params, kill);
        m.tempLimit = limit;
        return m;
    });
}

SubroutineProgram BackendWithSubroutines(const std::vector<uint32_t>& spirv,
                                         const ShaderInterface& io, int firstFreeConstant,
                                         Profile profile, bool realLoops) {
    const ModuleFunctions fns = ScanFunctions(spirv);
    // Callees before callers; the entry point last.
    std::vector<uint32_t> order;
    std::map<uint32_t, int> state;
    std::function<void(uint32_t, int)> visit = [&](uint32_t f, int depth) {
        if (depth > 4)
            throw LimitError(0, 1, "subroutine calls would nest more than 4 deep");
        if (state[f] == 1)
            throw LimitError(0, 1, "a subroutine calls itself");
        if (state[f] == 2)
            return;
        state[f] = 1;
        const auto c = fns.calls.find(f);
        if (c != fns.calls.end())
            for (uint32_t callee : c->second)
                visit(callee, depth + 1);
        state[f] = 2;
        order.push_back(f);
    };
    visit(fns.entry, 0);
    order.pop_back();
    const int temps = LimitsOf(profile).temps;
    const int subs = static_cast<int>(order.size());
    ShaderInterface here = io;
    here.allowDerivatives = profile == Profile::Ps30;
    std::vector<SubroutineSignature> signatures;
    std::vector<MachineShader> bodies;
    std::map<uint32_t, int> bottom; // each subroutine's lowest register
    SubroutineProgram program;
    int nextConst = firstFreeConstant;
    auto limitBelow = [&](uint32_t f) {
        int limit = temps;
        const auto c = fns.calls.find(f);
        if (c != fns.calls.end())
            for (uint32_t callee : c->second)
                limit = std::min(limit, bottom.at(callee));
        return limit;
    };
    for (int k = 0; k < subs; ++k) {
        const uint32_t f = order[static_cast<size_t>(k)];
        const std::string name = fns.names.count(f) ? fns.names.at(f) : std::to_string(f);
        ShaderInterface sub = here;
        sub.function = f;
        sub.realLoops = false;
        Builder b;
        ReadResult read;
        MachineShader m;
        try {
            read = ReadSpirv(spirv, sub, b);
            program.usesSize = program.usesSize || UsesSize(b);
            m = SelectAllocate(b, read.color, profile, nextConst, signatures, &read.paramWidths,
                               limitBelow(f));
        } catch (const CompileError& e) {
            throw SubroutineError(name, e.what());
        }
        // Its registers moved up to just below its callees'.
        int used = 0;
        for (const VirtualReg& r : m.vregs)
            if (!r.pinned)
                used = std::max(used, r.reg + 1);
        const int shift = limitBelow(f) - used;
        for (VirtualReg& r : m.vregs)
            if (!r.pinned && r.reg >= 0)
                r.reg += shift;
        bottom[f] = limitBelow(f) - used;
        SubroutineSignature sig;
        sig.label = k;
        for (int p : m.entryRegs)
            sig.params.push_back(PlaceOf(m, p));
        sig.result = PlaceOf(m, m.resultReg);
        signatures.push_back(sig);
        for (const ConstDef& d : m.defs)
            nextConst = std::max(nextConst, d.reg + 1);
        here.subroutines[f] = ShaderInterface::Subroutine{k, read.privates};
        SubroutineCost cost;
        cost.name = name;
        cost.bodySlots = SlotsOf(m, profile) + 1;
        cost.args = static_cast<int>(read.paramWidths.size());
        program.costs.push_back(cost);
        bodies.push_back(std::move(m));
    }
    here.realLoops = realLoops;
    Builder b;
    ReadResult read;
    try {
        read = ReadSpirv(spirv, here, b);
    } catch (const CompileError& e) {
        // What inlined compiled (an out parameter, say) is no limit's fault.
        throw LimitError(e.line, e.column, e.what());
    }
    program.usesSize = program.usesSize || UsesSize(b);
    MachineShader out = SelectAllocate(b, read.color, profile, nextConst, signatures, nullptr,
                                       limitBelow(fns.entry), read.kill);
    for (const MInst& ins : out.code)
        if (ins.op == fx::Opcode::Call)
            ++program.costs[static_cast<size_t>(ins.src[0].index)].calls;
    // One program: the main one, then each subroutine after its label.
    auto flow = [](fx::Opcode op, int label) {
        MInst m;
        m.op = op;
        m.dst.file = File::None;
        if (label >= 0) {
            MOperand l;
            l.file = File::Label;
            l.index = label;
            m.src.push_back(l);
        }
        return m;
    };
    // Wine's Direct3D writes the colour out at the end of the program text,
    // which with subroutines is inside the last one: an empty last subroutine,
    // called once the colour is written, makes that the main program's end
    // (on Windows a call that does nothing).
    out.code.push_back(flow(fx::Opcode::Call, subs));
    out.code.push_back(flow(fx::Opcode::Ret, -1));
    // The subroutines some call reaches (a call whose result nothing reads
    // is gone), callers before callees, so that in the text the arguments
    // are written before the subroutine reads them.
    std::vector<char> reached(static_cast<size_t>(subs), 0);
    std::function<void(const MachineShader&)> reach = [&](const MachineShader& m) {
        for (const MInst& ins : m.code)
            if (ins.op == fx::Opcode::Call && ins.src[0].index < subs &&
                !reached[static_cast<size_t>(ins.src[0].index)]) {
                reached[static_cast<size_t>(ins.src[0].index)] = 1;
                reach(bodies[static_cast<size_t>(ins.src[0].index)]);
            }
    };
    reach(out);
    for (int k = subs - 1; k >= 0; --k) {
        if (!reached[static_cast<size_t>(k)])
            continue;
        MachineShader& m = bodies[static_cast<size_t>(k)];
        const int base = static_cast<int>(out.vregs.size());
        for (VirtualReg r : m.vregs) {
            r.pinned = true;
            out.vregs.push_back(r);
        }
        out.code.push_back(flow(fx::Opcode::Label, k));
        for (MInst ins : m.code) {
            if (ins.dst.file == File::Temp)
                ins.dst.index += base;
            for (MOperand& o : ins.src)
                if (o.file == File::Temp)
                    o.index += base;
            if (ins.op == fx::Opcode::Call)
                ++program.costs[static_cast<size_t>(ins.src[0].index)].calls;
            out.code.push_back(std::move(ins));
        }
        out.code.push_back(flow(fx::Opcode::Ret, -1));
        out.defs.insert(out.defs.end(), m.defs.begin(), m.defs.end());
        for (int s : m.samplers)
            if (std::find(out.samplers.begin(), out.samplers.end(), s) == out.samplers.end())
                out.samplers.push_back(s);
        for (int s : m.filtered)
            if (std::find(out.filtered.begin(), out.filtered.end(), s) == out.filtered.end())
                out.filtered.push_back(s);
    }
    out.code.push_back(flow(fx::Opcode::Label, subs));
    out.code.push_back(flow(fx::Opcode::Ret, -1));
    std::sort(out.defs.begin(), out.defs.end(),
              [](const ConstDef& a, const ConstDef& c) { return a.reg < c.reg; });
    program.slots = SlotsOf(out, profile);
    program.machine = std::move(out);
    return program;
}

// The last resort of ps_3_0: functions whose body inlining copies more than
// once become subroutines. Unrolled first, then with loops kept. A function
// that cannot be one, or costs more as one (its calls' moves against the
// copies saved), is inlined again; calls nest at most four deep.
bool WithSubroutines(const std::string& source, const ShaderInterface& io, int firstFreeConstant,
                     bool keepLoops, bool always, CompiledTransition& result) {
    std::set<std::string> chosen;
    std::map<std::string, std::vector<std::string>> callees;
    for (const FunctionUse& f : TransitionFunctions(source)) {
        callees[f.name] = f.callees;
        if (f.plain && f.copies >= 2)
            chosen.insert(f.name);
    }
    if (chosen.empty())
        return false;
    // Calls nest no deeper than four: the chosen functions that call no
    // other chosen one are inlined until the longest chain fits.
    for (;;) {
        std::map<std::string, int> chain; // chosen functions on the longest chain from here
        std::function<int(const std::string&)> below = [&](const std::string& f) -> int {
            const auto d = chain.find(f);
            if (d != chain.end())
                return d->second;
            chain[f] = 0; // GLSL has no recursion; a guard all the same
            int deepest = 0;
            for (const std::string& c : callees[f])
                deepest = std::max(deepest, below(c));
            return chain[f] = deepest + (chosen.count(f) ? 1 : 0);
        };
        int most = 0;
        for (const std::string& f : chosen)
            most = std::max(most, below(f));
        if (most <= 4)
            break;
        std::set<std::string> leaves;
        for (const std::string& f : chosen)
            if (below(f) == 1)
                leaves.insert(f);
        for (const std::string& f : leaves)
            chosen.erase(f);
    }
    for (bool realLoops : {false, true}) {
        if (keepLoops && !realLoops)
            continue;
        std::set<std::string> set = chosen;
        for (int round = 0; round < 16 && !set.empty(); ++round) {
            SubroutineProgram program;
            try {
                const std::vector<uint32_t> spirv =
                    CompileTransitionToSpirv(source, !realLoops, set);
                program =
                    BackendWithSubroutines(spirv, io, firstFreeConstant, Profile::Ps30, realLoops);
            } catch (const SubroutineError& e) {
                set.erase(e.function);
                continue;
            } catch (const LimitError&) {
                break;
            }
            // Worth a subroutine: its body once and the calls' moves cost less
            // than a copy of the body at every call (asked for subroutines:
            // every one, as long as the program fits).
            const bool over = program.slots > LimitsOf(Profile::Ps30).arithmeticSlots;
            bool dropped = false;
            for (const SubroutineCost& c : program.costs) {
                const int asCalls = c.bodySlots + c.calls * (c.args + 3);
                const int inlined = c.calls * (c.bodySlots - 2);
                if (inlined <= asCalls && (over || !always))
                    dropped = set.erase(c.name) > 0 || dropped;
            }
            if (dropped)
                continue;
            if (over)
                break;
            try {
                result.shader = Encode(program.machine, Profile::Ps30);
            } catch (const LimitError&) {
                break;
            }
            result.usesSize = program.usesSize;
            return true;
        }
    }
    return false;
}

} // namespace

CompiledTransition CompileTransition(const std::string& source, std::optional<Profile> profile,
                                     bool keepLoops, bool subroutines) {
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
    if (subroutines && (!profile || *profile == Profile::Ps30) &&
        WithSubroutines(source, io, reg, keepLoops, true, result))
        return result;
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
            if (i + 1 < tries.size())
                continue;
            if (tries[i].profile != Profile::Ps30 ||
                !WithSubroutines(source, io, reg, keepLoops, false, result))
                throw CompileError(e.line, e.column, e.what());
            return result;
        }
    }
    return result;
}

} // namespace qc
