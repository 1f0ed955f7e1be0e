#include "compiler/EffectMain.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "compiler/CommandSupport.h"
#include "compiler/HlslMain.h"
#include "host/fx/FxCompile.h"
#include "host/fx/FxLexer.h"
#include "host/fx/FxSyntax.h"

namespace qc {

namespace {

const char kUsage[] =
    "usage: quorvel-fxc EFFECT.fx [-o OUT.fx]\n"
    "Writes the effect with every HLSL shader (compile PROFILE Entry(...)) replaced by\n"
    "its assembly and the states that bind its globals, includes inlined: a file that\n"
    "needs no shader compiler. Without -o the result goes to standard output.\n";

constexpr int kVertexSamplerBase = 257; // D3DVERTEXTEXTURESAMPLER0

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return static_cast<bool>(in) || in.eof();
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A scratch folder for the compiler's files, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorvel-fxc-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()))
            m_path = name.data();
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        if (m_path.empty())
            return;
        for (const std::string& f : m_files)
            std::remove((m_path + "/" + f).c_str());
        rmdir(m_path.c_str());
    }
    bool Ready() const { return !m_path.empty(); }
    std::string File(const std::string& name) {
        m_files.push_back(name);
        return m_path + "/" + name;
    }

  private:
    std::string m_path;
    std::vector<std::string> m_files;
};

// Runs the compiler's HLSL mode in this process with the arguments the
// framework gives it, its messages caught instead of printed.
int RunHlslMode(const std::vector<std::string>& arguments, std::string& messages) {
    std::vector<std::string> words = {"quorvel-fxc"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::ostringstream caught;
    std::streambuf* const old = std::cerr.rdbuf(caught.rdbuf());
    int status = 1;
    try {
        status = HlslMain(static_cast<int>(words.size()), argv.data());
    } catch (...) {
        std::cerr.rdbuf(old);
        throw;
    }
    std::cerr.rdbuf(old);
    messages = caught.str();
    return status;
}

// The leading blanks of the line that holds `offset`.
std::string IndentAt(const std::string& text, size_t offset) {
    size_t start = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    start = start == std::string::npos || offset == 0 ? 0 : start + 1;
    size_t end = start;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t'))
        ++end;
    return text.substr(start, end - start);
}

bool IsIncludeLine(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#')
        return false;
    i = line.find_first_not_of(" \t", i + 1);
    return i != std::string::npos && line.compare(i, 7, "include") == 0;
}

// `text` without its #include lines: the included text stands in their place.
std::string WithoutIncludes(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (!IsIncludeLine(line))
            out += line;
        start = end;
    }
    return out;
}

// What lies before an HLSL item that goes: its own remarks go with it (up to
// the last blank line), //! lines and the preprocessor's stay.
std::string BeforeDroppedItem(const std::string& gap) {
    const size_t blank = gap.rfind("\n\n");
    std::string out = blank == std::string::npos ? std::string() : gap.substr(0, blank + 2);
    std::istringstream rest(blank == std::string::npos ? gap : gap.substr(blank + 2));
    std::string line;
    bool kept = false;
    while (std::getline(rest, line)) {
        const size_t i = line.find_first_not_of(" \t");
        if (i != std::string::npos && (line.compare(i, 3, "//!") == 0 || line[i] == '#')) {
            // On a line of its own, whatever came before the gap.
            out += (kept ? "" : "\n") + line + "\n";
            kept = true;
        }
    }
    if (out.empty() && gap.find('\n') != std::string::npos)
        out = "\n";
    return out;
}

// At most one blank line in a row, blank lines empty.
std::string Tidy(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    std::string line;
    int blanks = 0;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            if (++blanks > 1 || out.empty())
                continue;
            out += "\n";
            continue;
        }
        blanks = 0;
        out += line + "\n";
    }
    while (out.size() > 1 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n')
        out.pop_back();
    return out;
}

class EffectCompiler {
  public:
    EffectCompiler(const std::string& path) : m_path(path) {}

