#include "host/render/EffectScan.h"

#include <cwctype>
#include <regex>

namespace quorvelrender {
namespace {

constexpr const wchar_t* kBoundSemantics[] = {
    L"InputTexture0",  L"InputTexture1",
    L"InputTexture2",  L"InputTexture3",
    L"InputTexture4",  L"InputTexture5",
    L"InputTexture6",  L"InputTexture7",
    L"Time",           L"Duration",
    L"InputSize",      L"OutputSize",
    L"PixelSize",      L"TextureAspect0",
    L"TextureAspect1", L"TextureAspect2",
    L"TextureAspect3", L"TextureAspect4",
    L"TextureAspect5", L"TextureAspect6",
    L"TextureAspect7", L"World",
    L"View",           L"Projection",
    L"WorldView",      L"WorldViewProjection",
};

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
            if (line.compare(0, 9, L"//!render") == 0)
                renderLines.push_back(line.substr(9));
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

} // namespace

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

bool IsBoundSemantic(const std::wstring& semantic) {
    for (const wchar_t* bound : kBoundSemantics)
        if (EqualsIgnoringCase(semantic, bound))
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
