#include <algorithm>

#include "compiler/Lower.h"

namespace qc {

// A comparison is cmp(d, 1, 0) or cmp(d, 0, 1) of a difference d, so that a
// select on it, or its negation, stays one cmp.
int LessThan(Builder& b, int x, int y) { return b.cmp(b.sub(x, y), b.constant(0), b.constant(1)); }

int LessEqual(Builder& b, int x, int y) { return b.cmp(b.sub(y, x), b.constant(1), b.constant(0)); }

int Equal(Builder& b, int x, int y) {
    const int d = b.sub(x, y);
    return b.cmp(b.neg(b.mul(d, d)), b.constant(1), b.constant(0));
}

namespace {
// cmp(d, 1, 0) / cmp(d, 0, 1): the difference and whether >= 0 means true.
bool AsComparison(const Builder& b, int c, int& d, bool& geIsTrue) {
    const Value& v = b.at(c);
    if (v.op != Op::Cmp)
        return false;
    if (b.isConstEqual(v.args[1], 1) && b.isConstEqual(v.args[2], 0)) {
        d = v.args[0];
        geIsTrue = true;
        return true;
    }
    if (b.isConstEqual(v.args[1], 0) && b.isConstEqual(v.args[2], 1)) {
        d = v.args[0];
        geIsTrue = false;
        return true;
    }
    return false;
}
} // namespace

int Not(Builder& b, int c) {
    int d;
    bool ge;
    if (AsComparison(b, c, d, ge))
        return b.cmp(d, b.constant(ge ? 0.0f : 1.0f), b.constant(ge ? 1.0f : 0.0f));
    return b.mad(c, b.constant(-1), b.constant(1));
}

int And(Builder& b, int c, int d) { return b.mul(c, d); }

namespace {
bool Complementary(const Builder& b, int c, int d) {
    int dc, dd;
    bool gc, gd;
    if (AsComparison(b, c, dc, gc) && AsComparison(b, d, dd, gd))
        return dc == dd && gc != gd;
    const Value& v = b.at(d);
    return v.op == Op::Mad && v.args[0] == c && b.isConstEqual(v.args[1], -1) &&
           b.isConstEqual(v.args[2], 1);
}
} // namespace

// Paths that split on a condition and meet again: p c + p (not c) = p.
int Or(Builder& b, int c, int d) {
    if (Complementary(b, c, d) || Complementary(b, d, c))
        return b.constant(1);
    const Value& vc = b.at(c);
    const Value& vd = b.at(d);
    if (vc.op == Op::Mul && vd.op == Op::Mul)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                if (vc.args[i] == vd.args[j] && (Complementary(b, vc.args[1 - i], vd.args[1 - j]) ||
                                                 Complementary(b, vd.args[1 - j], vc.args[1 - i])))
                    return vc.args[i];
    return b.max(c, d);
}

int Select(Builder& b, int cond, int ifTrue, int ifFalse) {
    int d;
    bool ge;
    if (AsComparison(b, cond, d, ge))
        return ge ? b.cmp(d, ifTrue, ifFalse) : b.cmp(d, ifFalse, ifTrue);
    return b.cmp(b.neg(cond), ifFalse, ifTrue);
}

int AnyOf(Builder& b, int c) {
    int r = b.component(c, 0);
    for (int i = 1; i < b.width(c); ++i)
        r = b.max(r, b.component(c, i));
    return r;
}

int AllOf(Builder& b, int c) {
    int r = b.component(c, 0);
    for (int i = 1; i < b.width(c); ++i)
        r = b.min(r, b.component(c, i));
    return r;
}

} // namespace qc