    bool Run(std::string& output, std::string& messages) {
        std::string text;
        if (!ReadFile(m_path, text)) {
            messages += "quorvel-fxc: cannot read '" + m_path + "': " + std::strerror(errno) + "\n";
            return false;
        }
        m_paths[m_path] = m_path;
        const fx::IncludeOpener opener = [this](const std::string& name,
                                                const std::string& includer, std::string& found,
                                                std::string& displayName) {
            return OpenInclude(name, includer, found, displayName);
        };
        if (!fx::ParseEffect(text, m_path, opener, m_effect, messages, &m_tokens))
            return false;
        if (!Compile(messages))
            return false;
        output = Write();
        return Verify(output, messages);
    }

  private:
    struct Shader {
        fx::CompiledHlsl compiled;
        bool pixel = true;
    };

    // Beside the including file first, then the current folder, as the
    // framework looks for them.
    bool OpenInclude(const std::string& name, const std::string& includer, std::string& text,
                     std::string& displayName) {
        std::vector<std::string> candidates;
        if (!name.empty() && name[0] == '/') {
            candidates.push_back(name);
        } else {
            const auto known = m_paths.find(includer);
            if (known != m_paths.end() && !FolderOf(known->second).empty())
                candidates.push_back(FolderOf(known->second) + name);
            candidates.push_back(name);
        }
        for (const std::string& candidate : candidates) {
            if (ReadFile(candidate, text)) {
                displayName = candidate;
                m_paths[candidate] = candidate;
                return true;
            }
        }
        return false;
    }

    bool Compile(std::string& messages) {
        if (!m_scratch.Ready()) {
            messages += "quorvel-fxc: cannot make a temporary folder: " +
                        std::string(std::strerror(errno)) + "\n";
            return false;
        }
        m_source = m_scratch.File("source.hlsl");
        m_answer = m_scratch.File("answer.txt");
        {
            std::ofstream out(m_source, std::ios::binary | std::ios::trunc);
            out << m_effect.hlsl.text;
            if (!out.flush()) {
                messages += "quorvel-fxc: cannot write '" + m_source + "'\n";
                return false;
            }
        }
        bool ok = true;
        for (const fx::Parameter& p : m_effect.parameters) {
            if (p.shader.kind != fx::StateValue::Kind::Compile)
                continue;
            const bool pixel = p.kind == fx::ParamKind::PixelShader;
            ok = CompileValue(p.shader, pixel, messages) && ok;
        }
        for (const fx::Technique& t : m_effect.techniques) {
            for (const fx::Pass& pass : t.passes) {
                for (const fx::State& s : pass.states) {
                    const bool pixel = fx::EqualsNoCase(s.name, "PixelShader");
                    if (!pixel && !fx::EqualsNoCase(s.name, "VertexShader"))
                        continue;
                    if (s.value.kind == fx::StateValue::Kind::Compile) {
                        if (!CompileValue(s.value, pixel, messages)) {
                            ok = false;
                            continue;
                        }
                        AddBindings(m_shaders.at(s.value.firstToken), s.value.endToken);
                    } else if (s.value.kind == fx::StateValue::Kind::Reference ||
                               s.value.kind == fx::StateValue::Kind::Identifier) {
                        // A shader variable: its bindings go into every pass naming it.
                        for (const fx::Parameter& p : m_effect.parameters) {
                            if (p.name == s.value.text &&
                                p.shader.kind == fx::StateValue::Kind::Compile &&
                                m_shaders.count(p.shader.firstToken))
                                AddBindings(m_shaders.at(p.shader.firstToken), s.value.endToken);
                        }
                    }
                }
            }
        }
        return ok;
    }

    bool CompileValue(const fx::StateValue& value, bool pixel, std::string& messages) {
        if ((value.profile[0] == 'p') != pixel) {
            messages += fx::FormatError(value.position, "X3000",
                                        "a " + std::string(pixel ? "pixel" : "vertex") +
                                            " shader cannot be compiled for " + value.profile);
            return false;
        }
        std::string key = value.profile + " " + value.text;
        for (const std::string& a : value.arguments)
            key += " " + a;
        auto known = m_byKey.find(key);
        if (known == m_byKey.end()) {
            std::remove(m_answer.c_str());
            std::string said;
            const int status = RunHlslMode(fx::CompilerArguments(value, m_source, m_answer), said);
            if (status != 0) {
                messages +=
                    fx::PlaceCompilerMessages(said.empty() ? "the shader compiler failed" : said,
                                              m_effect.hlsl, value.position);
                return false;
            }
            Shader shader;
            shader.pixel = pixel;
            std::string answer, error;
            if (!ReadFile(m_answer, answer) ||
                !fx::ReadCompiledHlsl(answer, shader.compiled, error)) {
                messages += fx::FormatError(value.position, "X3000",
                                            "cannot compile HLSL: " +
                                                (error.empty() ? "no answer" : error));
                return false;
            }
            for (const fx::ShaderConstant& c : shader.compiled.constants) {
                if (const std::string why = BindingFault(c); !why.empty()) {
                    messages += fx::FormatError(value.position, "X3000", why);
                    return false;
                }
            }
            known = m_byKey.emplace(key, std::move(shader)).first;
        }
        m_shaders.emplace(value.firstToken, known->second);
        m_replace[value.firstToken] = value.endToken;
        return true;
    }

