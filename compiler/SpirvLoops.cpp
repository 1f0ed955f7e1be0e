// Loops: unrolled until the predicate of the iterations still going folds
// to false, or (ps_3_0) kept as a loop of the builder that runs that many
// times.

#include <algorithm>

#include "compiler/Diagnostics.h"
#include "compiler/Lower.h"
#include "compiler/SpirvReaderImpl.h"

namespace qc {
namespace spirv {

int Reader::unroll(const Loop& loop) {
    const uint32_t headerLabel = (*blocks_)[loop.header].label;
    auto entry = pred_.find(headerLabel);
    if (entry == pred_.end() || b_.isConstEqual(entry->second, 0))
        return 0;
    int running = entry->second;
    std::map<uint32_t, Node> exitValues;
    placeAt(loop);
    const int loopLine = line_, loopColumn = column_;
    int iteration = 0;
    for (;; ++iteration) {
        line_ = loopLine;
        column_ = loopColumn;
        if (iteration == kMaxIterations)
            throw CompileError(line_, column_,
                               "a loop could not be unrolled: it does not end within " +
                                   std::to_string(kMaxIterations) +
                                   " iterations (its count must be a constant)");
        for (size_t i : loop.body)
            pred_.erase((*blocks_)[i].label);
        pred_[headerLabel] = running;
        loopStack_.push_back(LoopState{&loop, b_.constant(0), b_.constant(0), iteration, {}});
        walk(loop.body, loop.header);
        const LoopState state = loopStack_.back();
        loopStack_.pop_back();
        if (!b_.isConstEqual(state.exits, 0))
            for (uint32_t id : loop.escaping) {
                auto v = values_.find(id);
                if (v == values_.end())
                    continue;
                auto e = exitValues.find(id);
                if (e == exitValues.end())
                    exitValues[id] = v->second;
                else
                    e->second = selectNode(state.exits, v->second, e->second);
            }
        running = state.again;
        if (b_.isConstEqual(running, 0))
            break;
    }
    for (auto& [id, v] : exitValues)
        values_[id] = v;
    int& most = trips_[loop.header];
    most = std::max(most, iteration + 1);
    return iteration + 1;
}

void Reader::placeAt(const Loop& loop) {
    for (const Instruction& ins : (*blocks_)[loop.header].body)
        if (ins.op == OpLine && ins.w.size() > 1 && static_cast<int>(ins.w[1]) <= io_.sourceLines) {
            line_ = static_cast<int>(ins.w[1]);
            column_ = ins.w.size() > 2 && ins.w[2] > 0 ? static_cast<int>(ins.w[2]) : 1;
            break;
        }
}

void Reader::runLoop(const Loop& loop) {
    if (!io_.realLoops || discovering_) {
        unroll(loop);
        return;
    }
    auto known = trips_.find(loop.header);
    const int count = keptDepth_ > 0 && known != trips_.end() ? known->second : discover(loop);
    const int levels = count > 255 ? 2 : 1;
    if (count < 2 || repDepth_ + levels > kMaxRepDepth) {
        unroll(loop);
        return;
    }
    keep(loop, count, levels);
}

int Reader::discover(const Loop& loop) {
    const Saved saved{values_,    variables_, pointers_, pred_, edge_,
                      loopStack_, line_,      column_,   kill_};
    discovering_ = true;
    int count;
    try {
        count = unroll(loop);
    } catch (...) {
        discovering_ = false;
        throw;
    }
    discovering_ = false;
    values_ = saved.values;
    variables_ = saved.variables;
    pointers_ = saved.pointers;
    pred_ = saved.pred;
    edge_ = saved.edge;
    loopStack_ = saved.loopStack;
    line_ = saved.line;
    column_ = saved.column;
    kill_ = saved.kill;
    return count;
}

std::set<uint32_t> Reader::storedVariables(const Loop& loop) {
    std::unordered_map<uint32_t, uint32_t> base;
    for (size_t i : loop.body)
        for (const Instruction& ins : (*blocks_)[i].body)
            if ((ins.op == OpAccessChain || ins.op == OpInBoundsAccessChain) && ins.w.size() > 2)
                base[ins.w[1]] = ins.w[2];
    std::set<uint32_t> stored;
    for (size_t i : loop.body)
        for (const Instruction& ins : (*blocks_)[i].body) {
            if (ins.op != OpStore)
                continue;
            uint32_t p = ins.w[0];
            for (int hops = 0; hops < 64 && base.count(p); ++hops)
                p = base[p];
            auto known = pointers_.find(p);
            if (known != pointers_.end())
                p = known->second.var;
            if (variables_.count(p))
                stored.insert(p);
        }
    return stored;
}

Node Reader::carryNode(const Node& n) {
    if (n.value >= 0)
        return {b_.carry(n.value)};
    Node r = n;
    for (Node& p : r.parts)
        p = carryNode(p);
    return r;
}

void Reader::Leaves(const Node& n, std::vector<int>& out) {
    if (n.value >= 0)
        out.push_back(n.value);
    for (const Node& p : n.parts)
        Leaves(p, out);
}

Node Reader::afterNode(const Node& n) {
    if (n.value >= 0)
        return {b_.after(n.value)};
    Node r = n;
    for (Node& p : r.parts)
        p = afterNode(p);
    return r;
}

void Reader::keep(const Loop& loop, int count, int levels) {
    const uint32_t headerLabel = (*blocks_)[loop.header].label;
    auto entry = pred_.find(headerLabel);
    if (entry == pred_.end() || b_.isConstEqual(entry->second, 0))
        return;
    placeAt(loop);
    // Edges leaving the loop, each with its predicate over all iterations.
    std::vector<std::pair<uint32_t, uint32_t>> exitEdges;
    for (size_t i : loop.body)
        for (uint32_t to : (*blocks_)[i].successors)
            if (!loop.body.count(at_.at(to)))
                exitEdges.push_back({(*blocks_)[i].label, to});
    const std::set<uint32_t> stored = storedVariables(loop);
    std::vector<uint32_t> escaping;
    std::set<uint32_t> headerIds;
    for (const Instruction& ins : (*blocks_)[loop.header].body)
        if (ins.op == OpPhi)
            headerIds.insert(ins.w[1]);
    // A phi of the header read after the loop keeps its value once the
    // pixel stops going round: its register is the value after the loop.
    for (uint32_t id : loop.escaping)
        if (!headerIds.count(id) && resultTypes_.count(id) && types_.count(resultTypes_[id]) &&
            types_.at(resultTypes_[id]).kind != TypeKind::Pointer &&
            types_.at(resultTypes_[id]).kind != TypeKind::Image) // the same in every iteration
            escaping.push_back(id);

    b_.beginLoop(count);
    const int running = b_.carry(entry->second);
    for (uint32_t var : stored)
        variables_.at(var).value = carryNode(variables_.at(var).value);
    // Carried in this order: running, the variables, the phis, the
    // values read after the loop, the exit edges.
    std::map<uint32_t, Node> phis, slots;
    std::vector<uint32_t> phiOrder;
    std::map<uint32_t, uint32_t> backValue;
    for (const Instruction& ins : (*blocks_)[loop.header].body) {
        if (ins.op != OpPhi)
            continue;
        Node initial = zero(ins.w[0]);
        for (size_t i = 2; i + 1 < ins.w.size(); i += 2) {
            if (loop.body.count(at_.at(ins.w[i + 1])))
                backValue.emplace(ins.w[1], ins.w[i]);
            else
                initial = value(ins.w[i]);
        }
        phis[ins.w[1]] = carryNode(initial);
        phiOrder.push_back(ins.w[1]);
    }
    for (uint32_t id : escaping)
        slots[id] = carryNode(zero(resultTypes_[id]));
    std::vector<int> edgeSoFar;
    for (size_t k = 0; k < exitEdges.size(); ++k)
        edgeSoFar.push_back(b_.carry(b_.constant(0)));

    for (size_t i : loop.body)
        pred_.erase((*blocks_)[i].label);
    pred_[headerLabel] = running;
    keptPhis_.push_back(&phis);
    loopStack_.push_back(LoopState{&loop, b_.constant(0), b_.constant(0), 1, {}});
    loopStack_.back().kept = true;
    ++keptDepth_;
    repDepth_ += levels;
    walk(loop.body, loop.header);
    repDepth_ -= levels;
    --keptDepth_;
    const LoopState state = loopStack_.back();
    loopStack_.pop_back();
    keptPhis_.pop_back();

    // Each carried value's next, in the order carried.
    std::vector<int> next{state.again};
    for (uint32_t var : stored)
        Leaves(variables_.at(var).value, next);
    for (uint32_t id : phiOrder) {
        auto back = backValue.find(id);
        Node n = back == backValue.end() ? phis[id] : value(back->second);
        if (loop.escaping.count(id))
            n = selectNode(state.again, n, phis[id]);
        Leaves(n, next);
    }
    for (auto& [id, slot] : slots) {
        auto v = values_.find(id);
        Leaves(v == values_.end() ? slot : selectNode(state.exits, v->second, slot), next);
    }
    for (size_t k = 0; k < exitEdges.size(); ++k) {
        auto e = state.exitEdges.find(Key(exitEdges[k].first, exitEdges[k].second));
        next.push_back(e == state.exitEdges.end() ? edgeSoFar[k] : Or(b_, edgeSoFar[k], e->second));
    }
    b_.endLoop(next);

    for (uint32_t var : stored)
        variables_.at(var).value = afterNode(variables_.at(var).value);
    for (auto& [id, slot] : slots)
        values_[id] = afterNode(slot);
    for (uint32_t id : phiOrder)
        if (loop.escaping.count(id))
            values_[id] = afterNode(phis[id]);
    for (size_t k = 0; k < exitEdges.size(); ++k)
        edgeTo(exitEdges[k].first, exitEdges[k].second, b_.after(edgeSoFar[k]));
}

} // namespace spirv
} // namespace qc
