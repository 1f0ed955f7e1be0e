#include "module/RegistryScript.h"

#include <algorithm>
#include <cwctype>

namespace quorvel {

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

struct Token {
    bool quoted = false;
    std::wstring_view text;
};

class LineReader {
  public:
    explicit LineReader(std::wstring_view line) : m_line(line) {}

    // False at the end of the line; an unterminated quote is reported in *bad.
    bool Next(Token& token, bool* bad) {
        while (m_pos < m_line.size() && IsSpace(m_line[m_pos]))
            ++m_pos;
        if (m_pos == m_line.size())
            return false;
        if (m_line[m_pos] == L'"') {
            const size_t close = m_line.find(L'"', m_pos + 1);
            if (close == std::wstring_view::npos) {
                *bad = true;
                return false;
            }
            token = {true, m_line.substr(m_pos + 1, close - m_pos - 1)};
            m_pos = close + 1;
            return true;
        }
        const size_t start = m_pos;
        while (m_pos < m_line.size() && !IsSpace(m_line[m_pos]) && m_line[m_pos] != L'"')
            ++m_pos;
        token = {false, m_line.substr(start, m_pos - start)};
        return true;
    }

  private:
    std::wstring_view m_line;
    size_t m_pos = 0;
};

const char* Expand(std::wstring_view text, const RegistryParameters& parameters,
                   std::wstring& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            out += text[i];
            continue;
        }
        const size_t close = text.find(L'%', i + 1);
        if (close == std::wstring_view::npos)
            return "unterminated parameter";
        const std::wstring_view name = text.substr(i + 1, close - i - 1);
        if (name.empty()) {
            out += L'%';
        } else {
            const auto found = parameters.find(name);
            if (found == parameters.end())
                return "unknown parameter";
            out += found->second;
        }
        i = close;
    }
    return nullptr;
}

bool IsValidKeyPath(const std::wstring& path) {
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\')
        return false;
    return path.find(L"\\\\") == std::wstring::npos;
}

const char* ParseLine(std::wstring_view text, const RegistryParameters& parameters,
                      std::vector<RegistryScriptLine>& lines) {
    LineReader reader(text);
    Token token;
    bool bad = false;
    if (!reader.Next(token, &bad))
        return bad ? "unterminated quote" : nullptr;
    if (!token.quoted && token.text.substr(0, 1) == L"#")
        return nullptr;

    RegistryScriptLine line;
    if (token.quoted)
        return "expected key, fresh or keep";
    if (token.text == L"key")
        line.mode = RegistryKeyMode::Key;
    else if (token.text == L"fresh")
        line.mode = RegistryKeyMode::Fresh;
    else if (token.text == L"keep")
        line.mode = RegistryKeyMode::Keep;
    else
        return "expected key, fresh or keep";

    if (!reader.Next(token, &bad) || !token.quoted)
        return "expected a quoted key path";
    if (const char* reason = Expand(token.text, parameters, line.key))
        return reason;
    if (!IsValidKeyPath(line.key))
        return "empty key path or part";

    if (reader.Next(token, &bad)) {
        line.hasValue = true;
        if (!token.quoted && token.text != L"@")
            return "expected @ or a quoted value name";
        if (token.quoted) {
            if (const char* reason = Expand(token.text, parameters, line.valueName))
                return reason;
            if (line.valueName.empty())
                return "empty value name; use @";
        }
        if (!reader.Next(token, &bad) || !token.quoted)
            return "expected quoted data";
        if (const char* reason = Expand(token.text, parameters, line.data))
            return reason;
        if (reader.Next(token, &bad))
            return "text after the data";
    }
    if (bad)
        return "unterminated quote";
    lines.push_back(std::move(line));
    return nullptr;
}

} // namespace

bool ParseRegistryScript(std::wstring_view script, const RegistryParameters& parameters,
                         std::vector<RegistryScriptLine>& lines, RegistryScriptError* error) {
    lines.clear();
    size_t number = 0;
    while (!script.empty()) {
        ++number;
        const size_t end = script.find(L'\n');
        const std::wstring_view text = script.substr(0, end);
        script = end == std::wstring_view::npos ? std::wstring_view() : script.substr(end + 1);
        if (const char* reason = ParseLine(text, parameters, lines)) {
            if (error)
                *error = {number, reason};
            lines.clear();
            return false;
        }
    }
    return true;
}

namespace {

// Registry key names compare without regard to case.
bool SameKey(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) ==
                      std::towlower(static_cast<wint_t>(y));
           });
}

bool Contains(const std::vector<std::wstring>& keys, const std::wstring& key) {
    return std::any_of(keys.begin(), keys.end(),
                       [&](const std::wstring& k) { return SameKey(k, key); });
}

} // namespace

std::vector<std::wstring> KeysToRemove(const std::vector<RegistryScriptLine>& lines) {
    std::vector<std::wstring> kept;
    for (const auto& line : lines)
        if (line.mode == RegistryKeyMode::Keep)
            kept.push_back(line.key);
    std::vector<std::wstring> keys;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (!Contains(kept, line->key) && !Contains(keys, line->key))
            keys.push_back(line->key);
    return keys;
}

} // namespace quorvel
