#pragma once

// What the tool reads from an effect's text itself: technique names, the
// top-level parameters with semantics, and "//!render" preview options.

#include <string>
#include <vector>

namespace quorvelrender {

struct DeclaredParameter {
    std::wstring type;
    std::wstring name;
    std::wstring semantic;
};

struct EffectScan {
    std::vector<std::wstring> techniques;
    std::vector<DeclaredParameter> parameters; // those with a semantic
    std::vector<std::wstring> renderLines;
    std::vector<std::wstring> includes; // names of "#include" directives, in order
    bool vertexShader = false;          // a pass sets a vertex shader other than NULL
    std::vector<std::wstring> files;    // full paths of the effect and every file it includes
};

EffectScan ScanEffect(const std::string& text);

// The effect file at `path` with what its includes declare merged in; false
// when it cannot be read.
bool ScanEffectFile(const std::wstring& path, EffectScan& scan);

// Adds what an included file declares (its parameters, techniques and vertex
// shaders; its "//!render" lines are the including file's business).
void MergeIncluded(EffectScan& scan, const EffectScan& included);

// Whether Quorvel itself sets a semantic (case as D3DX matches: ignoring case).
bool IsBoundSemantic(const std::wstring& semantic);

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);

} // namespace quorvelrender
