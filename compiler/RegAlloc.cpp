#include "compiler/RegAlloc.h"

#include <algorithm>

#include "compiler/Diagnostics.h"

namespace qc {

namespace {

// Instructions whose destination must not share a register with a source:
// the hardware reads and writes them in steps.
bool NeedsDistinctDestination(fx::Opcode op) {
    return op == fx::Opcode::SinCos || op == fx::Opcode::Nrm || op == fx::Opcode::Lrp ||
           op == fx::Opcode::Tex || op == fx::Opcode::Pow || op == fx::Opcode::M4x4 ||
           op == fx::Opcode::M4x3 || op == fx::Opcode::TexLdl;
}

// ps_2_0 counts dependent reads by register: a texld's order is one more
// than its coordinate register's, and than its destination's when that was
// written before; a partial write keeps the register's order. The allocator
// follows the same count so that it can keep reads at the order their values
// need, not one a reused register lends them.
class DependencyOrders {
  public:
    explicit DependencyOrders(int temps) : order_(temps, -1), written_(temps, 0) {}

    // The order the write would leave in register `reg`.
    int Result(const MInst& m, const MachineShader& shader, int reg, uint8_t mask) const {
        int o = -1;
        if (m.op == fx::Opcode::Tex) {
            const MOperand& c = m.src.at(0);
            o = c.file == File::Temp ? std::max(1, order_[shader.vregs[c.index].reg] + 1) : 0;
            if (written_[reg])
                o = std::max({o, 1, order_[reg] + 1});
            return o;
        }
        for (const MOperand& s : m.src)
            if (s.file == File::Temp && shader.vregs[s.index].reg >= 0)
                o = std::max(o, order_[shader.vregs[s.index].reg]);
        return mask == 0xF ? o : std::max(order_[reg], o);
    }

    void Write(const MInst& m, const MachineShader& shader) {
        if (m.dst.file != File::Temp || m.op == fx::Opcode::TexKill)
            return;
        const VirtualReg& r = shader.vregs[m.dst.index];
        const uint8_t mask = uint8_t((m.mask << r.offset) & 0xF);
        order_[r.reg] = Result(m, shader, r.reg, mask);
        written_[r.reg] |= mask;
    }

