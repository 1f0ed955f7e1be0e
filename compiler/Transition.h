#pragma once

// What a GL transition declares besides its code: its uniforms, their types
// and their `// = default` values, read from the source text.

#include <array>
#include <string>
#include <vector>

namespace qc {

enum class UniformKind { Float, Int, Bool, Sampler };

struct UniformDecl {
    std::string name;
    std::string glslType; // as written: "vec2", "ivec3", "mat3", "sampler2D"...
    UniformKind kind = UniformKind::Float;
    int components = 1;          // per column
    int columns = 1;             // matrices: one register a column
    std::vector<float> defaults; // columns * components values, zero when none is given
    bool hasDefault = false;
    std::string defaultText;
    int line = 0;
};

// The uniforms of a transition's source, in order. Throws CompileError for a
// default that does not parse or does not fit its type.
std::vector<UniformDecl> ReadUniforms(const std::string& source);

// The names the format itself provides: never an author's uniform.
bool IsProvidedName(const std::string& name);

} // namespace qc
