#include "host/fx/FxLexer.h"

#include "effect/HostContract.h"

#include <cstdlib>
#include <utility>

namespace fx {
namespace {

// Included text in all, so that includes nested many times over stay bounded.
constexpr size_t kMaxIncludedBytes = 64 * 1024 * 1024;

class Lexer {
  public:
    Lexer(const IncludeOpener& opener, std::vector<Token>& tokens, std::deque<std::string>& sources)
        : m_opener(opener), m_tokens(tokens), m_sources(sources) {}

    void Run(const std::string& whole, const std::string& file, int depth) {
        // The text ends at its first zero byte, as for a C string: callers
        // often count the terminator in the length.
        const size_t source = m_sources.size();
        m_sources.push_back(whole.substr(0, whole.find('\0')));
        const std::string& text = m_sources.back();
        Source s{text, file, 0, 1, 1};
        bool lineStart = true;
        while (s.pos < s.text.size()) {
            const char c = s.text[s.pos];
            if (c == '\n') {
                Advance(s);
                lineStart = true;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                Advance(s);
                continue;
            }
            if (c == '/' && Peek(s, 1) == '/') {
                while (s.pos < s.text.size() && s.text[s.pos] != '\n')
                    Advance(s);
                continue;
            }
            if (c == '/' && Peek(s, 1) == '*') {
                const Position start = Here(s);
                Advance(s);
                Advance(s);
                while (s.pos < s.text.size() && !(s.text[s.pos] == '*' && Peek(s, 1) == '/'))
                    Advance(s);
                if (s.pos >= s.text.size())
                    Fail(start, "X3000", "unterminated comment");
                Advance(s);
                Advance(s);
                continue;
            }
            if (c == '#') {
                if (!lineStart)
                    Fail(Here(s), "X3000", "syntax error: unexpected '#'");
                Directive(s, depth);
                lineStart = true;
                continue;
            }
            lineStart = false;
            Token token;
            token.position = Here(s);
            token.source = source;
            token.offset = s.pos;
            if (IsIdentStart(c)) {
                while (s.pos < s.text.size() && IsIdentChar(s.text[s.pos])) {
                    token.text += s.text[s.pos];
                    Advance(s);
                }
                token.kind = TokenKind::Identifier;
                if (token.text == "asm" && AsmBlock(s, token))
                    token.kind = TokenKind::Asm;
            } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(s, 1)))) {
                NumberToken(s, token);
            } else if (c == '"') {
                Advance(s);
                while (s.pos < s.text.size() && s.text[s.pos] != '"' && s.text[s.pos] != '\n') {
                    token.text += s.text[s.pos];
                    Advance(s);
                }
                if (s.pos >= s.text.size() || s.text[s.pos] != '"')
                    Fail(token.position, "X3000", "unterminated string");
                Advance(s);
                token.kind = TokenKind::String;
            } else if (std::string("{}()[]<>;=,:-+*/.|!?%^~&").find(c) != std::string::npos) {
                token.kind = TokenKind::Punct;
                token.text = std::string(1, c);
                Advance(s);
            } else {
                Fail(token.position, "X3000",
                     "syntax error: unexpected character 0x" + Hex(static_cast<unsigned char>(c)));
            }
            token.end = s.pos;
            m_tokens.push_back(std::move(token));
        }
    }

  private:
    struct Source {
        const std::string& text;
        const std::string& file;
        size_t pos;
        int line;
        int column;
    };

    static std::string Hex(unsigned value) {
        const char* digits = "0123456789ABCDEF";
        return std::string{digits[(value >> 4) & 15], digits[value & 15]};
    }
    static char Peek(const Source& s, size_t ahead) {
        return s.pos + ahead < s.text.size() ? s.text[s.pos + ahead] : '\0';
    }
    static void Advance(Source& s) {
        if (s.text[s.pos] == '\n') {
            ++s.line;
            s.column = 1;
        } else {
            ++s.column;
        }
        ++s.pos;
    }
    static Position Here(const Source& s) { return Position{s.file, s.line, s.column}; }

    void NumberToken(Source& s, Token& token) {
        const size_t begin = s.pos;
        if (s.text[s.pos] == '0' && (Peek(s, 1) == 'x' || Peek(s, 1) == 'X')) {
            Advance(s);
            Advance(s);
            while (s.pos < s.text.size() &&
                   std::isxdigit(static_cast<unsigned char>(s.text[s.pos])))
                Advance(s);
            token.text = s.text.substr(begin, s.pos - begin);
            if (token.text.size() == 2 || token.text.size() > 10)
                Fail(token.position, "X3000", "invalid number '" + token.text + "'");
            token.number = static_cast<double>(std::strtoul(token.text.c_str() + 2, nullptr, 16));
        } else {
            while (s.pos < s.text.size() && IsDigit(s.text[s.pos]))
                Advance(s);
            if (s.pos < s.text.size() && s.text[s.pos] == '.') {
                Advance(s);
                while (s.pos < s.text.size() && IsDigit(s.text[s.pos]))
                    Advance(s);
            }
            if (s.pos < s.text.size() && (s.text[s.pos] == 'e' || s.text[s.pos] == 'E')) {
                size_t ahead = 1;
                if (Peek(s, 1) == '+' || Peek(s, 1) == '-')
                    ahead = 2;
                if (IsDigit(Peek(s, ahead))) {
                    for (size_t i = 0; i < ahead; ++i)
                        Advance(s);
                    while (s.pos < s.text.size() && IsDigit(s.text[s.pos]))
                        Advance(s);
                }
            }
            token.text = s.text.substr(begin, s.pos - begin);
            token.number = std::strtod(token.text.c_str(), nullptr);
            if (s.pos < s.text.size() &&
                std::string("fFhH").find(s.text[s.pos]) != std::string::npos)
                Advance(s);
        }
        if (s.pos < s.text.size() && IsIdentChar(s.text[s.pos]))
            Fail(token.position, "X3000", "invalid number '" + token.text + "'");
        token.kind = TokenKind::Number;
    }

    // The body of "asm { ... }" is shader assembly, kept as raw text.
    bool AsmBlock(Source& s, Token& token) {
        size_t p = s.pos;
        while (p < s.text.size() && std::isspace(static_cast<unsigned char>(s.text[p])))
            ++p;
        if (p >= s.text.size() || s.text[p] != '{')
            return false;
        while (s.pos <= p)
            Advance(s);
        token.position = Here(s);
        const size_t begin = s.pos;
        while (s.pos < s.text.size() && s.text[s.pos] != '}')
            Advance(s);
        if (s.pos >= s.text.size())
            Fail(token.position, "X3000", "unterminated asm block");
        token.text = s.text.substr(begin, s.pos - begin);
        Advance(s);
        return true;
    }

    void Directive(Source& s, int depth) {
        const Position at = Here(s);
        Advance(s);
        while (s.pos < s.text.size() && (s.text[s.pos] == ' ' || s.text[s.pos] == '\t'))
            Advance(s);
        std::string word;
        while (s.pos < s.text.size() && IsIdentChar(s.text[s.pos])) {
            word += s.text[s.pos];
            Advance(s);
        }
        if (word != "include")
            Fail(at, "X1000", "unsupported preprocessor directive '#" + word + "'");
        while (s.pos < s.text.size() && (s.text[s.pos] == ' ' || s.text[s.pos] == '\t'))
            Advance(s);
        const char open = s.pos < s.text.size() ? s.text[s.pos] : '\0';
        if (open != '"' && open != '<')
            Fail(Here(s), "X1012", "expected a file name after #include");
        const char close = open == '"' ? '"' : '>';
        Advance(s);
        std::string name;
        while (s.pos < s.text.size() && s.text[s.pos] != close && s.text[s.pos] != '\n') {
            name += s.text[s.pos];
            Advance(s);
        }
        if (s.pos >= s.text.size() || s.text[s.pos] != close)
            Fail(at, "X1012", "unterminated file name after #include");
        Advance(s);
        // Only blanks and comments may follow on the line.
        while (s.pos < s.text.size() && s.text[s.pos] != '\n') {
            const char c = s.text[s.pos];
            if (c == '/' && Peek(s, 1) == '/')
                break;
            if (c != ' ' && c != '\t' && c != '\r')
                Fail(Here(s), "X1014", "unexpected text after #include");
            Advance(s);
        }
        // The effect file is depth 1, as for the product's own loader.
        if (static_cast<std::size_t>(depth) + 1 >= quorvel::kMaxIncludeDepth)
            Fail(at, "X1508", "#include nested too deeply: '" + name + "'");
        std::string text;
        std::string displayName;
        if (!m_opener || !m_opener(name, s.file, text, displayName))
            Fail(at, "X1507", "failed to open source file: '" + name + "'");
        m_includedBytes += text.size();
        if (m_includedBytes > kMaxIncludedBytes)
            Fail(at, "X1508", "too much included text at '" + name + "'");
        Run(text, displayName, depth + 1);
    }

    const IncludeOpener& m_opener;
    std::vector<Token>& m_tokens;
    // A deque: a text being read stays in place while includes are added.
    std::deque<std::string>& m_sources;
    size_t m_includedBytes = 0;
};

} // namespace

void Tokenize(const std::string& text, const std::string& fileName, const IncludeOpener& opener,
              std::vector<Token>& tokens, std::deque<std::string>& sources) {
    Lexer(opener, tokens, sources).Run(text, fileName, 0);
}

} // namespace fx