  private:
    std::vector<int> order_;
    std::vector<uint8_t> written_;
};

} // namespace

void AllocateRegisters(MachineShader& shader) {
    const int count = static_cast<int>(shader.vregs.size());
    std::vector<int> first(count, -1), last(count, -1);
    // Every instruction writing each register: a vector built a component at
    // a time keeps clear of the sources of all its pieces.
    std::vector<std::vector<int>> writers(count);
    for (int i = 0; i < static_cast<int>(shader.code.size()); ++i)
        if (shader.code[i].dst.file == File::Temp)
            writers[shader.code[i].dst.index].push_back(i);
    for (int i = 0; i < static_cast<int>(shader.code.size()); ++i) {
        const MInst& m = shader.code[i];
        for (const MOperand& s : m.src)
            if (s.file == File::Temp)
                last[s.index] = i;
        if (m.dst.file == File::Temp && first[m.dst.index] < 0)
            first[m.dst.index] = i;
    }
    // A register set again after its last read (a loop's carried value at the
    // end of the loop) is still taken there.
    for (int v = 0; v < count; ++v)
        for (int w : writers[v])
            last[v] = std::max(last[v], w);
    // A register read in a loop and set before it is read again on the next
    // iteration: it stays taken to the loop's end.
    std::vector<int> open;
    for (int i = 0; i < static_cast<int>(shader.code.size()); ++i) {
        const fx::Opcode op = shader.code[i].op;
        if (op == fx::Opcode::Rep || op == fx::Opcode::Loop)
            open.push_back(i);
        if ((op == fx::Opcode::EndRep || op == fx::Opcode::EndLoop) && !open.empty()) {
            const int start = open.back();
            open.pop_back();
            for (int v = 0; v < count; ++v)
                if (first[v] >= 0 && first[v] < start && last[v] >= start && last[v] < i)
                    last[v] = i;
        }
    }
    const int temps = shader.tempLimit > 0 ? shader.tempLimit : LimitsOf(shader.profile).temps;
    const bool countsDependency = shader.profile == Profile::Ps20;
    DependencyOrders orders(temps);
    std::vector<uint8_t> busy(temps, 0); // components in use, per register
    // A subroutine's parameters hold their values from the start, its result
    // to the end.
    for (int v : shader.entryRegs)
        first[v] = 0;
    if (shader.resultReg >= 0)
        last[shader.resultReg] = static_cast<int>(shader.code.size()) - 1;
    std::vector<std::vector<int>> endingAt(shader.code.size());
    for (int v = 0; v < count; ++v)
        if (first[v] >= 0 && !shader.vregs[v].pinned && !shader.code.empty())
            endingAt[std::max(last[v], first[v])].push_back(v);

    auto release = [&](int v) {
        VirtualReg& r = shader.vregs[v];
        busy[r.reg] &= uint8_t(~(((1 << r.width) - 1) << r.offset));
    };
    // A place for virtual register v where `m` first writes it (none: a
    // parameter, from the start): the lowest dependency order, then the
    // fullest register it fits in, clear of the sources of
    // distinct-destination instructions writing it.
    auto place = [&](int v, const MInst* m) {
        VirtualReg& r = shader.vregs[v];
        const uint8_t lanes = uint8_t((1 << r.width) - 1);
        int best = -1, bestOffset = 0, bestScore = -1, bestOrder = 0;
        for (int reg = 0; reg < temps; ++reg) {
            const int maxOffset = r.width == 1 ? 3 : 0;
            for (int off = 0; off <= maxOffset; ++off) {
                if (busy[reg] & (lanes << off))
                    continue;
                bool clash = false;
                for (int w : writers[v]) {
                    const MInst& wi = shader.code[w];
                    if (!NeedsDistinctDestination(wi.op))
                        continue;
                    for (const MOperand& s : wi.src)
                        clash = clash || (s.file == File::Temp && s.index != v &&
                                          shader.vregs[s.index].reg == reg);
                }
                if (clash)
                    continue;
                const int order =
                    countsDependency && m
                        ? orders.Result(*m, shader, reg, uint8_t((m->mask << off) & 0xF))
                        : 0;
                const int score = __builtin_popcount(busy[reg]);
                if (best < 0 || order < bestOrder || (order == bestOrder && score > bestScore)) {
                    best = reg;
                    bestOffset = off;
                    bestScore = score;
                    bestOrder = order;
                }
                break;
            }
        }
        if (best < 0)
            throw CompileError(0, 1,
                               std::string("the shader needs more than ") + std::to_string(temps) +
                                   " temporary registers (" + ProfileName(shader.profile) + ")");
        r.reg = best;
        r.offset = bestOffset;
        busy[best] |= uint8_t(lanes << bestOffset);
    };
    for (int v : shader.entryRegs)
        place(v, nullptr);
    for (int i = 0; i < static_cast<int>(shader.code.size()); ++i) {
        const MInst& m = shader.code[i];
        const bool distinct = NeedsDistinctDestination(m.op);
        // Sources read for the last time free their components for this
        // instruction's destination, unless the hardware forbids the overlap.
        if (!distinct)
            for (int v : endingAt[i])
                if (v != m.dst.index || m.dst.file != File::Temp)
                    release(v);
        if (m.dst.file == File::Temp && first[m.dst.index] == i &&
            !shader.vregs[m.dst.index].pinned &&
            std::find(shader.entryRegs.begin(), shader.entryRegs.end(), m.dst.index) ==
                shader.entryRegs.end())
            place(m.dst.index, &m);
        if (countsDependency)
            orders.Write(m, shader);
        for (int v : endingAt[i]) {
            if (!distinct && !(v == m.dst.index && m.dst.file == File::Temp))
                continue;
            if (v == m.dst.index && m.dst.file == File::Temp && last[v] > i)
                continue;
            release(v);
        }
    }
}

int TemporariesUsed(const MachineShader& shader) {
    int n = 0;
    for (const VirtualReg& r : shader.vregs)
        n = std::max(n, r.reg + 1);
    return n;
}

} // namespace qc
