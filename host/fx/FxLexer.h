#pragma once

// The effect text as tokens: comments and blanks dropped, "#include"
// directives followed through the opener, the preprocessor's conditionals
// and object-like macros applied, asm { } blocks kept whole. Used by the
// parser only.

#include "host/fx/FxSyntax.h"

#include <cctype>
#include <deque>
#include <string>
#include <vector>

namespace fx {

enum class TokenKind { Identifier, Number, String, Punct, Asm, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    double number = 0;
    Position position;
    // Where the token lies in its source text, for HLSL kept as written.
    size_t source = 0;
    size_t offset = 0;
    size_t end = 0;
};

// A "#define" or "#undef" line, which the shader compiler reads too: it
// came before token `token`.
struct Directive {
    size_t token = 0;
    std::string text;
    Position position;
};

// Thrown inside the parser only; ParseEffect turns it into a message.
struct SyntaxError {
    std::string message;
};

[[noreturn]] inline void Fail(const Position& position, const char* code, const std::string& text) {
    throw SyntaxError{FormatError(position, code, text)};
}

inline bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
inline bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
inline bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

struct EffectTokens {
    std::vector<Token> tokens;
    std::deque<std::string> sources; // sources[0] the effect file, then each include read
    std::vector<Directive> directives;
};

// The tokens of `text` and of every file it includes, in order, and each
// text read (a token's `source` indexes it); throws SyntaxError. A macro's
// tokens stand where its name was written: the first spans the name, the
// others are empty, so that the text between tokens stays as written.
void Tokenize(const std::string& text, const std::string& fileName, const IncludeOpener& opener,
              EffectTokens& out);

} // namespace fx
