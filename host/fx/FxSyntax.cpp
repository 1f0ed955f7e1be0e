#include "host/fx/FxSyntax.h"

#include "host/fx/FxLexer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <deque>
#include <memory>
#include <utility>

namespace fx {
namespace {

class Parser {
  public:
    Parser(const std::vector<Token>& tokens, const std::deque<std::string>& sources,
           const std::string& fileName)
        : m_tokens(tokens), m_sources(sources), m_fileName(fileName) {}

    void Run(Effect& effect) {
        while (!AtEnd()) {
            // An empty declaration, as after a function's closing brace.
            if (Accept(';'))
                continue;
            if (IsKeyword("technique")) {
                effect.techniques.push_back(ParseTechnique());
            } else if (HlslItemAhead()) {
                HlslItem(effect.hlsl);
            } else {
                effect.parameters.push_back(ParseParameter(effect));
                DeclareParameter(effect.parameters.back(), effect.hlsl);
            }
        }
    }

  private:
    // HLSL the shader compiler reads as written: structures, statics,
    // typedefs and functions ("float4 Main(...)", "Output VS(...)").
    bool HlslItemAhead() const {
        if (IsWord("struct") || IsWord("static") || IsWord("typedef") || IsWord("inline") ||
            IsWord("void"))
            return true;
        size_t i = m_pos;
        while (i < m_tokens.size() && m_tokens[i].kind == TokenKind::Identifier &&
               (m_tokens[i].text == "row_major" || m_tokens[i].text == "column_major" ||
                m_tokens[i].text == "const" || m_tokens[i].text == "uniform"))
            ++i;
        return i + 2 < m_tokens.size() && m_tokens[i].kind == TokenKind::Identifier &&
               m_tokens[i + 1].kind == TokenKind::Identifier && m_tokens[i + 2].text == "(";
    }

    // One top-level HLSL item: up to its ';' or the '}' that closes its body.
    void HlslItem(HlslSource& hlsl) {
        const size_t first = m_pos;
        const bool structure = IsWord("struct");
        std::string function;
        int depth = 0;
        bool body = false;
        for (;;) {
            if (AtEnd())
                Unexpected();
            const Token& t = Current();
            if (!body && depth == 0 && function.empty() && t.text == "(" && m_pos > first &&
                m_tokens[m_pos - 1].kind == TokenKind::Identifier)
                function = m_tokens[m_pos - 1].text;
            if (t.kind == TokenKind::Punct && (t.text == "{" || t.text == "(" || t.text == "[")) {
                if (t.text == "{" && depth == 0)
                    body = true;
                ++depth;
            } else if (t.kind == TokenKind::Punct &&
                       (t.text == "}" || t.text == ")" || t.text == "]")) {
                if (depth == 0)
                    Unexpected();
                --depth;
                if (depth == 0 && t.text == "}" && !structure && !function.empty()) {
                    ++m_pos;
                    break;
                }
            } else if (t.kind == TokenKind::Punct && t.text == ";" && depth == 0) {
                ++m_pos;
                break;
            }
            ++m_pos;
        }
        if (!function.empty() && body)
            hlsl.functions.push_back(function);
        hlsl.itemTokens.emplace_back(first, m_pos);
        Keep(hlsl, first, m_pos);
    }

    // Tokens [first, last) as written, each run from one file on lines of
    // its own that start at the run's column.
    void Keep(HlslSource& hlsl, size_t first, size_t last) const {
        while (first < last) {
            size_t end = first + 1;
            while (end < last && m_tokens[end].source == m_tokens[first].source)
                ++end;
            const Token& a = m_tokens[first];
            const std::string& text = m_sources[a.source];
            const std::string run = text.substr(a.offset, m_tokens[end - 1].end - a.offset);
            AddLines(hlsl, a.position,
                     std::string(static_cast<size_t>(a.position.column - 1), ' ') + run);
            first = end;
        }
    }

