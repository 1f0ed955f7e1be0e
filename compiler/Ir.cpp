#include "compiler/Ir.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qc {

const char* OpName(Op op) {
    static const char* const names[] = {
        "const",   "uniform", "input", "add", "mul",     "mad",     "neg",     "abs",    "min",
        "max",     "sat",     "cmp",   "lrp", "frc",     "rcp",     "rsq",     "exp2",   "log2",
        "pow",     "sincos",  "dp2",   "dp3", "dp4",     "nrm",     "shuffle", "concat", "tex",
        "texbias", "texlod",  "dsx",   "dsy", "carried", "loopend", "loopout", "param",  "call"};
    static_assert(sizeof(names) / sizeof(names[0]) == static_cast<size_t>(Op::Call) + 1,
                  "one name an operation");
    return names[static_cast<int>(op)];
}

namespace {

bool IsLoopOp(Op op) { return op == Op::Carried || op == Op::LoopEnd || op == Op::LoopOut; }

bool IsCommutative(Op op) {
    return op == Op::Add || op == Op::Mul || op == Op::Min || op == Op::Max;
}

// The hardware's own answers where libm's would differ: these are what a
// folded constant must equal for the shader to mean the same unfolded.
float Rcp(float x) { return x == 0 ? std::numeric_limits<float>::infinity() : 1.0f / x; }
float Rsq(float x) {
    x = std::fabs(x);
    return x == 0 ? std::numeric_limits<float>::infinity() : 1.0f / std::sqrt(x);
}
float Log2(float x) {
    x = std::fabs(x);
    return x == 0 ? -std::numeric_limits<float>::infinity() : std::log2(x);
}

} // namespace

float Builder::constAt(int id, int i) const {
    const Value v = values_[id];
    return v.imm[v.width == 1 ? 0 : i];
}

bool Builder::isConstEqual(int id, float x) const {
    const Value v = values_[id];
    if (v.op != Op::Const)
        return false;
    for (int i = 0; i < v.width; ++i)
        if (v.imm[i] != x)
            return false;
    return true;
}

// value = src[comps] * k + c, per component, with constant k and c.
bool Builder::asAffine(int id, Affine& a) const {
    const Value v = values_[id];
    const int n = v.width;
    auto constVec = [&](int c, std::array<float, 4>& out) {
        for (int i = 0; i < n; ++i)
            out[i] = constAt(c, i);
    };
    switch (v.op) {
    case Op::Const:
        return false;
    case Op::Shuffle:
        if (values_[v.args[0]].op == Op::Const || values_[v.args[0]].op == Op::Concat)
            return false;
        a.src = v.args[0];
        for (int i = 0; i < n; ++i)
            a.comps[i] = v.comps[i];
        a.k.fill(1);
        a.c.fill(0);
        return true;
    case Op::Neg:
        if (!asAffine(v.args[0], a))
            return false;
        for (int i = 0; i < n; ++i) {
            a.k[i] = -a.k[i];
            a.c[i] = -a.c[i];
        }
        return true;
    case Op::Add:
    case Op::Mul:
    case Op::Mad: {
        const int last = static_cast<int>(v.args.size()) - 1;
        for (int x = 0; x <= (v.op == Op::Mad ? 0 : 1); ++x) {
            bool consts = true;
            for (int j = 0; j <= last; ++j)
                consts = consts && (j == x || isConst(v.args[j]));
            if (!consts || !asAffine(v.args[x], a))
                continue;
            std::array<float, 4> k{1, 1, 1, 1}, c{0, 0, 0, 0};
            if (v.op == Op::Add)
                constVec(v.args[1 - x], c);
            else if (v.op == Op::Mul)
                constVec(v.args[1 - x], k);
            else {
                constVec(v.args[1], k);
                constVec(v.args[2], c);
            }
            for (int i = 0; i < n; ++i) {
                a.k[i] *= k[i];
                a.c[i] = a.c[i] * k[i] + c[i];
            }
            return true;
        }
        return false;
    }
    case Op::Concat:
        return false;
    default:
        if (n > 4)
            return false;
        a.src = id;
        for (int i = 0; i < 4; ++i)
            a.comps[i] = i;
        a.k.fill(1);
        a.c.fill(0);
        return true;
    }
}

