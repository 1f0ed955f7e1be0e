#include "compiler/SpirvReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <unordered_map>

#include "compiler/Diagnostics.h"
#include "compiler/Lower.h"

namespace qc {

namespace {

enum SpvOp : uint32_t {
    OpUndef = 1,
    OpName = 5,
    OpExtInstImport = 11,
    OpExtInst = 12,
    OpTypeVoid = 19,
    OpTypeBool = 20,
    OpTypeInt = 21,
    OpTypeFloat = 22,
    OpTypeVector = 23,
    OpTypeMatrix = 24,
    OpTypeImage = 25,
    OpTypeSampler = 26,
    OpTypeSampledImage = 27,
    OpTypeArray = 28,
    OpTypeStruct = 30,
    OpTypePointer = 32,
    OpTypeFunction = 33,
    OpConstantTrue = 41,
    OpConstantFalse = 42,
    OpConstant = 43,
    OpConstantComposite = 44,
    OpConstantNull = 46,
    OpFunction = 54,
    OpFunctionParameter = 55,
    OpFunctionEnd = 56,
    OpFunctionCall = 57,
    OpVariable = 59,
    OpLoad = 61,
    OpStore = 62,
    OpAccessChain = 65,
    OpInBoundsAccessChain = 66,
    OpVectorExtractDynamic = 77,
    OpVectorInsertDynamic = 78,
    OpVectorShuffle = 79,
    OpCompositeConstruct = 80,
    OpCompositeExtract = 81,
    OpCompositeInsert = 82,
    OpCopyObject = 83,
    OpTranspose = 84,
    OpSampledImage = 86,
    OpImageSampleImplicitLod = 87,
    OpImageSampleExplicitLod = 88,
    OpConvertFToU = 109,
    OpConvertFToS = 110,
    OpConvertSToF = 111,
    OpConvertUToF = 112,
    OpBitcast = 124,
    OpSNegate = 126,
    OpFNegate = 127,
    OpIAdd = 128,
    OpFAdd = 129,
    OpISub = 130,
    OpFSub = 131,
    OpIMul = 132,
    OpFMul = 133,
    OpUDiv = 134,
    OpSDiv = 135,
    OpFDiv = 136,
    OpUMod = 137,
    OpSRem = 138,
    OpSMod = 139,
    OpFRem = 140,
    OpFMod = 141,
    OpVectorTimesScalar = 142,
    OpMatrixTimesScalar = 143,
    OpVectorTimesMatrix = 144,
    OpMatrixTimesVector = 145,
    OpMatrixTimesMatrix = 146,
    OpOuterProduct = 147,
    OpDot = 148,
    OpAny = 154,
    OpAll = 155,
    OpLogicalEqual = 164,
    OpLogicalNotEqual = 165,
    OpLogicalOr = 166,
    OpLogicalAnd = 167,
    OpLogicalNot = 168,
    OpSelect = 169,
    OpIEqual = 170,
    OpINotEqual = 171,
    OpUGreaterThan = 172,
    OpSGreaterThan = 173,
    OpUGreaterThanEqual = 174,
    OpSGreaterThanEqual = 175,
    OpULessThan = 176,
    OpSLessThan = 177,
    OpULessThanEqual = 178,
    OpSLessThanEqual = 179,
    OpFOrdEqual = 180,
    OpFUnordEqual = 181,
    OpFOrdNotEqual = 182,
    OpFUnordNotEqual = 183,
    OpFOrdLessThan = 184,
    OpFUnordLessThan = 185,
    OpFOrdGreaterThan = 186,
    OpFUnordGreaterThan = 187,
    OpFOrdLessThanEqual = 188,
    OpFUnordLessThanEqual = 189,
    OpFOrdGreaterThanEqual = 190,
    OpFUnordGreaterThanEqual = 191,
    OpDPdx = 207,
    OpDPdy = 208,
    OpFwidth = 209,
    OpDPdxFine = 210,
    OpDPdyFine = 211,
    OpFwidthFine = 212,
    OpDPdxCoarse = 213,
    OpDPdyCoarse = 214,
    OpFwidthCoarse = 215,
    OpPhi = 245,
    OpLoopMerge = 246,
    OpSelectionMerge = 247,
    OpLabel = 248,
    OpBranch = 249,
    OpBranchConditional = 250,
    OpSwitch = 251,
    OpKill = 252,
    OpReturn = 253,
    OpReturnValue = 254,
    OpUnreachable = 255,
    OpLine = 8,
    OpNoLine = 317,
};

namespace glsl {
enum : uint32_t {
    Round = 1,
    RoundEven = 2,
    Trunc = 3,
    FAbs = 4,
    SAbs = 5,
    FSign = 6,
    SSign = 7,
    Floor = 8,
    Ceil = 9,
    Fract = 10,
    Radians = 11,
    Degrees = 12,
    Sin = 13,
    Cos = 14,
    Tan = 15,
    Asin = 16,
    Acos = 17,
    Atan = 18,
    Sinh = 19,
    Cosh = 20,
    Tanh = 21,
    Atan2 = 25,
    Pow = 26,
    Exp = 27,
    Log = 28,
    Exp2 = 29,
    Log2 = 30,
    Sqrt = 31,
    InverseSqrt = 32,
    FMin = 37,
    UMin = 38,
    SMin = 39,
    FMax = 40,
    UMax = 41,
    SMax = 42,
    FClamp = 43,
    UClamp = 44,
    SClamp = 45,
    FMix = 46,
    Step = 48,
    SmoothStep = 49,
    Fma = 50,
    Length = 66,
    Distance = 67,
    Cross = 68,
    Normalize = 69,
    FaceForward = 70,
    Reflect = 71,
    NMin = 79,
    NMax = 80,
    NClamp = 81,
};
} // namespace glsl

enum class TypeKind {
    Void,
    Bool,
    Int,
    Float,
    Vector,
    Matrix,
    Array,
    Struct,
    Pointer,
    Image,
    Other
};

struct Type {
    TypeKind kind = TypeKind::Other;
    uint32_t element = 0; // vector/matrix/array element, pointee
    int count = 1;        // vector width, matrix columns, array length
    std::vector<uint32_t> members;
    uint32_t storage = 0;
};

// A value of any SPIR-V type: a scalar or vector is one builder value; a
// matrix, array or structure holds its parts.
struct Node {
    int value = -1;
    std::vector<Node> parts;
    int sampler = -1; // a sampled image
};

struct Instruction {
    uint32_t op;
    std::vector<uint32_t> w; // operands after the opcode word
};

struct Block {
    uint32_t label;
    std::vector<Instruction> body;
    Instruction terminator;
    std::vector<uint32_t> successors;
};

enum StorageClass : uint32_t {
    UniformConstant = 0,
    Input = 1,
    Output = 3,
    Private = 6,
    Function = 7
};

class Reader {
  public:
    Reader(const ShaderInterface& io, Builder& b) : io_(io), b_(b) {}

