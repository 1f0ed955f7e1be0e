#include "compiler/Emit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "compiler/Diagnostics.h"
#include "compiler/Select.h"
#include "host/fx/ShaderDecode.h"

namespace qc {

namespace {

fx::RegisterType TypeOf(File file, Profile profile) {
    switch (file) {
    case File::Temp:
        return fx::RegisterType::Temp;
    case File::Const:
        return fx::RegisterType::Const;
    case File::Input:
        return profile == Profile::Ps20 ? fx::RegisterType::Texture : fx::RegisterType::Input;
    case File::Sampler:
        return fx::RegisterType::Sampler;
    case File::ColorOut:
        return fx::RegisterType::ColorOut;
    case File::IntConst:
        return fx::RegisterType::ConstInt;
    case File::Label:
        return fx::RegisterType::Label;
    case File::None:
        break;
    case File::ColorIn:
        return fx::RegisterType::Input;
    case File::RastOut:
        return fx::RegisterType::RastOut;
    case File::AttrOut:
        return fx::RegisterType::AttrOut;
    case File::TexCrdOut:
        return fx::RegisterType::TexCrdOut;
    case File::Output:
        return fx::RegisterType::Output;
    }
    return fx::RegisterType::Temp;
}

uint8_t Pack(const std::array<uint8_t, 4>& s) { return fx::MakeSwizzle(s[0], s[1], s[2], s[3]); }

// The full swizzle of a source: lanes it reads from `want`, the rest chosen
// so that ps_2_0 accepts it.
uint8_t FullSwizzle(const std::array<int, 4>& want, Profile profile) {
    std::array<uint8_t, 4> full{};
    if (LegalSwizzle20(want, full))
        return Pack(full);
    if (profile == Profile::Ps20)
        throw CompileError(0, 1, "internal error: a swizzle ps_2_0 cannot read");
    int last = 0;
    for (int k = 0; k < 4; ++k)
        if (want[k] >= 0)
            last = want[k];
    for (int k = 3; k >= 0; --k) {
        if (want[k] >= 0)
            last = want[k];
        full[k] = uint8_t(want[k] >= 0 ? want[k] : last);
    }
    return Pack(full);
}

} // namespace

std::vector<uint32_t> EncodeShader(const MachineShader& shader) {
    using namespace fx;
    const Profile p = shader.profile;
    std::vector<uint32_t> t;
    t.push_back(VersionToken(IsVertex(p) ? ShaderKind::Vertex : ShaderKind::Pixel,
                             p == Profile::Ps20 || p == Profile::Vs20 ? 2 : 3, 0));
    for (const ConstDef& d : shader.defs) {
        for (float v : d.value)
            if (!std::isfinite(v))
                throw CompileError(0, 1, "a constant is not a finite number");
        t.push_back(EncodeInstruction(Opcode::Def, 5));
        t.push_back(EncodeDestination(RegisterType::Const, uint32_t(d.reg)));
        for (float v : d.value) {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            t.push_back(bits);
        }
    }
    for (const IntDef& d : shader.intDefs) {
        t.push_back(EncodeInstruction(Opcode::DefI, 5));
        t.push_back(EncodeDestination(RegisterType::ConstInt, uint32_t(d.reg)));
        for (int v : d.value)
            t.push_back(static_cast<uint32_t>(v));
    }
    for (const Declaration& d : shader.declarations) {
        // ps_2_0 declares t# and v# by their mask alone.
        t.push_back(EncodeInstruction(Opcode::Dcl, 2));
        t.push_back(p == Profile::Ps20 ? kParameterBit
                                       : EncodeDclUsage(d.usage, uint32_t(d.usageIndex)));
        t.push_back(EncodeDestination(TypeOf(d.file, p), uint32_t(d.index), d.mask));
    }
    if (shader.usesInput && shader.declarations.empty()) {
        t.push_back(EncodeInstruction(Opcode::Dcl, 2));
        if (p == Profile::Ps20) {
            t.push_back(kParameterBit);
            t.push_back(EncodeDestination(RegisterType::Texture, 0, kMaskX | kMaskY));
        } else {
            t.push_back(EncodeDclUsage(DeclUsage::TexCoord, 0));
            t.push_back(EncodeDestination(RegisterType::Input, 0, kMaskX | kMaskY));
        }
    }
    std::vector<int> samplers = shader.samplers;
    std::sort(samplers.begin(), samplers.end());
    for (int s : samplers) {
        t.push_back(EncodeInstruction(Opcode::Dcl, 2));
        t.push_back(EncodeDclSampler(SamplerType::Texture2D));
        t.push_back(EncodeDestination(RegisterType::Sampler, uint32_t(s)));
    }
    for (const MInst& m : shader.code) {
        std::vector<uint32_t> ops;
        int dstOffset = 0;
        uint32_t mask = m.mask;
        uint32_t dstNumber = uint32_t(m.dst.index);
        if (m.dst.file == File::Temp) {
            const VirtualReg& r = shader.vregs[m.dst.index];
            dstOffset = r.offset;
            mask = (mask << r.offset) & 0xF;
            dstNumber = uint32_t(r.reg);
        } else if (m.dst.file == File::ColorOut) {
            mask = kMaskAll;
        }
        if (m.dst.file != File::None)
            ops.push_back(EncodeDestination(TypeOf(m.dst.file, p), dstNumber, mask,
                                            m.sat ? kModSaturate : kModNone));
        for (size_t i = 0; i < m.src.size(); ++i) {
            const MOperand& s = m.src[i];
            if (s.file == File::Sampler || s.file == File::Label) {
                ops.push_back(EncodeSource(TypeOf(s.file, p), uint32_t(s.index)));
                continue;
            }
            int srcOffset = 0;
            uint32_t number = uint32_t(s.index);
            if (s.file == File::Temp) {
                srcOffset = shader.vregs[s.index].offset;
                number = uint32_t(shader.vregs[s.index].reg);
            }
            std::array<int, 4> want{-1, -1, -1, -1};
            const Lanes lanes =
                (m.op == Opcode::Tex || m.op == Opcode::Dp3 || m.op == Opcode::Dp4 ||
                 m.op == Opcode::Dp2Add || m.op == Opcode::Nrm || m.op == Opcode::SinCos ||
                 m.op == Opcode::M4x4 || m.op == Opcode::M4x3 || m.op == Opcode::TexLdl)
                    ? (m.op == Opcode::Dp2Add && i == 2) || (m.op == Opcode::SinCos && i == 0)
                          ? Lanes::Replicate
                          : Lanes::Whole
                    : m.lanes;
            switch (lanes) {
            case Lanes::PerComponent:
                for (int k = 0; k < 4; ++k)
                    if (mask >> k & 1)
                        want[k] = srcOffset + s.swizzle[k - dstOffset < 0 ? 0 : k - dstOffset];
                break;
            case Lanes::Whole:
                for (int k = 0; k < std::min(s.width, 4); ++k)
                    want[k] = srcOffset + s.swizzle[k];
                break;
            case Lanes::Replicate:
                want.fill(srcOffset + s.swizzle[0]);
                break;
            }
            SourceModifier mod = SourceModifier::None;
            if (s.abs)
                mod = s.neg ? SourceModifier::AbsNeg : SourceModifier::Abs;
            else if (s.neg)
                mod = SourceModifier::Neg;
            ops.push_back(EncodeSource(TypeOf(s.file, p), number, FullSwizzle(want, p), mod));
        }
        t.push_back(EncodeInstruction(m.op, uint32_t(ops.size()), m.control));
        t.insert(t.end(), ops.begin(), ops.end());
    }
    t.push_back(kEndToken);
    return t;
}

std::string PlainDecimal(float x) {
    char buf[96];
    for (int digits = 1; digits <= 60; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*f", digits, static_cast<double>(x));
        if (std::strtof(buf, nullptr) == x)
            break;
    }
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s += '0';
    }
    if (s == "-0.0")
        s = "0.0";
    return s;
}

