#include "compiler/Transition.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

#include "compiler/Diagnostics.h"

namespace qc {

namespace {

struct TypeShape {
    UniformKind kind;
    int components;
    int columns;
};

const std::map<std::string, TypeShape>& Types() {
    static const std::map<std::string, TypeShape> types = {
        {"float", {UniformKind::Float, 1, 1}}, {"vec2", {UniformKind::Float, 2, 1}},
        {"vec3", {UniformKind::Float, 3, 1}},  {"vec4", {UniformKind::Float, 4, 1}},
        {"int", {UniformKind::Int, 1, 1}},     {"ivec2", {UniformKind::Int, 2, 1}},
        {"ivec3", {UniformKind::Int, 3, 1}},   {"ivec4", {UniformKind::Int, 4, 1}},
        {"bool", {UniformKind::Bool, 1, 1}},   {"bvec2", {UniformKind::Bool, 2, 1}},
        {"bvec3", {UniformKind::Bool, 3, 1}},  {"bvec4", {UniformKind::Bool, 4, 1}},
        {"mat2", {UniformKind::Float, 2, 2}},  {"mat3", {UniformKind::Float, 3, 3}},
        {"mat4", {UniformKind::Float, 4, 4}},  {"sampler2D", {UniformKind::Sampler, 1, 1}},
    };
    return types;
}

// A default: a number, true/false, or TYPE(values...) with GLSL's rules for
// one value (fills a vector, or a matrix's diagonal).
class DefaultParser {
  public:
    DefaultParser(const std::string& text, int line) : text_(text), line_(line) {}

    std::vector<float> parse(const UniformDecl& u) {
        std::vector<float> values;
        skip();
        const size_t start = pos_;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
            ++pos_;
        const std::string word = text_.substr(start, pos_ - start);
        skip();
        if (word == "true" || word == "false") {
            values.push_back(word == "true" ? 1.0f : 0.0f);
        } else if (!word.empty() && !std::isdigit(static_cast<unsigned char>(word[0])) &&
                   pos_ < text_.size() && text_[pos_] == '(') {
            ++pos_;
            for (;;) {
                values.push_back(number());
                skip();
                if (pos_ < text_.size() && text_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < text_.size() && text_[pos_] == ')') {
                    ++pos_;
                    break;
                }
                fail(u);
            }
        } else {
            pos_ = start;
            values.push_back(number());
        }
        skip();
        if (pos_ < text_.size() && text_[pos_] == ';')
            ++pos_;
        skip();
        if (pos_ != text_.size() || failed_)
            fail(u);
        const size_t total = static_cast<size_t>(u.components * u.columns);
        if (values.size() == total)
            return values;
        if (values.size() != 1)
            throw CompileError(line_, 1,
                               "default of uniform '" + u.name + "' has " +
                                   std::to_string(values.size()) + " values; " + u.glslType +
                                   " takes 1 or " + std::to_string(total));
        std::vector<float> filled(total, 0.0f);
        for (int c = 0; c < u.columns; ++c)
            for (int r = 0; r < u.components; ++r)
                if (u.columns == 1 || r == c)
                    filled[c * u.components + r] = values[0];
        return filled;
    }

