#include "compiler/FrontEnd.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv-tools/optimizer.hpp>

#include <cstdlib>
#include <mutex>
#include <regex>
#include <sstream>

#include "compiler/CommandSupport.h"
#include "compiler/Diagnostics.h"

namespace qc {

namespace {

// The format's interface. Its uv origin is the bottom-left; Direct3D's
// texture coordinates start at the top-left, so both the coordinate handed to
// transition() and every texture read flip y. Equal flips cancel when folded.
const char kPrologue[] = R"(#version 450
layout(location = 0) in vec2 qv_texcoord;
layout(location = 0) out vec4 qv_color;
uniform float progress;
uniform vec4 qv_size;
float ratio;
uniform sampler2D qv_from;
uniform sampler2D qv_to;
vec4 qv_sample(sampler2D s, vec2 p) { return texture(s, vec2(p.x, 1.0 - p.y)); }
vec4 qv_sample(sampler2D s, vec2 p, float bias) { return texture(s, vec2(p.x, 1.0 - p.y), bias); }
vec4 getFromColor(vec2 p) { return qv_sample(qv_from, p); }
vec4 getToColor(vec2 p) { return qv_sample(qv_to, p); }
#define texture2D qv_sample
#define texture qv_sample
#line 1
)";

const char kEpilogue[] = R"(
void main() {
    ratio = qv_size.x / qv_size.y;
    qv_color = transition(vec2(qv_texcoord.x, 1.0 - qv_texcoord.y));
}
)";

void InitGlslang() {
    static std::once_flag once;
    std::call_once(once, [] {
        glslang::InitializeProcess();
        std::atexit([] { glslang::FinalizeProcess(); });
    });
}

// glslang's "ERROR: 0:12: 'foo' : undeclared identifier" as a CompileError,
// with the column of the quoted token on that line where it is found.
[[noreturn]] void ThrowGlslangError(const std::string& log, const std::string& source) {
    static const std::regex error(R"(ERROR: (?:[^:]*):(\d+): (.*))");
    std::istringstream in(log);
    std::string line;
    std::vector<std::string> lines;
    {
        std::istringstream src(source);
        std::string l;
        while (std::getline(src, l))
            lines.push_back(l);
    }
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, error))
            continue;
        int number = std::atoi(m[1].str().c_str());
        std::string text = m[2].str();
        int column = 1;
        if (number > static_cast<int>(lines.size())) {
            // Past the author's text: the wrapper's main() calls transition().
            number = 0;
            if (text.find("transition") != std::string::npos)
                text = "no function 'vec4 transition(vec2 uv)': " + text;
        } else if (number >= 1) {
            column = ColumnOfQuotedName(text, lines[number - 1]);
        }
        while (!text.empty() && (text.back() == ' ' || text.back() == '\r'))
            text.pop_back();
        throw CompileError(number, column, text);
    }
    throw CompileError(0, 1, "GLSL compile failed: " + log);
}

// Marks every loop for full unrolling: SPIRV-Tools only unrolls loops that
// ask for it, and a pixel shader here wants every loop it can unroll gone.
void RequestUnroll(std::vector<uint32_t>& words) {
    const uint32_t kOpLoopMerge = 246;
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16;
        if ((words[i] & 0xFFFF) == kOpLoopMerge && count >= 4)
            words[i + 3] = (words[i + 3] & ~2u) | 1u;
        if (count == 0)
            break;
        i += count;
    }
}

// The validator refuses bool uniforms, which OpenGL allows and the format's
// authors use; glslang's output is trusted as it is.
spvtools::OptimizerOptions Options() {
    spvtools::OptimizerOptions options;
    options.set_run_validator(false);
    return options;
}

std::vector<uint32_t> Optimise(std::vector<uint32_t> words, bool unroll) {
    std::string messages;
    auto consume = [&messages](spv_message_level_t, const char*, const spv_position_t&,
                               const char* m) { messages += std::string(m) + "\n"; };
    {
        spvtools::Optimizer opt(SPV_ENV_OPENGL_4_5);
        opt.SetMessageConsumer(consume);
        opt.RegisterPerformancePasses();
        std::vector<uint32_t> out;
        if (!opt.Run(words.data(), words.size(), &out, Options()))
            throw CompileError(0, 1, "SPIR-V optimisation failed: " + messages);
        words.swap(out);
    }
    if (!unroll)
        return words;
    RequestUnroll(words);
    {
        spvtools::Optimizer opt(SPV_ENV_OPENGL_4_5);
        opt.SetMessageConsumer(consume);
        opt.RegisterPass(spvtools::CreateLoopUnrollPass(true));
        opt.RegisterPerformancePasses();
        opt.RegisterPass(spvtools::CreateLoopUnrollPass(true));
        opt.RegisterPerformancePasses();
        std::vector<uint32_t> out;
        if (!opt.Run(words.data(), words.size(), &out, Options()))
            throw CompileError(0, 1, "SPIR-V optimisation failed: " + messages);
        words.swap(out);
    }
    return words;
}

} // namespace

std::vector<uint32_t> CompileTransitionToSpirv(const std::string& source, bool unrollLoops) {
    InitGlslang();
    // Drop a #version line of the author's: the wrapper sets its own.
    std::string body = source;
    static const std::regex version(R"((^|\n)[ \t]*#[ \t]*version[^\n]*)");
    body = std::regex_replace(body, version, "$1");
    const std::string text = kPrologue + body + kEpilogue;

    glslang::TShader shader(EShLangFragment);
    const char* strings[] = {text.c_str()};
    shader.setStrings(strings, 1);
    shader.setEnvInput(glslang::EShSourceGlsl, EShLangFragment, glslang::EShClientOpenGL, 450);
    shader.setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setAutoMapLocations(true);
    shader.setAutoMapBindings(true);
    const auto messages = static_cast<EShMessages>(EShMsgSpvRules);
    if (!shader.parse(GetDefaultResources(), 450, false, messages))
        ThrowGlslangError(shader.getInfoLog(), body);
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages) || !program.mapIO())
        ThrowGlslangError(program.getInfoLog(), body);
    std::vector<uint32_t> words;
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.disableOptimizer = true;
    options.generateDebugInfo = true; // OpLine: messages name the author's line
    glslang::GlslangToSpv(*program.getIntermediate(EShLangFragment), words, &logger, &options);
    return Optimise(std::move(words), unrollLoops);
}

} // namespace qc