// x + concat(..., 0, ...) or x * concat(..., 1, ...): the neutral pieces
// leave x's components alone, so each piece is done on its own.
int Builder::splitOverConcat(const Value& v, float neutral) {
    for (int s = 0; s < 2; ++s) {
        const int x = v.args[s], c = v.args[1 - s];
        const Value cv = values_[c];
        if (cv.op != Op::Concat || width(x) != cv.width)
            continue;
        bool any = false;
        for (int p : cv.args)
            any = any || isConstEqual(p, neutral);
        if (!any)
            continue;
        std::vector<int> parts;
        int lane = 0;
        for (int p : cv.args) {
            std::vector<int> slice;
            for (int i = 0; i < width(p); ++i)
                slice.push_back(lane + i);
            const int xs = shuffle(x, slice);
            parts.push_back(isConstEqual(p, neutral) ? xs
                            : v.op == Op::Add        ? add(xs, p)
                                                     : mul(xs, p));
            lane += width(p);
        }
        return concat(parts);
    }
    return -1;
}

int Builder::make(Value v) {
    // Rewrites nest; a bound keeps any pair of them from going round forever.
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(++x) {}
        ~Depth() { --d; }
    } depth(depth_);
    if (v.op != Op::Const && !IsLoopOp(v.op) && depth_ < 64) {
        const int folded = fold(v);
        if (folded >= 0)
            return folded;
    }
    if (!IsLoopOp(v.op)) {
        // The innermost loop of its operands: those all lie on one chain
        // of open loops, so the deepest holds the others.
        v.loop = -1;
        for (int a : v.args) {
            const int l = values_[a].loop;
            if (l >= 0 && (v.loop < 0 || loops_[l].depth > loops_[v.loop].depth))
                v.loop = l;
        }
    }
    if (v.op == Op::Const)
        for (int i = v.width; i < 4; ++i)
            v.imm[i] = 0;
    if (IsCommutative(v.op) && v.args[0] > v.args[1])
        std::swap(v.args[0], v.args[1]);
    int packed = 0;
    for (int i = 0; i < 4; ++i)
        packed = packed * 4 + (i < v.width ? v.comps[i] : 0);
    auto key = std::make_tuple(static_cast<int>(v.op), static_cast<int>(v.width), packed, v.slot,
                               v.args, v.imm);
    auto found = shared_.find(key);
    if (found != shared_.end())
        return found->second;
    values_.push_back(v);
    const int id = static_cast<int>(values_.size()) - 1;
    shared_.emplace(std::move(key), id);
    return id;
}