    ReadResult run(const std::vector<uint32_t>& words) {
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
        std::vector<Block> blocks;
        for (size_t i = 0; i < all.size(); ++i) {
            const Instruction& ins = all[i];
            switch (ins.op) {
            case OpName:
                names_[ins.w[0]] = String(ins.w, 1);
                break;
            case OpExtInstImport:
                break;
            case OpFunction:
                ++functions;
                break;
            case OpLabel: {
                Block blk;
                blk.label = ins.w[0];
                for (++i; i < all.size(); ++i) {
                    const uint32_t op = all[i].op;
                    if (op == OpBranch || op == OpBranchConditional || op == OpSwitch ||
                        op == OpReturn || op == OpReturnValue || op == OpKill ||
                        op == OpUnreachable) {
                        blk.terminator = all[i];
                        break;
                    }
                    blk.body.push_back(all[i]);
                }
                blocks.push_back(std::move(blk));
                break;
            }
            default:
                declare(ins);
                break;
            }
        }
        if (functions != 1)
            throw CompileError(line_, column_,
                               "a function could not be inlined (recursion is not supported)");
        flatten(blocks);
        ReadResult result;
        if (color_ < 0)
            throw CompileError(line_, column_, "the transition never returns a colour");
        result.color = color_;
        for (auto& [id, v] : variables_)
            if (v.storage == Output && v.value.value >= 0)
                result.outputs[names_[id]] = v.value.value;
        return result;
    }

  private:
    static std::string String(const std::vector<uint32_t>& w, size_t from) {
        std::string s;
        for (size_t i = from; i < w.size(); ++i)
            for (int k = 0; k < 4; ++k) {
                const char c = static_cast<char>((w[i] >> (8 * k)) & 0xFF);
                if (c == 0)
                    return s;
                s += c;
            }
        return s;
    }

    [[noreturn]] void unsupported(const std::string& what) {
        throw CompileError(line_, column_, what + " is not supported in a Direct3D 9 pixel shader");
    }

