#include <cmath>

#include "compiler/Lower.h"

namespace qc {

namespace {
constexpr double kPi = 3.14159265358979323846;

// Horner's rule over coefficients from the highest power down.
int Polynomial(Builder& b, int x, std::initializer_list<double> coefficients) {
    auto c = coefficients.begin();
    int r = b.constant(static_cast<float>(*c++));
    for (; c != coefficients.end(); ++c)
        r = b.mad(r, x, b.constant(static_cast<float>(*c)));
    return r;
}
} // namespace

// sincos is defined on [-pi, pi] only: x - 2 pi round(x / 2 pi). The
// whole turns k are subtracted in two parts (6.28125 has few bits, so k times
// it is exact), which keeps hash-like sin(large x) close to the true value;
// the clamp keeps a k rounded the other way inside the domain.
int ReduceAngle(Builder& b, int x) {
    if (b.isConst(x))
        return x;
    constexpr double kHigh = 6.28125;
    const int t = b.mad(x, b.constant(static_cast<float>(0.5 / kPi)), b.constant(0.5f));
    const int k = b.sub(t, b.frc(t));
    int r = b.mad(k, b.constant(static_cast<float>(-kHigh)), x);
    r = b.mad(k, b.constant(static_cast<float>(kHigh - 2 * kPi)), r);
    const float pi = std::nextafter(static_cast<float>(kPi), 0.0f);
    return b.max(b.min(r, b.constant(pi)), b.constant(-pi));
}

int Sin(Builder& b, int x) {
    return PerComponent(b, x, [&](int c) { return b.component(b.sinCos(ReduceAngle(b, c)), 1); });
}

int Cos(Builder& b, int x) {
    return PerComponent(b, x, [&](int c) { return b.component(b.sinCos(ReduceAngle(b, c)), 0); });
}

int Tan(Builder& b, int x) {
    return PerComponent(b, x, [&](int c) {
        const int sc = b.sinCos(ReduceAngle(b, c));
        return b.mul(b.component(sc, 1), b.rcp(b.component(sc, 0)));
    });
}

// acos(|x|) = sqrt(1 - |x|) p(|x|) (Abramowitz and Stegun 4.4.46, error
// 2e-8), mirrored for negative x.
int Acos(Builder& b, int x) {
    return PerComponent(b, x, [&](int c) {
        const int a = b.abs(c);
        const int p = Polynomial(b, a,
                                 {-0.0012624911, 0.0066700901, -0.0170881256, 0.0308918810,
                                  -0.0501743046, 0.0889789874, -0.2145988016, 1.5707963050});
        const int r = b.mul(p, Sqrt(b, b.mad(a, b.constant(-1), b.constant(1))));
        return b.cmp(c, r, b.mad(r, b.constant(-1), b.constant(static_cast<float>(kPi))));
    });
}

int Asin(Builder& b, int x) {
    return b.mad(Acos(b, x), b.constant(-1), b.constant(static_cast<float>(kPi / 2)));
}

namespace {
// atan(t) for t in [0, 1] (Abramowitz and Stegun 4.4.49, error 2e-8).
int AtanUnit(Builder& b, int t) {
    const int s = b.mul(t, t);
    const int p = Polynomial(b, s,
                             {0.0028662257, -0.0161657367, 0.0429096138, -0.0752896400,
                              0.1065626393, -0.1420889944, 0.1999355085, -0.3333314528, 1.0});
    return b.mul(p, t);
}
} // namespace

// atan2 as GLSL has it: (-pi, pi], from the octant's ratio.
int Atan2(Builder& b, int y, int x) {
    const int n = std::max(b.width(y), b.width(x));
    y = b.splat(y, n);
    x = b.splat(x, n);
    std::vector<int> parts;
    for (int i = 0; i < n; ++i) {
        const int yc = n == 1 ? y : b.component(y, i);
        const int xc = n == 1 ? x : b.component(x, i);
        const int ay = b.abs(yc), ax = b.abs(xc);
        const int hi = b.max(ax, ay), lo = b.min(ax, ay);
        // atan2(0, 0) is 0: the ratio's divisor never reaches 0, where rcp
        // gives infinity and 0 * inf no number.
        const int r0 = AtanUnit(b, b.mul(lo, b.rcp(b.max(hi, b.constant(1e-30f)))));
        const int halfPi = b.constant(static_cast<float>(kPi / 2));
        const int r1 = b.cmp(b.sub(ax, ay), r0, b.sub(halfPi, r0));
        const int r2 = b.cmp(xc, r1, b.sub(b.constant(static_cast<float>(kPi)), r1));
        parts.push_back(b.cmp(yc, r2, b.neg(r2)));
    }
    return b.concat(parts);
}

int Atan(Builder& b, int x) {
    return PerComponent(b, x, [&](int c) {
        const int a = b.abs(c);
        const int big = b.sub(a, b.constant(1));
        // |x| > 1: atan(x) = pi/2 - atan(1/x).
        const int t = b.cmp(big, b.rcp(a), a);
        const int r0 = AtanUnit(b, t);
        const int r1 = b.cmp(big, b.sub(b.constant(static_cast<float>(kPi / 2)), r0), r0);
        return b.cmp(c, r1, b.neg(r1));
    });
}

int Sinh(Builder& b, int x) {
    const int e = Exp(b, x), f = Exp(b, b.neg(x));
    return b.mul(b.sub(e, f), b.constant(0.5f));
}

int Cosh(Builder& b, int x) {
    const int e = Exp(b, x), f = Exp(b, b.neg(x));
    return b.mul(b.add(e, f), b.constant(0.5f));
}

// 1 - 2 / (e^2x + 1): no inf / inf for large x.
int Tanh(Builder& b, int x) {
    const int e = Exp(b, b.mul(x, b.constant(2)));
    return b.sub(b.constant(1),
                 b.mul(b.constant(2), Div(b, b.constant(1), b.add(e, b.constant(1)))));
}

} // namespace qc