// Evaluates an operation on constants, or simplifies it; -1 when it stays.
int Builder::fold(Value& v) {
    bool allConst = !v.args.empty();
    for (int a : v.args)
        allConst = allConst && isConst(a);
    const int n = v.width;
    auto c = [&](int arg, int i) { return constAt(v.args[arg], i); };
    if (allConst && v.op != Op::Tex && v.op != Op::TexBias && v.op != Op::TexLod &&
        v.op != Op::Dsx && v.op != Op::Dsy) {
        std::array<float, 4> r{0, 0, 0, 0};
        switch (v.op) {
        case Op::Dp2:
        case Op::Dp3:
        case Op::Dp4: {
            const int k = v.op == Op::Dp2 ? 2 : v.op == Op::Dp3 ? 3 : 4;
            float s = 0;
            for (int i = 0; i < k; ++i)
                s += c(0, i) * c(1, i);
            return constant(s);
        }
        case Op::Nrm: {
            const float l = Rsq(c(0, 0) * c(0, 0) + c(0, 1) * c(0, 1) + c(0, 2) * c(0, 2));
            return constant({c(0, 0) * l, c(0, 1) * l, c(0, 2) * l, 0}, 3);
        }
        case Op::SinCos:
            return constant({std::cos(c(0, 0)), std::sin(c(0, 0)), 0, 0}, 2);
        case Op::Shuffle:
            for (int i = 0; i < n; ++i)
                r[i] = c(0, v.comps[i]);
            return constant(r, n);
        case Op::Concat: {
            int k = 0;
            for (size_t a = 0; a < v.args.size(); ++a)
                for (int i = 0; i < width(v.args[a]); ++i)
                    r[k++] = c(static_cast<int>(a), i);
            return constant(r, n);
        }
        default:
            break;
        }
        for (int i = 0; i < n; ++i) {
            switch (v.op) {
            case Op::Add:
                r[i] = c(0, i) + c(1, i);
                break;
            case Op::Mul:
                r[i] = c(0, i) * c(1, i);
                break;
            case Op::Mad:
                r[i] = c(0, i) * c(1, i) + c(2, i);
                break;
            case Op::Neg:
                r[i] = -c(0, i);
                break;
            case Op::Abs:
                r[i] = std::fabs(c(0, i));
                break;
            case Op::Min:
                r[i] = std::min(c(0, i), c(1, i));
                break;
            case Op::Max:
                r[i] = std::max(c(0, i), c(1, i));
                break;
            case Op::Sat:
                r[i] = std::min(std::max(c(0, i), 0.0f), 1.0f);
                break;
            case Op::Cmp:
                r[i] = c(0, i) >= 0 ? c(1, i) : c(2, i);
                break;
            case Op::Lrp:
                r[i] = c(0, i) * c(1, i) + (1 - c(0, i)) * c(2, i);
                break;
            case Op::Frc:
                r[i] = c(0, i) - std::floor(c(0, i));
                break;
            case Op::Rcp:
                r[i] = Rcp(c(0, i));
                break;
            case Op::Rsq:
                r[i] = Rsq(c(0, i));
                break;
            case Op::Exp2:
                r[i] = std::exp2(c(0, i));
                break;
            case Op::Log2:
                r[i] = Log2(c(0, i));
                break;
            case Op::Pow:
                r[i] = std::pow(std::fabs(c(0, i)), c(1, i));
                break;
            default:
                return -1;
            }
        }
        return constant(r, n);
    }
    // Copies: rewriting adds values and moves the vector.
    const Value a0v = v.args.empty() ? Value{} : values_[v.args[0]];
    const Value* a0 = &a0v;
    switch (v.op) {
    case Op::Add:
        if (isConstEqual(v.args[1], 0))
            return v.args[0];
        if (isConstEqual(v.args[0], 0))
            return v.args[1];
        // (x * k + c) + d stays one mad; c - x becomes x * -1 + c.
        for (int s = 0; s < 2; ++s) {
            const int x = v.args[s], d = v.args[1 - s];
            if (!isConst(d))
                continue;
            const Value xv = values_[x];
            if (xv.op == Op::Mad && isConst(xv.args[1]) && isConst(xv.args[2]))
                return mad(xv.args[0], xv.args[1], add(xv.args[2], d));
            if (xv.op == Op::Neg)
                return mad(xv.args[0], constant(-1), d);
            if (xv.op == Op::Add && isConst(xv.args[1]))
                return add(xv.args[0], add(xv.args[1], d));
        }
        if (v.args[0] == v.args[1])
            return mul(v.args[0], constant(2));
        for (int s = 0; s < 2; ++s)
            if (isConst(v.args[1 - s]) && values_[v.args[s]].op == Op::Concat) {
                const int m = mad(v.args[s], splat(constant(1), n), v.args[1 - s]);
                if (values_[m].op == Op::Concat)
                    return m;
            }
        // A constant term moves outwards, where it can meet another.
        for (int s = 0; s < 2; ++s) {
            const Value xv = values_[v.args[s]];
            const int y = v.args[1 - s];
            if (isConst(y))
                continue;
            if (xv.op == Op::Add && isConst(xv.args[1]) && !isConst(xv.args[0]))
                return add(add(xv.args[0], y), xv.args[1]);
            if (xv.op == Op::Mad && isConst(xv.args[1]) && isConst(xv.args[2]) &&
                !isConstEqual(xv.args[1], 1) && values_[y].op != Op::Mul &&
                values_[y].op != Op::Add && values_[y].op != Op::Mad)
                return mad(xv.args[0], xv.args[1], add(y, xv.args[2]));
        }
        if (int r = splitOverConcat(v, 0.0f); r >= 0)
            return r;
        return -1;
    case Op::Mul:
        for (int s = 0; s < 2; ++s) {
            const int x = v.args[s], k = v.args[1 - s];
            if (isConstEqual(k, 1) && width(x) == n)
                return x;
            if (isConstEqual(k, -1) && width(x) == n)
                return neg(x);
            if (isConstEqual(k, 0))
                return splat(constant(0), n);
            if (int r = splitOverConcat(v, 1.0f); r >= 0)
                return r;
            if (isConst(k) && values_[x].op == Op::Concat && width(x) == n) {
                const int m = mad(x, k, splat(constant(0), n));
                if (values_[m].op == Op::Concat)
                    return m;
            }
            if (isConst(k) && values_[x].op == Op::Mad && isConst(values_[x].args[1]) &&
                isConst(values_[x].args[2])) {
                const std::vector<int> xa = values_[x].args;
                const int kk = mul(xa[1], k), cc = mul(xa[2], k);
                return mad(xa[0], kk, cc);
            }
        }
        return -1;
    case Op::Mad:
        if (isConst(v.args[1]) && isConst(v.args[2]) && a0->op == Op::Add && isConst(a0->args[1]))
            return mad(a0->args[0], v.args[1], mad(a0->args[1], v.args[1], v.args[2]));
        if (isConst(v.args[1]) && isConst(v.args[2]) && a0->op == Op::Concat) {
            // Spread over pieces that are themselves affine, so they merge.
            bool affine = true;
            Affine a;
            for (int p : a0->args)
                affine = affine && asAffine(p, a);
            if (affine) {
                std::vector<int> parts;
                int lane = 0;
                for (int p : a0->args) {
                    std::vector<int> slice;
                    for (int i = 0; i < width(p); ++i)
                        slice.push_back(lane + i);
                    parts.push_back(mad(p, shuffle(v.args[1], slice), shuffle(v.args[2], slice)));
                    lane += width(p);
                }
                return concat(parts);
            }
        }
        if (isConstEqual(v.args[2], 0))
            return mul(v.args[0], v.args[1]);
        if (isConstEqual(v.args[1], 1) && width(v.args[0]) == n)
            return add(v.args[0], v.args[2]);
        if (isConstEqual(v.args[0], 1) && width(v.args[1]) == n)
            return add(v.args[1], v.args[2]);
        if (isConst(v.args[1]) && isConst(v.args[2]) && a0->op == Op::Mad && isConst(a0->args[1]) &&
            isConst(a0->args[2])) {
            const int k = v.args[1], d = v.args[2];
            return mad(a0->args[0], mul(a0->args[1], k), mad(a0->args[2], k, d));
        }
        if (isConst(v.args[1]) && isConst(v.args[2]) && a0->op == Op::Neg)
            return mad(a0->args[0], neg(v.args[1]), v.args[2]);
        return -1;
    case Op::Neg:
        if (a0->op == Op::Neg)
            return a0->args[0];
        if (a0->op == Op::Add && isConst(a0->args[1]))
            return mad(a0->args[0], constant(-1), neg(a0->args[1]));
        if (a0->op == Op::Mad && isConst(a0->args[1]) && isConst(a0->args[2]))
            return mad(a0->args[0], neg(a0->args[1]), neg(a0->args[2]));
        return -1;
    case Op::Abs:
        if (a0->op == Op::Abs || a0->op == Op::Neg)
            return abs(a0->args[0]);
        return -1;
    case Op::Min:
    case Op::Max:
        if (v.args[0] == v.args[1])
            return v.args[0];
        // max(min(x, 1), 0) and its mirror are one saturate.
        for (int side = 0; side < 2; ++side) {
            const int k = v.args[side], inner = v.args[1 - side];
            const Value iv = values_[inner];
            const Op other = v.op == Op::Max ? Op::Min : Op::Max;
            if (iv.op != other || width(inner) != n)
                continue;
            const float outer = v.op == Op::Max ? 0.0f : 1.0f, in = v.op == Op::Max ? 1.0f : 0.0f;
            if (!isConstEqual(k, outer))
                continue;
            for (int s2 = 0; s2 < 2; ++s2)
                if (isConstEqual(iv.args[s2], in) && width(iv.args[1 - s2]) == n)
                    return sat(iv.args[1 - s2]);
        }
        return -1;
    case Op::Sat:
        if (a0->op == Op::Sat)
            return v.args[0];
        return -1;
    case Op::Cmp:
        if (v.args[1] == v.args[2])
            return v.args[1];
        if (isConst(v.args[0])) {
            bool allGe = true, allLt = true;
            for (int i = 0; i < n; ++i) {
                const bool ge = c(0, i) >= 0;
                allGe = allGe && ge;
                allLt = allLt && !ge;
            }
            if (allGe)
                return splat(v.args[1], n);
            if (allLt)
                return splat(v.args[2], n);
        }
        return -1;
    case Op::Lrp:
        if (v.args[1] == v.args[2])
            return v.args[1];
        if (isConstEqual(v.args[0], 1))
            return splat(v.args[1], n);
        if (isConstEqual(v.args[0], 0))
            return splat(v.args[2], n);
        return -1;
    case Op::Shuffle: {
        bool identity = width(v.args[0]) == n;
        for (int i = 0; i < n && identity; ++i)
            identity = v.comps[i] == i;
        if (identity)
            return v.args[0];
        if (width(v.args[0]) == 1 && n == 1)
            return v.args[0];
        if (a0->op == Op::Shuffle) {
            Value w = v;
            w.args = {a0->args[0]};
            for (int i = 0; i < n; ++i)
                w.comps[i] = a0->comps[v.comps[i]];
            return make(w);
        }
        if (a0->op == Op::Uniform) {
            Value w = *a0;
            w.width = static_cast<uint8_t>(n);
            for (int i = 0; i < n; ++i)
                w.comps[i] = a0->comps[v.comps[i]];
            return make(w);
        }
        if (a0->op == Op::Concat) {
            // Pick straight from the parts.
            std::vector<int> parts;
            for (int i = 0; i < n; ++i) {
                int k = v.comps[i];
                size_t p = 0;
                while (k >= width(a0->args[p]))
                    k -= width(a0->args[p++]);
                parts.push_back(shuffle(a0->args[p], {k}));
            }
            return concat(parts);
        }
        return -1;
    }
    case Op::Concat: {
        if (v.args.size() == 1)
            return v.args[0];
        {
            // Affine pieces of one value become one affine operation on it.
            std::array<int, 4> comps{};
            std::array<float, 4> k{}, c{};
            int src = -1, lane = 0;
            bool ok = true, trivial = true;
            for (int p : v.args) {
                Affine a;
                if (!asAffine(p, a) || (src >= 0 && a.src != src)) {
                    ok = false;
                    break;
                }
                src = a.src;
                for (int i = 0; i < width(p); ++i, ++lane) {
                    comps[lane] = a.comps[i];
                    k[lane] = a.k[i];
                    c[lane] = a.c[i];
                    trivial = trivial && a.k[i] == 1 && a.c[i] == 0;
                }
            }
            if (ok && !trivial && src >= 0) {
                std::vector<int> picks(comps.begin(), comps.begin() + n);
                return mad(shuffle(src, picks), constant(k, n), constant(c, n));
            }
        }
        // Neighbouring picks from one value merge into one pick.
        std::vector<int> merged;
        bool changed = false;
        for (int a : v.args) {
            if (!merged.empty()) {
                const int prev = merged.back();
                const Value pv = values_[prev];
                const Value av = values_[a];
                const int ps = pv.op == Op::Shuffle ? pv.args[0] : prev;
                const int as = av.op == Op::Shuffle ? av.args[0] : a;
                if (ps == as && values_[ps].op != Op::Const && pv.width + av.width <= 4) {
                    std::vector<int> comps;
                    for (int i = 0; i < pv.width; ++i)
                        comps.push_back(pv.op == Op::Shuffle ? pv.comps[i] : i);
                    for (int i = 0; i < av.width; ++i)
                        comps.push_back(av.op == Op::Shuffle ? av.comps[i] : i);
                    merged.back() = shuffle(ps, comps);
                    changed = true;
                    continue;
                }
            }
            merged.push_back(a);
        }
        if (changed)
            return concat(merged);
        return -1;
    }
    default:
        return -1;
    }
}

