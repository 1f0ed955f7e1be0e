#include "host/fx/FxAsmText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "host/fx/ShaderOpcodes.h"

namespace fx {
namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Exponents beyond this cannot be a float's; smaller ones are zero.
constexpr int kMaxExponent = 40;
constexpr int kMinExponent = -60;

// The digits of "123.456" as "123456" with the point after `point` digits.
std::string ShiftPoint(const std::string& intPart, const std::string& fraction, int exponent) {
    std::string digits = intPart + fraction;
    long point = static_cast<long>(intPart.size()) + exponent;
    if (point <= 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    } else if (point > static_cast<long>(digits.size())) {
        digits.append(static_cast<size_t>(point) - digits.size(), '0');
    }
    std::string whole = digits.substr(0, static_cast<size_t>(point));
    std::string rest = digits.substr(static_cast<size_t>(point));
    if (whole.empty())
        whole = "0";
    if (rest.empty())
        rest = "0";
    return whole + "." + rest;
}

} // namespace

bool RewriteExponentLiterals(const std::string& text, std::string& out, std::string& error) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        // Comments pass through untouched.
        if (c == ';' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
            const size_t end = text.find('\n', i);
            const size_t stop = end == std::string::npos ? text.size() : end;
            out.append(text, i, stop - i);
            i = stop;
            continue;
        }
        const bool numberStart =
            IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]));
        if (!numberStart || (i > 0 && (IsWordChar(text[i - 1]) || text[i - 1] == '.'))) {
            // Register names, swizzles and words are copied whole.
            if (IsWordChar(c)) {
                while (i < text.size() && IsWordChar(text[i]))
                    out += text[i++];
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        const size_t begin = i;
        std::string intPart;
        std::string fraction;
        while (i < text.size() && IsDigit(text[i]))
            intPart += text[i++];
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && IsDigit(text[i]))
                fraction += text[i++];
        }
        size_t e = i;
        if (e < text.size() && (text[e] == 'e' || text[e] == 'E')) {
            ++e;
            bool negative = false;
            if (e < text.size() && (text[e] == '+' || text[e] == '-'))
                negative = text[e++] == '-';
            if (e < text.size() && IsDigit(text[e])) {
                long exponent = 0;
                while (e < text.size() && IsDigit(text[e])) {
                    if (exponent < 100000)
                        exponent = exponent * 10 + (text[e] - '0');
                    ++e;
                }
                if (negative)
                    exponent = -exponent;
                const bool zero = intPart.find_first_not_of('0') == std::string::npos &&
                                  fraction.find_first_not_of('0') == std::string::npos;
                if (zero || exponent < kMinExponent) {
                    out += "0.0";
                } else if (exponent > kMaxExponent) {
                    error =
                        "literal '" + text.substr(begin, e - begin) + "' is too large for a float";
                    return false;
                } else {
                    out += ShiftPoint(intPart, fraction, static_cast<int>(exponent));
                }
                i = e;
                continue;
            }
        }
        out.append(text, begin, i - begin);
    }
    return true;
}

std::vector<AsmInstruction> ListInstructions(const std::string& text) {
    std::vector<AsmInstruction> list;
    int line = 1;
    size_t lineStart = 0;
    bool versionSeen = false;
    bool afterComma = false;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            lineStart = ++i;
            continue;
        }
        if (c == ';' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
            while (i < text.size() && text[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            i += 2;
            while (i + 1 < text.size() && !(text[i] == '*' && text[i + 1] == '/')) {
                if (text[i] == '\n') {
                    ++line;
                    lineStart = i + 1;
                }
                ++i;
            }
            i += 2;
            continue;
        }
        if (c == ',') {
            afterComma = true;
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c)) || c == '+') {
            ++i;
            continue;
        }
        if (!IsWordChar(c)) {
            afterComma = false;
            ++i;
            continue;
        }
        const int column = static_cast<int>(i - lineStart) + 1;
        std::string word;
        const bool numeric = IsDigit(c);
        while (i < text.size() && (IsWordChar(text[i]) || text[i] == '.'))
            word += text[i++];
        const bool operand = afterComma;
        afterComma = false;
        if (numeric || operand)
            continue;
        if (!versionSeen) {
            versionSeen = true;
            continue;
        }
        // A word that follows no comma opens an instruction, unless it is the
        // first operand of the one before.
        std::string lower;
        for (char ch : word)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        // Any instruction of the table, with its modifiers ("mov_sat", "if_gt").
        const bool mnemonic = FindOpcode(lower.substr(0, lower.find('.'))) != nullptr;
        if (mnemonic) {
            if (!list.empty() && list.back().end > i - word.size())
                list.back().end = i - word.size();
            size_t end = i;
            while (end < text.size() && text[end] != '\n' && text[end] != ';' &&
                   !(text[end] == '/' && end + 1 < text.size() && text[end + 1] == '/'))
                ++end;
            list.push_back(AsmInstruction{lower, line, column, i - word.size(), end});
        }
    }
    return list;
}

