#include "compiler/EffectWriter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <sstream>

#include "compiler/Emit.h"
#include "effect/HostContract.h"

namespace qc {

namespace {

std::string FloatType(const UniformDecl& u) {
    if (u.columns > 1)
        return "float" + std::to_string(u.components) + "x" + std::to_string(u.columns);
    return u.components == 1 ? "float" : "float" + std::to_string(u.components);
}

// Initialisers are written row by row; GLSL gives matrices by columns.
std::string Initialiser(const UniformDecl& u) {
    std::vector<float> v;
    for (int r = 0; r < u.components; ++r)
        for (int c = 0; c < u.columns; ++c)
            v.push_back(u.defaults[c * u.components + r]);
    if (u.columns == 1)
        v = u.defaults;
    if (v.size() == 1)
        return PlainDecimal(v[0]);
    std::string s = "{ ";
    for (size_t i = 0; i < v.size(); ++i)
        s += (i ? ", " : "") + PlainDecimal(v[i]);
    return s + " }";
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Semantics Quorvel sets itself, matched without regard to case as the
// effect framework matches them.
bool IsHostSemantic(const std::string& name) {
    for (const char* s : quorvel::g_boundSemantics)
        if (SameIgnoringCase(name, s))
            return true;
    for (const char* s : quorvel::g_inputTextureSemantics)
        if (SameIgnoringCase(name, s))
            return true;
    return false;
}

const char* Bound(quorvel::BoundSemantic s) {
    return quorvel::g_boundSemantics[static_cast<size_t>(s)];
}

// The format samples linearly with clamped edges. An input (From, To) read
// only at the coordinate each pixel gets lands on texel centres, since the
// inputs come at the output's size, where point sampling gives the same
// colour exactly and linear filtering on some devices a level or two off:
// that one samples by points. An author's texture has a size of its own and
// is always filtered.
std::string SamplerStates(const CompiledShader& s, int sampler) {
    const bool input = sampler == 0 || sampler == 1;
    const bool linear =
        !input || std::find(s.filtered.begin(), s.filtered.end(), sampler) != s.filtered.end();
    const char* filter = linear ? "Linear" : "Point";
    return std::string("    MinFilter = ") + filter + ";\n    MagFilter = " + filter +
           ";\n    MipFilter = None;\n    AddressU = Clamp;\n    AddressV = Clamp;\n";
}

const char kVertexShader3[] = R"(        VertexShader = asm
        {
            // ps_3_0 runs with a vs_3_0: the grid passed through as it is.
            vs_3_0
            dcl_position v0
            dcl_texcoord v1
            dcl_position o0
            dcl_texcoord o1
            mov o0, v0
            mov o1, v1
        };
)";

} // namespace

std::string WriteEffect(const CompiledTransition& t, const std::string& glsl,
                        const EffectOptions& options) {
    std::ostringstream o;
    const CompiledShader& s = t.shader;
    o << "// " << options.name << ": a GL transition (" << options.sourceName
      << ") compiled by quorvel-fxc.\n";
    o << "// " << ProfileName(s.profile) << ", " << s.arithmeticSlots << " arithmetic and "
      << s.textureSlots << " texture instruction slots, " << s.temporaries << " temporaries.\n";
    for (const BoundUniform& u : t.uniforms) {
        if (u.sampler < 0)
            continue;
        auto f = options.textures.find(u.decl.name);
        if (f != options.textures.end())
            o << quorvel::kRenderLinePrefix << " --param "
              << quorvel::g_inputTextureSemantics[u.sampler] << "=" << f->second << "\n";
    }
    o << "\n";
    std::set<std::string> taken{"From", "To", "Progress", "Size", "FromSampler", "ToSampler"};
    auto paramName = [&](const std::string& n) {
        std::string p = n;
        while (taken.count(p))
            p += "_";
        taken.insert(p);
        return p;
    };
    o << "texture From : " << quorvel::g_inputTextureSemantics[0]
      << ";\ntexture To : " << quorvel::g_inputTextureSemantics[1] << ";\n";
    o << "float Progress : " << Bound(quorvel::BoundSemantic::Time) << ";\n";
    if (t.usesSize)
        o << "float4 Size : " << Bound(quorvel::BoundSemantic::OutputSize) << ";\n";
    std::vector<std::pair<const BoundUniform*, std::string>> names;
    for (const BoundUniform& u : t.uniforms) {
        const std::string name = paramName(u.decl.name);
        names.push_back({&u, name});
        o << "\n// uniform " << u.decl.glslType << " " << u.decl.name << ";";
        if (u.decl.hasDefault)
            o << " // = " << u.decl.defaultText;
        o << "\n";
        if (u.sampler >= 0) {
            o << "texture " << name << " : " << quorvel::g_inputTextureSemantics[u.sampler]
              << ";\n";
            o << "sampler " << paramName(name + "Sampler") << " = sampler_state\n{\n    Texture = <"
              << name << ">;\n"
              << SamplerStates(s, u.sampler) << "};\n";
        } else {
            // The semantic is the uniform's name, unless Quorvel binds that
            // semantic itself: then the host's value would replace the default.
            std::string semantic = u.decl.name;
            if (IsHostSemantic(semantic)) {
                semantic = "Uniform_" + semantic;
                o << "// (its semantic is " << semantic << ": " << u.decl.name
                  << " is one Quorvel binds itself)\n";
            }
            o << FloatType(u.decl) << " " << name << " : " << semantic << " = "
              << Initialiser(u.decl) << ";\n";
        }
    }
    o << "\nsampler FromSampler = sampler_state\n{\n    Texture = <From>;\n"
      << SamplerStates(s, 0) << "};\n";
    o << "\nsampler ToSampler = sampler_state\n{\n    Texture = <To>;\n"
      << SamplerStates(s, 1) << "};\n";
    o << "\ntechnique " << options.name << "\n{\n    pass P0\n    {\n";
    o << "        Sampler[0] = <FromSampler>;\n        Sampler[1] = <ToSampler>;\n";
    for (auto& [u, name] : names)
        if (u->sampler >= 0)
            o << "        Sampler[" << u->sampler << "] = <" << name << "Sampler>;\n";
    o << "        PixelShaderConstantF[" << kProgressRegister << "] = <Progress>;\n";
    if (t.usesSize)
        o << "        PixelShaderConstantF[" << kSizeRegister << "] = <Size>;\n";
    for (auto& [u, name] : names)
        if (u->reg >= 0)
            o << "        PixelShaderConstantF[" << u->reg << "] = <" << name << ">;\n";
    if (s.profile == Profile::Ps30)
        o << kVertexShader3;
    else
        o << "        VertexShader = NULL;\n";
    o << "        PixelShader = asm\n        {\n"
      << ShaderText(s.tokens, "            ") << "        };\n    }\n}\n";
    o << "\n// The GLSL source:\n//\n";
    std::istringstream in(glsl);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        o << "//" << (line.empty() ? "" : "  ") << line << "\n";
    }
    return o.str();
}

} // namespace qc
