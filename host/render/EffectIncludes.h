#pragma once

// The techniques and semantics an effect takes from the files it includes,
// so that the tool reads a family file as the compiler sees it.

#include "host/render/EffectScan.h"

#include <string>

namespace quorvelrender {

// Adds the techniques and parameters of every file that `text` includes,
// nested ones too, resolved as the effect framework resolves them: relative to
// the including file's folder. Files that cannot be read are left to the
// compiler to report.
void AddIncludedDeclarations(EffectScan& scan, const std::string& text, const std::wstring& folder);

} // namespace quorvelrender
