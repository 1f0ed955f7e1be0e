#include "compiler/Lower.h"

namespace qc {

int Length(Builder& b, int v) {
    if (b.width(v) == 1)
        return b.abs(v);
    return Sqrt(b, b.dot(v, v));
}

int Distance(Builder& b, int p, int q) { return Length(b, b.sub(p, q)); }

int Normalize(Builder& b, int v) {
    if (b.width(v) == 1)
        return Sign(b, v);
    if (b.width(v) == 3)
        return b.nrm(v);
    return b.mul(v, b.rsq(b.dot(v, v)));
}

int Cross(Builder& b, int p, int q) {
    const int a = b.mul(b.shuffle(p, {1, 2, 0}), b.shuffle(q, {2, 0, 1}));
    return b.mad(b.neg(b.shuffle(p, {2, 0, 1})), b.shuffle(q, {1, 2, 0}), a);
}

int Reflect(Builder& b, int i, int n) {
    const int d = b.mul(b.dot(n, i), b.constant(-2));
    return b.mad(b.splat(d, b.width(n)), n, i);
}

} // namespace qc
