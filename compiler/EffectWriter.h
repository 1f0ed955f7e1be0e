#pragma once

// Writes the effect file of a compiled transition: the two inputs with the
// format's sampling, Time and OutputSize bound to the shader, each uniform a
// parameter with its default (its semantic is its name, so a host sets it by
// name), the author's textures, a pass with the assembly, and the GLSL.

#include <map>
#include <string>

#include "compiler/Compiler.h"

namespace qc {

struct EffectOptions {
    std::string name;                            // the technique
    std::string sourceName;                      // for the header comment
    std::map<std::string, std::string> textures; // sampler2D uniform -> file
};

std::string WriteEffect(const CompiledTransition& t, const std::string& glsl,
                        const EffectOptions& options);

} // namespace qc
