#pragma once

// Runs the native shader compiler for one compile statement of an effect.

#include <string>

#include "host/fx/FxCompile.h"
#include "host/fx/FxSyntax.h"

namespace fxhost {

// Compiles `compile` (a "compile PROFILE Entry(args)" value) from the
// effect's HLSL. False with compile errors in `messages`: the compiler's own,
// placed in the effect, or why it could not run.
bool CompileHlsl(const fx::HlslSource& hlsl, const fx::StateValue& compile, fx::CompiledHlsl& out,
                 std::string& messages);

} // namespace fxhost