namespace {

std::string RegisterName(const fx::DecodedOperand& o, bool pixel3) {
    using fx::RegisterType;
    const std::string n = std::to_string(o.number);
    switch (o.type) {
    case RegisterType::Temp:
        return "r" + n;
    case RegisterType::Const:
        return "c" + n;
    case RegisterType::Input:
        return "v" + n;
    case RegisterType::Texture:
        return "t" + n;
    case RegisterType::Sampler:
        return "s" + n;
    case RegisterType::ColorOut:
        return "oC" + n;
    case RegisterType::DepthOut:
        return "oDepth";
    case RegisterType::ConstInt:
        return "i" + n;
    case RegisterType::ConstBool:
        return "b" + n;
    case RegisterType::Loop:
        return "aL";
    case RegisterType::Predicate:
        return "p0";
    case RegisterType::Label:
        return "l" + n;
    default:
        return (pixel3 ? "?" : "?") + n;
    }
}

// Register names of vertex shaders, where they differ from pixel shaders'.
std::string OperandName(const fx::DecodedOperand& o, bool vertex, bool model3) {
    using fx::RegisterType;
    if (!vertex)
        return RegisterName(o, model3);
    const std::string n = std::to_string(o.number);
    switch (o.type) {
    case RegisterType::Addr:
        return "a" + n;
    case RegisterType::RastOut:
        return o.number == fx::kRastPosition ? "oPos" : o.number == fx::kRastFog ? "oFog" : "oPts";
    case RegisterType::AttrOut:
        return "oD" + n;
    case RegisterType::TexCrdOut:
        return (model3 ? "o" : "oT") + n;
    default:
        return RegisterName(o, model3);
    }
}

// dcl_position, dcl_texcoord, dcl_texcoord1, dcl_color...
std::string UsageText(fx::DeclUsage usage, uint32_t index) {
    using fx::DeclUsage;
    const char* name = "texcoord";
    switch (usage) {
    case DeclUsage::Position:
        name = "position";
        break;
    case DeclUsage::Normal:
        name = "normal";
        break;
    case DeclUsage::PSize:
        name = "psize";
        break;
    case DeclUsage::Color:
        name = "color";
        break;
    case DeclUsage::Fog:
        name = "fog";
        break;
    default:
        break;
    }
    return std::string("dcl_") + name + (index ? std::to_string(index) : "");
}

std::string MaskText(uint32_t mask) {
    if (mask == 0xF)
        return "";
    std::string s = ".";
    for (int k = 0; k < 4; ++k)
        if (mask >> k & 1)
            s += "xyzw"[k];
    return s;
}

std::string SwizzleText(uint8_t swz) {
    if (swz == fx::kSwizzleIdentity)
        return "";
    char c[4];
    for (int k = 0; k < 4; ++k)
        c[k] = "xyzw"[fx::SwizzleComponent(swz, k)];
    int n = 4;
    while (n > 1 && c[n - 1] == c[n - 2])
        --n;
    return "." + std::string(c, n);
}

} // namespace

