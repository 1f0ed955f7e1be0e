#include "compiler/HlslMain.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "compiler/CommandSupport.h"
#include "compiler/Diagnostics.h"
#include "compiler/Emit.h"
#include "compiler/HlslFrontEnd.h"
#include "compiler/Ir.h"
#include "compiler/RegAlloc.h"
#include "compiler/Select.h"
#include "compiler/SpirvReader.h"
#include "host/fx/FxShaderCheck.h"

namespace qc {

namespace {

const char kUsage[] =
    "usage: quorvel-fxc --hlsl-entry NAME --profile ps_2_0|ps_3_0|vs_2_0|vs_3_0 [--arg VALUE]... "
    "FILE.hlsl -o OUT\n"
    "Compiles one entry point of an HLSL source for the effect framework: OUT holds the\n"
    "constant table (\"constant NAME float|sampler INDEX COUNT\") and the assembly.\n";

// A shader too long for its profile, or needing more registers than it has.
struct ProfileLimit : CompileError {
    using CompileError::CompileError;
};

[[noreturn]] void Refuse(const HlslVarying& v, const std::string& why) {
    throw CompileError(0, 1, "'" + v.name + " : " + v.semantic + "': " + why);
}

uint8_t MaskOf(int width) { return static_cast<uint8_t>((1 << width) - 1); }

// Usages a vertex shader reads and a vs_3_0 shader writes, by name.
bool UsageOf(const std::string& name, fx::DeclUsage& usage) {
    static const std::pair<const char*, fx::DeclUsage> kUsages[] = {
        {"POSITION", fx::DeclUsage::Position}, {"TEXCOORD", fx::DeclUsage::TexCoord},
        {"COLOR", fx::DeclUsage::Color},       {"NORMAL", fx::DeclUsage::Normal},
        {"FOG", fx::DeclUsage::Fog},           {"PSIZE", fx::DeclUsage::PSize}};
    for (const auto& [text, u] : kUsages) {
        if (name == text) {
            usage = u;
            return true;
        }
    }
    return false;
}

// The input registers of a shader by semantic: ps_2_0's TEXCOORDn in t#n
// and COLORn in v#n; ps_3_0 and vertex shaders one v# each, in order,
// declared with their usage.
std::vector<Declaration> BindInputs(const HlslShader& hlsl, Profile profile, ShaderInterface& io) {
    std::vector<Declaration> out;
    int next = 0;
    for (const HlslVarying& v : hlsl.inputs) {
        Declaration d;
        d.usageIndex = v.index;
        d.mask = IsVertex(profile) ? 0xF : MaskOf(v.width);
        const bool texcoord = v.usage == "TEXCOORD" && v.index < 8;
        const bool color = v.usage == "COLOR" && v.index < 2;
        if (profile == Profile::Ps20) {
            if (!texcoord && !color)
                Refuse(v, "ps_2_0 reads TEXCOORD0 to TEXCOORD7 and COLOR0 to COLOR1");
            d.file = texcoord ? File::Input : File::ColorIn;
            d.index = v.index;
            io.inputs[v.name] = texcoord ? v.index : kColorInput + v.index;
        } else {
            const bool known = UsageOf(v.usage, d.usage) && v.index < 16;
            if (!IsVertex(profile) && !texcoord && !color)
                Refuse(v, "ps_3_0 reads TEXCOORD0 to TEXCOORD7 and COLOR0 to COLOR1 here");
            if (!known)
                Refuse(v, std::string(ProfileName(profile)) +
                              " reads POSITION, NORMAL, TEXCOORDn and COLORn here");
            if (next == (IsVertex(profile) ? 16 : 10))
                Refuse(v, std::string("too many inputs for ") + ProfileName(profile));
            d.file = File::Input;
            d.index = next++;
            io.inputs[v.name] = d.index;
        }
        out.push_back(d);
    }
    return out;
}

// A vertex shader's outputs by semantic: vs_2_0's oPos, oT#, oD#, oFog and
// oPts; vs_3_0's o#, the position first, each declared with its usage.
std::vector<OutputValue> BindOutputs(const HlslShader& hlsl, const ReadResult& read,
                                     Profile profile, std::vector<Declaration>& declarations) {
    std::vector<OutputValue> out;
    std::vector<const HlslVarying*> order;
    for (const HlslVarying& v : hlsl.outputs)
        if (v.usage == "POSITION")
            order.insert(order.begin(), &v);
        else
            order.push_back(&v);
    bool position = false;
    int next = 0;
    for (const HlslVarying* v : order) {
        const auto value = read.outputs.find(v->name);
        if (value == read.outputs.end())
            continue;
        OutputValue o;
        o.value = value->second;
        o.mask = MaskOf(v->width);
        fx::DeclUsage usage;
        if (!UsageOf(v->usage, usage) || usage == fx::DeclUsage::Normal)
            Refuse(*v, "vertex shaders write POSITION, TEXCOORDn, COLORn, FOG and PSIZE");
        if (usage == fx::DeclUsage::Position) {
            if (position || v->index != 0)
                Refuse(*v, "a vertex shader writes one position, POSITION0");
            if (v->width != 4)
                Refuse(*v, "the position is a float4");
            position = true;
        }
        if ((usage == fx::DeclUsage::Fog || usage == fx::DeclUsage::PSize) && v->width != 1)
            Refuse(*v, "fog and point size are one float");
        if (profile == Profile::Vs30) {
            if (next == 12)
                Refuse(*v, "vs_3_0 writes at most 12 outputs (o0 to o11)");
            o.file = File::Output;
            o.index = next++;
            Declaration d;
            d.file = File::Output;
            d.index = o.index;
            d.usage = usage;
            d.usageIndex = v->index;
            d.mask = usage == fx::DeclUsage::Position ? 0xF : o.mask;
            declarations.push_back(d);
        } else if (usage == fx::DeclUsage::Position || usage == fx::DeclUsage::Fog ||
                   usage == fx::DeclUsage::PSize) {
            o.file = File::RastOut;
            o.index = usage == fx::DeclUsage::Position ? fx::kRastPosition
                      : usage == fx::DeclUsage::Fog    ? fx::kRastFog
                                                       : fx::kRastPointSize;
            o.mask = usage == fx::DeclUsage::Position ? 0xF : 0x1;
        } else if (usage == fx::DeclUsage::TexCoord && v->index < 8) {
            o.file = File::TexCrdOut;
            o.index = v->index;
        } else if (usage == fx::DeclUsage::Color && v->index < 2) {
            o.file = File::AttrOut;
            o.index = v->index;
        } else {
            Refuse(*v, "vs_2_0 writes TEXCOORD0 to TEXCOORD7 and COLOR0 to COLOR1");
        }
        out.push_back(o);
    }
    if (!position)
        throw CompileError(0, 1, "a vertex shader writes a position (an output : POSITION)");
    return out;
}

// One profile: the backend from the reader to the checked tokens.
std::vector<uint32_t> Backend(const HlslShader& hlsl, Profile profile) {
    ShaderInterface io = hlsl.io;
    io.allowDerivatives = profile == Profile::Ps30;
    std::vector<Declaration> inputs = BindInputs(hlsl, profile, io);
    Builder builder;
    const ReadResult read = ReadSpirv(hlsl.spirv, io, builder);
    std::vector<Declaration> declarations;
    MachineShader machine;
    if (IsVertex(profile)) {
        const std::vector<OutputValue> outputs = BindOutputs(hlsl, read, profile, declarations);
        machine = SelectOutputs(builder, outputs, profile, hlsl.firstFreeConstant);
    } else {
        if (hlsl.outputs.size() != 1 || hlsl.outputs[0].usage != "COLOR" ||
            hlsl.outputs[0].index != 0)
            throw CompileError(0, 1, "a pixel shader writes one output here, COLOR0");
        machine = Select(builder, read.color, profile, hlsl.firstFreeConstant, false, read.kill);
    }
    // The inputs the shader reads are declared, then any vs_3_0 outputs.
    for (const Declaration& d : inputs) {
        bool used = false;
        for (const MInst& m : machine.code)
            for (const MOperand& src : m.src)
                used = used || (src.file == d.file && src.index == d.index);
        if (used)
            machine.declarations.push_back(d);
    }
    machine.declarations.insert(machine.declarations.end(), declarations.begin(),
                                declarations.end());
    try {
        AllocateRegisters(machine);
    } catch (const CompileError& e) {
        throw ProfileLimit(e.line, e.column, e.what());
    }
    const std::vector<uint32_t> tokens = EncodeShader(machine);
    const SlotCount slots = CountSlots(tokens, CheckProfile(profile));
    const ProfileLimits limits = LimitsOf(profile);
    if (limits.textureSlots > 0 &&
        (slots.arithmetic > limits.arithmeticSlots || slots.texture > limits.textureSlots))
        throw ProfileLimit(0, 1,
                           "the shader needs " + std::to_string(slots.arithmetic) +
                               " arithmetic and " + std::to_string(slots.texture) +
                               " texture instruction slots: " + ProfileName(profile) + " allows " +
                               std::to_string(limits.arithmeticSlots) + " and " +
                               std::to_string(limits.textureSlots));
    if (limits.textureSlots == 0 && slots.total() > limits.arithmeticSlots)
        throw ProfileLimit(0, 1,
                           "the shader needs " + std::to_string(slots.total()) +
                               " instruction slots: " + ProfileName(profile) + " allows " +
                               std::to_string(limits.arithmeticSlots));
    fx::ShaderFault fault;
    if (!fx::CheckShader(tokens, fault))
        throw CompileError(0, 1, std::string(fault.code) + ": " + fault.text);
    return tokens;
}

} // namespace

CompiledHlslShader CompileHlslShader(const std::string& source, const std::string& entry,
                                     const std::string& profileName,
                                     const std::vector<std::string>& arguments) {
    Profile profile;
    if (profileName == "ps_2_0")
        profile = Profile::Ps20;
    else if (profileName == "ps_3_0")
        profile = Profile::Ps30;
    else if (profileName == "vs_2_0")
        profile = Profile::Vs20;
    else if (profileName == "vs_3_0")
        profile = Profile::Vs30;
    else
        throw CompileError(0, 1, "unknown profile '" + profileName + "'");
    HlslShader hlsl = CompileHlslToSpirv(source, entry, arguments, IsVertex(profile));
    CompiledHlslShader out;
    try {
        out.tokens = Backend(hlsl, profile);
    } catch (const ProfileLimit&) {
        // Unrolled, the loops do not fit; shader model 3 runs them as loops.
        if (profile != Profile::Ps30 && profile != Profile::Vs30)
            throw;
        hlsl = CompileHlslToSpirv(source, entry, arguments, IsVertex(profile), false);
        out.tokens = Backend(hlsl, profile);
    }
    out.text = ShaderText(out.tokens);
    out.constants = hlsl.constants;
    return out;
}

bool IsHlslRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hlsl-entry") == 0)
            return true;
    }
    return false;
}

