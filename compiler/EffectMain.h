#pragma once

// quorvel-fxc's effect mode: an effect file whose shaders are HLSL made into
// one with assembly shaders only, which needs no compiler where it runs:
//   quorvel-fxc EFFECT.fx [-o OUT.fx]
// Every "compile PROFILE Entry(args)" becomes the asm { } block the effect
// framework would assemble for it, followed in each pass by the states that
// bind the shader's globals to their parameters; the HLSL items go, and the
// rest (parameters, annotations, samplers, techniques, comments) stays as
// written, with included text inlined.

#include <string>

namespace qc {

// True when the input is an effect file (a name ending in .fx).
bool IsEffectRequest(int argc, char** argv);
int EffectMain(int argc, char** argv);

// The assembly-only text of the effect file at `path`; false with
// "file(line,col): error Xnnnn: text" lines in `messages`.
bool CompileEffectFile(const std::string& path, std::string& output, std::string& messages);

} // namespace qc