    // Why no effect state can bind the global a compiled shader reads, or
    // nothing when one can.
    std::string BindingFault(const fx::ShaderConstant& c) const {
        for (const fx::Parameter& p : m_effect.parameters) {
            if (p.name != c.name)
                continue;
            const bool numeric = p.kind == fx::ParamKind::Float || p.kind == fx::ParamKind::Int ||
                                 p.kind == fx::ParamKind::Bool;
            if (c.set == 'S' ? p.kind != fx::ParamKind::Sampler : !numeric)
                break;
            // A shader constant state copies a parameter's values as they
            // lie, four to a register, while the shader reads an array one
            // register an element: only four-component elements keep the two
            // alike.
            if (c.set == 'F' && p.elements > 0 && p.columns * p.rows < 4)
                return "'" + c.name + "': an array of " + p.typeName +
                       " cannot be bound by an effect state in an assembly-only file; "
                       "declare its elements float4, or make it static const";
            return "";
        }
        return "the compiled shader reads '" + c.name + "', which is no parameter of its kind";
    }

    // The states that set what the framework binds after the shader: one
    // per global, in the compiler's order.
    void AddBindings(const Shader& shader, size_t semicolon) {
        std::vector<std::string>& lines = m_after[semicolon];
        const std::string prefix = shader.pixel ? "PixelShaderConstant" : "VertexShaderConstant";
        for (const fx::ShaderConstant& c : shader.compiled.constants) {
            std::string line;
            if (c.set == 'S') {
                const int stage = shader.pixel ? c.index : kVertexSamplerBase + c.index;
                line = "Sampler[" + std::to_string(stage) + "]";
            } else if (c.set == 'F') {
                line = prefix + (c.count <= 4 ? std::to_string(c.count) : "F") + "[" +
                       std::to_string(c.index) + "]";
            } else {
                line = prefix + c.set + "[" + std::to_string(c.index) + "]";
            }
            lines.push_back(line + " = <" + c.name + ">;");
        }
    }