int Builder::constant(std::array<float, 4> v, int width) {
    Value x;
    x.op = Op::Const;
    x.width = static_cast<uint8_t>(width);
    x.imm = v;
    return make(x);
}

int Builder::uniform(int reg, int width, std::array<uint8_t, 4> comps) {
    Value x;
    x.op = Op::Uniform;
    x.width = static_cast<uint8_t>(width);
    x.slot = reg;
    x.comps = comps;
    return make(x);
}

int Builder::input() {
    Value x;
    x.op = Op::Input;
    x.width = 2;
    return make(x);
}

int Builder::input(int slot, int width) {
    Value x;
    x.op = Op::Input;
    x.width = static_cast<uint8_t>(width);
    x.slot = slot;
    return make(x);
}

namespace {
Value Node(Op op, int width, std::vector<int> args) {
    Value v;
    v.op = op;
    v.width = static_cast<uint8_t>(width);
    v.args = std::move(args);
    return v;
}
} // namespace

int Builder::tex(int sampler, int coord) {
    Value v = Node(Op::Tex, 4, {splat(coord, 2)});
    v.slot = sampler;
    return make(v);
}

int Builder::texBias(int sampler, int coord, int bias) {
    Value v = Node(Op::TexBias, 4, {splat(coord, 2), bias});
    v.slot = sampler;
    return make(v);
}

