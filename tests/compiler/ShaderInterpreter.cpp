#include "tests/compiler/ShaderInterpreter.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host/fx/ShaderDecode.h"

namespace qc_test {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct Machine {
    std::array<Vec4, 32> r{};
    std::array<Vec4, 224> c{};
    Vec4 input{};
    Vec4 out{};
    std::string fault;
};

Vec4 Read(Machine& m, const fx::DecodedOperand& o) {
    Vec4 v{};
    switch (o.type) {
    case fx::RegisterType::Temp:
        v = m.r.at(o.number);
        break;
    case fx::RegisterType::Const:
        v = m.c.at(o.number);
        break;
    case fx::RegisterType::Texture:
    case fx::RegisterType::Input:
        v = m.input;
        break;
    default:
        m.fault = "reads an unexpected register";
        break;
    }
    Vec4 s;
    for (int k = 0; k < 4; ++k)
        s[k] = v[fx::SwizzleComponent(o.swizzle, k)];
    for (float& x : s) {
        switch (o.modifier) {
        case fx::SourceModifier::None:
            break;
        case fx::SourceModifier::Neg:
            x = -x;
            break;
        case fx::SourceModifier::Abs:
            x = std::fabs(x);
            break;
        case fx::SourceModifier::AbsNeg:
            x = -std::fabs(x);
            break;
        default:
            m.fault = "an unexpected source modifier";
            break;
        }
    }
    return s;
}

void Write(Machine& m, const fx::DecodedOperand& d, const Vec4& v) {
    Vec4* target = nullptr;
    if (d.type == fx::RegisterType::Temp)
        target = &m.r.at(d.number);
    else if (d.type == fx::RegisterType::ColorOut && d.number == 0)
        target = &m.out;
    else {
        m.fault = "writes an unexpected register";
        return;
    }
    const bool sat = (d.modifiers & fx::kModSaturate) != 0;
    for (int k = 0; k < 4; ++k)
        if (d.writeMask >> k & 1)
            (*target)[k] = sat ? std::fmin(std::fmax(v[k], 0.0f), 1.0f) : v[k];
}

float Rcp(float x) { return x == 0 ? kInf : 1.0f / x; }
float Rsq(float x) { return x == 0 ? kInf : 1.0f / std::sqrt(std::fabs(x)); }
float Log(float x) { return x == 0 ? -kInf : std::log2(std::fabs(x)); }

} // namespace

PixelResult RunPixelShader(const std::vector<uint32_t>& tokens, const PixelInputs& in) {
    PixelResult result;
    fx::DecodedShader shader;
    fx::DecodeError error;
    if (!fx::DecodeShader(tokens, shader, error)) {
        result.fault = "does not decode: " + error.text;
        return result;
    }
    Machine m;
    for (size_t i = 0; i < in.constants.size() && i < m.c.size(); ++i)
        m.c[i] = in.constants[i];
    m.input = in.texcoord;
    using O = fx::Opcode;
    for (const fx::DecodedInstruction& ins : shader.instructions) {
        auto src = [&](size_t i) { return Read(m, ins.sources.at(i)); };
        Vec4 v{};
        switch (ins.opcode) {
        case O::Def:
            for (int k = 0; k < 4; ++k)
                std::memcpy(&m.c.at(ins.destination.number)[k], &ins.values[k], 4);
            continue;
        case O::Dcl:
            continue;
        case O::Mov:
            v = src(0);
            break;
        case O::Add:
        case O::Mul:
        case O::Min:
        case O::Max: {
            const Vec4 a = src(0), b = src(1);
            for (int k = 0; k < 4; ++k)
                v[k] = ins.opcode == O::Add   ? a[k] + b[k]
                       : ins.opcode == O::Mul ? a[k] * b[k]
                       : ins.opcode == O::Min ? std::fmin(a[k], b[k])
                                              : std::fmax(a[k], b[k]);
            break;
        }
        case O::Mad: {
            const Vec4 a = src(0), b = src(1), c = src(2);
            for (int k = 0; k < 4; ++k)
                v[k] = a[k] * b[k] + c[k];
            break;
        }
        case O::Cmp: {
            const Vec4 a = src(0), b = src(1), c = src(2);
            for (int k = 0; k < 4; ++k)
                v[k] = a[k] >= 0 ? b[k] : c[k];
            break;
        }
        case O::Lrp: {
            const Vec4 a = src(0), b = src(1), c = src(2);
            for (int k = 0; k < 4; ++k)
                v[k] = a[k] * (b[k] - c[k]) + c[k];
            break;
        }
        case O::Frc: {
            const Vec4 a = src(0);
            for (int k = 0; k < 4; ++k)
                v[k] = a[k] - std::floor(a[k]);
            break;
        }
        case O::Abs: {
            const Vec4 a = src(0);
            for (int k = 0; k < 4; ++k)
                v[k] = std::fabs(a[k]);
            break;
        }
        case O::Rcp:
            v.fill(Rcp(src(0)[0]));
            break;
        case O::Rsq:
            v.fill(Rsq(src(0)[0]));
            break;
        case O::Exp:
            v.fill(std::exp2(src(0)[0]));
            break;
        case O::Log:
            v.fill(Log(src(0)[0]));
            break;
        case O::Pow:
            v.fill(std::pow(std::fabs(src(0)[0]), src(1)[0]));
            break;
        case O::SinCos: {
            const float x = src(0)[0];
            if (!(std::fabs(x) <= 3.14159274f))
                m.fault = "sincos of " + std::to_string(x) + ", outside [-pi, pi]";
            v = {std::cos(x), std::sin(x), 0, 0};
            break;
        }
        case O::Dp2Add: {
            const Vec4 a = src(0), b = src(1), c = src(2);
            v.fill(a[0] * b[0] + a[1] * b[1] + c[0]);
            break;
        }
        case O::Dp3:
        case O::Dp4: {
            const Vec4 a = src(0), b = src(1);
            float s = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
            if (ins.opcode == O::Dp4)
                s += a[3] * b[3];
            v.fill(s);
            break;
        }
        case O::Nrm: {
            const Vec4 a = src(0);
            const float l = Rsq(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
            v = {a[0] * l, a[1] * l, a[2] * l, a[3] * l};
            break;
        }
        case O::Tex: {
            const Vec4 a = src(0);
            const int s = static_cast<int>(ins.sources.at(1).number);
            v = in.sample ? in.sample(s, a[0], a[1]) : Vec4{0, 0, 0, 0};
            break;
        }
        case O::Dsx:
        case O::Dsy:
            v.fill(0);
            break;
        default:
            m.fault = "an instruction the interpreter does not know";
            break;
        }
        if (!m.fault.empty())
            break;
        Write(m, ins.destination, v);
    }
    result.color = m.out;
    result.fault = m.fault;
    return result;
}

} // namespace qc_test
