#include "host/fx/FxLexer.h"

#include "effect/HostContract.h"

#include <cstdlib>
#include <map>
#include <set>
#include <utility>

namespace fx {
namespace {

// Included text in all, so that includes nested many times over stay bounded.
constexpr size_t kMaxIncludedBytes = 64 * 1024 * 1024;

class Lexer {
  public:
    Lexer(const IncludeOpener& opener, EffectTokens& out)
        : m_opener(opener), m_tokens(out.tokens), m_sources(out.sources),
          m_directives(out.directives) {}

    void Run(const std::string& whole, const std::string& file, int depth) {
        const size_t open = m_conds.size();
        RunText(whole, file, depth);
        // Each file closes the conditionals it opens.
        if (m_conds.size() != open)
            Fail(m_conds.back().at, "X1004", "unexpected end of file in a conditional block");
    }

  private:
    void RunText(const std::string& whole, const std::string& file, int depth) {
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
                ReadDirective(s, depth);
                lineStart = true;
                continue;
            }
            if (!Active()) {
                // A line the conditionals leave out.
                while (s.pos < s.text.size() && s.text[s.pos] != '\n')
                    Advance(s);
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
            Push(std::move(token));
        }
    }

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

    struct Macro {
        bool function = false; // left to the shader compiler
        std::vector<Token> body;
    };
    struct Cond {
        bool parent; // the enclosing block is in
        bool active; // this branch is in
        bool taken;  // a branch of this block was in
        bool sawElse;
        Position at;
    };

    bool Active() const { return m_conds.empty() || m_conds.back().active; }

    // An object-like macro's name gives way to its tokens, each standing
    // where the name was written.
    void Expand(Token token, std::vector<Token>& out) {
        const auto macro = m_macros.find(token.text);
        if (token.kind != TokenKind::Identifier || macro == m_macros.end() ||
            macro->second.function || m_expanding.count(token.text)) {
            out.push_back(std::move(token));
            return;
        }
        m_expanding.insert(token.text);
        bool first = true;
        for (Token t : macro->second.body) {
            t.position = token.position;
            t.source = token.source;
            t.offset = first ? token.offset : token.end;
            t.end = token.end;
            first = false;
            Expand(std::move(t), out);
        }
        m_expanding.erase(token.text);
    }
    void Push(Token token) { Expand(std::move(token), m_tokens); }

    static void SkipBlanks(Source& s) {
        while (s.pos < s.text.size() && (s.text[s.pos] == ' ' || s.text[s.pos] == '\t'))
            Advance(s);
    }

    // The rest of the directive's line, without a closing // comment.
    static std::string RestOfLine(Source& s) {
        std::string rest;
        while (s.pos < s.text.size() && s.text[s.pos] != '\n') {
            if (s.text[s.pos] == '/' && Peek(s, 1) == '/') {
                while (s.pos < s.text.size() && s.text[s.pos] != '\n')
                    Advance(s);
                break;
            }
            rest += s.text[s.pos];
            Advance(s);
        }
        return rest;
    }

    std::vector<Token> Lex(const std::string& text, const std::string& file) {
        EffectTokens scratch;
        Lexer(nullptr, scratch).RunText(text, file, 0);
        return scratch.tokens;
    }