int Builder::texLod(int sampler, int coord, int lod) {
    Value v = Node(Op::TexLod, 4, {splat(coord, 2), lod});
    v.slot = sampler;
    return make(v);
}

int Builder::splat(int a, int n) {
    if (width(a) != 1 || n == 1)
        return a;
    if (isConst(a))
        return constant({constAt(a, 0), constAt(a, 0), constAt(a, 0), constAt(a, 0)}, n);
    std::vector<int> comps(n, 0);
    return shuffle(a, comps);
}

// Componentwise operations take scalars for vectors, as GLSL does.
#define QC_BINARY(name, op)                                                                        \
    int Builder::name(int a, int b) {                                                              \
        const int n = std::max(width(a), width(b));                                                \
        return make(Node(op, n, {splat(a, n), splat(b, n)}));                                      \
    }
QC_BINARY(add, Op::Add)
QC_BINARY(mul, Op::Mul)
QC_BINARY(min, Op::Min)
QC_BINARY(max, Op::Max)
QC_BINARY(pow, Op::Pow)
#undef QC_BINARY

#define QC_UNARY(name, op)                                                                         \
    int Builder::name(int a) { return make(Node(op, width(a), {a})); }
QC_UNARY(neg, Op::Neg)
QC_UNARY(abs, Op::Abs)
QC_UNARY(sat, Op::Sat)
QC_UNARY(frc, Op::Frc)
QC_UNARY(rcp, Op::Rcp)
QC_UNARY(rsq, Op::Rsq)
QC_UNARY(exp2, Op::Exp2)
QC_UNARY(log2, Op::Log2)
QC_UNARY(dsx, Op::Dsx)
QC_UNARY(dsy, Op::Dsy)
#undef QC_UNARY