    static void AddLines(HlslSource& hlsl, const Position& at, const std::string& text) {
        Position line = at;
        line.column = 1;
        hlsl.lines.push_back(line);
        for (char c : text) {
            hlsl.text += c;
            if (c == '\n') {
                ++line.line;
                hlsl.lines.push_back(line);
            }
        }
        hlsl.text += '\n';
    }

    // A numeric or sampler parameter as a global of the shaders.
    static void DeclareParameter(const Parameter& p, HlslSource& hlsl) {
        if (p.kind != ParamKind::Float && p.kind != ParamKind::Int && p.kind != ParamKind::Bool &&
            p.kind != ParamKind::Sampler)
            return;
        std::string text = p.rowMajor ? "row_major " : "";
        text += p.typeName + " " + p.name;
        if (p.elements > 0)
            text += "[" + std::to_string(p.elements) + "]";
        text += ";";
        AddLines(hlsl, p.position, text);
    }

    const Token& Current() const { return m_tokens[m_pos]; }
    bool AtEnd() const { return m_pos >= m_tokens.size(); }
    Position Where() const {
        if (!AtEnd())
            return Current().position;
        if (m_tokens.empty())
            return Position{m_fileName, 1, 1};
        Position p = m_tokens.back().position;
        p.column += static_cast<int>(m_tokens.back().text.size());
        return p;
    }
    [[noreturn]] void Unexpected() const {
        if (AtEnd())
            Fail(Where(), "X3000", "syntax error: unexpected end of file");
        Fail(Where(), "X3000", "syntax error: unexpected token '" + Current().text + "'");
    }
    bool IsPunct(char c) const {
        return !AtEnd() && Current().kind == TokenKind::Punct && Current().text[0] == c;
    }
    bool IsWord(const char* word) const {
        return !AtEnd() && Current().kind == TokenKind::Identifier && Current().text == word;
    }
    // The effect keywords "technique" and "pass" go without case.
    bool IsKeyword(const char* word) const {
        return !AtEnd() && Current().kind == TokenKind::Identifier &&
               EqualsNoCase(Current().text, word);
    }
    bool Accept(char c) {
        if (!IsPunct(c))
            return false;
        ++m_pos;
        return true;
    }
    void Expect(char c) {
        if (!Accept(c))
            Unexpected();
    }
    std::string ExpectIdentifier() {
        if (AtEnd() || Current().kind != TokenKind::Identifier)
            Unexpected();
        return m_tokens[m_pos++].text;
    }
    int ExpectIndex() {
        if (AtEnd() || Current().kind != TokenKind::Number || Current().number < 0 ||
            Current().number > 65535 || Current().number != static_cast<int>(Current().number))
            Fail(Where(), "X3018", "invalid subscript");
        return static_cast<int>(m_tokens[m_pos++].number);
    }

    // Annotations are accepted and skipped.
    void SkipAnnotations() {
        if (!Accept('<'))
            return;
        while (!Accept('>')) {
            if (AtEnd())
                Unexpected();
            ++m_pos;
        }
    }

    static bool ParseType(const std::string& word, Parameter& p) {
        struct Named {
            const char* name;
            ParamKind kind;
        };
        static const Named simple[] = {
            {"int", ParamKind::Int},         {"bool", ParamKind::Bool},
            {"texture", ParamKind::Texture}, {"texture2D", ParamKind::Texture},
            {"sampler", ParamKind::Sampler}, {"sampler2D", ParamKind::Sampler},
            {"string", ParamKind::String},
        };
        for (const Named& n : simple) {
            if (word == n.name) {
                p.kind = n.kind;
                return true;
            }
        }
        if (EqualsNoCase(word, "PixelShader") || EqualsNoCase(word, "VertexShader")) {
            p.kind = EqualsNoCase(word, "PixelShader") ? ParamKind::PixelShader
                                                       : ParamKind::VertexShader;
            return true;
        }
        std::string rest;
        if (word.compare(0, 5, "float") == 0)
            rest = word.substr(5);
        else if (word.compare(0, 4, "half") == 0)
            rest = word.substr(4);
        else
            return false;
        p.kind = ParamKind::Float;
        if (rest.empty())
            return true;
        auto dim = [](char c) { return c >= '1' && c <= '4' ? c - '0' : 0; };
        if (rest.size() == 1 && dim(rest[0])) {
            p.columns = dim(rest[0]);
            return true;
        }
        if (rest.size() == 3 && dim(rest[0]) && rest[1] == 'x' && dim(rest[2])) {
            p.rows = dim(rest[0]);
            p.columns = dim(rest[2]);
            return true;
        }
        return false;
    }

