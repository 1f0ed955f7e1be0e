// quorvel-fxc: compiles a GL transition (GLSL), or an effect file with HLSL
// shaders, into a Direct3D 9 effect file with assembly shaders only.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "compiler/CommandSupport.h"
#include "compiler/Compiler.h"
#include "compiler/Diagnostics.h"
#include "compiler/EffectMain.h"
#include "compiler/EffectWriter.h"
#include "compiler/HlslMain.h"

namespace {

const char kUsage[] =
    "usage: quorvel-fxc TRANSITION.glsl [-o NAME.fx] [--profile ps_2_0|ps_3_0] [--loops] "
    "[--subroutines] [--asm]\n"
    "                   [--name TECHNIQUE] [--texture UNIFORM=FILE]...\n"
    "       quorvel-fxc EFFECT.fx [-o OUT.fx]   (HLSL shaders to assembly; --help there)\n"
    "Compiles a GL transition (vec4 transition(vec2 uv)) into an effect file.\n"
    "  -o FILE            the effect file to write (default: the input's name with .fx)\n"
    "  --profile P        ps_2_0 or ps_3_0 (default: ps_2_0 when the shader fits)\n"
    "  --loops            ps_3_0 with its loops kept as loops, even where unrolled they fit\n"
    "  --subroutines      ps_3_0 with functions called more than once as subroutines, even\n"
    "                     where inlined they fit\n"
    "  --asm              print the shader's assembly instead of writing a file\n"
    "  --name NAME        the technique's name (default: from the file name)\n"
    "  --texture U=FILE   the image file of sampler2D uniform U, relative to the effect\n";

std::string Technique(const std::string& path) {
    std::string base = path.substr(path.find_last_of('/') + 1);
    base = base.substr(0, base.find('.'));
    std::string name;
    bool upper = true;
    for (char c : base) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        } else {
            upper = true;
        }
    }
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
        name = "T" + name;
    return name;
}

} // namespace

using qc::Fail;

int main(int argc, char** argv) {
    if (qc::IsHlslRequest(argc, argv))
        return qc::HlslMain(argc, argv);
    if (qc::IsEffectRequest(argc, argv))
        return qc::EffectMain(argc, argv);
    std::string input, output, name;
    std::optional<qc::Profile> profile;
    bool keepLoops = false;
    bool subroutines = false;
    bool asmOnly = false;
    qc::EffectOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](const char* what) -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(std::string(what) + " needs a value");
            return argv[++i];
        };
        try {
            if (a == "-o") {
                output = next("-o");
            } else if (a == "--profile") {
                const std::string p = next("--profile");
                if (p == "ps_2_0")
                    profile = qc::Profile::Ps20;
                else if (p == "ps_3_0")
                    profile = qc::Profile::Ps30;
                else
                    return Fail("unknown profile '" + p + "': ps_2_0 or ps_3_0");
            } else if (a == "--loops") {
                keepLoops = true;
            } else if (a == "--subroutines") {
                subroutines = true;
            } else if (a == "--asm") {
                asmOnly = true;
            } else if (a == "--name") {
                name = next("--name");
            } else if (a == "--texture") {
                const std::string t = next("--texture");
                const size_t eq = t.find('=');
                if (eq == std::string::npos || eq == 0)
                    return Fail("--texture takes UNIFORM=FILE");
                options.textures[t.substr(0, eq)] = t.substr(eq + 1);
            } else if (a == "-h" || a == "--help") {
                std::cout << kUsage;
                return 0;
            } else if (!a.empty() && a[0] == '-') {
                return Fail("unknown option '" + a + "'\n" + kUsage);
            } else if (input.empty()) {
                input = a;
            } else {
                return Fail("more than one input: '" + input + "' and '" + a + "'");
            }
        } catch (const std::exception& e) {
            return Fail(e.what());
        }
    }
    if (input.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    std::ifstream in(input, std::ios::binary);
    if (!in)
        return Fail("cannot read '" + input + "': " + std::strerror(errno));
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string source = buffer.str();

    qc::CompiledTransition compiled;
    try {
        compiled = qc::CompileTransition(source, profile, keepLoops, subroutines);
        for (const auto& [uniform, file] : options.textures) {
            bool found = false;
            for (const qc::BoundUniform& u : compiled.uniforms)
                found = found || (u.sampler >= 0 && u.decl.name == uniform);
            if (!found)
                throw qc::CompileError(
                    0, 0, "--texture " + uniform + ": no sampler2D uniform of that name");
        }
    } catch (const qc::CompileError& e) {
        if (e.line > 0)
            std::cerr << input << "(" << e.line << "," << e.column << "): error: " << e.what()
                      << "\n";
        else
            std::cerr << input << ": error: " << e.what() << "\n";
        return 1;
    }
    if (asmOnly) {
        std::cout << compiled.shader.text;
        return 0;
    }
    if (output.empty()) {
        output = input;
        const size_t dot = output.find_last_of('.');
        const size_t slash = output.find_last_of('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            output.erase(dot);
        output += ".fx";
    }
    options.name = name.empty() ? Technique(input) : name;
    options.sourceName = input.substr(input.find_last_of('/') + 1);
    const std::string text = qc::WriteEffect(compiled, source, options);
    std::string error;
    return qc::WriteWhole(output, text, error) ? 0 : Fail(error);
}