    void ReadDirective(Source& s, int depth) {
        const Position at = Here(s);
        const size_t start = s.pos;
        Advance(s);
        SkipBlanks(s);
        std::string word;
        while (s.pos < s.text.size() && IsIdentChar(s.text[s.pos])) {
            word += s.text[s.pos];
            Advance(s);
        }
        if (word == "ifdef" || word == "ifndef" || word == "if") {
            const bool parent = Active();
            bool in = false;
            if (parent && word == "if") {
                in = Evaluate(RestOfLine(s), at) != 0;
            } else if (parent) {
                SkipBlanks(s);
                const std::string name = MacroName(s, at, word);
                in = (m_macros.count(name) != 0) == (word == "ifdef");
            }
            RestOfLine(s);
            m_conds.push_back(Cond{parent, in, in, false, at});
            return;
        }
        if (word == "elif" || word == "else" || word == "endif") {
            if (m_conds.empty())
                Fail(at, "X1018", "#" + word + " without #if");
            Cond& c = m_conds.back();
            if (word == "endif") {
                RestOfLine(s);
                m_conds.pop_back();
                return;
            }
            if (c.sawElse)
                Fail(at, "X1018", "#" + word + " after #else");
            const std::string rest = RestOfLine(s);
            const bool in = c.parent && !c.taken && (word == "else" || Evaluate(rest, at) != 0);
            c.active = in;
            c.taken = c.taken || in;
            c.sawElse = word == "else";
            return;
        }
        if (!Active()) {
            RestOfLine(s);
            return;
        }
        if (word == "define" || word == "undef") {
            SkipBlanks(s);
            const std::string name = MacroName(s, at, word);
            if (word == "undef") {
                m_macros.erase(name);
            } else {
                Macro macro;
                // "NAME(" with no blank before the parenthesis takes arguments.
                macro.function = s.pos < s.text.size() && s.text[s.pos] == '(';
                const std::string body = RestOfLine(s);
                if (!macro.function)
                    macro.body = Lex(body, s.file);
                m_macros[name] = std::move(macro);
            }
            std::string line = s.text.substr(start, s.pos - start);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            m_directives.push_back(fx::Directive{m_tokens.size(), line, at});
            return;
        }
        if (word == "pragma" || word == "line" || word.empty()) {
            RestOfLine(s);
            return;
        }
        if (word == "error")
            Fail(at, "X1003", "#error" + RestOfLine(s));
        if (word != "include")
            Fail(at, "X1000", "unsupported preprocessor directive '#" + word + "'");
        Include(s, at, depth);
    }

    static std::string MacroName(Source& s, const Position& at, const std::string& word) {
        std::string name;
        while (s.pos < s.text.size() && IsIdentChar(s.text[s.pos])) {
            name += s.text[s.pos];
            Advance(s);
        }
        if (name.empty() || !IsIdentStart(name[0]))
            Fail(at, "X1007", "#" + word + " takes a macro name");
        return name;
    }

