#include "host/fx/FxShaderCheck.h"

#include <algorithm>
#include <array>
#include <memory>

namespace fx {
namespace {

enum Profile { kPs20, kPs30, kVs20, kVs30, kProfiles };

// Register types of the token format (D3DSPR_*).
enum RegType {
    kTemp = 0,
    kInput = 1,
    kConst = 2,
    kAddrOrTexture = 3,
    kRastOut = 4,
    kAttrOut = 5,
    kOutput = 6,
    kConstInt = 7,
    kColorOut = 8,
    kDepthOut = 9,
    kSampler = 10,
    kConstBool = 14,
    kLoop = 15,
    kMisc = 17,
    kLabel = 18,
    kPredicate = 19,
    kRegTypes = 20
};

// How many registers of each type a profile has: ps_2_0, ps_3_0, vs_2_0, vs_3_0.
constexpr int kRegisterCounts[kRegTypes][kProfiles] = {
    {12, 32, 12, 32},    // r#
    {2, 10, 16, 16},     // v#
    {32, 224, 256, 256}, // c#
    {8, 0, 1, 1},        // t# (pixel), a0 (vertex)
    {0, 0, 3, 0},        // oPos, oFog, oPts
    {0, 0, 2, 0},        // oD#
    {0, 0, 8, 12},       // oT# (vs_2_0), o# (vs_3_0)
    {0, 16, 16, 16},     // i#
    {4, 4, 0, 0},        // oC#
    {1, 1, 0, 0},        // oDepth
    {16, 16, 0, 4},      // s#
    {0, 0, 0, 0},        // c# above 2047
    {0, 0, 0, 0},        //
    {0, 0, 0, 0},        //
    {0, 16, 16, 16},     // b#
    {0, 1, 1, 1},        // aL
    {0, 0, 0, 0},        // half temporaries
    {0, 2, 0, 0},        // vPos, vFace
    {0, 2048, 16, 2048}, // l#
    {0, 1, 0, 1},        // p0
};

enum class Kind { Setup, Arithmetic, Texture, Flow };

constexpr int kNo = -1;

struct Op {
    int opcode;
    const char* name;
    Kind kind;
    std::array<int, kProfiles> slots; // kNo: not in the profile
    bool hasDest;
};

// Instruction slots from the instruction tables of each profile.
const Op kOps[] = {
    {0, "nop", Kind::Arithmetic, {1, 1, 1, 1}, false},
    {1, "mov", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {2, "add", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {3, "sub", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {4, "mad", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {5, "mul", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {6, "rcp", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {7, "rsq", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {8, "dp3", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {9, "dp4", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {10, "min", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {11, "max", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {12, "slt", Kind::Arithmetic, {kNo, kNo, 1, 1}, true},
    {13, "sge", Kind::Arithmetic, {kNo, kNo, 1, 1}, true},
    {14, "exp", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {15, "log", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {16, "lit", Kind::Arithmetic, {kNo, kNo, 3, 3}, true},
    {17, "dst", Kind::Arithmetic, {kNo, kNo, 1, 1}, true},
    {18, "lrp", Kind::Arithmetic, {2, 2, 2, 2}, true},
    {19, "frc", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {20, "m4x4", Kind::Arithmetic, {4, 4, 4, 4}, true},
    {21, "m4x3", Kind::Arithmetic, {3, 3, 3, 3}, true},
    {22, "m3x4", Kind::Arithmetic, {4, 4, 4, 4}, true},
    {23, "m3x3", Kind::Arithmetic, {3, 3, 3, 3}, true},
    {24, "m3x2", Kind::Arithmetic, {2, 2, 2, 2}, true},
    {25, "call", Kind::Flow, {kNo, 2, 2, 2}, false},
    {26, "callnz", Kind::Flow, {kNo, 3, 3, 3}, false},
    {27, "loop", Kind::Flow, {kNo, 3, 3, 3}, false},
    {28, "ret", Kind::Flow, {kNo, 1, 1, 1}, false},
    {29, "endloop", Kind::Flow, {kNo, 2, 2, 2}, false},
    {30, "label", Kind::Flow, {kNo, 0, 0, 0}, false},
    {31, "dcl", Kind::Setup, {0, 0, 0, 0}, false},
    {32, "pow", Kind::Arithmetic, {3, 3, 3, 3}, true},
    {33, "crs", Kind::Arithmetic, {2, 2, 2, 2}, true},
    {34, "sgn", Kind::Arithmetic, {kNo, kNo, 3, 3}, true},
    {35, "abs", Kind::Arithmetic, {1, 1, 1, 1}, true},
    {36, "nrm", Kind::Arithmetic, {3, 3, 3, 3}, true},
    {37, "sincos", Kind::Arithmetic, {8, 8, 8, 8}, true},
    {38, "rep", Kind::Flow, {kNo, 3, 3, 3}, false},
    {39, "endrep", Kind::Flow, {kNo, 2, 2, 2}, false},
    {40, "if", Kind::Flow, {kNo, 3, 3, 3}, false},
    {41, "if_comp", Kind::Flow, {kNo, 3, kNo, 3}, false},
    {42, "else", Kind::Flow, {kNo, 1, 1, 1}, false},
    {43, "endif", Kind::Flow, {kNo, 1, 1, 1}, false},
    {44, "break", Kind::Flow, {kNo, 1, kNo, 1}, false},
    {45, "break_comp", Kind::Flow, {kNo, 3, kNo, 3}, false},
    {46, "mova", Kind::Arithmetic, {kNo, kNo, 1, 1}, true},
    {47, "defb", Kind::Setup, {kNo, 0, 0, 0}, false},
    {48, "defi", Kind::Setup, {kNo, 0, 0, 0}, false},
    {65, "texkill", Kind::Texture, {1, 1, kNo, kNo}, false},
    {66, "texld", Kind::Texture, {1, 1, kNo, kNo}, true},
    {78, "expp", Kind::Arithmetic, {kNo, kNo, 1, 1}, true},
    {79, "logp", Kind::Arithmetic, {kNo, kNo, 1, 1}, true},
    {81, "def", Kind::Setup, {0, 0, 0, 0}, false},
    {88, "cmp", Kind::Arithmetic, {1, 1, kNo, kNo}, true},
    {90, "dp2add", Kind::Arithmetic, {2, 2, kNo, kNo}, true},
    {91, "dsx", Kind::Arithmetic, {kNo, 2, kNo, kNo}, true},
    {92, "dsy", Kind::Arithmetic, {kNo, 2, kNo, kNo}, true},
    {93, "texldd", Kind::Texture, {kNo, 3, kNo, kNo}, true},
    {94, "setp", Kind::Arithmetic, {kNo, 1, kNo, 1}, true},
    {95, "texldl", Kind::Texture, {kNo, 2, kNo, 2}, true},
    {96, "breakp", Kind::Flow, {kNo, 3, kNo, 3}, false},
};

const Op* FindOp(int opcode) {
    for (const Op& op : kOps) {
        if (op.opcode == opcode)
            return &op;
    }
    return nullptr;
}

constexpr uint32_t kRelative = 1u << 13;
constexpr uint32_t kPredicated = 1u << 28;
constexpr int kTexProject = 1;
constexpr int kTexBias = 2;

int RegTypeOf(uint32_t t) { return static_cast<int>(((t >> 28) & 7) | ((t >> 8) & 0x18)); }
int RegIndexOf(uint32_t t) { return static_cast<int>(t & 0x7FF); }
int Swizzle(uint32_t t, int i) { return static_cast<int>((t >> (16 + 2 * i)) & 3); }
int WriteMask(uint32_t t) { return static_cast<int>((t >> 16) & 0xF); }

const char* const kComponents = "xyzw";

std::string RegName(int type, int index, Profile profile) {
    const bool pixel = profile == kPs20 || profile == kPs30;
    const std::string n = std::to_string(index);
    switch (type) {
    case kTemp:
        return "r" + n;
    case kInput:
        return "v" + n;
    case kConst:
        return "c" + n;
    case kAddrOrTexture:
        return (pixel ? "t" : "a") + n;
    case kRastOut:
        return index == 0 ? "oPos" : index == 1 ? "oFog" : index == 2 ? "oPts" : "oRast" + n;
    case kAttrOut:
        return "oD" + n;
    case kOutput:
        return (profile == kVs30 ? "o" : "oT") + n;
    case kConstInt:
        return "i" + n;
    case kColorOut:
        return "oC" + n;
    case kDepthOut:
        return "oDepth";
    case kSampler:
        return "s" + n;
    case kConstBool:
        return "b" + n;
    case kLoop:
        return "aL";
    case kMisc:
        return index == 0 ? "vPos" : index == 1 ? "vFace" : "vMisc" + n;
    case kLabel:
        return "l" + n;
    case kPredicate:
        return "p" + n;
    default:
        return "register type " + std::to_string(type) + " #" + n;
    }
}

// How a profile calls a register kind in messages: "c0 to c31".
std::string RangeText(int type, Profile profile) {
    const int count = kRegisterCounts[type][profile];
    if (count == 1)
        return RegName(type, 0, profile) + " only";
    return RegName(type, 0, profile) + " to " + RegName(type, count - 1, profile);
}

struct Operand {
    uint32_t token = 0;
    bool relative = false;
};

class Checker {
  public:
    Checker(Profile profile, std::string name) : m_profile(profile), m_name(std::move(name)) {}

    bool Instruction(int index, const Op& op, uint32_t head, const uint32_t* params, int count,
                     ShaderFault& fault) {
        m_index = index;
        m_fault = &fault;
        m_op = &op;
        const int slots = op.slots[m_profile];
        if (slots == kNo)
            return Fail("X5101",
                        "'" + std::string(op.name) + "' is not an instruction of " + m_name);
        if (!CountSlots(op, slots))
            return false;
        if (op.opcode == 31)
            return Declaration(params, count);
        if (op.opcode == 65) // texkill reads its one operand, written as a destination
            return count < 1 || Texkill(params[0]);
        if (op.opcode == 81 || op.opcode == 47 || op.opcode == 48) {
            if (count < 1)
                return Fail("X5100", "malformed definition");
            return Register(params[0], 0);
        }
        std::vector<Operand> operands;
        for (int i = 0; i < count; ++i) {
            Operand o;
            o.token = params[i];
            o.relative = (params[i] & kRelative) != 0 && m_profile != kPs20;
            if (o.relative) {
                if (i + 1 >= count)
                    return Fail("X5100", "malformed relative address");
                if (!Register(params[i + 1], 0))
                    return false;
                ++i;
            }
            operands.push_back(o);
        }
        size_t next = 0;
        const Operand* dest = nullptr;
        if (op.hasDest) {
            if (operands.empty())
                return Fail("X5100", "malformed instruction");
            dest = &operands[next++];
        }
        if ((head & kPredicated) && next < operands.size()) {
            if (!Register(operands[next].token, 0))
                return false;
            ++next; // the predicate register p0
        }
        if (op.opcode == 37 && !SinCosOperands(operands, next))
            return false;
        m_predicated = (head & kPredicated) != 0;
        if (!Flow(op,
                  std::vector<Operand>(operands.begin() + static_cast<long>(next), operands.end())))
            return false;
        if (m_profile == kPs20 && !ReadPorts(operands, next))
            return false;
        const int control = static_cast<int>((head >> 16) & 0xFF);
        int texDepth = 0;
        for (size_t i = next; i < operands.size(); ++i) {
            const int source = static_cast<int>(i - next);
            if (!Read(operands[i], source, dest ? WriteMask(dest->token) : 0xF, operands, next,
                      control, texDepth))
                return false;
        }
        if (dest)
            return Write(*dest, op, operands, next, texDepth);
        return true;
    }

  private:
    bool Fail(const char* code, const std::string& text) {
        m_fault->instruction = m_index;
        m_fault->code = code;
        m_fault->text = text;
        return false;
    }

    bool CountSlots(const Op& op, int slots) {
        if (m_profile == kPs20) {
            if (op.kind == Kind::Texture) {
                m_textureSlots += slots;
                if (m_textureSlots > 32)
                    return Fail("X5102", "too many texture instruction slots (" +
                                             std::to_string(m_textureSlots) +
                                             "): ps_2_0 allows 32");
            } else {
                m_arithmeticSlots += slots;
                if (m_arithmeticSlots > 64)
                    return Fail("X5102", "too many arithmetic instruction slots (" +
                                             std::to_string(m_arithmeticSlots) +
                                             "): ps_2_0 allows 64");
            }
            return true;
        }
        const int limit = m_profile == kVs20 ? 256 : 512;
        m_slots += slots;
        if (m_slots > limit)
            return Fail("X5102", "too many instruction slots (" + std::to_string(m_slots) +
                                     "): " + m_name + " allows " + std::to_string(limit));
        return true;
    }

    // The register exists in the profile, `extra` registers after it too.
    bool Register(uint32_t token, int extra) {
        const int type = RegTypeOf(token);
        const int index = RegIndexOf(token);
        if (type >= kRegTypes || kRegisterCounts[type][m_profile] == 0)
            return Fail("X5103", "register " + RegName(type, index, m_profile) +
                                     " does not exist in " + m_name);
        const int count = kRegisterCounts[type][m_profile];
        if (index + extra >= count) {
            std::string what = RegName(type, index, m_profile);
            if (extra > 0)
                what += " to " + RegName(type, index + extra, m_profile);
            return Fail("X5103", "register " + what + " is out of range: " + m_name + " has " +
                                     RangeText(type, m_profile));
        }
        return true;
    }

    bool Declaration(const uint32_t* params, int count) {
        if (count < 2)
            return Fail("X5100", "malformed declaration");
        const uint32_t dest = params[1];
        if (!Register(dest, 0))
            return false;
        const int type = RegTypeOf(dest);
        const int index = RegIndexOf(dest);
        Declared(type, index) = true;
        if (type == kOutput && (params[0] & 0x1F) == 0)
            m_positionOutput = index;
        if (type == kSampler)
            m_samplerType[index & 15] = static_cast<int>((params[0] >> 27) & 0xF);
        return true;
    }

    // sincos takes the sincos constants as two more operands before
    // shader model 3, and one source from it on.
    bool SinCosOperands(const std::vector<Operand>& operands, size_t first) {
        const size_t sources = operands.size() - first;
        const bool model2 = m_profile == kPs20 || m_profile == kVs20;
        if (!model2) {
            if (sources != 1)
                return Fail("X5104", "sincos in " + m_name + " takes one source: sincos dst, src");
            return true;
        }
        if (sources != 3 || RegTypeOf(operands[first + 1].token) != kConst ||
            RegTypeOf(operands[first + 2].token) != kConst)
            return Fail("X5104", "sincos in " + m_name +
                                     " takes the sincos constants: sincos dst, src, c#, c#");
        return true;
    }

    bool Texkill(uint32_t token) {
        if (!Register(token, 0))
            return false;
        const int type = RegTypeOf(token);
        if (NeedsDeclaration(type) && !Declared(type, RegIndexOf(token)))
            return Fail("X5105", "input " + RegName(type, RegIndexOf(token), m_profile) +
                                     " is read but not declared (dcl " +
                                     RegName(type, RegIndexOf(token), m_profile) + ")");
        return ReadRegister(token, WriteMask(token));
    }

    bool& Declared(int type, int index) { return m_declared[type][index & 2047]; }

    bool NeedsDeclaration(int type) const {
        switch (type) {
        case kInput:
        case kSampler:
        case kMisc:
            return true;
        case kAddrOrTexture:
            return m_profile == kPs20;
        default:
            return false;
        }
    }

    // Components of a source that an instruction reads.
    int ReadComponents(uint32_t token, int source, int destMask, int control,
                       const std::vector<Operand>& operands, size_t first) const {
        auto pick = [&](std::initializer_list<int> positions) {
            int mask = 0;
            for (int p : positions)
                mask |= 1 << Swizzle(token, p);
            return mask;
        };
        auto coordinates = [&]() {
            int sampler = 0;
            if (first + 1 < operands.size())
                sampler = RegIndexOf(operands[first + 1].token) & 15;
            const bool threeD = m_samplerType[sampler] == 3 || m_samplerType[sampler] == 4;
            int mask = threeD ? pick({0, 1, 2}) : pick({0, 1});
            if (m_op->opcode == 95 || (control & (kTexProject | kTexBias)))
                mask |= pick({3});
            return mask;
        };
        switch (m_op->opcode) {
        case 8:  // dp3
        case 33: // crs
        case 36: // nrm
            return pick({0, 1, 2});
        case 9: // dp4
            return pick({0, 1, 2, 3});
        case 20: // m4x4, m4x3
        case 21:
            return source == 0 ? pick({0, 1, 2, 3}) : 0xF;
        case 22: // m3x4, m3x3, m3x2
        case 23:
        case 24:
            return source == 0 ? pick({0, 1, 2}) : 0x7;
        case 90: // dp2add
            return source < 2 ? pick({0, 1}) : pick({0});
        case 6: // scalar operations read one component: the replicated one, else w
        case 7:
        case 14:
        case 15:
        case 78:
        case 79:
        case 32:
            return pick({3});
        case 37: // sincos
            return source == 0 ? pick({3}) : 0;
        case 16: // lit
            return pick({0, 1, 3});
        case 17: // dst
            return source == 0 ? pick({1, 2}) : pick({1, 3});
        case 34: // sgn: the second and third are scratch registers
            return source == 0 ? PerComponent(token, destMask) : 0;
        case 41: // if_comp, break_comp
        case 45:
            return pick({0});
        case 66: // texld
        case 95: // texldl
            return source == 0 ? coordinates() : 0;
        case 93: // texldd
            return source == 1 ? 0 : source == 0 ? coordinates() : pick({0, 1});
        default:
            return PerComponent(token, destMask);
        }
    }

    // Pixel shaders: scalar instructions read a replicated component, and
    // ps_2_0 has only a few swizzles besides those.
    bool SwizzleAllowed(uint32_t token, int source) {
        if (m_profile != kPs20 && m_profile != kPs30)
            return true;
        const int type = RegTypeOf(token);
        if (type != kTemp && type != kInput && type != kConst && type != kAddrOrTexture &&
            type != kMisc)
            return true;
        const int swizzle = static_cast<int>((token >> 16) & 0xFF);
        const bool replicate =
            swizzle == 0x00 || swizzle == 0x55 || swizzle == 0xAA || swizzle == 0xFF;
        const int opcode = m_op->opcode;
        const bool scalar = opcode == 6 || opcode == 7 || opcode == 14 || opcode == 15 ||
                            opcode == 32 || (opcode == 37 && source == 0);
        std::string written;
        for (int i = 0; i < 4; ++i)
            written += kComponents[Swizzle(token, i)];
        const std::string name = RegName(type, RegIndexOf(token), m_profile) + "." + written;
        if (scalar && !replicate)
            return Fail("X5104", std::string(m_op->name) + " reads one component: " + name +
                                     " needs a replicate swizzle (.x, .y, .z or .w)");
        // .xyzw, the replicates, .yzxw, .zxyw and .wzyx.
        if (m_profile == kPs20 && !replicate && swizzle != 0xE4 && swizzle != 0xC9 &&
            swizzle != 0xD2 && swizzle != 0x1B)
            return Fail("X5104", "ps_2_0 has no arbitrary swizzle: " + name +
                                     " (only .xyzw, .x, .y, .z, .w, .yzxw, .zxyw, .wzyx)");
        return true;
    }

    static int PerComponent(uint32_t token, int destMask) {
        int mask = 0;
        for (int i = 0; i < 4; ++i) {
            if (destMask & (1 << i))
                mask |= 1 << Swizzle(token, i);
        }
        return mask;
    }

    bool ReadRegister(uint32_t token, int components) {
        const int type = RegTypeOf(token);
        const int index = RegIndexOf(token);
        if (type != kTemp || components == 0)
            return true;
        const int missing = components & ~m_written[index & 31];
        if (missing == 0)
            return true;
        std::string which;
        for (int i = 0; i < 4; ++i) {
            if (missing & (1 << i))
                which += kComponents[i];
        }
        return Fail("X5106", "r" + std::to_string(index) + "." + which +
                                 " is read but never written before");
    }

    bool Read(const Operand& o, int source, int destMask, const std::vector<Operand>& operands,
              size_t first, int control, int& texDepth) {
        const int type = RegTypeOf(o.token);
        const int index = RegIndexOf(o.token);
        int extra = 0;
        if (source == 1 && type != kTemp) {
            switch (m_op->opcode) {
            case 20: // m4x4, m3x4: four rows
            case 22:
                extra = 3;
                break;
            case 21: // m4x3, m3x3
            case 23:
                extra = 2;
                break;
            case 24: // m3x2
                extra = 1;
                break;
            default:
                break;
            }
        }
        if (o.relative)
            extra = 0;
        if (!Register(o.token, extra))
            return false;
        if (NeedsDeclaration(type) && !Declared(type, index)) {
            const std::string name = RegName(type, index, m_profile);
            if (type == kSampler)
                return Fail("X5105",
                            "sampler " + name + " is used but not declared (dcl_2d " + name + ")");
            return Fail("X5105", "input " + name + " is read but not declared (dcl " + name + ")");
        }
        if (!SwizzleAllowed(o.token, source))
            return false;
        const int components = ReadComponents(o.token, source, destMask, control, operands, first);
        if (!ReadRegister(o.token, components))
            return false;
        if (type == kTemp)
            texDepth = std::max(texDepth, m_texDepth[index & 31]);
        return true;
    }

    bool Write(const Operand& dest, const Op& op, const std::vector<Operand>& operands,
               size_t first, int texDepth) {
        const int type = RegTypeOf(dest.token);
        const int index = RegIndexOf(dest.token);
        if (!Register(dest.token, 0))
            return false;
        if (m_profile == kVs30 && type == kOutput && !Declared(type, index))
            return Fail("X5105", "output o" + std::to_string(index) +
                                     " is written but not declared (dcl_texcoord o" +
                                     std::to_string(index) + ")");
        if (!Output(dest, op, operands, first))
            return false;
        if (type != kTemp)
            return true;
        int depth = texDepth;
        if (op.kind == Kind::Texture) {
            // A read from t# is the first level; a coordinate computed in
            // the shader makes a dependent read, one level more per read
            // it derives from.
            const bool fromTexcoord =
                first < operands.size() && RegTypeOf(operands[first].token) != kTemp;
            depth = fromTexcoord ? 1 : 1 + std::max(1, texDepth);
            if (m_profile == kPs20 && depth > 4)
                return Fail("X5107", "dependent texture read of level " + std::to_string(depth) +
                                         ": ps_2_0 allows 4 levels");
        }
        int& slotDepth = m_texDepth[index & 31];
        slotDepth = WriteMask(dest.token) == 0xF ? depth : std::max(slotDepth, depth);
        m_written[index & 31] |= WriteMask(dest.token);
        return true;
    }

    // The rules of the output registers.
    bool Output(const Operand& dest, const Op& op, const std::vector<Operand>& operands,
                size_t first) {
        const int type = RegTypeOf(dest.token);
        const int index = RegIndexOf(dest.token);
        const std::string name = RegName(type, index, m_profile);
        if (type == kRastOut && index == 0)
            m_positionWritten |= WriteMask(dest.token);
        if (type == kOutput && index == m_positionOutput)
            m_positionWritten |= WriteMask(dest.token);
        if (type != kColorOut && type != kDepthOut)
            return true;
        if (m_profile == kPs30) {
            if (Dynamic() || m_predicated)
                return Fail("X5109", name + " is written inside dynamic flow control or under a "
                                            "predicate: ps_3_0 does not allow it");
            return true;
        }
        // ps_2_0: one plain mov to each colour output, mov only to oDepth.
        bool plain = op.opcode == 1;
        if (type == kColorOut)
            plain = plain && WriteMask(dest.token) == 0xF && (dest.token & 0x0FF00000u) == 0 &&
                    first < operands.size() && ((operands[first].token >> 16) & 0xFF) == 0xE4 &&
                    ((operands[first].token >> 24) & 0xF) == 0;
        if (!plain)
            return Fail("X5109", type == kColorOut
                                     ? name + " in ps_2_0 is written by a plain mov only: no "
                                              "write mask, swizzle or modifier"
                                     : name + " in ps_2_0 is written by mov only");
        if (type == kColorOut) {
            if (m_colorWritten & (1 << index))
                return Fail("X5109", name + " is written twice: ps_2_0 allows one write");
            m_colorWritten |= 1 << index;
        }
        return true;
    }

    // ps_2_0 reads at most two different c#, one t# and one v# per instruction.
    bool ReadPorts(const std::vector<Operand>& operands, size_t first) {
        struct Port {
            int type;
            size_t limit;
            const char* what;
        };
        static const Port kPorts[] = {{kConst, 2, "two constant registers"},
                                      {kAddrOrTexture, 1, "one texture coordinate register"},
                                      {kInput, 1, "one colour input register"}};
        for (const Port& port : kPorts) {
            std::vector<int> seen;
            for (size_t i = first; i < operands.size(); ++i) {
                if (RegTypeOf(operands[i].token) != port.type)
                    continue;
                const int index = RegIndexOf(operands[i].token);
                if (std::find(seen.begin(), seen.end(), index) == seen.end())
                    seen.push_back(index);
            }
            if (seen.size() > port.limit)
                return Fail("X5104", std::string("ps_2_0 reads at most ") + port.what +
                                         " in one instruction; this one reads " +
                                         std::to_string(seen.size()));
        }
        return true;
    }

    bool Dynamic() const {
        for (const Block& b : m_blocks) {
            if (b.dynamic)
                return true;
        }
        return false;
    }

    // Blocks of flow control, and whether their path depends on the pixel.
    bool Flow(const Op& op, const std::vector<Operand>& operands) {
        switch (op.opcode) {
        case 40: // if b# is static, if p0 dynamic
            m_blocks.push_back(
                {false, !operands.empty() && RegTypeOf(operands[0].token) == kPredicate});
            break;
        case 41: // if_comp
            m_blocks.push_back({false, true});
            break;
        case 27: // loop, rep
        case 38:
            m_blocks.push_back({true, false});
            break;
        case 45: // break_comp, breakp: the rest of the loop depends on the pixel
        case 96:
            for (auto b = m_blocks.rbegin(); b != m_blocks.rend(); ++b) {
                if (b->loop) {
                    b->dynamic = true;
                    break;
                }
            }
            break;
        case 43: // endif, endloop, endrep
        case 29:
        case 39:
            if (!m_blocks.empty())
                m_blocks.pop_back();
            break;
        case 30: // label: a subroutine starts outside every block
            m_blocks.clear();
            break;
        default:
            break;
        }
        // Gradients, and so texld, need every pixel of a quad on the same path.
        const bool gradient = op.opcode == 66 || op.opcode == 91 || op.opcode == 92;
        if (gradient && m_profile == kPs30 && Dynamic())
            return Fail("X5110", std::string(op.name) +
                                     " inside dynamic flow control (if_comp, if p0, or after "
                                     "break_comp in a loop): use texldl or texldd there");
        return true;
    }

  public:
    // What the whole shader must have done.
    bool Finish(ShaderFault& fault) {
        m_fault = &fault;
        m_index = -1;
        if (m_profile == kPs20 && !(m_colorWritten & 1))
            return Fail("X5109", "a ps_2_0 shader writes oC0");
        if (m_profile == kPs20 && (m_colorWritten & (m_colorWritten + 1)) != 0)
            return Fail("X5109", "ps_2_0 writes oC0 to oCn without gaps");
        if ((m_profile == kVs20 || m_profile == kVs30) && m_positionWritten != 0xF)
            return Fail("X5109", m_profile == kVs20
                                     ? "the shader writes all four components of oPos"
                                     : "the shader declares a position output (dcl_position o#) "
                                       "and writes all four of its components");
        return true;
    }

  private:
    struct Block {
        bool loop;
        bool dynamic;
    };

    Profile m_profile;
    std::string m_name;
    ShaderFault* m_fault = nullptr;
    const Op* m_op = nullptr;
    int m_index = 0;
    int m_slots = 0;
    int m_arithmeticSlots = 0;
    int m_textureSlots = 0;
    int m_written[32] = {};
    int m_texDepth[32] = {};
    int m_samplerType[16] = {};
    bool m_declared[kRegTypes][2048] = {};
    std::vector<Block> m_blocks;
    bool m_predicated = false;
    int m_colorWritten = 0;
    int m_positionWritten = 0;
    int m_positionOutput = -1;
};

} // namespace

std::string ProfileName(uint32_t version) {
    const bool pixel = (version >> 16) == 0xFFFF;
    const int major = static_cast<int>((version >> 8) & 0xFF);
    const int minor = static_cast<int>(version & 0xFF);
    std::string name = pixel ? "ps_" : "vs_";
    name += std::to_string(major) + "_";
    name += (major == 2 && minor == 1) ? "x" : std::to_string(minor);
    return name;
}

bool CheckShader(const std::vector<uint32_t>& tokens, ShaderFault& fault) {
    fault = ShaderFault{};
    if (tokens.empty()) {
        fault.code = "X5100";
        fault.text = "empty shader";
        return false;
    }
    const uint32_t version = tokens[0];
    const uint32_t kind = version >> 16;
    if (kind != 0xFFFF && kind != 0xFFFE) {
        fault.code = "X5100";
        fault.text = "not a shader";
        return false;
    }
    const bool pixel = kind == 0xFFFF;
    const std::string name = ProfileName(version);
    Profile profile;
    switch (version & 0xFFFF) {
    case 0x0200:
        profile = pixel ? kPs20 : kVs20;
        break;
    case 0x0300:
        profile = pixel ? kPs30 : kVs30;
        break;
    default:
        fault.code = "X5100";
        fault.text = name +
                     " is not supported: its limits depend on the device or it predates "
                     "the declarations; write " +
                     (pixel ? std::string("ps_2_0 or ps_3_0") : std::string("vs_2_0 or vs_3_0"));
        return false;
    }
    // Instructions in all, so that a caller can match them with the text.
    for (size_t at = 1; at < tokens.size();) {
        const uint32_t head = tokens[at];
        if ((head & 0xFFFF) == 0xFFFF)
            break;
        if ((head & 0xFFFF) == 0xFFFE) {
            at += 1 + ((head >> 16) & 0x7FFF);
            continue;
        }
        at += 1 + ((head >> 24) & 0xF);
        ++fault.instructionCount;
    }
    auto checker = std::make_unique<Checker>(profile, name);
    size_t pos = 1;
    int index = 0;
    while (pos < tokens.size()) {
        const uint32_t head = tokens[pos];
        const int opcode = static_cast<int>(head & 0xFFFF);
        if (opcode == 0xFFFF)
            return checker->Finish(fault);
        if (opcode == 0xFFFE) {
            pos += 1 + ((head >> 16) & 0x7FFF);
            continue;
        }
        const int length = static_cast<int>((head >> 24) & 0xF);
        if (pos + length >= tokens.size()) {
            fault.instruction = index;
            fault.code = "X5100";
            fault.text = "truncated instruction";
            return false;
        }
        const Op* op = FindOp(opcode);
        if (!op) {
            fault.instruction = index;
            fault.code = "X5101";
            fault.text =
                "instruction " + std::to_string(opcode) + " is not an instruction of " + name;
            return false;
        }
        if (!checker->Instruction(index, *op, head, &tokens[pos + 1], length, fault))
            return false;
        pos += 1 + static_cast<size_t>(length);
        ++index;
    }
    fault.code = "X5100";
    fault.text = "shader has no end token";
    return false;
}

} // namespace fx
