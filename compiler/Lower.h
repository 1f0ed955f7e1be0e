#pragma once

// Built-in functions and operators in terms of the instructions Direct3D 9
// pixel shaders have. Each family lives in its own file; all take and give
// builder values.

#include "compiler/Ir.h"

namespace qc {

// f applied to each component of x, the results put together again.
template <class F> int PerComponent(Builder& b, int x, F f) {
    const int n = b.width(x);
    if (n == 1)
        return f(x);
    std::vector<int> parts;
    for (int i = 0; i < n; ++i)
        parts.push_back(f(b.component(x, i)));
    return b.concat(parts);
}

// Comparisons and logic: booleans are 0 or 1.
int LessThan(Builder& b, int x, int y);
int LessEqual(Builder& b, int x, int y);
int Equal(Builder& b, int x, int y);
int Not(Builder& b, int c);
int And(Builder& b, int c, int d);
int Or(Builder& b, int c, int d);
int Select(Builder& b, int cond, int ifTrue, int ifFalse);
int AnyOf(Builder& b, int c);
int AllOf(Builder& b, int c);

// Arithmetic the hardware lacks.
int Div(Builder& b, int x, int y);
int Floor(Builder& b, int x);
int Ceil(Builder& b, int x);
int Trunc(Builder& b, int x);
int Round(Builder& b, int x);
int Mod(Builder& b, int x, int y);
int Sign(Builder& b, int x);
int Step(Builder& b, int edge, int x);
int SmoothStep(Builder& b, int e0, int e1, int x);
int Clamp(Builder& b, int x, int lo, int hi);
int Mix(Builder& b, int x, int y, int t);
int Sqrt(Builder& b, int x);
int Exp(Builder& b, int x);
int Log(Builder& b, int x);
int Pow(Builder& b, int x, int y);

// Trigonometry: arguments reduced to [-pi, pi] before sincos; the inverse
// functions from polynomials accurate to about 1e-7.
int ReduceAngle(Builder& b, int x);
int Sin(Builder& b, int x);
int Cos(Builder& b, int x);
int Tan(Builder& b, int x);
int Asin(Builder& b, int x);
int Acos(Builder& b, int x);
int Atan(Builder& b, int x);
int Atan2(Builder& b, int y, int x);
int Sinh(Builder& b, int x);
int Cosh(Builder& b, int x);
int Tanh(Builder& b, int x);

// Vectors.
int Length(Builder& b, int v);
int Distance(Builder& b, int p, int q);
int Normalize(Builder& b, int v);
int Cross(Builder& b, int p, int q);
int Reflect(Builder& b, int i, int n);

} // namespace qc
