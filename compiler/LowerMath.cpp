#include <cmath>

#include "compiler/Lower.h"

namespace qc {

int Div(Builder& b, int x, int y) {
    if (b.isConst(y)) {
        std::array<float, 4> r{};
        for (int i = 0; i < b.width(y); ++i)
            r[i] = 1.0f / b.constAt(y, i);
        return b.mul(x, b.constant(r, b.width(y)));
    }
    // rcp is a scalar instruction: one a component.
    const int n = b.width(y);
    int inv;
    if (n == 1) {
        inv = b.rcp(y);
    } else {
        std::vector<int> parts;
        for (int i = 0; i < n; ++i)
            parts.push_back(b.rcp(b.component(y, i)));
        inv = b.concat(parts);
    }
    return b.mul(x, inv);
}

int Floor(Builder& b, int x) { return b.sub(x, b.frc(x)); }

// -floor(-x)
int Ceil(Builder& b, int x) { return b.add(x, b.frc(b.neg(x))); }

int Trunc(Builder& b, int x) { return b.cmp(x, Floor(b, x), Ceil(b, x)); }

int Round(Builder& b, int x) { return Floor(b, b.add(x, b.constant(0.5f))); }

// x - y * floor(x / y), as GLSL defines it (the result takes y's sign).
int Mod(Builder& b, int x, int y) {
    const int n = std::max(b.width(x), b.width(y));
    x = b.splat(x, n);
    y = b.splat(y, n);
    return b.mad(b.neg(y), Floor(b, Div(b, x, y)), x);
}

// 1, 0 or -1.
int Sign(Builder& b, int x) {
    return b.cmp(x, b.cmp(b.neg(x), b.constant(0), b.constant(1)), b.constant(-1));
}

int Step(Builder& b, int edge, int x) {
    return b.cmp(b.sub(x, edge), b.constant(1), b.constant(0));
}

int SmoothStep(Builder& b, int e0, int e1, int x) {
    const int t = b.sat(Div(b, b.sub(x, e0), b.sub(e1, e0)));
    return b.mul(b.mul(t, t), b.mad(t, b.constant(-2), b.constant(3)));
}

int Clamp(Builder& b, int x, int lo, int hi) { return b.min(b.max(x, lo), hi); }

int Mix(Builder& b, int x, int y, int t) { return b.lrp(t, y, x); }

// 1 / rsq keeps sqrt(0) = 0, where x * rsq(x) would give 0 * inf.
int Sqrt(Builder& b, int x) {
    const int n = b.width(x);
    std::vector<int> parts;
    for (int i = 0; i < n; ++i) {
        const int c = n == 1 ? x : b.component(x, i);
        parts.push_back(b.rcp(b.rsq(c)));
    }
    return b.concat(parts);
}

int Exp(Builder& b, int x) {
    const int scaled = b.mul(x, b.constant(1.4426950408889634f));
    return PerComponent(b, scaled, [&](int c) { return b.exp2(c); });
}

int Log(Builder& b, int x) {
    const int l = PerComponent(b, x, [&](int c) { return b.log2(c); });
    return b.mul(l, b.constant(0.6931471805599453f));
}

// Small whole exponents as products: exact, and right for negative bases
// where pow's |x| ^ y is not.
int Pow(Builder& b, int x, int y) {
    const int n = std::max(b.width(x), b.width(y));
    x = b.splat(x, n);
    if (b.isConst(y)) {
        bool same = true;
        for (int i = 1; i < b.width(y); ++i)
            same = same && b.constAt(y, i) == b.constAt(y, 0);
        const float e = b.constAt(y, 0);
        if (same) {
            if (e == 1)
                return x;
            if (e == 2)
                return b.mul(x, x);
            if (e == 3)
                return b.mul(b.mul(x, x), x);
            if (e == 4) {
                const int s = b.mul(x, x);
                return b.mul(s, s);
            }
            if (e == 0.5f)
                return Sqrt(b, x);
        }
    }
    y = b.splat(y, n);
    if (n == 1)
        return b.pow(x, y);
    std::vector<int> parts;
    for (int i = 0; i < n; ++i)
        parts.push_back(b.pow(b.component(x, i), b.component(y, i)));
    return b.concat(parts);
}

} // namespace qc
