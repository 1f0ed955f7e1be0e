#include "host/render/EffectScan.h"

#include "effect/HostContract.h"
#include "host/render/ToolSupport.h"

#include <cwctype>
#include <regex>
#include <set>

namespace quorvelrender {
namespace {

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (unsigned char c : text)
        wide += static_cast<wchar_t>(c);
    return wide;
}

// Comments out, strings kept; "//" inside a string stays text here, which is
// enough to find declarations.
std::wstring StripComments(const std::wstring& text, std::vector<std::wstring>& renderLines) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, L"//") == 0) {
            const size_t end = text.find(L'\n', i);
            const std::wstring line = text.substr(i, end == std::wstring::npos ? end : end - i);
            const std::wstring prefix = Widen(quorvel::kRenderLinePrefix);
            if (line.compare(0, prefix.size(), prefix) == 0)
                renderLines.push_back(line.substr(prefix.size()));
            i = end == std::wstring::npos ? text.size() : end;
        } else if (text.compare(i, 2, L"/*") == 0) {
            const size_t end = text.find(L"*/", i + 2);
            i = end == std::wstring::npos ? text.size() : end + 2;
            out += L' ';
        } else if (text[i] == L'"') {
            const size_t end = text.find(L'"', i + 1);
            const size_t stop = end == std::wstring::npos ? text.size() : end + 1;
            out.append(text, i, stop - i);
            i = stop;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// What the effect's included files declare counts as the effect's own; names
// are looked for beside the including file, then in the current folder, as
// the effect framework does.
void ScanIncludes(const std::wstring& folder, EffectScan& scan, std::set<std::wstring>& seen,
                  std::size_t depth) {
    const std::vector<std::wstring> names = scan.includes;
    for (const std::wstring& name : names) {
        std::wstring path = FullPath(folder + L"\\" + name);
        if (!IsFile(path))
            path = FullPath(name);
        std::string text;
        if (depth > quorvel::kMaxIncludeDepth || !seen.insert(path).second || !ReadText(path, text))
            continue;
        EffectScan included = ScanEffect(text);
        scan.files.push_back(path);
        ScanIncludes(FolderOf(path), included, seen, depth + 1);
        MergeIncluded(scan, included);
        scan.files.insert(scan.files.end(), included.files.begin(), included.files.end());
    }
}

} // namespace

bool ScanEffectFile(const std::wstring& path, EffectScan& scan) {
    std::string text;
    if (!IsFile(path) || !ReadText(path, text))
        return false;
    scan = ScanEffect(text);
    scan.files = {path};
    std::set<std::wstring> seen = {path};
    // The effect file is depth 1, its includes 2.
    ScanIncludes(FolderOf(path), scan, seen, 2);
    return true;
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

bool IsBoundSemantic(const std::wstring& semantic) {
    for (const char* bound : quorvel::g_inputTextureSemantics)
        if (EqualsIgnoringCase(semantic, Widen(bound)))
            return true;
    for (const char* bound : quorvel::g_boundSemantics)
        if (EqualsIgnoringCase(semantic, Widen(bound)))
            return true;
    return false;
}

EffectScan ScanEffect(const std::string& text) {
    EffectScan scan;
    const std::wstring code = StripComments(Widen(text), scan.renderLines);

    static const std::wregex include(L"(?:^|\\n)[ \\t]*#[ \\t]*include[ \\t]*\"([^\"\\n]+)\"");
    for (std::wsregex_iterator it(code.begin(), code.end(), include), end; it != end; ++it)
        scan.includes.push_back((*it)[1].str());
    static const std::wregex vertexShader(L"\\bVertexShader\\s*=\\s*(?![Nn][Uu][Ll][Ll]\\b)[<\\w]");
    scan.vertexShader = std::regex_search(code, vertexShader);

    // Only what lies outside every brace is a top-level declaration.
    std::wstring topLevel;
    int depth = 0;
    for (wchar_t c : code) {
        if (c == L'{' || c == L'}') {
            depth = c == L'{' ? depth + 1 : (depth > 0 ? depth - 1 : 0);
            topLevel += L' ';
        } else if (depth == 0) {
            topLevel += c;
        }
    }

    static const std::wregex technique(L"\\btechnique\\s+([A-Za-z_]\\w*)");
    for (std::wsregex_iterator it(topLevel.begin(), topLevel.end(), technique), end; it != end;
         ++it)
        scan.techniques.push_back((*it)[1].str());

    static const std::wregex declaration(
        L"\\b(float[1-4]?(?:x[1-4])?|int|bool|half[1-4]?|texture(?:2D|3D|CUBE)?|sampler(?:2D)?)"
        L"\\s+([A-Za-z_]\\w*)\\s*:\\s*([A-Za-z_]\\w*)");
    for (std::wsregex_iterator it(topLevel.begin(), topLevel.end(), declaration), end; it != end;
         ++it)
        scan.parameters.push_back({(*it)[1].str(), (*it)[2].str(), (*it)[3].str()});
    return scan;
}

void MergeIncluded(EffectScan& scan, const EffectScan& included) {
    scan.techniques.insert(scan.techniques.end(), included.techniques.begin(),
                           included.techniques.end());
    scan.parameters.insert(scan.parameters.end(), included.parameters.begin(),
                           included.parameters.end());
    scan.vertexShader = scan.vertexShader || included.vertexShader;
}

} // namespace quorvelrender
