#pragma once

// The compiler's intermediate form: one straight-line list of operations on
// vectors of one to four floats, in static single assignment. Front ends
// flatten control flow into selects before building it; each operation is
// close to one Direct3D 9 instruction so that selection stays simple, and the
// builder folds constants and shares equal operations as it goes.
//
// Loops (ps_3_0) are the one structure: a loop runs its body a fixed number
// of times, and its carried values are what one iteration hands the next.
// Every value belongs to the innermost loop whose carried values it reads
// (its body); a value reading none of them is computed before the loop, so
// sharing never reaches across a loop's boundary the wrong way.
//
// Booleans are floats 0 or 1; integers are floats holding whole numbers.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace qc {

enum class Op : uint8_t {
    Const,   // imm
    Uniform, // a shader constant: slot = register, comps = where in it
    Input,   // an input register: slot = which (input()'s: the texture coordinate)
    Add,
    Mul,
    Mad, // a * b + c
    Neg,
    Abs,
    Min,
    Max,
    Sat, // clamp to [0, 1]
    Cmp, // a >= 0 ? b : c, per component
    Lrp, // a * b + (1 - a) * c
    Frc, // x - floor(x)
    Rcp, // per component; 1/0 is the largest float, never inf here
    Rsq, // 1 / sqrt(|x|)
    Exp2,
    Log2,   // of |x|
    Pow,    // |a| ^ b
    SinCos, // (cos x, sin x) of a scalar in [-pi, pi]
    Dp2,
    Dp3,
    Dp4,
    Nrm,     // normalize a 3-vector
    Shuffle, // comps pick from args[0]
    Concat,  // args joined in order
    Tex,     // sample sampler `slot` at args[0].xy
    TexBias, // sample with args[1] as level-of-detail bias
    TexLod,  // sample at level of detail args[1] (model 3: texldl)
    Dsx,
    Dsy,
    Carried, // slot = loop; args[0] = the value on the first iteration
    LoopEnd, // slot = loop; args = the carried values' next values, in order
    LoopOut, // slot = which carried value; args[0] = its loop's end: the last value
    Param,   // a subroutine's parameter: slot = which
    Call,    // slot = the subroutine; args = its parameters; the value it returns
};

const char* OpName(Op op);

// Input slots from here on are ps_2_0's colour inputs v#, below it the
// profile's own input registers (t# in ps_2_0, v# elsewhere).
constexpr int kColorInput = 16;

struct Value {
    Op op = Op::Const;
    uint8_t width = 1;
    std::array<uint8_t, 4> comps{0, 1, 2, 3};
    int slot = 0;
    std::vector<int> args;
    std::array<float, 4> imm{0, 0, 0, 0};
    int loop = -1; // the innermost loop whose body computes it
};

struct LoopInfo {
    int parent = -1;
    int depth = 1;
    int count = 0;            // iterations
    std::vector<int> carried; // Carried values, in order
    int end = -1;             // its LoopEnd, once closed
};

// The function being built, and the folding/sharing builder over it.
class Builder {
  public:
    const std::vector<Value>& values() const { return values_; }
    const Value& at(int id) const { return values_[id]; }
    int width(int id) const { return values_[id].width; }
    bool isConst(int id) const { return values_[id].op == Op::Const; }
    // The constant's component i (scalars repeat x).
    float constAt(int id, int i) const;
    bool isConstEqual(int id, float v) const;

    int constant(float x) { return constant({x, x, x, x}, 1); }
    int constant(std::array<float, 4> v, int width);
    int uniform(int reg, int width, std::array<uint8_t, 4> comps = {0, 1, 2, 3});
    int input();
    // Input register `slot` (kColorInput on: ps_2_0's colour inputs) read as
    // `width` components.
    int input(int slot, int width);
    int tex(int sampler, int coord);
    int texBias(int sampler, int coord, int bias);
    int texLod(int sampler, int coord, int lod);

    int add(int a, int b);
    int sub(int a, int b) { return add(a, neg(b)); }
    int mul(int a, int b);
    int mad(int a, int b, int c);
    int neg(int a);
    int abs(int a);
    int min(int a, int b);
    int max(int a, int b);
    int sat(int a);
    int cmp(int c, int a, int b);
    int lrp(int t, int a, int b);
    int frc(int a);
    int rcp(int a);
    int rsq(int a);
    int exp2(int a);
    int log2(int a);
    int pow(int a, int b);
    int sinCos(int a);
    int dot(int a, int b);
    int nrm(int a);
    int dsx(int a);
    int dsy(int a);
    int shuffle(int a, std::initializer_list<int> comps);
    int shuffle(int a, const std::vector<int>& comps);
    int component(int a, int i) { return shuffle(a, {i}); }
    int concat(const std::vector<int>& parts);
    // A scalar repeated to `width` components; anything else unchanged.
    int splat(int a, int width);

    // Subroutines: parameter `index` of the function being built, and a call
    // of subroutine `sub` (pure: equal calls are shared).
    int param(int index, int width);
    int call(int sub, const std::vector<int>& args, int width);

    // Loops: opens one inside the current loop, running `count` times.
    int beginLoop(int count);
    // A value carried round the open loop, `initial` on the first iteration.
    int carry(int initial);
    // Closes the open loop: `next` gives each carried value's value on the
    // next iteration (in the order carried).
    void endLoop(const std::vector<int>& next);
    // The value of a carried value after its loop (closed).
    int after(int carried);
    const std::vector<LoopInfo>& loops() const { return loops_; }
    int currentLoop() const { return current_; }
    // Whether loop `inner` is `outer` or lies inside it (-1: the top level).
    bool within(int inner, int outer) const;

    // How many operations read each value.
    std::vector<int> useCounts(const std::vector<int>& roots) const;

    struct Affine {
        int src = -1;
        std::array<int, 4> comps{};
        std::array<float, 4> k{}, c{};
    };
    // Whether `id` is src[comps] * k + c with constant k and c.
    bool asAffine(int id, Affine& a) const;

  private:
    int splitOverConcat(const Value& v, float neutral);
    int make(Value v);
    int fold(Value& v);
    std::vector<Value> values_;
    std::vector<LoopInfo> loops_;
    int current_ = -1;
    int depth_ = 0;
    std::map<std::tuple<int, int, int, int, std::vector<int>, std::array<float, 4>>, int> shared_;
};

} // namespace qc
