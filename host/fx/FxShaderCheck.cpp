#include "host/fx/FxShaderCheck.h"

#include <memory>

#include "host/fx/ShaderRules.h"

namespace fx {
namespace {

// How many registers of each kind a profile has: ps_2_0, ps_3_0, vs_2_0, vs_3_0.
constexpr int kRegisterCounts[kRegisterTypeCount][kProfileCount] = {
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

} // namespace

ShaderRules::ShaderRules(Profile profile)
    : m_profile(profile), m_name(ProfileText(profile)), m_declared(kRegisterTypeCount), m_calls(1) {
    m_order.fill(-1);
}

bool ShaderRules::Fail(const char* code, const std::string& text) {
    m_fault->instruction = m_ins ? m_ins->index : -1;
    m_fault->code = code;
    m_fault->text = text;
    return false;
}

int ShaderRules::RegisterCount(RegisterType type) const {
    const int t = static_cast<int>(type);
    return t < kRegisterTypeCount ? kRegisterCounts[t][static_cast<int>(m_profile)] : 0;
}

std::string ShaderRules::Name(RegisterType type, uint32_t number) const {
    const std::string n = std::to_string(number);
    switch (type) {
    case RegisterType::Temp:
        return "r" + n;
    case RegisterType::Input:
        return "v" + n;
    case RegisterType::Const:
        return "c" + n;
    case RegisterType::Texture:
        return (IsPixelProfile(m_profile) ? "t" : "a") + n;
    case RegisterType::RastOut:
        return number == kRastPosition    ? "oPos"
               : number == kRastFog       ? "oFog"
               : number == kRastPointSize ? "oPts"
                                          : "oRast" + n;
    case RegisterType::AttrOut:
        return "oD" + n;
    case RegisterType::Output:
        return (m_profile == Profile::Vs30 ? "o" : "oT") + n;
    case RegisterType::ConstInt:
        return "i" + n;
    case RegisterType::ColorOut:
        return "oC" + n;
    case RegisterType::DepthOut:
        return "oDepth";
    case RegisterType::Sampler:
        return "s" + n;
    case RegisterType::ConstBool:
        return "b" + n;
    case RegisterType::Loop:
        return "aL";
    case RegisterType::Misc:
        return number == kMiscPosition ? "vPos" : number == kMiscFace ? "vFace" : "vMisc" + n;
    case RegisterType::Label:
        return "l" + n;
    case RegisterType::Predicate:
        return "p" + n;
    default:
        return "register type " + std::to_string(static_cast<int>(type)) + " #" + n;
    }
}

// How a profile calls a register kind in messages: "c0 to c31".
std::string ShaderRules::Range(RegisterType type) const {
    const int count = RegisterCount(type);
    if (count == 1)
        return Name(type, 0) + " only";
    return Name(type, 0) + " to " + Name(type, static_cast<uint32_t>(count - 1));
}

bool ShaderRules::Check(const DecodedInstruction& ins, ShaderFault& fault) {
    m_fault = &fault;
    m_ins = &ins;
    if (!InstructionExists() || !Slots() || !OperandCounts() || !Setup() || !Flow() ||
        !Registers() || !ReadPorts() || !Operands() || !TextureOperands())
        return false;
    if (!TemporariesWritten() || !DependentReads() || !Gradients() || !Outputs())
        return false;
    TrackDependency();
    return true;
}

bool ShaderRules::Finish(ShaderFault& fault) {
    m_fault = &fault;
    m_ins = nullptr;
    return FinishFlow() && FinishOutputs();
}

std::string ProfileName(uint32_t version) {
    const bool pixel = IsPixelVersion(version);
    const int major = VersionMajor(version);
    const int minor = VersionMinor(version);
    std::string name = pixel ? "ps_" : "vs_";
    name += std::to_string(major) + "_";
    name += (major == 2 && minor == 1) ? "x" : std::to_string(minor);
    return name;
}

bool CheckShader(const std::vector<uint32_t>& tokens, ShaderFault& fault) {
    fault = ShaderFault{};
    fault.code = "X5100";
    if (tokens.empty()) {
        fault.text = "empty shader";
        return false;
    }
    const uint32_t version = tokens[0];
    if (!IsPixelVersion(version) && !IsVertexVersion(version)) {
        fault.text = "not a shader";
        return false;
    }
    Profile profile;
    if (!ProfileOf(version, profile)) {
        const bool pixel = IsPixelVersion(version);
        fault.text = ProfileName(version) +
                     " is not supported: its limits depend on the device or it predates "
                     "the declarations; write " +
                     (pixel ? std::string("ps_2_0 or ps_3_0") : std::string("vs_2_0 or vs_3_0"));
        return false;
    }
    DecodedShader shader;
    DecodeError error;
    const bool decoded = DecodeShader(tokens, shader, error);
    fault.instructionCount = static_cast<int>(shader.instructions.size());
    if (!decoded) {
        fault.instruction = error.instruction;
        fault.text = error.text;
        return false;
    }
    fault.code = "";
    auto rules = std::make_unique<ShaderRules>(profile);
    rules->FindSubroutineWrites(shader.instructions);
    for (const DecodedInstruction& ins : shader.instructions) {
        if (!rules->Check(ins, fault))
            return false;
    }
    return rules->Finish(fault);
}

} // namespace fx
