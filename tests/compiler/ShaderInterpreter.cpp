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
    std::array<std::array<int, 4>, 16> i{};
    int aL = 0;
    Vec4 p{}; // p0, as 0 or 1
    Vec4 input{};
    Vec4 out{};
    bool killed = false;
    std::string fault;
    // By register (type << 16 | number), when the shader is run by semantic.
    bool bySemantic = false;
    std::map<uint32_t, Vec4> inputs;
    std::map<uint32_t, Vec4> outputs;
};

uint32_t Key(fx::RegisterType type, uint32_t number) {
    return static_cast<uint32_t>(type) << 16 | number;
}

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
        if (!m.bySemantic)
            v = m.input;
        else if (m.inputs.count(Key(o.type, o.number)))
            v = m.inputs[Key(o.type, o.number)];
        else
            m.fault = "reads an input with no value";
        break;
    case fx::RegisterType::Loop:
        v.fill(static_cast<float>(m.aL));
        break;
    case fx::RegisterType::Predicate:
        v = m.p;
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
    else if (d.type == fx::RegisterType::Predicate)
        target = &m.p;
    else if (d.type == fx::RegisterType::ColorOut && d.number == 0)
        target = &m.out;
    else if (m.bySemantic &&
             (d.type == fx::RegisterType::RastOut || d.type == fx::RegisterType::AttrOut ||
              d.type == fx::RegisterType::Output))
        target = &m.outputs[Key(d.type, d.number)];
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

bool Compare(uint32_t control, float a, float b) {
    switch (static_cast<fx::Comparison>(control)) {
    case fx::Comparison::Gt:
        return a > b;
    case fx::Comparison::Eq:
        return a == b;
    case fx::Comparison::Ge:
        return a >= b;
    case fx::Comparison::Lt:
        return a < b;
    case fx::Comparison::Ne:
        return a != b;
    case fx::Comparison::Le:
        return a <= b;
    }
    return false;
}

// An open rep or loop block: where its body starts, the iterations left,
// and (loop) the step of aL and the aL outside it.
struct Block {
    size_t body;
    int left;
    int step;
    int outerAL;
    bool isLoop;
};

// Where the block opened at `at` ends: the instruction after its closer.
size_t AfterBlock(const std::vector<fx::DecodedInstruction>& code, size_t at) {
    int depth = 0;
    for (size_t k = at; k < code.size(); ++k) {
        const fx::Opcode op = code[k].opcode;
        if (op == fx::Opcode::Rep || op == fx::Opcode::Loop)
            ++depth;
        if ((op == fx::Opcode::EndRep || op == fx::Opcode::EndLoop) && --depth == 0)
            return k + 1;
    }
    return code.size();
}