int Builder::mad(int a, int b, int c) {
    const int n = std::max({width(a), width(b), width(c)});
    return make(Node(Op::Mad, n, {splat(a, n), splat(b, n), splat(c, n)}));
}

int Builder::cmp(int c, int a, int b) {
    const int n = std::max({width(c), width(a), width(b)});
    return make(Node(Op::Cmp, n, {splat(c, n), splat(a, n), splat(b, n)}));
}

int Builder::lrp(int t, int a, int b) {
    const int n = std::max({width(t), width(a), width(b)});
    return make(Node(Op::Lrp, n, {splat(t, n), splat(a, n), splat(b, n)}));
}

int Builder::sinCos(int a) { return make(Node(Op::SinCos, 2, {a})); }

int Builder::dot(int a, int b) {
    const int n = std::max(width(a), width(b));
    a = splat(a, n);
    b = splat(b, n);
    if (n == 1)
        return mul(a, b);
    return make(Node(n == 2 ? Op::Dp2 : n == 3 ? Op::Dp3 : Op::Dp4, 1, {a, b}));
}

int Builder::nrm(int a) { return make(Node(Op::Nrm, 3, {a})); }

int Builder::shuffle(int a, std::initializer_list<int> comps) {
    return shuffle(a, std::vector<int>(comps));
}

