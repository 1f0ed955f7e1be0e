#include "host/fx/FxValues.h"

#include <climits>
#include <cstring>

namespace fxhost {

DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}
float BitsFloat(DWORD d) {
    float f;
    std::memcpy(&f, &d, sizeof f);
    return f;
}

float ToFloat(D3DXPARAMETER_TYPE type, DWORD raw) {
    switch (type) {
    case D3DXPT_FLOAT:
        return BitsFloat(raw);
    case D3DXPT_INT:
        return static_cast<float>(static_cast<INT>(raw));
    default:
        return raw ? 1.0f : 0.0f;
    }
}
INT ToInt(D3DXPARAMETER_TYPE type, DWORD raw) {
    switch (type) {
    case D3DXPT_FLOAT: {
        const float f = BitsFloat(raw);
        if (!(f > -2147483648.0f && f < 2147483648.0f))
            return f > 0 ? INT_MAX : INT_MIN;
        return static_cast<INT>(f);
    }
    case D3DXPT_INT:
        return static_cast<INT>(raw);
    default:
        return raw ? 1 : 0;
    }
}
BOOL ToBool(D3DXPARAMETER_TYPE type, DWORD raw) {
    return type == D3DXPT_FLOAT ? BitsFloat(raw) != 0.0f : raw != 0;
}
DWORD Convert(D3DXPARAMETER_TYPE to, D3DXPARAMETER_TYPE from, DWORD raw) {
    switch (to) {
    case D3DXPT_FLOAT:
        return FloatBits(ToFloat(from, raw));
    case D3DXPT_INT:
        return static_cast<DWORD>(ToInt(from, raw));
    default:
        return static_cast<DWORD>(ToBool(from, raw));
    }
}

} // namespace fxhost
