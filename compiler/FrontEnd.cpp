#include "compiler/FrontEnd.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>

#include "compiler/CommandSupport.h"
#include "compiler/Diagnostics.h"
#include "compiler/Glslang.h"
#include "compiler/SpirvWords.h"

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

// glslang's SPIR-V of the wrapped transition, before any optimisation.
std::vector<uint32_t> GlslangSpirv(const std::string& source) {
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
    return words;
}

const uint32_t kOpName = 5, kOpTypeBool = 20, kOpTypeInt = 21, kOpTypeFloat = 22,
               kOpTypeVector = 23, kOpTypePointer = 32, kOpFunction = 54, kOpFunctionParameter = 55,
               kOpFunctionCall = 57, kOpLoad = 61, kOpLabel = 248;

} // namespace

std::vector<uint32_t> CompileTransitionToSpirv(const std::string& source, bool unrollLoops,
                                               const std::set<std::string>& subroutines) {
    std::vector<uint32_t> words = GlslangSpirv(source);
    if (!subroutines.empty()) {
        // The optimiser's inlining leaves alone what asks not to be inlined.
        std::map<uint32_t, std::string> names;
        ForEachInstruction(words, [&](uint32_t op, size_t i, uint32_t count) {
            if (op == kOpName)
                names[words[i + 1]] = LiteralString(words, i + 2, i + count);
        });
        const uint32_t kInline = 1, kDontInline = 2;
        ForEachInstruction(words, [&](uint32_t op, size_t i, uint32_t) {
            if (op == kOpFunction && subroutines.count(names[words[i + 2]]))
                words[i + 3] = (words[i + 3] & ~kInline) | kDontInline;
        });
    }
    // The validator refuses bool uniforms, which OpenGL allows and the
    // format's authors use; glslang's output is trusted as it is.
    return Optimise(std::move(words), unrollLoops, false);
}

std::vector<FunctionUse> TransitionFunctions(const std::string& source) {
    const std::vector<uint32_t> words = GlslangSpirv(source);
    std::map<uint32_t, std::string> names;
    std::map<uint32_t, int> width; // scalar and vector types of floats, ints and bools
    std::map<uint32_t, uint32_t> pointee;
    struct Function {
        uint32_t returns = 0;
        bool plain = true; // parameters and result scalars or vectors
        std::map<uint32_t, int> calls;
    };
    std::map<uint32_t, Function> functions;
    std::vector<uint32_t> order;
    uint32_t current = 0, calledLast = 0;
    std::vector<uint32_t> handedOver;
    ForEachInstruction(words, [&](uint32_t op, size_t i, uint32_t count) {
        const uint32_t* w = &words[i + 1];
        switch (op) {
        case kOpName:
            names[w[0]] = LiteralString(words, i + 2, i + count);
            break;
        case kOpTypeBool:
        case kOpTypeInt:
        case kOpTypeFloat:
            width[w[0]] = 1;
            break;
        case kOpTypeVector:
            if (width.count(w[1]))
                width[w[0]] = static_cast<int>(w[2]);
            break;
        case kOpTypePointer:
            pointee[w[0]] = w[2];
            break;
        case kOpFunction:
            current = w[1];
            functions[current].returns = w[0];
            functions[current].plain = width.count(w[0]) != 0;
            order.push_back(current);
            break;
        case kOpFunctionParameter: {
            const auto p = pointee.find(w[0]);
            functions[current].plain =
                functions[current].plain && width.count(p == pointee.end() ? w[0] : p->second);
            break;
        }
        case kOpFunctionCall:
            ++functions[current].calls[w[2]];
            // glslang copies an out parameter back right after the call.
            handedOver.assign(w + 3, &words[i + count]);
            calledLast = w[2];
            break;
        case kOpLoad:
            if (std::find(handedOver.begin(), handedOver.end(), w[2]) != handedOver.end())
                functions[calledLast].plain = false;
            break;
        case kOpLabel:
            handedOver.clear();
            break;
        default:
            break;
        }
    });
    // Calls as inlining would copy them: each caller's count times its sites.
    std::map<uint32_t, long> copies;
    for (const auto& [id, f] : functions)
        if (names[id] == "main" || names[id] == "main(")
            copies[id] = 1;
    // glslang writes callees before their callers' callers are done; go
    // round until the counts settle (the call graph has no cycles).
    for (size_t round = 0; round < functions.size(); ++round) {
        std::map<uint32_t, long> next;
        for (const auto& [id, f] : functions)
            if (names[id] == "main" || names[id] == "main(")
                next[id] = 1;
        for (const auto& [id, f] : functions)
            for (const auto& [callee, sites] : f.calls)
                next[callee] += copies[id] * sites;
        if (next == copies)
            break;
        copies = next;
    }
    std::vector<FunctionUse> uses;
    for (uint32_t id : order) {
        const Function& f = functions[id];
        FunctionUse u;
        u.name = names[id];
        u.copies = copies[id];
        u.plain = f.plain && u.name.compare(0, 3, "qv_") != 0 && u.name != "main" &&
                  u.name.compare(0, 11, "transition(") != 0 &&
                  u.name.compare(0, 13, "getFromColor(") != 0 &&
                  u.name.compare(0, 11, "getToColor(") != 0;
        for (const auto& [callee, sites] : f.calls)
            u.callees.push_back(names[callee]);
        uses.push_back(u);
    }
    return uses;
}

} // namespace qc