    // Types, constants and global variables.
    void declare(const Instruction& ins) {
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

    Node zero(uint32_t typeId) {
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

    // A composite from its constituents: vectors concatenate.
    Node compose(uint32_t typeId, const std::vector<Node>& parts) {
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

    struct Variable {
        uint32_t storage;
        uint32_t type;
        Node value;
    };

    // The value a load of a uniform gives.
    Node loadUniform(uint32_t var) {
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
        if (t.kind == TypeKind::Array || t.kind == TypeKind::Struct)
            unsupported("a uniform array or structure");
        return {b_.uniform(r->second, t.kind == TypeKind::Vector ? t.count : 1)};
    }

    Node loadInput(uint32_t var) {
        const std::string& name = names_[var];
        const auto slot = io_.inputs.find(name);
        if (slot == io_.inputs.end())
            throw CompileError(line_, column_, "input '" + name + "' has no register");
        const Type& t = types_.at(variables_.at(var).type);
        if (t.kind != TypeKind::Vector && t.kind != TypeKind::Float)
            unsupported("an input that is not a float or vector");
        return {b_.input(slot->second, t.kind == TypeKind::Vector ? t.count : 1)};
    }

    Node value(uint32_t id) {
        auto c = consts_.find(id);
        if (c != consts_.end())
            return c->second;
        auto v = values_.find(id);
        if (v != values_.end())
            return v->second;
        throw CompileError(line_, column_,
                           "SPIR-V value %" + std::to_string(id) + " is used before it is defined");
    }
    int scalar(uint32_t id) { return value(id).value; }

    // Index into a node; a dynamic index selects among the parts.
    Node index(const Node& n, uint32_t indexId, bool isVector) {
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

    Node selectNode(int cond, const Node& a, const Node& b) {
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

    // Writes `v` at the path below `n` where `pred` holds.
    void storeAt(Node& n, uint32_t typeId, const std::vector<uint32_t>& path, size_t at,
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

    struct Pointer {
        uint32_t var;
        std::vector<uint32_t> path;
    };

    Node load(const Pointer& p) {
        Variable& v = variables_.at(p.var);
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

    // --- Control flow -----------------------------------------------------------
    // Blocks run in a topological order under the predicate of the paths that
    // reach them; a loop runs its body again and again under the predicate of
    // the iterations still going, until that is known to be false.

    struct Loop {
        size_t header;
        uint32_t merge;
        std::set<size_t> body;       // the header and every block before the merge
        std::set<uint32_t> escaping; // ids of the body used after it
    };

    static uint64_t Key(uint32_t from, uint32_t to) { return (uint64_t(from) << 32) | to; }

    void flatten(std::vector<Block>& blocks) {
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

    void findLoop(size_t header, uint32_t merge) {
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

    // Runs the blocks of `region` in order; `self` is the loop header whose
    // body this is (run as a plain block), every other header a loop.
    void walk(const std::set<size_t>& region, size_t self) {
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

    void runLoop(const Loop& loop) {
        const uint32_t headerLabel = (*blocks_)[loop.header].label;
        auto entry = pred_.find(headerLabel);
        if (entry == pred_.end() || b_.isConstEqual(entry->second, 0))
            return;
        int running = entry->second;
        std::map<uint32_t, Node> exitValues;
        for (const Instruction& ins : (*blocks_)[loop.header].body)
            if (ins.op == OpLine && ins.w.size() > 1 &&
                static_cast<int>(ins.w[1]) <= io_.sourceLines) {
                line_ = static_cast<int>(ins.w[1]);
                column_ = ins.w.size() > 2 && ins.w[2] > 0 ? static_cast<int>(ins.w[2]) : 1;
                break;
            }
        const int loopLine = line_, loopColumn = column_;
        for (int iteration = 0;; ++iteration) {
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
            loopStack_.push_back(LoopState{&loop, b_.constant(0), b_.constant(0), iteration});
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
    }

    void runBlock(size_t index) {
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
            const uint64_t k = Key(blk.label, to);
            if (!loopStack_.empty()) {
                LoopState& loop = loopStack_.back();
                const size_t target = at_.at(to);
                if (target == loop.loop->header) {
                    loop.again = Or(b_, loop.again, e);
                    backEdge_[to] = blk.label;
                    return;
                }
                if (!loop.loop->body.count(target)) {
                    loop.exits = Or(b_, loop.exits, e);
                    auto old = edge_.find(k);
                    edge_[k] =
                        old == edge_.end() || loop.iteration == 0 ? e : Or(b_, old->second, e);
                } else {
                    edge_[k] = e;
                }
            } else {
                edge_[k] = e;
            }
            auto q = pred_.find(to);
            if (q == pred_.end())
                pred_[to] = e;
            else
                q->second = Or(b_, q->second, e);
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
        case OpKill:
            unsupported("discard");
        default:
            break;
        }
    }

    Node phi(const Instruction& ins, uint32_t label, size_t index, int here) {
        const auto& w = ins.w;
        auto loop = loops_.find(index);
        if (loop != loops_.end()) {
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

    void execute(const Instruction& ins, int here) {
        const auto& w = ins.w;
        auto set = [&](Node n) { values_[w[1]] = std::move(n); };
        auto f = [&](size_t i) { return scalar(w[i]); };
        switch (ins.op) {
        case OpLine:
            line_ = w.size() > 1 && static_cast<int>(w[1]) <= io_.sourceLines
                        ? static_cast<int>(w[1])
                        : 0;
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
                    acc = b_.mad(
                        a.parts[k].value,
                        b_.splat(b_.component(col.value, static_cast<int>(k)), b_.width(acc)), acc);
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
            unsupported("a call that could not be inlined");
        case OpImageSampleExplicitLod:
            unsupported("textureLod");
        default:
            throw CompileError(
                0, 1, "SPIR-V instruction " + std::to_string(ins.op) + " is not supported");
        }
    }

    void derivatives() {
        if (!io_.allowDerivatives)
            throw CompileError(line_, column_, "derivatives (dFdx, dFdy, fwidth) need ps_3_0");
    }

    void insert(Node& n, uint32_t type, const std::vector<uint32_t>& w, size_t at, const Node& v) {
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

    template <class F> Node map1(const Node& a, F f) {
        if (a.value >= 0)
            return {f(a.value)};
        Node n;
        for (const Node& p : a.parts)
            n.parts.push_back(map1(p, f));
        return n;
    }
    template <class F> Node map2(const Node& a, const Node& c, F f) {
        if (a.value >= 0)
            return {f(a.value, c.value)};
        Node n;
        for (size_t i = 0; i < a.parts.size(); ++i)
            n.parts.push_back(map2(a.parts[i], c.parts[i], f));
        return n;
    }

    Node extInst(const std::vector<uint32_t>& w) {
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
            throw CompileError(
                0, 1, "GLSL built-in function " + std::to_string(w[3]) + " is not supported");
        }
    }

    template <class F> int perComponent(int x, F fn) {
        const int n = b_.width(x);
        if (n == 1)
            return fn(x);
        std::vector<int> parts;
        for (int i = 0; i < n; ++i)
            parts.push_back(fn(b_.component(x, i)));
        return b_.concat(parts);
    }

    Pointer pointerOf(uint32_t id) {
        auto p = pointers_.find(id);
        if (p != pointers_.end())
            return p->second;
        if (variables_.count(id))
            return Pointer{id, {}};
        throw CompileError(line_, column_, "unsupported pointer");
    }

    uint32_t typeOf(uint32_t id) { return resultTypes_.count(id) ? resultTypes_[id] : 0; }

  public:
    std::unordered_map<uint32_t, uint32_t> resultTypes_;

  private:
    const ShaderInterface& io_;
    Builder& b_;
    std::unordered_map<uint32_t, std::string> names_;
    std::unordered_map<uint32_t, Type> types_;
    std::unordered_map<uint32_t, Node> consts_;
    std::unordered_map<uint32_t, Node> values_;
    std::unordered_map<uint32_t, Variable> variables_;
    std::unordered_map<uint32_t, Pointer> pointers_;
    std::unordered_map<uint32_t, uint32_t> transposed_; // result -> the matrix transposed
    int color_ = -1;
    int line_ = 0; // of the author's source, from OpLine; 0 when unknown
    int column_ = 1;

    static constexpr int kMaxIterations = 1024;
    struct LoopState {
        const Loop* loop;
        int exits; // iterations leaving the loop in this pass
        int again; // iterations going round again
        int iteration;
    };
    std::vector<Block>* blocks_ = nullptr;
    std::unordered_map<uint32_t, size_t> at_;
    std::map<size_t, Loop> loops_;
    std::vector<size_t> order_;
    std::unordered_map<uint32_t, int> pred_;
    std::unordered_map<uint64_t, int> edge_;
    std::unordered_map<uint32_t, uint32_t> backEdge_;
    std::vector<LoopState> loopStack_;
};

// Result types of every instruction that has one, for composite extraction.
bool HasResultType(uint32_t op) {
    return op == OpExtInst || op == OpLoad || op == OpAccessChain || op == OpInBoundsAccessChain ||
           (op >= OpVectorExtractDynamic && op <= OpImageSampleExplicitLod) ||
           (op >= OpConvertFToU && op <= OpFwidthCoarse) || op == OpPhi || op == OpConstant ||
           op == OpConstantComposite || op == OpConstantTrue || op == OpConstantFalse ||
           op == OpConstantNull || op == OpUndef || op == OpVariable || op == OpFunctionCall;
}

} // namespace

ReadResult ReadSpirv(const std::vector<uint32_t>& words, const ShaderInterface& io,
                     Builder& builder) {
    Reader reader(io, builder);
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16;
        if (count == 0)
            break;
        if (HasResultType(words[i] & 0xFFFF) && count >= 3)
            reader.resultTypes_[words[i + 2]] = words[i + 1];
        i += count;
    }
    return reader.run(words);
}

} // namespace qc
