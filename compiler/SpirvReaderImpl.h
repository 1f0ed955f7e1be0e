#pragma once

// The SPIR-V reader's own class, shared by its files: reading instructions
// into the builder (SpirvReader.cpp), flattening control flow into selects
// (SpirvFlatten.cpp) and loops, unrolled or kept (SpirvLoops.cpp).

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/Ir.h"
#include "compiler/SpirvReader.h"

namespace qc {
namespace spirv {

enum SpvOp : uint32_t {
    OpUndef = 1,
    OpName = 5,
    OpEntryPoint = 15,
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

    ReadResult run(const std::vector<uint32_t>& words);

  private:
    [[noreturn]] void unsupported(const std::string& what);

    // Types, constants and global variables.
    void declare(const Instruction& ins);

    Node zero(uint32_t typeId);

    // A composite from its constituents: vectors concatenate.
    Node compose(uint32_t typeId, const std::vector<Node>& parts);

    struct Variable {
        uint32_t storage;
        uint32_t type;
        Node value;
    };

    // The value a load of a uniform gives.
    Node loadUniform(uint32_t var);
    // An input with a register of its own (by name or semantic).
    Node loadInput(uint32_t var);

    Node value(uint32_t id);
    int scalar(uint32_t id) { return value(id).value; }

    // Index into a node; a dynamic index selects among the parts.
    Node index(const Node& n, uint32_t indexId, bool isVector);

    Node selectNode(int cond, const Node& a, const Node& b);

    // Writes `v` at the path below `n` where `pred` holds.
    void storeAt(Node& n, uint32_t typeId, const std::vector<uint32_t>& path, size_t at,
                 const Node& v, int pred);

    struct Pointer {
        uint32_t var;
        std::vector<uint32_t> path;
    };

    Node load(const Pointer& p);

    // --- Subroutines (SpirvReader.cpp) -----------------------------------------
    // A value's width when it is a float, int or bool scalar or vector; else
    // what cannot be a subroutine's parameter or result.
    int plainWidth(uint32_t typeId);
    void readParameters(const std::vector<std::pair<uint32_t, uint32_t>>& params);
    Node callSubroutine(const std::vector<uint32_t>& w);

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

    void flatten(std::vector<Block>& blocks);

    void findLoop(size_t header, uint32_t merge);

    // Runs the blocks of `region` in order; `self` is the loop header whose
    // body this is (run as a plain block), every other header a loop.
    void walk(const std::set<size_t>& region, size_t self);

    // Unrolls the loop; gives the iterations it ran.
    int unroll(const Loop& loop);

    void placeAt(const Loop& loop);

    // ps_3_0 may run a loop as a loop: its count is what unrolling it finds
    // (on a copy of the reader's state), every later iteration of a pixel
    // that left early runs with nothing enabled.
    void runLoop(const Loop& loop);

    struct LoopState {
        const Loop* loop;
        int exits; // iterations leaving the loop in this pass
        int again; // iterations going round again
        int iteration;
        std::map<uint64_t, int> exitEdges; // of a kept loop, in this iteration
        bool kept = false;
    };

    struct Saved {
        std::unordered_map<uint32_t, Node> values;
        std::unordered_map<uint32_t, Variable> variables;
        std::unordered_map<uint32_t, Pointer> pointers;
        std::unordered_map<uint32_t, int> pred;
        std::unordered_map<uint64_t, int> edge;
        std::vector<LoopState> loopStack;
        int line, column;
        int kill;
    };

    int discover(const Loop& loop);

    // The variables the loop's body writes.
    std::set<uint32_t> storedVariables(const Loop& loop);

    Node carryNode(const Node& n);
    static void Leaves(const Node& n, std::vector<int>& out);
    Node afterNode(const Node& n);

    void keep(const Loop& loop, int count, int levels);

    // Registers an edge taken under `e`: inside the innermost loop, an edge
    // leaving it is one of its exits.
    void edgeTo(uint32_t from, uint32_t to, int e);

    void runBlock(size_t index);

    Node phi(const Instruction& ins, uint32_t label, size_t index, int here);

    void execute(const Instruction& ins, int here);

    void derivatives();

    void insert(Node& n, uint32_t type, const std::vector<uint32_t>& w, size_t at, const Node& v);

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

    Node extInst(const std::vector<uint32_t>& w);

    template <class F> int perComponent(int x, F fn) {
        const int n = b_.width(x);
        if (n == 1)
            return fn(x);
        std::vector<int> parts;
        for (int i = 0; i < n; ++i)
            parts.push_back(fn(b_.component(x, i)));
        return b_.concat(parts);
    }

    Pointer pointerOf(uint32_t id);

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
    // Reading a subroutine: what it returns, its parameters' widths and the
    // private variables it reads, which the caller hands over.
    Node returned_;
    bool hasReturned_ = false;
    std::vector<int> paramWidths_;
    std::vector<uint32_t> privates_;
    std::vector<int> privateWidths_;
    // Variables handed to a subroutine by pointer: read again before a store,
    // they would need what the subroutine wrote (an out parameter).
    std::set<uint32_t> passed_;
    // The value last stored to each whole variable, whatever the predicate:
    // a subroutine's argument needs no select, as its result is used only
    // where the call's block runs.
    std::unordered_map<uint32_t, Node> lastStored_;
    int kill_ = -1; // where the pixel is discarded
    int line_ = 0;  // of the author's source, from OpLine; 0 when unknown
    int column_ = 1;

    static constexpr int kMaxIterations = 1024;
    static constexpr int kMaxRepDepth = 4; // rep and loop blocks nest four deep
    // Most iterations each loop ran when unrolled.
    std::map<size_t, int> trips_;
    bool discovering_ = false;
    int keptDepth_ = 0, repDepth_ = 0;
    std::vector<std::map<uint32_t, Node>*> keptPhis_;
    std::vector<Block>* blocks_ = nullptr;
    std::unordered_map<uint32_t, size_t> at_;
    std::map<size_t, Loop> loops_;
    std::vector<size_t> order_;
    std::unordered_map<uint32_t, int> pred_;
    std::unordered_map<uint64_t, int> edge_;
    std::vector<LoopState> loopStack_;
};

} // namespace spirv
} // namespace qc