    Parameter ParseParameter(const Effect& effect) {
        Parameter p;
        bool majorGiven = false;
        for (;;) {
            if (IsWord("uniform") || IsWord("const") || IsWord("extern")) {
                ++m_pos;
            } else if (IsWord("row_major") || IsWord("column_major")) {
                p.rowMajor = IsWord("row_major");
                majorGiven = true;
                ++m_pos;
            } else {
                break;
            }
        }
        p.position = Where();
        const std::string type = ExpectIdentifier();
        if (!ParseType(type, p))
            Fail(p.position, "X3000", "unsupported type '" + type + "'");
        p.typeName = type;
        if (majorGiven && p.rows == 1)
            p.rowMajor = false;
        const Position namePosition = Where();
        p.name = ExpectIdentifier();
        for (const Parameter& other : effect.parameters) {
            if (other.name == p.name)
                Fail(namePosition, "X3003", "redefinition of '" + p.name + "'");
        }
        if (Accept('[')) {
            const Position at = Where();
            p.elements = ExpectIndex();
            Expect(']');
            if (p.kind != ParamKind::Float && p.kind != ParamKind::Int && p.kind != ParamKind::Bool)
                Fail(at, "X3000", "arrays of " + type + " are not supported");
            // Every element takes a constant register at least.
            if (p.elements < 1 || p.elements * std::max(p.rows, p.columns) > 256)
                Fail(at, "X3000", "an array here takes 1 to 256 constant registers");
        }
        // A semantic and a register binding, either or both. The binding is
        // the compiler's to honour; parameters bind by name and semantic.
        while (Accept(':')) {
            if (IsWord("register")) {
                ++m_pos;
                Expect('(');
                while (!Accept(')')) {
                    if (AtEnd() || (Current().kind == TokenKind::Punct && Current().text != ","))
                        Unexpected();
                    ++m_pos;
                }
            } else {
                p.semantic = ExpectIdentifier();
            }
        }
        SkipAnnotations();
        if (Accept('='))
            ParseInitialiser(p, effect);
        Expect(';');
        return p;
    }

    void ParseInitialiser(Parameter& p, const Effect& effect) {
        const Position at = Where();
        if (p.kind == ParamKind::Sampler) {
            if (!(IsWord("sampler_state")))
                Unexpected();
            ++m_pos;
            Expect('{');
            while (!Accept('}'))
                p.samplerStates.push_back(ParseState(effect, false));
            return;
        }
        if (p.kind == ParamKind::Texture)
            Fail(at, "X3000", "texture initialisers are not supported");
        if (p.kind == ParamKind::PixelShader || p.kind == ParamKind::VertexShader) {
            p.shader = ParseStateValue(effect);
            if (p.shader.kind != StateValue::Kind::Asm && p.shader.kind != StateValue::Kind::Null &&
                p.shader.kind != StateValue::Kind::Compile)
                Fail(at, "X3000", "a shader variable takes asm { ... }, compile or NULL");
            return;
        }
        if (p.kind == ParamKind::String) {
            if (AtEnd() || Current().kind != TokenKind::String)
                Unexpected();
            p.text = m_tokens[m_pos++].text;
            return;
        }
        const size_t count = static_cast<size_t>(p.rows * p.columns * std::max(p.elements, 1));
        p.initial = ParseNumbers();
        if (p.initial.size() == 1 && count > 1 && p.elements == 0)
            p.initial.assign(count, p.initial[0]);
        if (p.initial.size() != count)
            Fail(at, "X3017",
                 "initialiser has " + std::to_string(p.initial.size()) + " values, '" + p.name +
                     "' needs " + std::to_string(count));
    }