    std::string AsmBlock(const Shader& shader, const std::string& indent) const {
        std::string out = "asm\n" + indent + "{\n";
        std::istringstream in(shader.compiled.assembly);
        std::string line;
        while (std::getline(in, line)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos)
                continue;
            out += indent + "    " + line.substr(line.find_first_not_of(" \t")) + "\n";
        }
        return out + indent + "}";
    }

    std::string Write() const {
        const std::vector<fx::Token>& tokens = m_tokens.tokens;
        const std::deque<std::string>& sources = m_tokens.sources;
        constexpr size_t kUnread = std::string::npos;
        std::vector<size_t> cursor(sources.size(), kUnread);
        std::map<size_t, size_t> dropped;
        for (const auto& [first, end] : m_effect.hlsl.itemTokens)
            dropped[first] = end;
        const std::string name = m_path.substr(m_path.find_last_of('/') + 1);
        std::string out = "// Made by quorvel-fxc from " + name +
                          ": its HLSL shaders compiled to assembly, includes inlined.\n";
        auto gapTo = [&](size_t source, size_t offset) {
            const size_t from = cursor[source] == kUnread ? 0 : cursor[source];
            cursor[source] = offset;
            return offset > from ? WithoutIncludes(sources[source].substr(from, offset - from))
                                 : std::string();
        };
        for (size_t i = 0; i < tokens.size(); ++i) {
            const fx::Token& t = tokens[i];
            if (t.source != 0 && cursor[t.source] == kUnread) {
                // An included file starts: the includer's text up to its
                // directive comes first, the file's own heading is left out.
                const size_t includer = i > 0 ? tokens[i - 1].source : 0;
                const std::string& text = sources[includer];
                size_t at = cursor[includer] == kUnread ? 0 : cursor[includer];
                while (at < text.size()) {
                    size_t end = text.find('\n', at);
                    end = end == std::string::npos ? text.size() : end + 1;
                    if (IsIncludeLine(text.substr(at, end - at))) {
                        out += gapTo(includer, end);
                        break;
                    }
                    at = end;
                }
                cursor[t.source] = t.offset;
            }
            const std::string gap = gapTo(t.source, t.offset);
            const auto item = dropped.find(i);
            if (item != dropped.end()) {
                out += BeforeDroppedItem(gap);
                for (size_t k = i; k < item->second; ++k)
                    cursor[tokens[k].source] = tokens[k].end;
                i = item->second - 1;
                continue;
            }
            out += gap;
            const auto replaced = m_replace.find(i);
            if (replaced != m_replace.end()) {
                out += AsmBlock(m_shaders.at(i), IndentAt(sources[t.source], t.offset));
                for (size_t k = i; k < replaced->second; ++k)
                    cursor[tokens[k].source] = tokens[k].end;
                i = replaced->second - 1;
                continue;
            }
            out += sources[t.source].substr(t.offset, t.end - t.offset);
            cursor[t.source] = t.end;
            const auto after = m_after.find(i);
            if (after != m_after.end()) {
                const std::string indent = IndentAt(sources[t.source], t.offset);
                for (const std::string& line : after->second)
                    out += "\n" + indent + line;
            }
        }
        if (!sources.empty())
            out += gapTo(0, sources[0].size());
        return Tidy(out);
    }

    // The result must read as an effect with no HLSL in it.
    bool Verify(const std::string& output, std::string& messages) const {
        fx::Effect check;
        std::string problems;
        if (!fx::ParseEffect(output, m_path, nullptr, check, problems)) {
            messages += "quorvel-fxc: internal error: the assembly-only effect does not read "
                        "back:\n" +
                        problems;
            return false;
        }
        if (!check.hlsl.itemTokens.empty()) {
            messages += "quorvel-fxc: internal error: HLSL left in the assembly-only effect\n";
            return false;
        }
        return true;
    }

    std::string m_path;
    std::map<std::string, std::string> m_paths; // display name -> path
    fx::Effect m_effect;
    fx::EffectTokens m_tokens;
    ScratchFolder m_scratch;
    std::string m_source, m_answer;
    std::map<std::string, Shader> m_byKey;
    std::map<size_t, Shader> m_shaders;                 // by the compile's first token
    std::map<size_t, size_t> m_replace;                 // compile tokens [first, end)
    std::map<size_t, std::vector<std::string>> m_after; // states after a ';'
};

bool EndsWithFx(const std::string& name) {
    return name.size() > 3 && (name.compare(name.size() - 3, 3, ".fx") == 0 ||
                               name.compare(name.size() - 3, 3, ".FX") == 0);
}

} // namespace

bool IsEffectRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-o" || a == "--profile" || a == "--name" || a == "--texture" ||
            a == "--hlsl-entry" || a == "--arg")
            ++i;
        else if (!a.empty() && a[0] != '-' && EndsWithFx(a))
            return true;
    }
    return false;
}

bool CompileEffectFile(const std::string& path, std::string& output, std::string& messages) {
    return EffectCompiler(path).Run(output, messages);
}

int EffectMain(int argc, char** argv) {
    std::string input, output;
    bool toFile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-o") {
            if (i + 1 >= argc)
                return Fail("-o needs a value\n" + std::string(kUsage));
            output = argv[++i];
            toFile = true;
        } else if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option '" + a + "' for an effect file\n" + kUsage);
        } else if (input.empty()) {
            input = a;
        } else {
            return Fail("more than one input: '" + input + "' and '" + a + "'");
        }
    }
    std::string text, messages;
    if (!CompileEffectFile(input, text, messages)) {
        std::cerr << messages;
        return 1;
    }
    if (!toFile) {
        std::cout << text << std::flush;
        return std::cout ? 0 : Fail("cannot write the standard output");
    }
    std::string error;
    return WriteWhole(output, text, error) ? 0 : Fail(error);
}

} // namespace qc