namespace {

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The first word of the text: the shader's version.
std::string VersionWord(const std::string& text) {
    size_t i = 0;
    for (;;) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i < text.size() && (text[i] == ';' || text.compare(i, 2, "//") == 0)) {
            while (i < text.size() && text[i] != '\n')
                ++i;
            continue;
        }
        break;
    }
    size_t end = i;
    while (end < text.size() && IsWordChar(text[end]))
        ++end;
    return Lower(text.substr(i, end - i));
}

int MaskBits(const std::string& letters) {
    int mask = 0;
    for (char c : letters) {
        const char* at = std::strchr("xyzw", c);
        const char* colour = std::strchr("rgba", c);
        if (at && *at)
            mask |= 1 << (at - "xyzw");
        else if (colour && *colour)
            mask |= 1 << (colour - "rgba");
        else
            return -1;
    }
    return mask;
}

void Blank(std::string& text, size_t begin, size_t end) {
    for (size_t i = begin; i < end && i < text.size(); ++i) {
        if (text[i] != '\n')
            text[i] = ' ';
    }
}

} // namespace

bool PrepareAsm(const std::string& text, std::string& out, std::vector<TokenInsert>& inserts,
                std::string& error) {
    inserts.clear();
    if (!RewriteExponentLiterals(text, out, error))
        return false;
    const bool pixel2 = VersionWord(out).compare(0, 4, "ps_2") == 0;
    const std::vector<AsmInstruction> list = ListInstructions(out);
    std::string patched = out;
    for (size_t k = 0; k < list.size(); ++k) {
        const AsmInstruction& in = list[k];
        const std::string base = in.mnemonic.substr(0, in.mnemonic.find('_'));
        const std::string operands =
            out.substr(in.offset + in.mnemonic.size(), in.end - in.offset - in.mnemonic.size());
        if (in.mnemonic == "dcl") {
            // dcl vPos[.mask] / dcl vFace: misc registers 0 and 1 (D3DSPR_MISCTYPE).
            const std::string operand = Trim(operands);
            const size_t dot = operand.find('.');
            const std::string name = Lower(operand.substr(0, dot));
            if (name != "vpos" && name != "vface")
                continue;
            const int mask =
                dot == std::string::npos ? 0xF : MaskBits(Lower(operand.substr(dot + 1)));
            if (mask <= 0) {
                error = "invalid write mask in 'dcl " + operand + "'";
                return false;
            }
            TokenInsert insert;
            insert.instruction = static_cast<int>(k);
            insert.tokens = {EncodeInstruction(Opcode::Dcl, 2), kParameterBit,
                             EncodeDestination(RegisterType::Misc,
                                               name == "vpos" ? kMiscPosition : kMiscFace,
                                               static_cast<uint32_t>(mask))};
            inserts.push_back(insert);
            Blank(patched, in.offset, in.end);
        } else if (base == "sincos" && pixel2) {
            // ps_2_0 writes "sincos dst, src, c#, c#"; the assembler takes
            // the first two.
            std::vector<size_t> commas;
            for (size_t i = 0; i < operands.size(); ++i) {
                if (operands[i] == ',')
                    commas.push_back(i);
            }
            if (commas.size() != 3)
                continue; // the assembler or the checks say what is wrong
            TokenInsert insert;
            insert.instruction = static_cast<int>(k);
            insert.operands = true;
            for (size_t n = 1; n < 3; ++n) {
                const size_t from = commas[n] + 1;
                const size_t to = n + 1 < commas.size() ? commas[n + 1] : operands.size();
                const std::string reg = Lower(Trim(operands.substr(from, to - from)));
                char* stop = nullptr;
                const long index = reg.size() > 1 && reg[0] == 'c' && IsDigit(reg[1])
                                       ? std::strtol(reg.c_str() + 1, &stop, 10)
                                       : -1;
                if (index < 0 || index > 2047 || !stop || *stop) {
                    error = "sincos in ps_2_0 takes constant registers as its third and fourth "
                            "operands, not '" +
                            reg + "'";
                    return false;
                }
                // c#.xyzw: the identity swizzle.
                insert.tokens.push_back(
                    EncodeSource(RegisterType::Const, static_cast<uint32_t>(index)));
            }
            inserts.push_back(insert);
            const size_t at = in.offset + in.mnemonic.size();
            Blank(patched, at + commas[1], at + operands.size());
        }
    }
    out = std::move(patched);
    return true;
}

