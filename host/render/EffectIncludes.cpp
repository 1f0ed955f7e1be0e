#include "host/render/EffectIncludes.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace quorvelrender {
namespace {

// As deep as the effect framework follows includes.
constexpr int kMaxDepth = 16;

std::wstring Widen(const std::string& name) {
    // Include names in the library are ASCII; anything else is left to the
    // compiler, which reports what it cannot open.
    std::wstring wide;
    for (const char c : name)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

void AddFrom(EffectScan& scan, const std::string& text, const std::wstring& folder, int depth) {
    if (depth > kMaxDepth)
        return;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t hash = line.find_first_not_of(" \t");
        if (hash == std::string::npos || line.compare(hash, 8, "#include") != 0)
            continue;
        const size_t open = line.find('"', hash + 8);
        const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close == std::string::npos)
            continue;
        const std::wstring path = folder + L"\\" + Widen(line.substr(open + 1, close - open - 1));
        std::ifstream file(path.c_str(), std::ios::binary);
        if (!file)
            continue;
        const std::string included((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
        const EffectScan inner = ScanEffect(included);
        scan.techniques.insert(scan.techniques.end(), inner.techniques.begin(),
                               inner.techniques.end());
        scan.parameters.insert(scan.parameters.end(), inner.parameters.begin(),
                               inner.parameters.end());
        AddFrom(scan, included, FolderOf(path), depth + 1);
    }
}

} // namespace

void AddIncludedDeclarations(EffectScan& scan, const std::string& text,
                             const std::wstring& folder) {
    AddFrom(scan, text, folder, 1);
}

} // namespace quorvelrender
