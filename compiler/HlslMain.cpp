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
    "usage: quorvel-fxc --hlsl-entry NAME --profile ps_2_0|ps_3_0 [--arg VALUE]... FILE.hlsl "
    "-o OUT\n"
    "Compiles one entry point of an HLSL source for the effect framework: OUT holds the\n"
    "constant table (\"constant NAME float|sampler INDEX COUNT\") and the assembly.\n";

// One profile: the backend from the reader to the checked tokens.
std::string Backend(const HlslShader& hlsl, Profile profile) {
    ShaderInterface io = hlsl.io;
    io.allowDerivatives = profile == Profile::Ps30;
    Builder builder;
    const ReadResult read = ReadSpirv(hlsl.spirv, io, builder);
    MachineShader machine = Select(builder, read.color, profile, hlsl.firstFreeConstant);
    AllocateRegisters(machine);
    const std::vector<uint32_t> tokens = EncodeShader(machine);
    const SlotCount slots = CountSlots(tokens, CheckProfile(profile));
    const ProfileLimits limits = LimitsOf(profile);
    if (limits.textureSlots > 0 &&
        (slots.arithmetic > limits.arithmeticSlots || slots.texture > limits.textureSlots))
        throw CompileError(0, 1,
                           "the shader needs " + std::to_string(slots.arithmetic) +
                               " arithmetic and " + std::to_string(slots.texture) +
                               " texture instruction slots: " + ProfileName(profile) + " allows " +
                               std::to_string(limits.arithmeticSlots) + " and " +
                               std::to_string(limits.textureSlots));
    if (limits.textureSlots == 0 && slots.total() > limits.arithmeticSlots)
        throw CompileError(0, 1,
                           "the shader needs " + std::to_string(slots.total()) +
                               " instruction slots: " + ProfileName(profile) + " allows " +
                               std::to_string(limits.arithmeticSlots));
    fx::ShaderFault fault;
    if (!fx::CheckShader(tokens, fault))
        throw CompileError(0, 1, std::string(fault.code) + ": " + fault.text);
    return ShaderText(tokens);
}

} // namespace

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
        Profile profile;
        if (profileName == "ps_2_0")
            profile = Profile::Ps20;
        else if (profileName == "ps_3_0")
            profile = Profile::Ps30;
        else if (profileName == "vs_2_0" || profileName == "vs_3_0")
            throw CompileError(0, 1,
                               profileName + ": vertex shaders are not compiled from HLSL yet "
                                             "(the backend reads pixel shaders only)");
        else
            throw CompileError(0, 1, "unknown profile '" + profileName + "'");
        const HlslShader hlsl = CompileHlslToSpirv(buffer.str(), entry, arguments);
        const std::string assembly = Backend(hlsl, profile);
        std::ostringstream answer;
        answer << "// " << entry << " compiled for " << profileName << " by quorvel-fxc\n";
        for (const HlslConstant& c : hlsl.constants)
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