    // A number, true/false, "{ list }" or "floatN(list)".
    std::vector<double> ParseNumbers() {
        std::vector<double> values;
        if (Accept('{')) {
            do {
                if (IsPunct('}'))
                    break;
                const std::vector<double> inner = ParseNumbers();
                values.insert(values.end(), inner.begin(), inner.end());
            } while (Accept(','));
            Expect('}');
            return values;
        }
        if (!AtEnd() && Current().kind == TokenKind::Identifier && m_pos + 1 < m_tokens.size() &&
            m_tokens[m_pos + 1].kind == TokenKind::Punct && m_tokens[m_pos + 1].text == "(") {
            Parameter scratch;
            if (!ParseType(Current().text, scratch) || scratch.kind != ParamKind::Float)
                Unexpected();
            m_pos += 2;
            do {
                const std::vector<double> inner = ParseNumbers();
                values.insert(values.end(), inner.begin(), inner.end());
            } while (Accept(','));
            Expect(')');
            return values;
        }
        values.push_back(ParseScalar());
        return values;
    }

    double ParseScalar() {
        if (IsWord("true") || IsWord("TRUE")) {
            ++m_pos;
            return 1;
        }
        if (IsWord("false") || IsWord("FALSE")) {
            ++m_pos;
            return 0;
        }
        double sign = 1;
        if (Accept('-'))
            sign = -1;
        else
            Accept('+');
        if (AtEnd() || Current().kind != TokenKind::Number)
            Unexpected();
        return sign * m_tokens[m_pos++].number;
    }

    State ParseState(const Effect& effect, bool indexed) {
        State s;
        s.position = Where();
        s.name = ExpectIdentifier();
        if (Accept('[')) {
            if (!indexed)
                Fail(Where(), "X3018", "state '" + s.name + "' takes no subscript here");
            s.index = ExpectIndex();
            Expect(']');
        }
        Expect('=');
        s.value = ParseStateValue(effect);
        Expect(';');
        return s;
    }

    StateValue ParseStateValue(const Effect& effect) {
        const size_t first = m_pos;
        StateValue v = ParseStateValueTokens(effect);
        v.firstToken = first;
        v.endToken = m_pos;
        return v;
    }

    StateValue ParseStateValueTokens(const Effect& effect) {
        StateValue v;
        v.position = Where();
        if (AtEnd())
            Unexpected();
        const Token& t = Current();
        if (t.kind == TokenKind::Asm) {
            v.kind = StateValue::Kind::Asm;
            v.text = t.text;
            ++m_pos;
            return v;
        }
        if (t.kind == TokenKind::Identifier && t.text == "compile") {
            ParseCompile(effect, v);
            return v;
        }
        if (t.kind == TokenKind::Identifier && EqualsNoCase(t.text, "NULL")) {
            v.kind = StateValue::Kind::Null;
            ++m_pos;
            return v;
        }
        if (IsPunct('<') || IsPunct('(')) {
            const char close = IsPunct('<') ? '>' : ')';
            ++m_pos;
            v.position = Where();
            v.text = ExpectIdentifier();
            Expect(close);
            v.kind = StateValue::Kind::Reference;
            CheckDeclared(effect, v);
            return v;
        }
        if (t.kind == TokenKind::Identifier && !IsWord("true") && !IsWord("false") &&
            !IsWord("TRUE") && !IsWord("FALSE") &&
            !(m_pos + 1 < m_tokens.size() && m_tokens[m_pos + 1].text == "(")) {
            v.kind = StateValue::Kind::Identifier;
            v.text = t.text;
            ++m_pos;
            // Flag values such as "RED | GREEN" stay one text.
            while (Accept('|'))
                v.text += "|" + ExpectIdentifier();
            return v;
        }
        v.kind = StateValue::Kind::Numbers;
        v.numbers = ParseNumbers();
        return v;
    }

