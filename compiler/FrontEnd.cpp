#include "compiler/FrontEnd.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <cstdlib>
#include <mutex>
#include <regex>
#include <sstream>

#include "compiler/CommandSupport.h"
#include "compiler/Diagnostics.h"
#include "compiler/Glslang.h"

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

// glslang's first error at its place in the author's text; past it, the
// wrapper's main() calls transition().
[[noreturn]] void ThrowGlslangError(const std::string& log, const std::string& source) {
    GlslangMessage e;
    if (!FirstGlslangError(log, source, e))
        throw CompileError(0, 1, "GLSL compile failed: " + log);
    if (e.line == 0 && e.text.find("transition") != std::string::npos)
        e.text = "no function 'vec4 transition(vec2 uv)': " + e.text;
    throw CompileError(e.line, e.column, e.text);
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
    // The validator refuses bool uniforms, which OpenGL allows and the
    // format's authors use; glslang's output is trusted as it is.
    return Optimise(std::move(words), unrollLoops, false);
}

} // namespace qc
