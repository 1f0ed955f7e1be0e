#include "compiler/SpirvReader.h"

#include <algorithm>
#include <cstring>

#include "compiler/Diagnostics.h"
#include "compiler/Lower.h"
#include "compiler/SpirvReaderImpl.h"
#include "compiler/SpirvWords.h"

namespace qc {
namespace spirv {

ReadResult Reader::run(const std::vector<uint32_t>& words) {
    if (words.size() < 5 || words[0] != 0x07230203)
        throw CompileError(line_, column_, "not a SPIR-V module");
    std::vector<Instruction> all;
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16;
        if (count == 0 || i + count > words.size())
            throw CompileError(line_, column_, "malformed SPIR-V");
        Instruction ins{words[i] & 0xFFFF, {words.begin() + i + 1, words.begin() + i + count}};
        all.push_back(std::move(ins));
        i += count;
    }
    int functions = 0;
    uint32_t entry = 0, current = 0;
    std::map<uint32_t, std::vector<Block>> bodies;
    std::map<uint32_t, std::vector<std::pair<uint32_t, uint32_t>>> params; // (id, type)
    for (size_t i = 0; i < all.size(); ++i) {
        const Instruction& ins = all[i];
        switch (ins.op) {
        case OpName:
            names_[ins.w[0]] = LiteralString(ins.w, 1);
            break;
        case OpExtInstImport:
            break;
        case OpEntryPoint:
            entry = ins.w[1];
            break;
        case OpFunction:
            ++functions;
            current = ins.w[1];
            break;
        case OpFunctionParameter:
            params[current].push_back({ins.w[1], ins.w[0]});
            break;
        case OpLabel: {
            Block blk;
            blk.label = ins.w[0];
            for (++i; i < all.size(); ++i) {
                const uint32_t op = all[i].op;
                if (op == OpBranch || op == OpBranchConditional || op == OpSwitch ||
                    op == OpReturn || op == OpReturnValue || op == OpKill || op == OpUnreachable) {
                    blk.terminator = all[i];
                    break;
                }
                blk.body.push_back(all[i]);
            }
            bodies[current].push_back(std::move(blk));
            break;
        }
        default:
            declare(ins);
            break;
        }
    }
    if (functions != 1 && !io_.function && io_.subroutines.empty())
        throw CompileError(line_, column_,
                           "a function could not be inlined (recursion is not supported)");
    const uint32_t target = io_.function ? io_.function : entry ? entry : current;
    auto body = bodies.find(target);
    if (body == bodies.end())
        throw CompileError(line_, column_, "malformed SPIR-V: no body of the function read");
    ReadResult result;
    if (io_.function) {
        readParameters(params[target]);
        flatten(body->second);
        if (kill_ >= 0)
            unsupported("a subroutine that discards");
        if (!hasReturned_ || returned_.value < 0)
            unsupported("a subroutine that returns no float or vector");
        result.color = returned_.value;
        result.paramWidths = paramWidths_;
        result.paramWidths.insert(result.paramWidths.end(), privateWidths_.begin(),
                                  privateWidths_.end());
        result.privates = privates_;
        return result;
    }
    flatten(body->second);
    if (color_ < 0)
        throw CompileError(line_, column_, "the transition never returns a colour");
    result.color = color_;
    if (kill_ >= 0 && !b_.isConstEqual(kill_, 0))
        result.kill = b_.neg(kill_);
    for (auto& [id, v] : variables_)
        if (v.storage == Output && v.value.value >= 0)
            result.outputs[names_[id]] = v.value.value;
    return result;
}

void Reader::unsupported(const std::string& what) {
    throw CompileError(line_, column_, what + " is not supported in a Direct3D 9 pixel shader");
}

void Reader::declare(const Instruction& ins) {
    const auto& w = ins.w;
    switch (ins.op) {
    case OpTypeVoid:
        types_[w[0]].kind = TypeKind::Void;
        break;
    case OpTypeBool:
        types_[w[0]].kind = TypeKind::Bool;
        break;
    case OpTypeInt:
        types_[w[0]].kind = TypeKind::Int;
        break;
    case OpTypeFloat:
        types_[w[0]].kind = TypeKind::Float;
        break;
    case OpTypeVector:
    case OpTypeMatrix: {
        Type& t = types_[w[0]];
        t.kind = ins.op == OpTypeVector ? TypeKind::Vector : TypeKind::Matrix;
        t.element = w[1];
        t.count = static_cast<int>(w[2]);
        break;
    }
    case OpTypeArray: {
        Type& t = types_[w[0]];
        t.kind = TypeKind::Array;
        t.element = w[1];
        t.count = b_.isConst(consts_.at(w[2]).value)
                      ? static_cast<int>(b_.constAt(consts_.at(w[2]).value, 0))
                      : 0;
        break;
    }
    case OpTypeStruct: {
        Type& t = types_[w[0]];
        t.kind = TypeKind::Struct;
        t.members.assign(w.begin() + 1, w.end());
        break;
    }
    case OpTypePointer: {
        Type& t = types_[w[0]];
        t.kind = TypeKind::Pointer;
        t.storage = w[1];
        t.element = w[2];
        break;
    }
    case OpTypeImage:
    case OpTypeSampledImage:
        types_[w[0]].kind = TypeKind::Image;
        break;
    case OpConstantTrue:
    case OpConstantFalse:
        consts_[w[1]] = {b_.constant(ins.op == OpConstantTrue ? 1.0f : 0.0f)};
        break;
    case OpConstant: {
        const Type& t = types_.at(w[0]);
        float f;
        if (t.kind == TypeKind::Float)
            std::memcpy(&f, &w[2], 4);
        else
            f = static_cast<float>(static_cast<int32_t>(w[2]));
        consts_[w[1]] = {b_.constant(f)};
        break;
    }
    case OpConstantComposite: {
        std::vector<Node> parts;
        for (size_t i = 2; i < w.size(); ++i)
            parts.push_back(consts_.at(w[i]));
        consts_[w[1]] = compose(w[0], parts);
        break;
    }
    case OpConstantNull:
    case OpUndef:
        consts_[w[1]] = zero(w[0]);
        break;
    case OpVariable: {
        const Type& p = types_.at(w[0]);
        variables_[w[1]] = Variable{p.storage, p.element, {}};
        Variable& v = variables_[w[1]];
        if (p.storage == Private || p.storage == Function || p.storage == Output)
            v.value = w.size() > 3 ? consts_.at(w[3]) : zero(p.element);
        break;
    }
    default:
        break;
    }
}

Node Reader::zero(uint32_t typeId) {
    const Type& t = types_.at(typeId);
    switch (t.kind) {
    case TypeKind::Bool:
    case TypeKind::Int:
    case TypeKind::Float:
        return {b_.constant(0)};
    case TypeKind::Vector:
        return {b_.constant({0, 0, 0, 0}, t.count)};
    case TypeKind::Matrix:
    case TypeKind::Array: {
        Node n;
        for (int i = 0; i < t.count; ++i)
            n.parts.push_back(zero(t.element));
        return n;
    }
    case TypeKind::Struct: {
        Node n;
        for (uint32_t m : t.members)
            n.parts.push_back(zero(m));
        return n;
    }
    default:
        return {};
    }
}

Node Reader::compose(uint32_t typeId, const std::vector<Node>& parts) {
    const Type& t = types_.at(typeId);
    if (t.kind == TypeKind::Vector) {
        std::vector<int> vs;
        for (const Node& p : parts)
            vs.push_back(p.value);
        return {b_.concat(vs)};
    }
    Node n;
    n.parts = parts;
    return n;
}

Node Reader::loadInput(uint32_t var) {
    const std::string& name = names_[var];
    const auto slot = io_.inputs.find(name);
    if (slot == io_.inputs.end())
        throw CompileError(line_, column_, "input '" + name + "' has no register");
    const Type& t = types_.at(variables_.at(var).type);
    if (t.kind != TypeKind::Vector && t.kind != TypeKind::Float)
        unsupported("an input that is not a float or vector");
    return {b_.input(slot->second, t.kind == TypeKind::Vector ? t.count : 1)};
}

Node Reader::loadUniform(uint32_t var) {
    const std::string& name = names_[var];
    const Variable& v = variables_.at(var);
    const Type& t = types_.at(v.type);
    if (t.kind == TypeKind::Image) {
        auto s = io_.samplers.find(name);
        if (s == io_.samplers.end())
            throw CompileError(line_, column_, "sampler '" + name + "' has no texture");
        Node n;
        n.sampler = s->second;
        return n;
    }
    auto r = io_.uniformRegisters.find(name);
    if (r == io_.uniformRegisters.end())
        throw CompileError(line_, column_, "uniform '" + name + "' has no register");
    if (t.kind == TypeKind::Matrix) {
        Node n;
        const int rows = types_.at(t.element).count;
        for (int c = 0; c < t.count; ++c)
            n.parts.push_back({b_.uniform(r->second + c, rows)});
        return n;
    }
    auto one = [&](const Type& e, int reg) {
        return b_.uniform(reg, e.kind == TypeKind::Vector ? e.count : 1);
    };
    if (t.kind == TypeKind::Array) {
        // One register an element.
        const Type& e = types_.at(t.element);
        if (e.kind != TypeKind::Float && e.kind != TypeKind::Int && e.kind != TypeKind::Bool &&
            e.kind != TypeKind::Vector)
            unsupported("a uniform array of matrices or structures");
        Node n;
        for (int i = 0; i < t.count; ++i)
            n.parts.push_back({one(e, r->second + i)});
        return n;
    }
    if (t.kind == TypeKind::Struct)
        unsupported("a uniform structure");
    return {one(t, r->second)};
}

Node Reader::value(uint32_t id) {
    auto c = consts_.find(id);
    if (c != consts_.end())
        return c->second;
    auto v = values_.find(id);
    if (v != values_.end())
        return v->second;
    throw CompileError(line_, column_,
                       "SPIR-V value %" + std::to_string(id) + " is used before it is defined");
}

Node Reader::index(const Node& n, uint32_t indexId, bool isVector) {
    const int idx = scalar(indexId);
    if (b_.isConst(idx)) {
        const int k = static_cast<int>(b_.constAt(idx, 0));
        if (isVector)
            return {b_.component(n.value, k)};
        if (k < 0 || k >= static_cast<int>(n.parts.size()))
            throw CompileError(line_, column_, "index out of range");
        return n.parts[k];
    }
    const int count = isVector ? b_.width(n.value) : static_cast<int>(n.parts.size());
    Node r = isVector ? Node{b_.component(n.value, 0)} : n.parts[0];
    for (int k = 1; k < count; ++k) {
        const int hit = Equal(b_, idx, b_.constant(static_cast<float>(k)));
        r = selectNode(hit, isVector ? Node{b_.component(n.value, k)} : n.parts[k], r);
    }
    return r;
}

Node Reader::selectNode(int cond, const Node& a, const Node& b) {
    if (a.value >= 0)
        return {Select(b_, b_.splat(cond, b_.width(a.value)), a.value, b.value)};
    if (a.sampler >= 0) {
        if (a.sampler != b.sampler)
            unsupported("choosing a sampler at run time");
        return a;
    }
    Node n;
    for (size_t i = 0; i < a.parts.size(); ++i)
        n.parts.push_back(selectNode(cond, a.parts[i], b.parts[i]));
    return n;
}

void Reader::storeAt(Node& n, uint32_t typeId, const std::vector<uint32_t>& path, size_t at,
                     const Node& v, int pred) {
    if (at == path.size()) {
        n = selectNode(pred, v, n);
        return;
    }
    const Type& t = types_.at(typeId);
    const int idx = scalar(path[at]);
    if (t.kind == TypeKind::Vector) {
        const int count = t.count;
        std::vector<int> parts;
        for (int k = 0; k < count; ++k) {
            int p = pred;
            if (!b_.isConst(idx))
                p = And(b_, pred, Equal(b_, idx, b_.constant(static_cast<float>(k))));
            else if (static_cast<int>(b_.constAt(idx, 0)) != k)
                p = b_.constant(0);
            parts.push_back(Select(b_, p, v.value, b_.component(n.value, k)));
        }
        n.value = b_.concat(parts);
        return;
    }
    const uint32_t child = t.kind == TypeKind::Struct
                               ? t.members.at(static_cast<size_t>(b_.constAt(idx, 0)))
                               : t.element;
    if (b_.isConst(idx)) {
        const size_t k = static_cast<size_t>(b_.constAt(idx, 0));
        if (k >= n.parts.size())
            throw CompileError(line_, column_, "index out of range");
        storeAt(n.parts[k], child, path, at + 1, v, pred);
        return;
    }
    for (size_t k = 0; k < n.parts.size(); ++k)
        storeAt(n.parts[k], child, path, at + 1, v,
                And(b_, pred, Equal(b_, idx, b_.constant(static_cast<float>(k)))));
}

Node Reader::load(const Pointer& p) {
    Variable& v = variables_.at(p.var);
    if (passed_.count(p.var))
        unsupported("a function with an out parameter as a subroutine");
    if (io_.function && v.storage == Private &&
        std::find(privates_.begin(), privates_.end(), p.var) == privates_.end()) {
        // The caller's value, handed over after the parameters.
        const int width = plainWidth(v.type);
        v.value = {b_.param(static_cast<int>(paramWidths_.size() + privates_.size()), width)};
        privates_.push_back(p.var);
        privateWidths_.push_back(width);
    }
    Node n;
    if (v.storage == UniformConstant)
        n = loadUniform(p.var);
    else if (v.storage == Input && !io_.inputs.empty())
        n = loadInput(p.var);
    else if (v.storage == Input)
        n = {b_.input()};
    else
        n = v.value;
    uint32_t type = v.type;
    for (uint32_t idx : p.path) {
        const Type& t = types_.at(type);
        n = index(n, idx, t.kind == TypeKind::Vector);
        type = t.kind == TypeKind::Struct
                   ? t.members.at(static_cast<size_t>(b_.constAt(scalar(idx), 0)))
                   : t.element;
    }
    return n;
}

void Reader::execute(const Instruction& ins, int here) {
    const auto& w = ins.w;
    auto set = [&](Node n) { values_[w[1]] = std::move(n); };
    auto f = [&](size_t i) { return scalar(w[i]); };
    switch (ins.op) {
    case OpLine:
        line_ =
            w.size() > 1 && static_cast<int>(w[1]) <= io_.sourceLines ? static_cast<int>(w[1]) : 0;
        column_ = w.size() > 2 && w[2] > 0 ? static_cast<int>(w[2]) : 1;
        return;
    case OpNoLine:
    case OpSelectionMerge:
    case OpLoopMerge:
        return;
    case OpVariable: {
        const Type& p = types_.at(w[0]);
        variables_[w[1]] =
            Variable{p.storage, p.element, w.size() > 3 ? value(w[3]) : zero(p.element)};
        return;
    }
    case OpAccessChain:
    case OpInBoundsAccessChain: {
        Pointer p = pointerOf(w[2]);
        p.path.insert(p.path.end(), w.begin() + 3, w.end());
        pointers_[w[1]] = p;
        return;
    }
    case OpLoad:
        set(load(pointerOf(w[2])));
        return;
    case OpStore: {
        const Pointer p = pointerOf(w[0]);
        Variable& v = variables_.at(p.var);
        if (v.storage == UniformConstant || v.storage == Input)
            throw CompileError(line_, column_, "a uniform or input is written");
        if (io_.function && v.storage == Private)
            unsupported("a subroutine that writes a global variable");
        passed_.erase(p.var);
        if (p.path.empty())
            lastStored_[p.var] = value(w[1]);
        else
            lastStored_.erase(p.var);
        storeAt(v.value, v.type, p.path, 0, value(w[1]), here);
        return;
    }
    case OpCopyObject:
        set(value(w[2]));
        return;
    case OpSampledImage:
        set(value(w[2]));
        return;
    case OpCompositeConstruct: {
        std::vector<Node> parts;
        for (size_t i = 2; i < w.size(); ++i)
            parts.push_back(value(w[i]));
        set(compose(w[0], parts));
        return;
    }
    case OpCompositeExtract: {
        Node n = value(w[2]);
        uint32_t type = typeOf(w[2]);
        for (size_t i = 3; i < w.size(); ++i) {
            const Type& t = types_.at(type);
            if (t.kind == TypeKind::Vector)
                n = {b_.component(n.value, static_cast<int>(w[i]))};
            else
                n = Node(n.parts.at(w[i]));
            type = t.kind == TypeKind::Struct ? t.members.at(w[i]) : t.element;
        }
        set(n);
        return;
    }
    case OpCompositeInsert: {
        Node n = value(w[3]);
        insert(n, typeOf(w[3]), w, 4, value(w[2]));
        set(n);
        return;
    }
    case OpVectorShuffle: {
        const int a = f(2), c = f(3);
        const int na = b_.width(a);
        std::vector<int> parts;
        for (size_t i = 4; i < w.size(); ++i) {
            const int k = static_cast<int>(w[i]);
            parts.push_back(k < na ? b_.component(a, k) : b_.component(c, k - na));
        }
        set({b_.concat(parts)});
        return;
    }
    case OpVectorExtractDynamic:
        set(index(value(w[2]), w[3], true));
        return;
    case OpVectorInsertDynamic: {
        Node n = value(w[2]);
        const int idx = f(4);
        std::vector<int> parts;
        for (int k = 0; k < b_.width(n.value); ++k)
            parts.push_back(Select(b_, Equal(b_, idx, b_.constant(static_cast<float>(k))), f(3),
                                   b_.component(n.value, k)));
        set({b_.concat(parts)});
        return;
    }
    case OpConvertSToF:
    case OpConvertUToF:
    case OpBitcast:
        set(value(w[2]));
        return;
    case OpConvertFToS:
    case OpConvertFToU:
        set({Trunc(b_, f(2))});
        return;
    case OpSNegate:
    case OpFNegate:
        set(map1(value(w[2]), [&](int x) { return b_.neg(x); }));
        return;
    case OpIAdd:
    case OpFAdd:
        set(map2(value(w[2]), value(w[3]), [&](int x, int y) { return b_.add(x, y); }));
        return;
    case OpISub:
    case OpFSub:
        set(map2(value(w[2]), value(w[3]), [&](int x, int y) { return b_.sub(x, y); }));
        return;
    case OpIMul:
    case OpFMul:
    case OpVectorTimesScalar:
        set({b_.mul(f(2), f(3))});
        return;
    case OpMatrixTimesScalar:
        set(map1(value(w[2]), [&](int x) { return b_.mul(x, f(3)); }));
        return;
    case OpFDiv:
        set(map2(value(w[2]), value(w[3]), [&](int x, int y) { return Div(b_, x, y); }));
        return;
    case OpSDiv:
    case OpUDiv:
        set({Trunc(b_, Div(b_, f(2), f(3)))});
        return;
    case OpFMod:
    case OpUMod:
    case OpSMod:
        set({Mod(b_, f(2), f(3))});
        return;
    case OpSRem:
    case OpFRem: {
        const int x = f(2), y = f(3);
        set({b_.sub(x, b_.mul(y, Trunc(b_, Div(b_, x, y))))});
        return;
    }
    case OpDot:
        set({b_.dot(f(2), f(3))});
        return;
    case OpMatrixTimesVector: {
        const Node m = value(w[2]);
        const int v = f(3);
        const auto source = transposed_.find(w[2]);
        if (io_.dotTransposed && source != transposed_.end()) {
            // Each row of the result is the dot product with a column of the
            // matrix transposed.
            const Node t = value(source->second);
            std::vector<int> parts;
            for (const Node& col : t.parts)
                parts.push_back(b_.dot(v, col.value));
            set({b_.concat(parts)});
            return;
        }
        int r = b_.mul(m.parts[0].value, b_.component(v, 0));
        for (size_t c = 1; c < m.parts.size(); ++c)
            r = b_.mad(m.parts[c].value,
                       b_.splat(b_.component(v, static_cast<int>(c)), b_.width(r)), r);
        set({r});
        return;
    }
    case OpVectorTimesMatrix: {
        const int v = f(2);
        const Node m = value(w[3]);
        const auto source = transposed_.find(w[3]);
        if (io_.dotTransposed && source != transposed_.end()) {
            // v x transpose(M) is M v: the columns of M weighted by v.
            const Node t = value(source->second);
            int r = b_.mul(t.parts[0].value, b_.component(v, 0));
            for (size_t c = 1; c < t.parts.size(); ++c)
                r = b_.mad(t.parts[c].value,
                           b_.splat(b_.component(v, static_cast<int>(c)), b_.width(r)), r);
            set({r});
            return;
        }
        std::vector<int> parts;
        for (const Node& col : m.parts)
            parts.push_back(b_.dot(v, col.value));
        set({b_.concat(parts)});
        return;
    }
    case OpMatrixTimesMatrix: {
        const Node a = value(w[2]), c = value(w[3]);
        Node r;
        for (const Node& col : c.parts) {
            int acc = b_.mul(a.parts[0].value, b_.component(col.value, 0));
            for (size_t k = 1; k < a.parts.size(); ++k)
                acc = b_.mad(a.parts[k].value,
                             b_.splat(b_.component(col.value, static_cast<int>(k)), b_.width(acc)),
                             acc);
            r.parts.push_back({acc});
        }
        set(r);
        return;
    }
    case OpOuterProduct: {
        const int a = f(2), c = f(3);
        Node r;
        for (int k = 0; k < b_.width(c); ++k)
            r.parts.push_back({b_.mul(a, b_.component(c, k))});
        set(r);
        return;
    }
    case OpTranspose: {
        transposed_[w[1]] = w[2];
        const Node m = value(w[2]);
        Node r;
        const int rows = b_.width(m.parts[0].value);
        for (int i = 0; i < rows; ++i) {
            std::vector<int> parts;
            for (const Node& col : m.parts)
                parts.push_back(b_.component(col.value, i));
            r.parts.push_back({b_.concat(parts)});
        }
        set(r);
        return;
    }
    case OpAny:
        set({AnyOf(b_, f(2))});
        return;
    case OpAll:
        set({AllOf(b_, f(2))});
        return;
    case OpLogicalOr:
        set({Or(b_, f(2), f(3))});
        return;
    case OpLogicalAnd:
        set({And(b_, f(2), f(3))});
        return;
    case OpLogicalNot:
        set({Not(b_, f(2))});
        return;
    case OpLogicalEqual:
    case OpIEqual:
    case OpFOrdEqual:
    case OpFUnordEqual:
        set({Equal(b_, f(2), f(3))});
        return;
    case OpLogicalNotEqual:
    case OpINotEqual:
    case OpFOrdNotEqual:
    case OpFUnordNotEqual:
        set({Not(b_, Equal(b_, f(2), f(3)))});
        return;
    case OpSLessThan:
    case OpULessThan:
    case OpFOrdLessThan:
    case OpFUnordLessThan:
        set({LessThan(b_, f(2), f(3))});
        return;
    case OpSGreaterThan:
    case OpUGreaterThan:
    case OpFOrdGreaterThan:
    case OpFUnordGreaterThan:
        set({LessThan(b_, f(3), f(2))});
        return;
    case OpSLessThanEqual:
    case OpULessThanEqual:
    case OpFOrdLessThanEqual:
    case OpFUnordLessThanEqual:
        set({LessEqual(b_, f(2), f(3))});
        return;
    case OpSGreaterThanEqual:
    case OpUGreaterThanEqual:
    case OpFOrdGreaterThanEqual:
    case OpFUnordGreaterThanEqual:
        set({LessEqual(b_, f(3), f(2))});
        return;
    case OpSelect: {
        const int c = f(2);
        const Node a = value(w[3]), d = value(w[4]);
        if (a.value >= 0)
            set({Select(b_, b_.splat(c, b_.width(a.value)), a.value, d.value)});
        else
            set(selectNode(c, a, d));
        return;
    }
    case OpImageSampleImplicitLod: {
        const Node s = value(w[2]);
        if (w.size() > 5 && (w[4] & 1))
            set({b_.texBias(s.sampler, f(3), f(5))});
        else
            set({b_.tex(s.sampler, f(3))});
        return;
    }
    case OpDPdx:
    case OpDPdxFine:
    case OpDPdxCoarse:
        derivatives();
        set({b_.dsx(f(2))});
        return;
    case OpDPdy:
    case OpDPdyFine:
    case OpDPdyCoarse:
        derivatives();
        set({b_.dsy(f(2))});
        return;
    case OpFwidth:
    case OpFwidthFine:
    case OpFwidthCoarse:
        derivatives();
        set({b_.add(b_.abs(b_.dsx(f(2))), b_.abs(b_.dsy(f(2))))});
        return;
    case OpExtInst:
        set(extInst(w));
        return;
    case OpFunctionCall:
        set(callSubroutine(w));
        return;
    case OpImageSampleExplicitLod: {
        // Image operands: Lod is bit 1; Grad (bit 2) would be texldd.
        if (w.size() < 6 || (w[4] & 0x2) == 0)
            unsupported("sampling with explicit gradients");
        set({b_.texLod(value(w[2]).sampler, f(3), f(5))});
        return;
    }
    default:
        throw CompileError(0, 1,
                           "SPIR-V instruction " + std::to_string(ins.op) + " is not supported");
    }
}

void Reader::derivatives() {
    if (!io_.allowDerivatives)
        throw CompileError(line_, column_, "derivatives (dFdx, dFdy, fwidth) need ps_3_0");
}

void Reader::insert(Node& n, uint32_t type, const std::vector<uint32_t>& w, size_t at,
                    const Node& v) {
    if (at == w.size()) {
        n = v;
        return;
    }
    const Type& t = types_.at(type);
    if (t.kind == TypeKind::Vector) {
        std::vector<int> parts;
        for (int k = 0; k < t.count; ++k)
            parts.push_back(k == static_cast<int>(w[at]) ? v.value : b_.component(n.value, k));
        n.value = b_.concat(parts);
        return;
    }
    insert(n.parts.at(w[at]), t.kind == TypeKind::Struct ? t.members.at(w[at]) : t.element, w,
           at + 1, v);
}

Node Reader::extInst(const std::vector<uint32_t>& w) {
    auto f = [&](size_t i) { return scalar(w[4 + i]); };
    Builder& b = b_;
    switch (w[3]) {
    case glsl::Round:
    case glsl::RoundEven:
        return {qc::Round(b, f(0))};
    case glsl::Trunc:
        return {qc::Trunc(b, f(0))};
    case glsl::FAbs:
    case glsl::SAbs:
        return {b.abs(f(0))};
    case glsl::FSign:
    case glsl::SSign:
        return {qc::Sign(b, f(0))};
    case glsl::Floor:
        return {qc::Floor(b, f(0))};
    case glsl::Ceil:
        return {qc::Ceil(b, f(0))};
    case glsl::Fract:
        return {b.frc(f(0))};
    case glsl::Radians:
        return {b.mul(f(0), b.constant(0.017453292519943295f))};
    case glsl::Degrees:
        return {b.mul(f(0), b.constant(57.29577951308232f))};
    case glsl::Sin:
        return {qc::Sin(b, f(0))};
    case glsl::Cos:
        return {qc::Cos(b, f(0))};
    case glsl::Tan:
        return {qc::Tan(b, f(0))};
    case glsl::Asin:
        return {qc::Asin(b, f(0))};
    case glsl::Acos:
        return {qc::Acos(b, f(0))};
    case glsl::Atan:
        return {qc::Atan(b, f(0))};
    case glsl::Sinh:
        return {qc::Sinh(b, f(0))};
    case glsl::Cosh:
        return {qc::Cosh(b, f(0))};
    case glsl::Tanh:
        return {qc::Tanh(b, f(0))};
    case glsl::Atan2:
        return {qc::Atan2(b, f(0), f(1))};
    case glsl::Pow:
        return {qc::Pow(b, f(0), f(1))};
    case glsl::Exp:
        return {qc::Exp(b, f(0))};
    case glsl::Log:
        return {qc::Log(b, f(0))};
    case glsl::Exp2:
        return {perComponent(f(0), [&](int x) { return b.exp2(x); })};
    case glsl::Log2:
        return {perComponent(f(0), [&](int x) { return b.log2(x); })};
    case glsl::Sqrt:
        return {qc::Sqrt(b, f(0))};
    case glsl::InverseSqrt:
        return {perComponent(f(0), [&](int x) { return b.rsq(x); })};
    case glsl::FMin:
    case glsl::UMin:
    case glsl::SMin:
    case glsl::NMin:
        return {b.min(f(0), f(1))};
    case glsl::FMax:
    case glsl::UMax:
    case glsl::SMax:
    case glsl::NMax:
        return {b.max(f(0), f(1))};
    case glsl::FClamp:
    case glsl::UClamp:
    case glsl::SClamp:
    case glsl::NClamp:
        return {qc::Clamp(b, f(0), f(1), f(2))};
    case glsl::FMix:
        return {qc::Mix(b, f(0), f(1), f(2))};
    case glsl::Step:
        return {qc::Step(b, f(0), f(1))};
    case glsl::SmoothStep:
        return {qc::SmoothStep(b, f(0), f(1), f(2))};
    case glsl::Fma:
        return {b.mad(f(0), f(1), f(2))};
    case glsl::Length:
        return {qc::Length(b, f(0))};
    case glsl::Distance:
        return {qc::Distance(b, f(0), f(1))};
    case glsl::Cross:
        return {qc::Cross(b, f(0), f(1))};
    case glsl::Normalize:
        return {qc::Normalize(b, f(0))};
    case glsl::Reflect:
        return {qc::Reflect(b, f(0), f(1))};
    case glsl::FaceForward: {
        const int n = f(0);
        return {Select(b, LessThan(b, b.dot(f(2), f(1)), b.constant(0)), n, b.neg(n))};
    }
    default:
        throw CompileError(0, 1,
                           "GLSL built-in function " + std::to_string(w[3]) + " is not supported");
    }
}

int Reader::plainWidth(uint32_t typeId) {
    const Type& t = types_.at(typeId);
    const bool vector = t.kind == TypeKind::Vector;
    const Type& element = vector ? types_.at(t.element) : t;
    if (element.kind != TypeKind::Float && element.kind != TypeKind::Int &&
        element.kind != TypeKind::Bool)
        unsupported("a subroutine's value that is not a scalar or vector");
    return vector ? t.count : 1;
}

void Reader::readParameters(const std::vector<std::pair<uint32_t, uint32_t>>& params) {
    for (const auto& [id, typeId] : params) {
        const Type& t = types_.at(typeId);
        const int index = static_cast<int>(paramWidths_.size());
        if (t.kind == TypeKind::Pointer) {
            // glslang hands every parameter over by pointer to a copy.
            const int width = plainWidth(t.element);
            variables_[id] = Variable{Function, t.element, {b_.param(index, width)}};
            paramWidths_.push_back(width);
        } else {
            const int width = plainWidth(typeId);
            values_[id] = {b_.param(index, width)};
            paramWidths_.push_back(width);
        }
    }
}

Node Reader::callSubroutine(const std::vector<uint32_t>& w) {
    const auto sub = io_.subroutines.find(w[2]);
    if (sub == io_.subroutines.end())
        unsupported("a call that could not be inlined");
    std::vector<int> args;
    for (size_t i = 3; i < w.size(); ++i) {
        Node n;
        if (pointers_.count(w[i]) || variables_.count(w[i])) {
            const Pointer p = pointerOf(w[i]);
            const auto stored = lastStored_.find(p.var);
            n = p.path.empty() && stored != lastStored_.end() ? stored->second : load(p);
            passed_.insert(p.var);
        } else {
            n = value(w[i]);
        }
        if (n.value < 0)
            unsupported("a subroutine's parameter that is not a scalar or vector");
        args.push_back(n.value);
    }
    for (uint32_t var : sub->second.privates)
        args.push_back(load(Pointer{var, {}}).value);
    return {b_.call(sub->second.index, args, plainWidth(w[0]))};
}

Reader::Pointer Reader::pointerOf(uint32_t id) {
    auto p = pointers_.find(id);
    if (p != pointers_.end())
        return p->second;
    if (variables_.count(id))
        return Pointer{id, {}};
    throw CompileError(line_, column_, "unsupported pointer");
}

namespace {

// Result types of every instruction that has one, for composite extraction.
bool HasResultType(uint32_t op) {
    return op == OpExtInst || op == OpLoad || op == OpAccessChain || op == OpInBoundsAccessChain ||
           (op >= OpVectorExtractDynamic && op <= OpImageSampleExplicitLod) ||
           (op >= OpConvertFToU && op <= OpFwidthCoarse) || op == OpPhi || op == OpConstant ||
           op == OpConstantComposite || op == OpConstantTrue || op == OpConstantFalse ||
           op == OpConstantNull || op == OpUndef || op == OpVariable || op == OpFunctionCall;
}

} // namespace
} // namespace spirv

ReadResult ReadSpirv(const std::vector<uint32_t>& words, const ShaderInterface& io,
                     Builder& builder) {
    spirv::Reader reader(io, builder);
    ForEachInstruction(words, [&](uint32_t op, size_t i, uint32_t count) {
        if (spirv::HasResultType(op) && count >= 3)
            reader.resultTypes_[words[i + 2]] = words[i + 1];
    });
    return reader.run(words);
}

} // namespace qc