    // "compile PROFILE Entry(literal, ...)": the entry is a function above.
    void ParseCompile(const Effect& effect, StateValue& v) {
        ++m_pos;
        const Position profileAt = Where();
        v.profile = ExpectIdentifier();
        static const char* const profiles[] = {"ps_2_0", "ps_3_0", "vs_2_0", "vs_3_0"};
        if (std::find(std::begin(profiles), std::end(profiles), v.profile) == std::end(profiles))
            Fail(profileAt, "X3000",
                 "unsupported profile '" + v.profile + "': ps_2_0, ps_3_0, vs_2_0 or vs_3_0");
        v.position = Where();
        v.text = ExpectIdentifier();
        const auto& functions = effect.hlsl.functions;
        if (std::find(functions.begin(), functions.end(), v.text) == functions.end())
            Fail(v.position, "X3004", "undeclared identifier '" + v.text + "'");
        Expect('(');
        while (!Accept(')')) {
            if (!v.arguments.empty())
                Expect(',');
            std::string sign;
            if (Accept('-'))
                sign = "-";
            else
                Accept('+');
            if (AtEnd() || (Current().kind != TokenKind::Number &&
                            !(sign.empty() && (IsWord("true") || IsWord("false")))))
                Fail(Where(), "X3000", "compile takes literal arguments only");
            v.arguments.push_back(sign + m_tokens[m_pos++].text);
        }
        v.kind = StateValue::Kind::Compile;
    }

    static void CheckDeclared(const Effect& effect, const StateValue& v) {
        for (const Parameter& p : effect.parameters) {
            if (p.name == v.text)
                return;
        }
        Fail(v.position, "X3004", "undeclared identifier '" + v.text + "'");
    }

    Technique ParseTechnique() {
        Technique t;
        t.position = Where();
        ++m_pos;
        if (!AtEnd() && Current().kind == TokenKind::Identifier)
            t.name = ExpectIdentifier();
        SkipAnnotations();
        Expect('{');
        while (!Accept('}')) {
            if (!IsKeyword("pass"))
                Unexpected();
            t.passes.push_back(ParsePass());
        }
        return t;
    }

    Pass ParsePass() {
        Pass p;
        p.position = Where();
        ++m_pos;
        if (!AtEnd() && Current().kind == TokenKind::Identifier)
            p.name = ExpectIdentifier();
        SkipAnnotations();
        Expect('{');
        while (!Accept('}'))
            p.states.push_back(ParseState(*m_effect, true));
        return p;
    }

  public:
    const Effect* m_effect = nullptr;

  private:
    const std::vector<Token>& m_tokens;
    const std::deque<std::string>& m_sources;
    const std::string& m_fileName;
    size_t m_pos = 0;
};

} // namespace

Position PlaceInHlsl(const HlslSource& hlsl, int line, int column) {
    if (line < 1 || static_cast<size_t>(line) > hlsl.lines.size())
        return Position{};
    Position at = hlsl.lines[static_cast<size_t>(line - 1)];
    at.column = column < 1 ? 1 : column;
    return at;
}

std::string FormatError(const Position& position, const char* code, const std::string& text) {
    return position.file + "(" + std::to_string(position.line) + "," +
           std::to_string(position.column) + "): error " + code + ": " + text + "\n";
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool ParseEffect(const std::string& text, const std::string& fileName,
                 const IncludeOpener& openInclude, Effect& effect, std::string& messages) {
    return ParseEffect(text, fileName, openInclude, effect, messages, nullptr);
}

bool ParseEffect(const std::string& text, const std::string& fileName,
                 const IncludeOpener& openInclude, Effect& effect, std::string& messages,
                 EffectTokens* kept) {
    effect = Effect{};
    EffectTokens local;
    EffectTokens& all = kept ? *kept : local;
    all = EffectTokens{};
    try {
        Tokenize(text, fileName, openInclude, all.tokens, all.sources);
        Parser parser(all.tokens, all.sources, fileName);
        parser.m_effect = &effect;
        parser.Run(effect);
    } catch (const SyntaxError& error) {
        messages += error.message;
        effect = Effect{};
        all = EffectTokens{};
        return false;
    }
    return true;
}

} // namespace fx