int Builder::shuffle(int a, const std::vector<int>& comps) {
    Value v = Node(Op::Shuffle, static_cast<int>(comps.size()), {a});
    for (size_t i = 0; i < comps.size(); ++i)
        v.comps[i] = static_cast<uint8_t>(comps[i]);
    return make(v);
}

int Builder::concat(const std::vector<int>& parts) {
    int n = 0;
    for (int p : parts)
        n += width(p);
    return make(Node(Op::Concat, n, parts));
}

int Builder::beginLoop(int count) {
    LoopInfo l;
    l.parent = current_;
    l.depth = current_ < 0 ? 1 : loops_[current_].depth + 1;
    l.count = count;
    loops_.push_back(l);
    current_ = static_cast<int>(loops_.size()) - 1;
    return current_;
}

int Builder::carry(int initial) {
    Value v = Node(Op::Carried, width(initial), {initial});
    v.slot = current_;
    v.loop = current_;
    // Unique: the key holds the loop and how many it carries already.
    v.imm[0] = static_cast<float>(loops_[current_].carried.size());
    const int id = make(v);
    loops_[current_].carried.push_back(id);
    return id;
}

void Builder::endLoop(const std::vector<int>& next) {
    LoopInfo& l = loops_[current_];
    Value v = Node(Op::LoopEnd, 1, next);
    v.slot = current_;
    v.loop = l.parent;
    l.end = make(v);
    current_ = l.parent;
}

int Builder::after(int carried) {
    const Value& c = values_[carried];
    const LoopInfo& l = loops_[c.slot];
    const auto at = std::find(l.carried.begin(), l.carried.end(), carried);
    Value v = Node(Op::LoopOut, c.width, {l.end});
    v.slot = static_cast<int>(at - l.carried.begin());
    v.loop = l.parent;
    return make(v);
}

bool Builder::within(int inner, int outer) const {
    for (int l = inner; l >= 0; l = loops_[l].parent)
        if (l == outer)
            return true;
    return outer < 0;
}

int Builder::param(int index, int width) {
    Value v;
    v.op = Op::Param;
    v.slot = index;
    v.width = static_cast<uint8_t>(width);
    return make(v);
}

int Builder::call(int sub, const std::vector<int>& args, int width) {
    Value v;
    v.op = Op::Call;
    v.slot = sub;
    v.args = args;
    v.width = static_cast<uint8_t>(width);
    return make(v);
}

std::vector<int> Builder::useCounts(const std::vector<int>& roots) const {
    std::vector<int> uses(values_.size(), 0);
    std::vector<char> live(values_.size(), 0);
    for (int r : roots)
        live[r] = 1;
    for (int i = static_cast<int>(values_.size()) - 1; i >= 0; --i) {
        if (!live[i])
            continue;
        for (int a : values_[i].args) {
            live[a] = 1;
            ++uses[a];
        }
    }
    for (int r : roots)
        ++uses[r];
    return uses;
}

} // namespace qc