std::string ShaderText(const std::vector<uint32_t>& tokens, const std::string& indent) {
    fx::DecodedShader shader;
    fx::DecodeError error;
    if (!fx::DecodeShader(tokens, shader, error))
        throw CompileError(0, 1, "internal error: the shader does not decode: " + error.text);
    std::string out = indent + fx::ProfileText([&] {
                          fx::Profile p{};
                          fx::ProfileOf(shader.version, p);
                          return p;
                      }()) +
                      "\n";
    const bool model3 = fx::VersionMajor(shader.version) == 3;
    int depth = 0; // loop bodies indent
    const bool vertex = fx::IsVertexVersion(shader.version);
    for (const fx::DecodedInstruction& ins : shader.instructions) {
        if (ins.opcode == fx::Opcode::EndRep || ins.opcode == fx::Opcode::EndLoop)
            depth = std::max(depth - 1, 0);
        std::string line = indent + std::string(2 * depth, ' ');
        if (ins.opcode == fx::Opcode::Rep || ins.opcode == fx::Opcode::Loop)
            ++depth;
        if (ins.opcode == fx::Opcode::Def) {
            line += "def " + RegisterName(ins.destination, model3);
            for (int k = 0; k < 4; ++k) {
                float f;
                std::memcpy(&f, &ins.values[k], 4);
                line += ", " + PlainDecimal(f);
            }
        } else if (ins.opcode == fx::Opcode::DefI) {
            line += "defi " + RegisterName(ins.destination, model3);
            for (int k = 0; k < 4; ++k)
                line += ", " + std::to_string(static_cast<int32_t>(ins.values[k]));
        } else if (ins.opcode == fx::Opcode::Dcl) {
            if (ins.destination.type == fx::RegisterType::Sampler)
                line += "dcl_2d";
            else if (vertex || (ins.destination.type == fx::RegisterType::Input && model3))
                line += UsageText(ins.usage, ins.usageIndex);
            else
                line += "dcl";
            line += " " + OperandName(ins.destination, vertex, model3) +
                    (ins.destination.type == fx::RegisterType::Sampler
                         ? ""
                         : MaskText(ins.destination.writeMask));
        } else {
            line += ins.info ? ins.info->mnemonic : "?";
            if (ins.destination.modifiers & fx::kModSaturate)
                line += "_sat";
            std::string ops;
            if (ins.hasDestination)
                ops += " " + OperandName(ins.destination, vertex, model3) +
                       MaskText(ins.destination.writeMask);
            for (const fx::DecodedOperand& s : ins.sources) {
                ops += ops.empty() ? " " : ", ";
                const bool neg = s.modifier == fx::SourceModifier::Neg ||
                                 s.modifier == fx::SourceModifier::AbsNeg;
                const bool abs = s.modifier == fx::SourceModifier::Abs ||
                                 s.modifier == fx::SourceModifier::AbsNeg;
                ops += (neg ? "-" : "") + OperandName(s, vertex, model3) + (abs ? "_abs" : "") +
                       (s.type == fx::RegisterType::Sampler ? "" : SwizzleText(s.swizzle));
            }
            line += ops;
        }
        out += line + "\n";
    }
    return out;
}

SlotCount CountSlots(const std::vector<uint32_t>& tokens, fx::Profile profile) {
    SlotCount n;
    fx::DecodedShader shader;
    fx::DecodeError error;
    if (!fx::DecodeShader(tokens, shader, error))
        return n;
    for (const fx::DecodedInstruction& ins : shader.instructions) {
        if (!ins.info)
            continue;
        const int slots = ins.info->slots[static_cast<int>(profile)];
        if (slots <= 0)
            continue;
        if (ins.info->kind == fx::OpcodeClass::Texture)
            n.texture += slots;
        else
            n.arithmetic += slots;
    }
    return n;
}

} // namespace qc