void InsertTokens(std::vector<uint32_t>& tokens, const std::vector<TokenInsert>& inserts) {
    size_t next = 0;
    int index = 0;
    size_t pos = 1;
    while (pos < tokens.size() && next < inserts.size()) {
        const uint32_t head = tokens[pos];
        if (OpcodeOf(head) == Opcode::End)
            break;
        if (OpcodeOf(head) == Opcode::Comment) {
            pos += 1 + CommentSizeOf(head);
            continue;
        }
        const TokenInsert& insert = inserts[next];
        if (insert.instruction == index && !insert.operands) {
            tokens.insert(tokens.begin() + static_cast<long>(pos), insert.tokens.begin(),
                          insert.tokens.end());
            ++next;
            continue; // the inserted instruction is now number `index`
        }
        const size_t length = LengthOf(head);
        if (insert.instruction == index && insert.operands) {
            const size_t at = std::min(pos + 1 + length, tokens.size());
            tokens.insert(tokens.begin() + static_cast<long>(at), insert.tokens.begin(),
                          insert.tokens.end());
            tokens[pos] = (head & ~kLengthMask) |
                          ((static_cast<uint32_t>(length + insert.tokens.size()) << kLengthShift) &
                           kLengthMask);
            ++next;
            continue;
        }
        pos += 1 + length;
        ++index;
    }
}

Position PlaceInBlock(const Position& block, int line, int column) {
    Position at = block;
    if (line > 1) {
        at.line = block.line + line - 1;
        at.column = column;
    } else {
        at.column = block.column + column - 1;
    }
    return at;
}

std::string PlaceAssemblerMessages(const std::string& messages, const Position& block) {
    std::string out;
    size_t begin = 0;
    while (begin < messages.size()) {
        size_t end = messages.find('\n', begin);
        if (end == std::string::npos)
            end = messages.size();
        std::string text = messages.substr(begin, end - begin);
        begin = end + 1;
        while (!text.empty() && (text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        if (text.empty())
            continue;
        Position at = block;
        const size_t mark = text.find("Line ");
        if (mark != std::string::npos && mark + 5 < text.size() && IsDigit(text[mark + 5])) {
            char* stop = nullptr;
            const long line = std::strtol(text.c_str() + mark + 5, &stop, 10);
            if (stop && *stop == ':' && line > 0 && line < 1000000) {
                at = PlaceInBlock(block, static_cast<int>(line));
                text = text.substr(static_cast<size_t>(stop - text.c_str()) + 1);
                while (!text.empty() && text.front() == ' ')
                    text.erase(0, 1);
            }
        }
        out += FormatError(at, "X5001", text);
    }
    return out;
}

} // namespace fx