void Run(const fx::DecodedShader& shader, Machine& m,
         const std::function<Vec4(int sampler, float u, float v)>& sample) {
    using O = fx::Opcode;
    const std::vector<fx::DecodedInstruction>& code = shader.instructions;
    std::vector<Block> blocks;
    // Leaves the innermost block: past its closer, aL as it was.
    auto leave = [&](size_t& pc) {
        pc = AfterBlock(code, blocks.back().body - 1);
        m.aL = blocks.back().outerAL;
        blocks.pop_back();
    };
    // Subroutines: where each call returns to, and the blocks open there.
    struct Frame {
        size_t back;
        size_t blocks;
    };
    std::vector<Frame> calls;
    long executed = 0;
    for (size_t pc = 0; pc < code.size() && m.fault.empty();) {
        const fx::DecodedInstruction& ins = code[pc++];
        if (++executed > 10000000) {
            m.fault = "runs for ever";
            break;
        }
        auto src = [&](size_t i) { return Read(m, ins.sources.at(i)); };
        Vec4 v{};
        switch (ins.opcode) {
        case O::Def:
            for (int k = 0; k < 4; ++k)
                std::memcpy(&m.c.at(ins.destination.number)[k], &ins.values[k], 4);
            continue;
        case O::DefI:
            for (int k = 0; k < 4; ++k)
                m.i.at(ins.destination.number)[k] = static_cast<int32_t>(ins.values[k]);
            continue;
        case O::Rep:
        case O::Loop: {
            const bool isLoop = ins.opcode == O::Loop;
            const std::array<int, 4> n = m.i.at(ins.sources.at(isLoop ? 1 : 0).number);
            blocks.push_back(Block{pc, n[0], n[2], m.aL, isLoop});
            if (isLoop)
                m.aL = n[1];
            if (n[0] <= 0)
                leave(pc);
            continue;
        }
        case O::EndRep:
        case O::EndLoop:
            if (blocks.empty()) {
                m.fault = "a block closed that was not open";
                break;
            }
            if (--blocks.back().left > 0) {
                if (blocks.back().isLoop)
                    m.aL += blocks.back().step;
                pc = blocks.back().body;
            } else {
                m.aL = blocks.back().outerAL;
                blocks.pop_back();
            }
            continue;
        case O::Break:
        case O::BreakC:
        case O::BreakP: {
            bool taken = true;
            if (ins.opcode == O::BreakC)
                taken = Compare(ins.control, src(0)[0], src(1)[0]);
            if (ins.opcode == O::BreakP) {
                const fx::DecodedOperand& p = ins.sources.at(0);
                taken = m.p[fx::SwizzleComponent(p.swizzle, 0)] != 0;
                if (p.modifier == fx::SourceModifier::Not)
                    taken = !taken;
            }
            if (blocks.empty())
                m.fault = "break outside a loop";
            else if (taken)
                leave(pc);
            continue;
        }
        case O::Call:
        case O::CallNz: {
            if (ins.opcode == O::CallNz) {
                const fx::DecodedOperand& p = ins.sources.at(1);
                if (p.type != fx::RegisterType::Predicate) {
                    m.fault = "callnz on a bool constant";
                    break;
                }
                bool taken = m.p[fx::SwizzleComponent(p.swizzle, 0)] != 0;
                if (p.modifier == fx::SourceModifier::Not)
                    taken = !taken;
                if (!taken)
                    continue;
            }
            const uint32_t label = ins.sources.at(0).number;
            size_t at = code.size();
            for (size_t k = 0; k < code.size(); ++k)
                if (code[k].opcode == O::Label && code[k].sources.at(0).number == label)
                    at = k;
            if (at == code.size())
                m.fault = "a call to no label";
            else if (calls.size() == 4)
                m.fault = "calls nest more than 4 deep";
            else {
                calls.push_back(Frame{pc, blocks.size()});
                pc = at + 1;
            }
            continue;
        }
        case O::Ret:
            if (blocks.size() != (calls.empty() ? 0 : calls.back().blocks))
                m.fault = "ret inside a block";
            else if (calls.empty())
                pc = code.size(); // the main program's end
            else {
                pc = calls.back().back;
                calls.pop_back();
            }
            continue;
        case O::Label:
            m.fault = "ran into a label";
            continue;
        case O::SetP: {
            const Vec4 a = src(0), b = src(1);
            for (int k = 0; k < 4; ++k)
                v[k] = Compare(ins.control, a[k], b[k]) ? 1.0f : 0.0f;
            break;
        }
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
        case O::TexKill: {
            // Names the register it tests as its destination.
            const Vec4 a = m.r.at(ins.destination.number);
            m.killed = m.killed || a[0] < 0 || a[1] < 0 || a[2] < 0;
            continue;
        }
        case O::Tex:
        case O::TexLdl: {
            const Vec4 a = src(0);
            const int s = static_cast<int>(ins.sources.at(1).number);
            v = sample ? sample(s, a[0], a[1]) : Vec4{0, 0, 0, 0};
            break;
        }
        case O::Sge:
        case O::Slt: {
            const Vec4 a = src(0), b = src(1);
            for (int k = 0; k < 4; ++k)
                v[k] = (ins.opcode == O::Sge ? a[k] >= b[k] : a[k] < b[k]) ? 1.0f : 0.0f;
            break;
        }
        case O::M4x4:
        case O::M4x3: {
            // Row k: dp4 of the vector with c[n + k].
            const Vec4 a = src(0);
            const uint32_t n = ins.sources.at(1).number;
            const int rows = ins.opcode == O::M4x4 ? 4 : 3;
            for (int k = 0; k < rows; ++k) {
                const Vec4& row = m.c.at(n + k);
                v[k] = a[0] * row[0] + a[1] * row[1] + a[2] * row[2] + a[3] * row[3];
            }
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
}

std::string UsageName(fx::DeclUsage usage) {
    switch (usage) {
    case fx::DeclUsage::Position:
        return "POSITION";
    case fx::DeclUsage::Normal:
        return "NORMAL";
    case fx::DeclUsage::Color:
        return "COLOR";
    case fx::DeclUsage::Fog:
        return "FOG";
    case fx::DeclUsage::PSize:
        return "PSIZE";
    default:
        return "TEXCOORD";
    }
}

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
    Run(shader, m, in.sample);
    result.color = m.out;
    result.killed = m.killed;
    result.fault = m.fault;
    return result;
}

ShaderResult RunShader(const std::vector<uint32_t>& tokens, const ShaderInputs& in) {
    ShaderResult result;
    fx::DecodedShader shader;
    fx::DecodeError error;
    if (!fx::DecodeShader(tokens, shader, error)) {
        result.fault = "does not decode: " + error.text;
        return result;
    }
    Machine m;
    m.bySemantic = true;
    for (size_t i = 0; i < in.constants.size() && i < m.c.size(); ++i)
        m.c[i] = in.constants[i];
    const bool ps20 = fx::IsPixelVersion(shader.version) && fx::VersionMajor(shader.version) == 2;
    // Semantics of the registers, from the declarations.
    std::map<uint32_t, std::string> names;
    for (const fx::DecodedInstruction& ins : shader.instructions) {
        if (ins.opcode != fx::Opcode::Dcl || ins.destination.type == fx::RegisterType::Sampler)
            continue;
        const fx::DecodedOperand& d = ins.destination;
        std::string name = UsageName(ins.usage) + std::to_string(ins.usageIndex);
        if (ps20)
            name = (d.type == fx::RegisterType::Texture ? "TEXCOORD" : "COLOR") +
                   std::to_string(d.number);
        names[Key(d.type, d.number)] = name;
        const auto value = in.varyings.find(name);
        if (d.type != fx::RegisterType::Output && value != in.varyings.end())
            m.inputs[Key(d.type, d.number)] = value->second;
    }
    Run(shader, m, in.sample);
    for (const auto& [key, value] : m.outputs) {
        const auto type = static_cast<fx::RegisterType>(key >> 16);
        const uint32_t number = key & 0xFFFF;
        std::string name;
        if (type == fx::RegisterType::RastOut)
            name = number == fx::kRastPosition ? "POSITION0"
                   : number == fx::kRastFog    ? "FOG0"
                                               : "PSIZE0";
        else if (type == fx::RegisterType::AttrOut)
            name = "COLOR" + std::to_string(number);
        else if (fx::VersionMajor(shader.version) == 2)
            name = "TEXCOORD" + std::to_string(number);
        else
            name = names[key];
        result.outputs[name] = value;
    }
    if (fx::IsPixelVersion(shader.version))
        result.outputs["COLOR0"] = m.out;
    result.fault = m.fault;
    return result;
}

} // namespace qc_test