int HlslMain(int argc, char** argv) {
    std::string entry, profileName, input, output;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool valued = a == "--hlsl-entry" || a == "--profile" || a == "--arg" || a == "-o";
        if (valued && i + 1 >= argc)
            return Fail(a + " needs a value\n" + kUsage);
        if (a == "--hlsl-entry")
            entry = argv[++i];
        else if (a == "--profile")
            profileName = argv[++i];
        else if (a == "--arg")
            arguments.push_back(argv[++i]);
        else if (a == "-o")
            output = argv[++i];
        else if (!a.empty() && a[0] == '-')
            return Fail("unknown option '" + a + "' in HLSL mode\n" + kUsage);
        else if (input.empty())
            input = a;
        else
            return Fail("more than one input: '" + input + "' and '" + a + "'");
    }
    if (entry.empty() || input.empty() || output.empty() || profileName.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    std::ifstream in(input, std::ios::binary);
    if (!in)
        return Fail("cannot read '" + input + "': " + std::strerror(errno));
    std::stringstream buffer;
    buffer << in.rdbuf();

    std::string text;
    try {
        const CompiledHlslShader shader =
            CompileHlslShader(buffer.str(), entry, profileName, arguments);
        const std::string& assembly = shader.text;
        std::ostringstream answer;
        answer << "// " << entry << " compiled for " << profileName << " by quorvel-fxc\n";
        for (const HlslConstant& c : shader.constants)
            answer << "constant " << c.name << (c.sampler ? " sampler " : " float ") << c.index
                   << " " << c.count << "\n";
        answer << "asm\n" << assembly;
        text = answer.str();
    } catch (const CompileError& e) {
        const std::string what = e.what();
        const char* code =
            what.find("undeclared identifier") != std::string::npos ? "X3004" : "X3000";
        if (e.line > 0)
            std::cerr << input << "(" << e.line << "," << e.column << "): error " << code << ": "
                      << what << "\n";
        else
            std::cerr << input << ": error " << code << ": " << entry << ": " << what << "\n";
        return 1;
    }
    std::string error;
    return WriteWhole(output, text, error) ? 0 : Fail(error);
}

} // namespace qc
