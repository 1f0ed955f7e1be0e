// Control flow without loops: blocks run in a topological order under the
// predicate of the paths that reach them, phis select by the edges taken.

#include <algorithm>
#include <functional>

#include "compiler/Diagnostics.h"
#include "compiler/Lower.h"
#include "compiler/SpirvReaderImpl.h"

namespace qc {
namespace spirv {

void Reader::flatten(std::vector<Block>& blocks) {
    blocks_ = &blocks;
    for (size_t i = 0; i < blocks.size(); ++i)
        at_[blocks[i].label] = i;
    for (Block& blk : blocks) {
        const auto& w = blk.terminator.w;
        switch (blk.terminator.op) {
        case OpBranch:
            blk.successors = {w[0]};
            break;
        case OpBranchConditional:
            blk.successors = {w[1], w[2]};
            break;
        case OpSwitch:
            blk.successors.push_back(w[1]);
            for (size_t i = 3; i < w.size(); i += 2)
                blk.successors.push_back(w[i]);
            break;
        default:
            break;
        }
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        for (const Instruction& ins : blocks[i].body)
            if (ins.op == OpLoopMerge)
                findLoop(i, ins.w[0]);
    // Topological order without the back edges.
    std::vector<int> state(blocks.size(), 0);
    std::function<void(size_t)> visit = [&](size_t i) {
        state[i] = 1;
        for (uint32_t s : blocks[i].successors) {
            const size_t k = at_.at(s);
            if (loops_.count(k) && loops_[k].body.count(i))
                continue; // back edge
            if (state[k] == 1)
                throw CompileError(line_, column_, "irreducible control flow");
            if (state[k] == 0)
                visit(k);
        }
        state[i] = 2;
        order_.push_back(i);
    };
    visit(0);
    std::reverse(order_.begin(), order_.end());
    pred_[blocks[0].label] = b_.constant(1);
    std::set<size_t> all;
    for (size_t i = 0; i < blocks.size(); ++i)
        all.insert(i);
    walk(all, SIZE_MAX);
    for (auto& [id, v] : variables_)
        if (v.storage == Output)
            color_ = v.value.value;
}

void Reader::findLoop(size_t header, uint32_t merge) {
    Loop loop;
    loop.header = header;
    loop.merge = merge;
    std::vector<size_t> work{header};
    while (!work.empty()) {
        const size_t i = work.back();
        work.pop_back();
        if (!loop.body.insert(i).second)
            continue;
        for (uint32_t s : (*blocks_)[i].successors)
            if (s != merge && at_.at(s) != header)
                work.push_back(at_.at(s));
    }
    std::set<uint32_t> defined;
    for (size_t i : loop.body)
        for (const Instruction& ins : (*blocks_)[i].body)
            if (resultTypes_.count(ins.w.size() > 1 ? ins.w[1] : 0) && ins.w.size() > 1)
                defined.insert(ins.w[1]);
    for (size_t i = 0; i < blocks_->size(); ++i) {
        if (loop.body.count(i))
            continue;
        const Block& blk = (*blocks_)[i];
        auto scan = [&](const Instruction& ins) {
            for (uint32_t w : ins.w)
                if (defined.count(w))
                    loop.escaping.insert(w);
        };
        for (const Instruction& ins : blk.body)
            scan(ins);
        scan(blk.terminator);
    }
    loops_[header] = std::move(loop);
}

void Reader::walk(const std::set<size_t>& region, size_t self) {
    std::set<size_t> consumed;
    for (size_t i : order_) {
        if (!region.count(i) || consumed.count(i))
            continue;
        if (i != self && loops_.count(i)) {
            const Loop& loop = loops_.at(i);
            consumed.insert(loop.body.begin(), loop.body.end());
            runLoop(loop);
            continue;
        }
        runBlock(i);
    }
}

void Reader::edgeTo(uint32_t from, uint32_t to, int e) {
    if (b_.isConstEqual(e, 0))
        return;
    const uint64_t k = Key(from, to);
    if (!loopStack_.empty() && !loopStack_.back().loop->body.count(at_.at(to))) {
        LoopState& loop = loopStack_.back();
        loop.exits = Or(b_, loop.exits, e);
        if (loop.kept) {
            auto old = loop.exitEdges.find(k);
            loop.exitEdges[k] = old == loop.exitEdges.end() ? e : Or(b_, old->second, e);
            return; // the predicate of all iterations is known after the loop
        }
        auto old = edge_.find(k);
        edge_[k] = old == edge_.end() || loop.iteration == 0 ? e : Or(b_, old->second, e);
    } else {
        edge_[k] = e;
    }
    auto q = pred_.find(to);
    if (q == pred_.end())
        pred_[to] = e;
    else
        q->second = Or(b_, q->second, e);
}

void Reader::runBlock(size_t index) {
    Block& blk = (*blocks_)[index];
    auto p = pred_.find(blk.label);
    if (p == pred_.end() || b_.isConstEqual(p->second, 0))
        return;
    const int here = p->second;
    // Phis read the values of the edge they came by, all at once.
    std::vector<std::pair<uint32_t, Node>> phis;
    for (const Instruction& ins : blk.body)
        if (ins.op == OpPhi)
            phis.push_back({ins.w[1], phi(ins, blk.label, index, here)});
    for (auto& [id, n] : phis)
        values_[id] = n;
    for (const Instruction& ins : blk.body)
        if (ins.op != OpPhi)
            execute(ins, here);
    const auto& w = blk.terminator.w;
    auto addEdge = [&](uint32_t to, int cond) {
        const int e = And(b_, here, cond);
        if (b_.isConstEqual(e, 0))
            return;
        if (!loopStack_.empty() && at_.at(to) == loopStack_.back().loop->header) {
            LoopState& loop = loopStack_.back();
            loop.again = Or(b_, loop.again, e);
            return;
        }
        edgeTo(blk.label, to, e);
    };
    switch (blk.terminator.op) {
    case OpBranch:
        addEdge(w[0], b_.constant(1));
        break;
    case OpBranchConditional: {
        const int c = scalar(w[0]);
        if (w[1] == w[2]) {
            addEdge(w[1], b_.constant(1));
        } else {
            addEdge(w[1], c);
            addEdge(w[2], Not(b_, c));
        }
        break;
    }
    case OpSwitch: {
        const int sel = scalar(w[0]);
        int none = b_.constant(1);
        std::map<uint32_t, int> conds;
        for (size_t k = 2; k + 1 < w.size(); k += 2) {
            const int hit =
                Equal(b_, sel, b_.constant(static_cast<float>(static_cast<int32_t>(w[k]))));
            auto c = conds.find(w[k + 1]);
            conds[w[k + 1]] = c == conds.end() ? hit : Or(b_, c->second, hit);
            none = And(b_, none, Not(b_, hit));
        }
        auto d = conds.find(w[1]);
        conds[w[1]] = d == conds.end() ? none : Or(b_, d->second, none);
        for (auto& [to, c] : conds)
            addEdge(to, c);
        break;
    }
    case OpReturnValue: {
        const Node v = value(w[0]);
        returned_ = hasReturned_ ? selectNode(here, v, returned_) : v;
        hasReturned_ = true;
        break;
    }
    case OpKill:
        // Discarding ends the pixel wherever it happens: one texkill at the
        // end tests every path that reached a discard.
        for (const LoopState& loop : loopStack_)
            if (loop.kept)
                unsupported("discard inside a loop that stays a loop");
        kill_ = kill_ < 0 ? here : Or(b_, kill_, here);
        break;
    default:
        break;
    }
}

Node Reader::phi(const Instruction& ins, uint32_t label, size_t index, int here) {
    const auto& w = ins.w;
    auto loop = loops_.find(index);
    if (loop != loops_.end()) {
        if (!loopStack_.empty() && loopStack_.back().loop == &loop->second &&
            loopStack_.back().kept)
            return keptPhis_.back()->at(w[1]);
        // A loop header: the entry's value first, then the back edge's.
        const bool first = !loopStack_.empty() && loopStack_.back().loop == &loop->second &&
                           loopStack_.back().iteration == 0;
        for (size_t i = 2; i + 1 < w.size(); i += 2) {
            const bool fromBody = loop->second.body.count(at_.at(w[i + 1])) != 0;
            if (fromBody != first)
                return value(w[i]);
        }
        return zero(w[0]);
    }
    Node r;
    bool any = false;
    for (size_t i = 2; i + 1 < w.size(); i += 2) {
        auto e = edge_.find(Key(w[i + 1], label));
        if (e == edge_.end() || b_.isConstEqual(e->second, 0))
            continue;
        if (!any) {
            r = value(w[i]);
            any = true;
        } else {
            // Inside this block its own predicate holds: p c selects as c.
            int cond = e->second;
            const Value& cv = b_.at(cond);
            if (cv.op == Op::Mul && (cv.args[0] == here || cv.args[1] == here))
                cond = cv.args[cv.args[0] == here ? 1 : 0];
            r = selectNode(cond, value(w[i]), r);
        }
    }
    return any ? r : zero(w[0]);
}

} // namespace spirv
} // namespace qc