  private:
    void skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    float number() {
        skip();
        if (text_.compare(pos_, 4, "true") == 0) {
            pos_ += 4;
            return 1;
        }
        if (text_.compare(pos_, 5, "false") == 0) {
            pos_ += 5;
            return 0;
        }
        const char* begin = text_.c_str() + pos_;
        char* end = nullptr;
        const float v = std::strtof(begin, &end);
        if (end == begin) {
            failed_ = true;
            return 0;
        }
        pos_ += static_cast<size_t>(end - begin);
        // GLSL suffixes: 1.0f, 2u.
        if (pos_ < text_.size() &&
            (text_[pos_] == 'f' || text_[pos_] == 'F' || text_[pos_] == 'u' || text_[pos_] == 'U'))
            ++pos_;
        return v;
    }
    [[noreturn]] void fail(const UniformDecl& u) {
        throw CompileError(line_, 1,
                           "cannot read the default of uniform '" + u.name + "': '" + text_ + "'");
    }
    const std::string& text_;
    int line_;
    size_t pos_ = 0;
    bool failed_ = false;
};

bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::vector<std::string> Words(const std::string& code) {
    std::vector<std::string> words;
    std::string w;
    for (char c : code) {
        if (IsIdentChar(c)) {
            w += c;
        } else {
            if (!w.empty())
                words.push_back(w);
            w.clear();
            if (c == ',' || c == ';' || c == '[')
                words.push_back(std::string(1, c));
        }
    }
    if (!w.empty())
        words.push_back(w);
    return words;
}

} // namespace

bool IsProvidedName(const std::string& name) { return name == "progress" || name == "ratio"; }

std::vector<UniformDecl> ReadUniforms(const std::string& source) {
    std::vector<UniformDecl> uniforms;
    std::istringstream in(source);
    std::string line;
    int number = 0;
    bool inBlockComment = false;
    while (std::getline(in, line)) {
        ++number;
        // Split the line into code and its trailing `//` comment.
        std::string code, comment, blockDefault;
        for (size_t i = 0; i < line.size(); ++i) {
            if (inBlockComment) {
                if (line.compare(i, 2, "*/") == 0) {
                    inBlockComment = false;
                    ++i;
                }
                continue;
            }
            if (line.compare(i, 2, "/*") == 0) {
                // "uniform float a /* = 0.6 */;": a default in a block comment.
                const size_t end = line.find("*/", i + 2);
                const std::string inner =
                    line.substr(i + 2, end == std::string::npos ? std::string::npos : end - i - 2);
                if (inner.find_first_not_of(" \t") != std::string::npos &&
                    inner[inner.find_first_not_of(" \t")] == '=' && blockDefault.empty())
                    blockDefault = inner;
                inBlockComment = true;
                ++i;
                continue;
            }
            if (line.compare(i, 2, "//") == 0) {
                comment = line.substr(i + 2);
                break;
            }
            code += line[i];
        }
        const std::vector<std::string> words = Words(code);
        for (size_t i = 0; i < words.size(); ++i) {
            if (words[i] != "uniform")
                continue;
            size_t k = i + 1;
            while (k < words.size() && (words[k] == "highp" || words[k] == "mediump" ||
                                        words[k] == "lowp" || words[k] == "const"))
                ++k;
            if (k >= words.size())
                break;
            const std::string type = words[k++];
            const auto shape = Types().find(type);
            std::vector<std::string> names;
            for (; k < words.size() && words[k] != ";"; ++k) {
                if (words[k] == "[")
                    throw CompileError(number, 1, "uniform arrays are not supported");
                if (words[k] != ",")
                    names.push_back(words[k]);
            }
            for (const std::string& name : names) {
                if (IsProvidedName(name))
                    continue;
                if (shape == Types().end())
                    throw CompileError(number, 1,
                                       "uniform '" + name + "' has type '" + type +
                                           "', which has no effect parameter");
                UniformDecl u;
                u.name = name;
                u.glslType = type;
                u.kind = shape->second.kind;
                u.components = shape->second.components;
                u.columns = shape->second.columns;
                u.line = number;
                u.defaults.assign(static_cast<size_t>(u.components * u.columns), 0.0f);
                // `// = value`: the format's default, for one declaration a line.
                if (comment.find_first_not_of(" \t") == std::string::npos ||
                    comment[comment.find_first_not_of(" \t")] != '=')
                    if (!blockDefault.empty())
                        comment = blockDefault;
                size_t eq = comment.find_first_not_of(" \t");
                if (names.size() == 1 && eq != std::string::npos && comment[eq] == '=' &&
                    u.kind != UniformKind::Sampler) {
                    u.defaultText = comment.substr(eq + 1);
                    // A remark after the value: "= 0.3; // why".
                    const size_t remark = u.defaultText.find("//");
                    if (remark != std::string::npos)
                        u.defaultText.erase(remark);
                    while (!u.defaultText.empty() && u.defaultText[0] == ' ')
                        u.defaultText.erase(0, 1);
                    while (!u.defaultText.empty() &&
                           std::isspace(static_cast<unsigned char>(u.defaultText.back())))
                        u.defaultText.pop_back();
                    DefaultParser parser(u.defaultText, number);
                    u.defaults = parser.parse(u);
                    u.hasDefault = true;
                }
                uniforms.push_back(u);
            }
            break;
        }
    }
    return uniforms;
}

} // namespace qc