    // An #if's condition: whole numbers, defined NAME, macros, C's operators.
    long Evaluate(const std::string& text, const Position& at) {
        std::vector<Token> raw = Lex(text, at.file), tokens;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i].kind == TokenKind::Identifier && raw[i].text == "defined") {
                const bool paren = i + 1 < raw.size() && raw[i + 1].text == "(";
                const size_t name = i + (paren ? 2 : 1);
                if (name >= raw.size() || raw[name].kind != TokenKind::Identifier ||
                    (paren && (name + 1 >= raw.size() || raw[name + 1].text != ")")))
                    Fail(at, "X1017", "defined takes a macro name");
                Token one;
                one.kind = TokenKind::Number;
                one.number = m_macros.count(raw[name].text) ? 1 : 0;
                tokens.push_back(one);
                i = name + (paren ? 1 : 0);
                continue;
            }
            Expand(raw[i], tokens);
        }
        size_t at_ = 0;
        const long value = Or(tokens, at_, at);
        if (at_ != tokens.size())
            Fail(at, "X1017", "invalid #if expression");
        return value;
    }

    static bool IsOp(const std::vector<Token>& t, size_t i, const char* op) {
        const size_t n = std::char_traits<char>::length(op);
        for (size_t k = 0; k < n; ++k) {
            if (i + k >= t.size() || t[i + k].kind != TokenKind::Punct || t[i + k].text[0] != op[k])
                return false;
        }
        return true;
    }
    long Or(const std::vector<Token>& t, size_t& i, const Position& at) {
        long v = And(t, i, at);
        while (IsOp(t, i, "||")) {
            i += 2;
            const long r = And(t, i, at);
            v = (v || r) ? 1 : 0;
        }
        return v;
    }
    long And(const std::vector<Token>& t, size_t& i, const Position& at) {
        long v = Equality(t, i, at);
        while (IsOp(t, i, "&&")) {
            i += 2;
            const long r = Equality(t, i, at);
            v = (v && r) ? 1 : 0;
        }
        return v;
    }
    long Equality(const std::vector<Token>& t, size_t& i, const Position& at) {
        long v = Relation(t, i, at);
        for (;;) {
            if (IsOp(t, i, "==")) {
                i += 2;
                v = v == Relation(t, i, at);
            } else if (IsOp(t, i, "!=")) {
                i += 2;
                v = v != Relation(t, i, at);
            } else {
                return v;
            }
        }
    }
    long Relation(const std::vector<Token>& t, size_t& i, const Position& at) {
        long v = Sum(t, i, at);
        for (;;) {
            const bool less = IsOp(t, i, "<"), more = IsOp(t, i, ">");
            if (!less && !more)
                return v;
            const bool equal = IsOp(t, i + 1, "=");
            i += equal ? 2 : 1;
            const long r = Sum(t, i, at);
            v = less ? (equal ? v <= r : v < r) : (equal ? v >= r : v > r);
        }
    }
    long Sum(const std::vector<Token>& t, size_t& i, const Position& at) {
        long v = Product(t, i, at);
        while (IsOp(t, i, "+") || IsOp(t, i, "-")) {
            const bool plus = IsOp(t, i++, "+");
            const long r = Product(t, i, at);
            v = plus ? v + r : v - r;
        }
        return v;
    }
    long Product(const std::vector<Token>& t, size_t& i, const Position& at) {
        long v = Unary(t, i, at);
        while (IsOp(t, i, "*") || IsOp(t, i, "/") || IsOp(t, i, "%")) {
            const char op = t[i++].text[0];
            const long r = Unary(t, i, at);
            if (op != '*' && r == 0)
                Fail(at, "X1017", "division by zero in #if");
            v = op == '*' ? v * r : op == '/' ? v / r : v % r;
        }
        return v;
    }
    long Unary(const std::vector<Token>& t, size_t& i, const Position& at) {
        if (IsOp(t, i, "!")) {
            ++i;
            return !Unary(t, i, at);
        }
        if (IsOp(t, i, "-")) {
            ++i;
            return -Unary(t, i, at);
        }
        if (IsOp(t, i, "+")) {
            ++i;
            return Unary(t, i, at);
        }
        if (IsOp(t, i, "(")) {
            ++i;
            const long v = Or(t, i, at);
            if (!IsOp(t, i, ")"))
                Fail(at, "X1017", "invalid #if expression");
            ++i;
            return v;
        }
        if (i >= t.size())
            Fail(at, "X1017", "invalid #if expression");
        const Token& k = t[i++];
        if (k.kind == TokenKind::Number)
            return static_cast<long>(k.number);
        if (k.kind == TokenKind::Identifier)
            return 0; // a name no macro gives
        Fail(at, "X1017", "invalid #if expression");
    }

    void Include(Source& s, const Position& at, int depth) {
        SkipBlanks(s);
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

    // Macros and conditionals run on through included files, as in C.
    std::map<std::string, Macro> m_macros;
    std::set<std::string> m_expanding;
    std::vector<Cond> m_conds;

    const IncludeOpener& m_opener;
    std::vector<Token>& m_tokens;
    // A deque: a text being read stays in place while includes are added.
    std::deque<std::string>& m_sources;
    std::vector<fx::Directive>& m_directives;
    size_t m_includedBytes = 0;
};

} // namespace

void Tokenize(const std::string& text, const std::string& fileName, const IncludeOpener& opener,
              EffectTokens& out) {
    Lexer(opener, out).Run(text, fileName, 0);
}

} // namespace fx
