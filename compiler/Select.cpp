#include "compiler/Select.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "compiler/Diagnostics.h"

namespace qc {

const char* ProfileName(Profile p) { return fx::ProfileText(CheckProfile(p)); }

fx::Profile CheckProfile(Profile p) {
    switch (p) {
    case Profile::Ps20:
        return fx::Profile::Ps20;
    case Profile::Ps30:
        return fx::Profile::Ps30;
    case Profile::Vs20:
        return fx::Profile::Vs20;
    case Profile::Vs30:
        return fx::Profile::Vs30;
    }
    return fx::Profile::Ps20;
}

ProfileLimits LimitsOf(Profile p) {
    if (p == Profile::Ps20)
        return {12, 32, 64, 32};
    if (p == Profile::Vs20)
        return {12, 256, 256, 0};
    if (p == Profile::Vs30)
        return {32, 256, 512, 0};
    return {32, 224, 512, 0};
}

bool LegalSwizzle20(const std::array<int, 4>& want, std::array<uint8_t, 4>& full) {
    static const uint8_t allowed[][4] = {{0, 1, 2, 3}, {0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2},
                                         {3, 3, 3, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {3, 2, 1, 0}};
    for (const auto& s : allowed) {
        bool ok = true;
        for (int k = 0; k < 4 && ok; ++k)
            ok = want[k] < 0 || want[k] == s[k];
        if (ok) {
            for (int k = 0; k < 4; ++k)
                full[k] = s[k];
            return true;
        }
    }
    return false;
}

namespace {

// Where a value is: a register, the component each of its components sits
// in, and the source modifiers a reader applies.
struct Loc {
    File file = File::Temp;
    int index = -1;
    std::array<uint8_t, 4> comps{0, 1, 2, 3};
    int width = 1;
    bool neg = false;
    bool abs = false;
};

struct Target {
    int concat = -1;
    int lane = 0;
};

class Selector {
  public:
    Selector(const Builder& b, Profile profile, int firstConst)
        : b_(b), profile_(profile), firstConst_(firstConst) {
        out_.profile = profile;
    }

    // `params`: a subroutine's parameter widths; it leaves `result` in a
    // register of its own (out_.resultReg) as its last instruction.
    MachineShader run(std::vector<OutputValue> outputs, bool programOrder,
                      const std::vector<int>* params = nullptr, int result = -1) {
        const std::vector<Value>& values = b_.values();
        if (params) {
            for (int w : *params) {
                paramRegs_.push_back(newReg(w));
                out_.entryRegs.push_back(paramRegs_.back());
            }
            outputs.push_back(
                OutputValue{File::Temp, -1, result, uint8_t((1 << b_.width(result)) - 1)});
        }
        std::vector<int> roots;
        for (const OutputValue& o : outputs)
            roots.push_back(o.value);
        uses_ = b_.useCounts(roots);
        loc_.assign(values.size(), Loc{});
        done_.assign(values.size(), 0);
        target_.assign(values.size(), Target{});
        for (size_t id = 0; id < values.size(); ++id) {
            const Value& v = values[id];
            if (v.op != Op::Concat || uses_[id] == 0)
                continue;
            int lane = 0;
            for (int p : v.args) {
                const int w = b_.width(p);
                const bool once = std::count(v.args.begin(), v.args.end(), p) == 1;
                if (once && uses_[p] == 1 && writesTemp(p) &&
                    (w == 1 || lane == 0 || profile_ != Profile::Ps20))
                    target_[p] = Target{static_cast<int>(id), lane};
                lane += w;
            }
        }
        if (programOrder) {
            // Everything in the program's order, but what folds into its one
            // reader (a product into a sum, a value into its saturate or its
            // vector) waits for that reader.
            std::vector<char> folds(values.size(), 0);
            for (size_t id = 0; id < values.size(); ++id) {
                const Value& v = values[id];
                if (uses_[id] == 0)
                    continue;
                if (v.op == Op::Add)
                    for (int a : v.args)
                        folds[a] = folds[a] || (uses_[a] == 1 && values[a].op == Op::Mul);
                if (v.op == Op::Sat && uses_[v.args[0]] == 1)
                    folds[v.args[0]] = 1;
                if (target_[id].concat >= 0)
                    folds[id] = 1;
            }
            for (size_t id = 0; id < values.size(); ++id)
                if (uses_[id] > 0 && !folds[id] && values[id].loop < 0)
                    get(static_cast<int>(id));
        }
        std::vector<Loc> results;
        for (const OutputValue& o : outputs)
            results.push_back(get(o.value));
        for (size_t i = 0; i < outputs.size(); ++i) {
            const OutputValue& o = outputs[i];
            Loc c = results[i];
            if (o.file == File::None || o.file == File::ColorOut) {
                // oC0 takes all four components; texkill tests .xyz of a
                // whole register, named as its destination.
                if (!(wholeRegister(c) && c.width == 4))
                    c = materialize(c, 4);
            } else if (c.abs && !absModifier()) {
                c = materialize(c, c.width);
            }
            if (o.file == File::None) {
                MInst kill;
                kill.op = fx::Opcode::TexKill;
                kill.dst.index = c.index;
                kill.mask = 0xF;
                out_.code.push_back(kill);
                continue;
            }
            if (o.file == File::Temp && o.index < 0) {
                // A subroutine's result: where it is when it is a register of
                // its own, else moved into one.
                const bool own = wholeRegister(c) && std::find(paramRegs_.begin(), paramRegs_.end(),
                                                               c.index) == paramRegs_.end();
                out_.resultReg = own ? c.index : materialize(c, c.width).index;
                continue;
            }
            MInst mov;
            mov.op = fx::Opcode::Mov;
            mov.dst.file = o.file;
            mov.dst.index = o.index;
            mov.mask = o.mask;
            mov.src.push_back(operand(c, Lanes::PerComponent, 0));
            out_.code.push_back(mov);
        }
        return std::move(out_);
    }

  private:
    bool vertex() const { return IsVertex(profile_); }
    // Shader model 3 takes _abs on a source; model 2 needs abs.
    bool absModifier() const { return profile_ == Profile::Ps30 || profile_ == Profile::Vs30; }
    // ps_2_0 has no sincos without its two constants, vs_2_0 neither.
    bool model2() const { return profile_ == Profile::Ps20 || profile_ == Profile::Vs20; }

    static bool isIdentity(const Loc& l) {
        for (int k = 0; k < l.width; ++k)
            if (l.comps[k] != k)
                return false;
        return true;
    }

    // A temporary read whole, as written, with nothing applied.
    bool wholeRegister(const Loc& l) const {
        return l.file == File::Temp && isIdentity(l) && !l.neg && !l.abs &&
               out_.vregs[l.index].width == l.width;
    }

    // Operations whose result an instruction writes to a fresh temporary.
    bool writesTemp(int id) const {
        switch (b_.at(id).op) {
        case Op::Const:
        case Op::Uniform:
        case Op::Input:
        case Op::Shuffle:
        case Op::Concat:
        case Op::Neg:
        case Op::Tex:
        case Op::TexBias:
        case Op::TexLod:
        case Op::SinCos:
        case Op::Nrm:
        case Op::Carried:
        case Op::LoopEnd:
        case Op::LoopOut:
        case Op::Param:
        case Op::Call:
            return false;
        case Op::Abs:
            return !absModifier();
        case Op::Sat: {
            const int a = b_.at(id).args[0];
            return true || a >= 0;
        }
        default:
            return true;
        }
    }

    int newReg(int width) {
        VirtualReg r;
        r.width = width;
        out_.vregs.push_back(r);
        return static_cast<int>(out_.vregs.size()) - 1;
    }

    Loc get(int id) {
        if (!done_[id]) {
            loc_[id] = compute(id, id, false);
            done_[id] = 1;
        }
        return loc_[id];
    }

    // --- Constants -------------------------------------------------------------
    struct Pool {
        int reg;
        std::array<float, 4> value;
        uint8_t used;
    };

    static bool Same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    int addPool() {
        const int reg = firstConst_ + static_cast<int>(pool_.size());
        if (reg >= LimitsOf(profile_).constants)
            throw CompileError(0, 1,
                               std::string("too many constants for ") + ProfileName(profile_) +
                                   " (c0-c" + std::to_string(LimitsOf(profile_).constants - 1) +
                                   ")");
        pool_.push_back(Pool{reg, {0, 0, 0, 0}, 0});
        return static_cast<int>(pool_.size()) - 1;
    }

    Loc scalarConst(float x, int width) {
        Loc l;
        l.file = File::Const;
        l.width = width;
        for (Pool& p : pool_)
            for (int k = 0; k < 4; ++k)
                if ((p.used >> k & 1) && Same(p.value[k], x)) {
                    l.index = p.reg;
                    l.comps = {uint8_t(k), uint8_t(k), uint8_t(k), uint8_t(k)};
                    return l;
                }
        int best = -1, bestUsed = -1;
        for (size_t i = 0; i < pool_.size(); ++i) {
            const int used = __builtin_popcount(pool_[i].used);
            if (used < 4 && used > bestUsed) {
                best = static_cast<int>(i);
                bestUsed = used;
            }
        }
        if (best < 0)
            best = addPool();
        Pool& p = pool_[best];
        int k = 0;
        while (p.used >> k & 1)
            ++k;
        p.used |= uint8_t(1 << k);
        p.value[k] = x;
        l.index = p.reg;
        l.comps = {uint8_t(k), uint8_t(k), uint8_t(k), uint8_t(k)};
        return l;
    }

    Loc vectorConst(const std::array<float, 4>& v, int n) {
        bool splat = true;
        for (int k = 1; k < n; ++k)
            splat = splat && Same(v[k], v[0]);
        if (splat)
            return scalarConst(v[0], n);
        Loc l;
        l.file = File::Const;
        l.width = n;
        for (Pool& p : pool_) {
            bool match = true;
            for (int k = 0; k < n && match; ++k)
                match = (p.used >> k & 1) ? Same(p.value[k], v[k]) : false;
            if (match) {
                l.index = p.reg;
                return l;
            }
        }
        // Lanes 0..n-1 free, or holding the same numbers.
        for (Pool& p : pool_) {
            bool fits = true;
            for (int k = 0; k < n && fits; ++k)
                fits = !(p.used >> k & 1) || Same(p.value[k], v[k]);
            if (fits) {
                for (int k = 0; k < n; ++k) {
                    p.value[k] = v[k];
                    p.used |= uint8_t(1 << k);
                }
                l.index = p.reg;
                return l;
            }
        }
        Pool& p = pool_[addPool()];
        for (int k = 0; k < n; ++k) {
            p.value[k] = v[k];
            p.used |= uint8_t(1 << k);
        }
        l.index = p.reg;
        return l;
    }

    // --- Operands --------------------------------------------------------------
    MOperand operand(const Loc& l, Lanes lanes, int lane) {
        MOperand o;
        o.file = l.file;
        o.index = l.index;
        o.neg = l.neg;
        o.abs = l.abs;
        o.width = l.width;
        switch (lanes) {
        case Lanes::PerComponent:
            for (int k = 0; k < 4; ++k)
                o.swizzle[k] = l.comps[std::min(std::max(k - lane, 0), l.width - 1)];
            break;
        case Lanes::Whole:
            for (int k = 0; k < 4; ++k)
                o.swizzle[k] = l.comps[std::min(k, l.width - 1)];
            break;
        case Lanes::Replicate:
            o.swizzle.fill(l.comps[0]);
            break;
        }
        return o;
    }

    // Whether ps_2_0 can read `l` for lanes [lane, lane + count) as `lanes`.
    bool readable(const Loc& l, Lanes lanes, int lane, int count, bool dstScalar) {
        if (profile_ != Profile::Ps20 || lanes == Lanes::Replicate)
            return true;
        if (l.file == File::Temp && out_.vregs[l.index].width == 1)
            return true; // one component, read replicated
        if (lanes == Lanes::PerComponent && dstScalar)
            return true;
        std::array<int, 4> want{-1, -1, -1, -1};
        for (int k = 0; k < count; ++k) {
            const int j = lanes == Lanes::PerComponent ? lane + k : k;
            want[j] = l.comps[std::min(k, l.width - 1)];
        }
        std::array<uint8_t, 4> full;
        return LegalSwizzle20(want, full);
    }

    // A copy of `l` in a fresh temporary, components in order from x.
    Loc materialize(const Loc& l, int width) {
        Loc r;
        r.file = File::Temp;
        r.width = width;
        r.index = newReg(width);
        const uint8_t all = uint8_t((1 << width) - 1);
        Loc src = l;
        if (src.width < width) {
            for (int k = src.width; k < width; ++k)
                src.comps[k] = src.comps[src.width - 1];
            src.width = width;
        }
        if (readable(src, Lanes::PerComponent, 0, width, width == 1)) {
            MInst m;
            m.op = fx::Opcode::Mov;
            m.dst.index = r.index;
            m.mask = all;
            m.src.push_back(operand(src, Lanes::PerComponent, 0));
            out_.code.push_back(m);
            return r;
        }
        // One move a component it reads, replicated into the lanes wanting it.
        std::map<int, uint8_t> byComp;
        for (int k = 0; k < width; ++k)
            byComp[src.comps[k]] |= uint8_t(1 << k);
        for (auto& [comp, mask] : byComp) {
            MInst m;
            m.op = fx::Opcode::Mov;
            m.dst.index = r.index;
            m.mask = mask;
            Loc one = src;
            one.comps.fill(uint8_t(comp));
            m.src.push_back(operand(one, Lanes::Replicate, 0));
            out_.code.push_back(m);
        }
        return r;
    }

    // Emits `op` writing `width` components for value `forId` (into its
    // concatenation's register when it has one), applying the profile's
    // operand rules to `srcs`.
    Loc emit(fx::Opcode op, int width, std::vector<Loc> srcs, std::vector<Lanes> lanes, int forId,
             bool sat, uint32_t control = 0, int fixedDst = -1, uint8_t fixedMask = 0,
             int fixedLane = 0) {
        int dstReg, lane = 0;
        if (fixedDst >= 0) {
            dstReg = fixedDst;
            lane = fixedLane;
        } else if (forId >= 0 && target_[forId].concat >= 0) {
            const Target t = target_[forId];
            dstReg = concatReg(t.concat);
            lane = t.lane;
        } else {
            dstReg = newReg(width);
        }
        const bool dstScalar = out_.vregs[dstReg].width == 1;
        // At most two different constant registers an instruction (vertex
        // shaders: one), and one input register of a kind where the
        // profile has one read port for it.
        std::vector<std::pair<File, int>> read;
        for (size_t i = 0; i < srcs.size(); ++i) {
            const File f = srcs[i].file;
            // sincos's constants are part of the instruction.
            if (op == fx::Opcode::SinCos && i > 0)
                continue;
            const size_t ports = f == File::Const ? (vertex() ? 1 : 2)
                                 : f == File::Input || f == File::ColorIn
                                     ? (profile_ == Profile::Ps30 ? 4 : 1)
                                     : 4;
            if (std::find(read.begin(), read.end(), std::make_pair(f, srcs[i].index)) != read.end())
                continue;
            const size_t used = static_cast<size_t>(
                std::count_if(read.begin(), read.end(),
                              [f](const std::pair<File, int>& r) { return r.first == f; }));
            if (used == ports)
                srcs[i] = materialize(srcs[i], srcs[i].width);
            else
                read.emplace_back(f, srcs[i].index);
        }
        MInst m;
        m.op = op;
        m.control = control;
        m.dst.index = dstReg;
        m.mask = fixedMask ? fixedMask : uint8_t(((1 << width) - 1) << lane);
        m.sat = sat;
        m.lanes = lanes.empty() ? Lanes::PerComponent : lanes[0];
        for (size_t i = 0; i < srcs.size(); ++i) {
            const Lanes ln = i < lanes.size() ? lanes[i]
                             : lanes.empty()  ? Lanes::PerComponent
                                              : lanes.back();
            Loc s = srcs[i];
            if (s.file == File::Sampler) {
                MOperand o;
                o.file = File::Sampler;
                o.index = s.index;
                m.src.push_back(o);
                continue;
            }
            // ps_3_0 takes _abs on all of an instruction's constants or on
            // none; a constant's absolute value goes through a temporary.
            if (s.abs && (!absModifier() || s.file == File::Const))
                s = materialize(s, s.width);
            const int count = ln == Lanes::PerComponent ? width : s.width;
            if (!readable(s, ln, lane, count, dstScalar))
                s = materialize(s, s.width);
            m.src.push_back(operand(s, ln, lane));
        }
        out_.code.push_back(m);
        Loc r;
        r.file = File::Temp;
        r.index = dstReg;
        r.width = width;
        for (int k = 0; k < 4; ++k)
            r.comps[k] = uint8_t(std::min(lane + k, 3));
        return r;
    }

    // Copies `s` into lanes [lane, lane + w) of `reg`, one move a component
    // where ps_2_0 cannot shift the lanes in one.
    void moveInto(int reg, int lane, const Loc& s, int w) {
        if (readable(s, Lanes::PerComponent, lane, w, false) && !(s.abs && !absModifier())) {
            emit(fx::Opcode::Mov, w, {s}, {Lanes::PerComponent}, -1, false, 0, reg,
                 uint8_t(((1 << w) - 1) << lane), lane);
            return;
        }
        Loc src = s;
        if (src.abs && !absModifier())
            src = materialize(src, src.width);
        std::map<int, uint8_t> byComp;
        for (int k = 0; k < w; ++k)
            byComp[src.comps[k]] |= uint8_t(1 << (lane + k));
        for (auto& [comp, mask] : byComp) {
            Loc one = src;
            one.comps.fill(uint8_t(comp));
            one.width = 1;
            emit(fx::Opcode::Mov, 1, {one}, {Lanes::Replicate}, -1, false, 0, reg, mask);
        }
    }

    std::map<int, int> concatRegs_;
    int concatReg(int concat) {
        auto f = concatRegs_.find(concat);
        if (f != concatRegs_.end())
            return f->second;
        const int r = newReg(b_.width(concat));
        concatRegs_[concat] = r;
        return r;
    }

    // One scalar instruction a component.
    Loc perComponent(fx::Opcode op, const std::vector<int>& args, int forId, bool sat) {
        const int n = b_.width(args[0]);
        std::vector<Loc> in;
        for (int a : args)
            in.push_back(get(a));
        int dstReg, lane = 0;
        if (target_[forId].concat >= 0) {
            dstReg = concatReg(target_[forId].concat);
            lane = target_[forId].lane;
        } else {
            dstReg = newReg(n);
        }
        for (int k = 0; k < n; ++k) {
            std::vector<Loc> srcs;
            for (Loc l : in) {
                l.comps.fill(l.comps[std::min(k, l.width - 1)]);
                l.width = 1;
                srcs.push_back(l);
            }
            emit(op, 1, srcs, {Lanes::Replicate}, -1, sat, 0, dstReg, uint8_t(1 << (lane + k)));
        }
        Loc r;
        r.index = dstReg;
        r.width = n;
        for (int k = 0; k < 4; ++k)
            r.comps[k] = uint8_t(std::min(lane + k, 3));
        return r;
    }

    bool fusible(int id) const { return uses_[id] == 1 && !done_[id] && target_[id].concat < 0; }

    Loc compute(int id, int forId, bool sat) {
        const Value& v = b_.at(id);
        const int n = v.width;
        auto a = [&](int i) { return get(v.args[i]); };
        using O = fx::Opcode;
        const std::vector<Lanes> per{Lanes::PerComponent};
        switch (v.op) {
        case Op::Const:
            return vectorConst(v.imm, n);
        case Op::Uniform: {
            Loc l;
            l.file = File::Const;
            l.index = v.slot;
            l.width = n;
            l.comps = v.comps;
            return l;
        }
        case Op::Input: {
            out_.usesInput = true;
            Loc l;
            l.file = v.slot >= kColorInput ? File::ColorIn : File::Input;
            l.index = v.slot >= kColorInput ? v.slot - kColorInput : v.slot;
            l.width = n;
            return l;
        }
        case Op::Shuffle: {
            Loc s = a(0), r = s;
            r.width = n;
            for (int k = 0; k < n; ++k)
                r.comps[k] = s.comps[std::min<int>(v.comps[k], s.width - 1)];
            return r;
        }
        case Op::Neg: {
            Loc s = a(0);
            s.neg = !s.neg;
            return s;
        }
        case Op::Abs:
            if (absModifier()) {
                Loc s = a(0);
                s.abs = true;
                s.neg = false;
                return s;
            }
            return emit(O::Abs, n, {a(0)}, per, forId, sat);
        case Op::Sat: {
            const int x = v.args[0];
            if (profile_ == Profile::Vs20) {
                // No _sat in vs_2_0.
                const Loc low = emit(O::Max, n, {a(0), scalarConst(0.0f, n)}, per, -1, false);
                return emit(O::Min, n, {low, scalarConst(1.0f, n)}, per, forId, false);
            }
            if (fusible(x) && writesTemp(x) && b_.at(x).op != Op::Sat) {
                Loc r = compute(x, forId, true);
                done_[x] = 1;
                loc_[x] = r;
                return r;
            }
            return emit(O::Mov, n, {a(0)}, per, forId, true);
        }
        case Op::Concat: {
            if (vertex()) {
                Loc m;
                if (matrixProduct(id, m))
                    return m;
            }
            const int reg = concatReg(id);
            int lane = 0;
            for (int p : v.args) {
                const int w = b_.width(p);
                Loc s = get(p);
                if (target_[p].concat != id)
                    moveInto(reg, lane, s, w);
                lane += w;
            }
            Loc r;
            r.index = reg;
            r.width = n;
            return r;
        }
        case Op::Add: {
            for (int s = 0; s < 2; ++s) {
                const int m = v.args[s];
                if (b_.at(m).op == Op::Mul && fusible(m)) {
                    const Value& mv = b_.at(m);
                    return emit(O::Mad, n, {get(mv.args[0]), get(mv.args[1]), a(1 - s)}, per, forId,
                                sat);
                }
            }
            return emit(O::Add, n, {a(0), a(1)}, per, forId, sat);
        }
        case Op::Mul:
            return emit(O::Mul, n, {a(0), a(1)}, per, forId, sat);
        case Op::Mad:
            return emit(O::Mad, n, {a(0), a(1), a(2)}, per, forId, sat);
        case Op::Min:
            return emit(O::Min, n, {a(0), a(1)}, per, forId, sat);
        case Op::Max:
            return emit(O::Max, n, {a(0), a(1)}, per, forId, sat);
        case Op::Cmp:
            if (vertex()) {
                // No cmp in vertex shaders: a 0/1 mask from sge picks by lrp.
                const Loc mask = emit(O::Sge, n, {a(0), scalarConst(0.0f, n)}, per, -1, false);
                return emit(O::Lrp, n, {mask, a(1), a(2)}, per, forId, sat);
            }
            return emit(O::Cmp, n, {a(0), a(1), a(2)}, per, forId, sat);
        case Op::Lrp:
            return emit(O::Lrp, n, {a(0), a(1), a(2)}, per, forId, sat);
        case Op::Frc:
            return emit(O::Frc, n, {a(0)}, per, forId, sat);
        case Op::Dsx:
            pixelOnly("derivatives (ddx, ddy, fwidth)");
            return emit(O::Dsx, n, {a(0)}, per, forId, sat);
        case Op::Dsy:
            pixelOnly("derivatives (ddx, ddy, fwidth)");
            return emit(O::Dsy, n, {a(0)}, per, forId, sat);
        case Op::Rcp:
            return perComponent(O::Rcp, v.args, forId, sat);
        case Op::Rsq:
            return perComponent(O::Rsq, v.args, forId, sat);
        case Op::Exp2:
            return perComponent(O::Exp, v.args, forId, sat);
        case Op::Log2:
            return perComponent(O::Log, v.args, forId, sat);
        case Op::Pow:
            return perComponent(O::Pow, v.args, forId, sat);
        case Op::SinCos: {
            Loc x = a(0);
            x.width = 1;
            std::vector<Loc> srcs{x};
            std::vector<Lanes> lanes{Lanes::Replicate};
            if (model2()) {
                srcs.push_back(vectorConst(
                    {-1.5500992e-006f, -2.1701389e-005f, 0.0026041667f, 0.00026041668f}, 4));
                srcs.push_back(vectorConst({-0.020833334f, -0.12500000f, 1.0f, 0.50000000f}, 4));
                lanes = {Lanes::Replicate, Lanes::Whole, Lanes::Whole};
            }
            const int reg = newReg(2);
            return emit(O::SinCos, 2, srcs, lanes, -1, sat, 0, reg, 0x3);
        }
        case Op::Dp2: {
            if (vertex()) {
                // No dp2add in vertex shaders.
                auto lane = [](Loc l, int k) {
                    l.comps.fill(l.comps[std::min(k, l.width - 1)]);
                    l.width = 1;
                    return l;
                };
                const Loc x =
                    emit(O::Mul, 1, {lane(a(0), 0), lane(a(1), 0)}, {Lanes::Replicate}, -1, false);
                return emit(O::Mad, 1, {lane(a(0), 1), lane(a(1), 1), x}, {Lanes::Replicate}, forId,
                            sat);
            }
            Loc zero = scalarConst(0.0f, 1);
            return emit(O::Dp2Add, 1, {a(0), a(1), zero},
                        {Lanes::Whole, Lanes::Whole, Lanes::Replicate}, forId, sat);
        }
        case Op::Dp3:
            return emit(O::Dp3, 1, {a(0), a(1)}, {Lanes::Whole}, forId, sat);
        case Op::Dp4:
            return emit(O::Dp4, 1, {a(0), a(1)}, {Lanes::Whole}, forId, sat);
        case Op::Nrm: {
            Loc x = a(0);
            if (profile_ == Profile::Ps20 && !(x.file == File::Temp && isIdentity(x)))
                x = materialize(x, 3);
            return emit(O::Nrm, 3, {x}, {Lanes::Whole}, -1, sat);
        }
        case Op::Tex:
        case Op::TexBias:
        case Op::TexLod: {
            if (v.op == Op::TexLod) {
                if (profile_ != Profile::Ps30 && profile_ != Profile::Vs30)
                    throw CompileError(0, 1,
                                       std::string("sampling at a given level of detail "
                                                   "(tex2Dlod, textureLod) needs ps_3_0 or "
                                                   "vs_3_0, not ") +
                                           ProfileName(profile_));
            } else {
                pixelOnly("texture sampling other than tex2Dlod");
            }
            Loc c = a(0);
            const bool plain = (c.file == File::Input || c.file == File::Temp) && isIdentity(c) &&
                               !c.neg && !c.abs &&
                               (c.file == File::Input || out_.vregs[c.index].width >= 2);
            if (v.op == Op::TexBias || v.op == Op::TexLod) {
                // texldb and texldl read the bias or level from the
                // coordinate's w.
                const int reg = newReg(4);
                emit(O::Mov, 2, {c}, {Lanes::PerComponent}, -1, false, 0, reg, 0x3);
                Loc bias = a(1);
                emit(O::Mov, 1, {bias}, {Lanes::Replicate}, -1, false, 0, reg, 0x8);
                c = Loc{};
                c.index = reg;
                c.width = 4;
            } else if (!plain) {
                c = materialize(c, 2);
            }
            if (std::find(out_.samplers.begin(), out_.samplers.end(), v.slot) ==
                out_.samplers.end())
                out_.samplers.push_back(v.slot);
            // Read anywhere but at the interpolated coordinate itself: the
            // sampler must filter.
            if (!(c.file == File::Input && v.op == Op::Tex) &&
                std::find(out_.filtered.begin(), out_.filtered.end(), v.slot) ==
                    out_.filtered.end())
                out_.filtered.push_back(v.slot);
            Loc s;
            s.file = File::Sampler;
            s.index = v.slot;
            s.width = 4;
            if (v.op == Op::TexLod)
                return emit(O::TexLdl, 4, {c, s}, {Lanes::Whole}, -1, false, 0, newReg(4), 0xF);
            return emit(O::Tex, 4, {c, s}, {Lanes::Whole}, -1, false,
                        v.op == Op::TexBias ? fx::kTexLdBias : 0, newReg(4), 0xF);
        }
        case Op::Carried:
            throw CompileError(0, 1, "internal error: a carried value read outside its loop");
        case Op::LoopEnd:
            emitLoop(id);
            return Loc{};
        case Op::LoopOut: {
            get(v.args[0]);
            const LoopInfo& l = b_.loops()[b_.at(v.args[0]).slot];
            return get(l.carried[v.slot]);
        }
        case Op::Param: {
            Loc l;
            l.index = paramRegs_.at(static_cast<size_t>(v.slot));
            l.width = n;
            return l;
        }
        case Op::Call:
            return call(v);
        }
        throw CompileError(0, 1, std::string("cannot select ") + OpName(v.op));
    }

    // --- Subroutines -------------------------------------------------------------
    // The arguments go where the subroutine takes them, its result comes
    // back from where it leaves it: registers above the caller's own, so the
    // call disturbs nothing the caller keeps.
    int placed(const SubroutinePlace& at) {
        const int reg = newReg(at.width);
        out_.vregs[reg].reg = at.reg;
        out_.vregs[reg].offset = at.offset;
        out_.vregs[reg].pinned = true;
        return reg;
    }

    Loc call(const Value& v) {
        if (v.slot < 0 || static_cast<size_t>(v.slot) >= callees_.size())
            throw CompileError(0, 1, "internal error: a call of an unknown subroutine");
        const SubroutineSignature& sig = callees_[static_cast<size_t>(v.slot)];
        std::vector<Loc> args;
        for (int a : v.args)
            args.push_back(get(a));
        for (size_t i = 0; i < args.size(); ++i)
            moveInto(placed(sig.params.at(i)), 0, args[i], sig.params[i].width);
        MInst m;
        m.op = fx::Opcode::Call;
        m.dst.file = File::None;
        MOperand label;
        label.file = File::Label;
        label.index = sig.label;
        m.src.push_back(label);
        out_.code.push_back(m);
        Loc r;
        r.index = placed(sig.result);
        r.width = v.width;
        return materialize(r, v.width);
    }

  public:
    std::vector<int> paramRegs_;
    std::vector<SubroutineSignature> callees_;

  private:
    // --- Loops -------------------------------------------------------------------
    // The carried values get registers of their own, set before the loop and
    // at the end of each iteration; whatever the body reads from outside is
    // computed before it.
    void emitLoop(int endId) {
        const Value& end = b_.at(endId);
        const int loop = end.slot;
        const LoopInfo& info = b_.loops()[loop];
        // Carried values that matter: read after the loop, or read by the
        // next value of one that matters.
        const size_t n = info.carried.size();
        std::vector<char> live(n, 0);
        for (size_t id = 0; id < b_.values().size(); ++id)
            if (b_.at(int(id)).op == Op::LoopOut && b_.at(int(id)).args[0] == endId &&
                uses_[id] > 0)
                live[b_.at(int(id)).slot] = 1;
        for (bool grew = true; grew;) {
            grew = false;
            std::vector<char> seen(b_.values().size(), 0);
            std::vector<int> work;
            for (size_t i = 0; i < n; ++i)
                if (live[i])
                    work.push_back(end.args[i]);
            while (!work.empty()) {
                const int id = work.back();
                work.pop_back();
                if (seen[id] || !b_.within(b_.at(id).loop, loop))
                    continue;
                seen[id] = 1;
                const Value& v = b_.at(id);
                if (v.op == Op::Carried && v.slot == loop) {
                    const size_t i = std::find(info.carried.begin(), info.carried.end(), id) -
                                     info.carried.begin();
                    if (!live[i])
                        live[i] = grew = 1;
                    continue;
                }
                for (int a : v.args)
                    work.push_back(a);
            }
        }
        std::vector<int> regs(n, -1);
        for (size_t i = 0; i < n; ++i) {
            if (!live[i])
                continue;
            const int c = info.carried[i];
            const int w = b_.width(c);
            const Loc initial = get(b_.at(c).args[0]);
            const int reg = newReg(w);
            moveInto(reg, 0, initial, w);
            Loc l;
            l.index = reg;
            l.width = w;
            loc_[c] = l;
            done_[c] = 1;
            regs[i] = reg;
        }
        std::vector<char> seen(b_.values().size(), 0);
        std::vector<int> work, outside;
        for (size_t i = 0; i < n; ++i)
            if (live[i])
                work.push_back(end.args[i]);
        while (!work.empty()) {
            const int id = work.back();
            work.pop_back();
            if (seen[id])
                continue;
            seen[id] = 1;
            if (!b_.within(b_.at(id).loop, loop)) {
                outside.push_back(id);
                continue;
            }
            for (int a : b_.at(id).args)
                work.push_back(a);
        }
        std::sort(outside.begin(), outside.end());
        for (int id : outside)
            get(id);
        // Counts over 255 take two reps; the extra iterations find the loop
        // already left.
        std::vector<int> counts{info.count};
        if (info.count > 255) {
            const int outer = (info.count + 254) / 255;
            counts = {outer, (info.count + outer - 1) / outer};
        }
        for (int n : counts) {
            MInst rep;
            rep.op = fx::Opcode::Rep;
            rep.dst.file = File::None;
            MOperand count;
            count.file = File::IntConst;
            count.index = intConst(n);
            rep.src.push_back(count);
            out_.code.push_back(rep);
        }
        std::vector<Loc> next(n);
        for (size_t i = 0; i < n; ++i)
            if (live[i])
                next[i] = get(end.args[i]);
        // The next values all read before any carried register changes.
        for (size_t i = 0; i < n; ++i)
            if (live[i] && next[i].file == File::Temp && next[i].index != regs[i] &&
                std::find(regs.begin(), regs.end(), next[i].index) != regs.end())
                next[i] = materialize(next[i], next[i].width);
        for (size_t i = 0; i < n; ++i)
            if (live[i] && end.args[i] != info.carried[i])
                moveInto(regs[i], 0, next[i], b_.width(info.carried[i]));
        for (size_t k = 0; k < counts.size(); ++k) {
            MInst endRep;
            endRep.op = fx::Opcode::EndRep;
            endRep.dst.file = File::None;
            out_.code.push_back(endRep);
        }
    }

    int intConst(int n) {
        for (const IntDef& d : out_.intDefs)
            if (d.value[0] == n)
                return d.reg;
        const int reg = static_cast<int>(out_.intDefs.size());
        if (reg >= 16)
            throw CompileError(0, 1, "too many different loop counts (i0-i15)");
        out_.intDefs.push_back(IntDef{reg, {n, 0, 0, 0}});
        return reg;
    }

    void pixelOnly(const char* what) const {
        if (vertex())
            throw CompileError(0, 1,
                               std::string(what) + " is not available in a vertex shader (" +
                                   ProfileName(profile_) + ")");
    }

    // concat(dp4(x, c[n]), dp4(x, c[n+1]), ...) of three or four rows read
    // nowhere else: one m4x4 (m4x3) with the matrix in consecutive
    // registers.
    bool matrixProduct(int id, Loc& out) {
        const Value& v = b_.at(id);
        const size_t rows = v.args.size();
        if (rows != 3 && rows != 4)
            return false;
        int x = -1, base = -1;
        for (size_t r = 0; r < rows; ++r) {
            const int p = v.args[r];
            const Value& d = b_.at(p);
            if (d.op != Op::Dp4 || uses_[p] != 1 || done_[p])
                return false;
            int row = -1, vec = -1;
            for (int k = 0; k < 2 && row < 0; ++k) {
                const Value& u = b_.at(d.args[k]);
                if (u.op == Op::Uniform && u.width == 4 &&
                    u.comps == std::array<uint8_t, 4>{0, 1, 2, 3}) {
                    row = u.slot;
                    vec = d.args[1 - k];
                }
            }
            if (row < 0 || (x >= 0 && vec != x) || (base >= 0 && row != base + static_cast<int>(r)))
                return false;
            x = vec;
            if (base < 0)
                base = row;
        }
        Loc m;
        m.file = File::Const;
        m.index = base;
        m.width = 4;
        const int reg = concatReg(id);
        out = emit(rows == 4 ? fx::Opcode::M4x4 : fx::Opcode::M4x3, static_cast<int>(rows),
                   {get(x), m}, {Lanes::Whole}, -1, false, 0, reg, uint8_t((1 << rows) - 1));
        for (int p : v.args)
            done_[p] = 1;
        out.width = static_cast<int>(rows);
        return true;
    }

    const Builder& b_;
    Profile profile_;
    int firstConst_;
    MachineShader out_;
    std::vector<int> uses_;
    std::vector<Loc> loc_;
    std::vector<char> done_;
    std::vector<Target> target_;
    std::vector<Pool> pool_;

  public:
    void finishConstants(MachineShader& shader) {
        for (const Pool& p : pool_)
            shader.defs.push_back(ConstDef{p.reg, p.value});
    }
};

} // namespace

MachineShader Select(const Builder& builder, int color, Profile profile, int firstFreeConstant,
                     bool programOrder, int kill) {
    Selector s(builder, profile, firstFreeConstant);
    std::vector<OutputValue> outputs;
    if (kill >= 0)
        outputs.push_back(OutputValue{File::None, 0, kill, 0xF});
    outputs.push_back(OutputValue{File::ColorOut, 0, color, 0xF});
    MachineShader shader = s.run(outputs, programOrder);
    s.finishConstants(shader);
    return shader;
}

namespace {

bool Splits(fx::Opcode op) {
    return op == fx::Opcode::Call || op == fx::Opcode::Rep || op == fx::Opcode::EndRep ||
           op == fx::Opcode::Loop || op == fx::Opcode::EndLoop || op == fx::Opcode::Label ||
           op == fx::Opcode::Ret;
}

bool DistinctDestination(fx::Opcode op) {
    return op == fx::Opcode::SinCos || op == fx::Opcode::Nrm || op == fx::Opcode::Lrp ||
           op == fx::Opcode::Tex || op == fx::Opcode::Pow || op == fx::Opcode::TexLdl;
}

bool PlainMove(const MInst& m, const MachineShader& s) {
    if (m.op != fx::Opcode::Mov || m.sat || m.src.size() != 1 || m.dst.file != File::Temp)
        return false;
    const MOperand& o = m.src[0];
    return o.file == File::Temp && !o.neg && !o.abs &&
           m.mask == (1 << s.vregs[m.dst.index].width) - 1 &&
           s.vregs[m.dst.index].width == s.vregs[o.index].width;
}

// Calls move their arguments into the callee's registers and the result
// out of them. Where nothing else reads the value moved, and no call or
// loop boundary lies between, the value is written into the callee's
// register in the first place, and the result read where the callee left it.
void ForwardCallRegisters(MachineShader& s) {
    const int n = static_cast<int>(s.code.size());
    auto special = [&](int v) {
        return s.vregs[v].pinned || v == s.resultReg ||
               std::find(s.entryRegs.begin(), s.entryRegs.end(), v) != s.entryRegs.end();
    };
    std::vector<char> dead(s.code.size(), 0);
    for (int i = 0; i < n; ++i) {
        MInst& mov = s.code[i];
        if (!PlainMove(mov, s))
            continue;
        const int dst = mov.dst.index, src = mov.src[0].index;
        bool identity = true;
        for (int k = 0; k < s.vregs[dst].width; ++k)
            identity = identity && mov.src[0].swizzle[k] == k;
        if (s.vregs[dst].pinned && !special(src) && identity) {
            // An argument: every write and read of `src` between its first
            // write and this move goes to the callee's register.
            int first = -1;
            bool ok = true;
            for (int j = 0; j < n && ok; ++j) {
                if (j == i)
                    continue;
                const MInst& m = s.code[j];
                bool uses = m.dst.file == File::Temp && m.dst.index == src;
                for (const MOperand& o : m.src)
                    uses = uses || (o.file == File::Temp && o.index == src);
                if (uses && (j > i || dead[j]))
                    ok = false;
                if (uses && first < 0)
                    first = j;
            }
            if (!ok || first < 0)
                continue;
            for (int j = first; j < i && ok; ++j) {
                const MInst& m = s.code[j];
                ok = !Splits(m.op);
                if (ok && m.dst.file == File::Temp && m.dst.index == src &&
                    DistinctDestination(m.op))
                    for (const MOperand& o : m.src)
                        ok = ok && !(o.file == File::Temp && s.vregs[o.index].pinned &&
                                     s.vregs[o.index].reg == s.vregs[dst].reg);
            }
            if (!ok)
                continue;
            for (int j = first; j < i; ++j) {
                MInst& m = s.code[j];
                if (m.dst.file == File::Temp && m.dst.index == src)
                    m.dst.index = dst;
                for (MOperand& o : m.src)
                    if (o.file == File::Temp && o.index == src)
                        o.index = dst;
            }
            dead[i] = 1;
        } else if (s.vregs[src].pinned && !special(dst)) {
            // A result: read from the callee's register until the next call.
            bool ok = true;
            int last = i;
            for (int j = 0; j < n && ok; ++j) {
                if (j == i)
                    continue;
                const MInst& m = s.code[j];
                if (m.dst.file == File::Temp && m.dst.index == dst)
                    ok = false;
                for (const MOperand& o : m.src)
                    if (o.file == File::Temp && o.index == dst) {
                        ok = ok && j > i && !dead[j];
                        last = std::max(last, j);
                    }
            }
            for (int j = i + 1; j < last && ok; ++j)
                ok = !Splits(s.code[j].op);
            if (!ok)
                continue;
            const std::array<uint8_t, 4> through = mov.src[0].swizzle;
            for (int j = i + 1; j <= last; ++j)
                for (MOperand& o : s.code[j].src)
                    if (o.file == File::Temp && o.index == dst) {
                        o.index = src;
                        for (uint8_t& c : o.swizzle)
                            c = through[c < 4 ? c : 3];
                    }
            dead[i] = 1;
        }
    }
    std::vector<MInst> kept;
    for (int i = 0; i < n; ++i)
        if (!dead[i])
            kept.push_back(std::move(s.code[i]));
    s.code = std::move(kept);
}

} // namespace

MachineShader SelectFunction(const Builder& builder, int result, Profile profile,
                             int firstFreeConstant, bool programOrder,
                             const std::vector<SubroutineSignature>& callees,
                             const std::vector<int>* paramWidths, int kill) {
    Selector s(builder, profile, firstFreeConstant);
    s.callees_ = callees;
    if (!paramWidths) {
        std::vector<OutputValue> outputs;
        if (kill >= 0)
            outputs.push_back(OutputValue{File::None, 0, kill, 0xF});
        outputs.push_back(OutputValue{File::ColorOut, 0, result, 0xF});
        MachineShader shader = s.run(outputs, programOrder, nullptr);
        s.finishConstants(shader);
        ForwardCallRegisters(shader);
        return shader;
    }
    MachineShader shader = s.run({}, programOrder, paramWidths, result);
    s.finishConstants(shader);
    ForwardCallRegisters(shader);
    return shader;
}

MachineShader SelectOutputs(const Builder& builder, const std::vector<OutputValue>& outputs,
                            Profile profile, int firstFreeConstant, bool programOrder) {
    Selector s(builder, profile, firstFreeConstant);
    MachineShader shader = s.run(outputs, programOrder);
    s.finishConstants(shader);
    return shader;
}

} // namespace qc
