#include "host/fx/FxCompile.h"

#include <cstdlib>
#include <sstream>

namespace fx {

bool ReadCompiledHlsl(const std::string& text, CompiledHlsl& out, std::string& error) {
    out = CompiledHlsl{};
    std::istringstream in(text);
    std::string line;
    size_t consumed = 0;
    while (std::getline(in, line)) {
        consumed += line.size() + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.compare(0, 2, "//") == 0)
            continue;
        if (line == "asm") {
            out.assembly = consumed < text.size() ? text.substr(consumed) : std::string();
            if (out.assembly.find_first_not_of(" \t\r\n") == std::string::npos) {
                error = "the compiler gave no assembly";
                return false;
            }
            return true;
        }
        std::istringstream words(line);
        std::string keyword, set;
        ShaderConstant c;
        if (!(words >> keyword >> c.name >> set >> c.index >> c.count) || keyword != "constant" ||
            c.index < 0 || c.count < 1 || c.index + c.count > 256) {
            error = "unreadable line from the compiler: '" + line + "'";
            return false;
        }
        if (set == "float")
            c.set = 'F';
        else if (set == "int")
            c.set = 'I';
        else if (set == "bool")
            c.set = 'B';
        else if (set == "sampler")
            c.set = 'S';
        else {
            error = "unknown register set '" + set + "' from the compiler";
            return false;
        }
        out.constants.push_back(c);
    }
    error = "the compiler's answer has no assembly";
    return false;
}

std::string PlaceCompilerMessages(const std::string& messages, const HlslSource& hlsl,
                                  const Position& at) {
    std::string out;
    std::istringstream in(messages);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        // "name(12,5): error X3004: text" or "name(12,5): error: text".
        const size_t marker = line.find("): error");
        const size_t open = marker == std::string::npos ? marker : line.rfind('(', marker);
        if (open != std::string::npos) {
            int l = 0, c = 0;
            char comma = 0;
            std::istringstream place(line.substr(open + 1, marker - open - 1));
            if (place >> l >> comma >> c && comma == ',') {
                std::string rest = line.substr(marker + 8);
                std::string code = "X3000";
                if (rest.compare(0, 2, " X") == 0) {
                    const size_t colon = rest.find(':');
                    code = rest.substr(1, colon == std::string::npos ? colon : colon - 1);
                    rest = colon == std::string::npos ? std::string() : rest.substr(colon);
                }
                if (rest.compare(0, 1, ":") == 0)
                    rest = rest.substr(1);
                if (rest.compare(0, 1, " ") == 0)
                    rest = rest.substr(1);
                const Position where = PlaceInHlsl(hlsl, l, c);
                out += FormatError(where.line > 0 ? where : at, code.c_str(), rest);
                continue;
            }
        }
        // "name: error Xnnnn: text", an error with no place.
        const size_t unplaced = line.find(": error X");
        if (unplaced != std::string::npos) {
            const std::string rest = line.substr(unplaced + 8);
            const size_t colon = rest.find(": ");
            if (colon != std::string::npos) {
                out += FormatError(at, rest.substr(0, colon).c_str(), rest.substr(colon + 2));
                continue;
            }
        }
        out += FormatError(at, "X3000", line);
    }
    return out;
}

std::vector<std::string> CompilerArguments(const StateValue& compile, const std::string& source,
                                           const std::string& output) {
    std::vector<std::string> args = {"--hlsl-entry", compile.text, "--profile", compile.profile};
    for (const std::string& a : compile.arguments) {
        args.push_back("--arg");
        args.push_back(a);
    }
    args.push_back(source);
    args.push_back("-o");
    args.push_back(output);
    return args;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace fx
