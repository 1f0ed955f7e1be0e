#define ENABLE_HLSL 1 // the inline setter of hlsl_functionality1 in ShaderLang.h

#include "compiler/HlslFrontEnd.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "compiler/CommandSupport.h"
#include "compiler/Diagnostics.h"
#include "compiler/Glslang.h"
#include "compiler/SpirvWords.h"

namespace qc {

namespace {

// SPIR-V opcodes and enumerants this file reads or writes.
enum : uint32_t {
    kOpExtension = 10,
    kOpName = 5,
    kOpMemberName = 6,
    kOpTypeBool = 20,
    kOpTypeInt = 21,
    kOpTypeFloat = 22,
    kOpTypeVector = 23,
    kOpTypeMatrix = 24,
    kOpTypeSampledImage = 27,
    kOpTypeArray = 28,
    kOpTypeStruct = 30,
    kOpTypePointer = 32,
    kOpConstantTrue = 41,
    kOpConstantFalse = 42,
    kOpConstant = 43,
    kOpFunction = 54,
    kOpVariable = 59,
    kOpLoad = 61,
    kOpStore = 62,
    kOpAccessChain = 65,
    kOpInBoundsAccessChain = 66,
    kOpDecorate = 71,
    kOpMemberDecorate = 72,
    kOpTranspose = 84,
    kOpLoopMerge = 246,
    kOpDecorateString = 5632,
    kOpMemberDecorateString = 5633,
    kStorageUniformConstant = 0,
    kStorageInput = 1,
    kStorageUniform = 2,
    kStorageOutput = 3,
    kStoragePrivate = 6,
    kDecorationRowMajor = 4,
    kDecorationUserSemantic = 5635,
};

struct Instruction {
    uint32_t op;
    std::vector<uint32_t> w; // operands, without the opcode word
};

std::vector<Instruction> Split(const std::vector<uint32_t>& words) {
    std::vector<Instruction> out;
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16;
        if (count == 0 || i + count > words.size())
            throw CompileError(0, 1, "malformed SPIR-V");
        out.push_back({words[i] & 0xFFFF, {words.begin() + i + 1, words.begin() + i + count}});
        i += count;
    }
    return out;
}

std::vector<uint32_t> Join(const std::vector<uint32_t>& header,
                           const std::vector<Instruction>& code) {
    std::vector<uint32_t> out(header.begin(), header.begin() + 5);
    for (const Instruction& ins : code) {
        out.push_back(static_cast<uint32_t>(ins.w.size() + 1) << 16 | ins.op);
        out.insert(out.end(), ins.w.begin(), ins.w.end());
    }
    return out;
}

std::vector<uint32_t> Words(const std::string& s) {
    std::vector<uint32_t> w((s.size() + 4) / 4, 0);
    for (size_t i = 0; i < s.size(); ++i)
        w[i / 4] |= static_cast<uint32_t>(static_cast<unsigned char>(s[i])) << (8 * (i % 4));
    return w;
}

// glslang's first error at its place, in the words of Windows' compiler.
[[noreturn]] void ThrowGlslangError(const std::string& log, const std::string& source) {
    GlslangMessage e;
    if (!FirstGlslangError(log, source, e))
        throw CompileError(0, 1, "HLSL compile failed: " + log);
    static const std::regex unknown(R"('(\w+)' : unknown variable)");
    throw CompileError(e.line, e.column,
                       std::regex_replace(e.text, unknown, "undeclared identifier '$1'"));
}

// The entry's uniform parameters, in order, with their default literals:
// read from the text, which glslang's output no longer tells apart from the
// globals.
struct UniformParameter {
    std::string name;
    std::string fallback; // the default as written, or empty
};

std::vector<UniformParameter> EntryUniforms(const std::string& source, const std::string& entry) {
    std::vector<UniformParameter> out;
    const std::regex head("\\b" + entry + "\\s*\\(");
    for (std::sregex_iterator it(source.begin(), source.end(), head), end; it != end; ++it) {
        size_t at = static_cast<size_t>(it->position() + it->length());
        int depth = 1;
        std::vector<std::string> parameters(1);
        for (; at < source.size() && depth > 0; ++at) {
            const char c = source[at];
            if (c == '(')
                ++depth;
            if (c == ')' && --depth == 0)
                break;
            if (c == ',' && depth == 1)
                parameters.emplace_back();
            else
                parameters.back() += c;
        }
        // A definition has a body after the list (and perhaps a semantic).
        size_t next = source.find_first_not_of(" \t\r\n", at + 1);
        if (next != std::string::npos && source[next] == ':') {
            next = source.find_first_of("{;", next);
        }
        if (next == std::string::npos || source[next] != '{')
            continue;
        static const std::regex uniform(
            R"(^\s*(?:in\s+)?uniform\s+[\w<>, ]+?\s+(\w+)\s*(?:\[[^\]]*\]\s*)?(?::\s*\w+\s*)?(?:=\s*([^,]+?))?\s*$)");
        for (const std::string& p : parameters) {
            std::smatch m;
            if (std::regex_match(p, m, uniform))
                out.push_back({m[1].str(), m[2].str()});
        }
        return out;
    }
    return out;
}

bool IsAnnotationOrLater(uint32_t op) {
    return op == kOpDecorate || op == kOpMemberDecorate || (op >= 73 && op <= 75) || op == 332 ||
           op == kOpDecorateString || op == kOpMemberDecorateString || (op >= 19 && op <= 39) ||
           (op >= 41 && op <= 52) || op == kOpVariable || op == 330;
}

// HLSL's globals live in one uniform block, "$Global"; the backend reads
// each uniform as a variable of its own, as GLSL's default block gives them.
// This splits the block: one UniformConstant variable a member (a Private
// constant for an entry parameter given a literal), a matrix stored
// column_major read through a transpose, since its registers hold the
// columns of the HLSL matrix, which are the rows of its SPIR-V form.
class GlobalSplitter {
  public:
    GlobalSplitter(std::vector<uint32_t> words, const std::map<std::string, std::string>& literals)
        : m_header(words.begin(), words.begin() + 5), m_code(Split(words)), m_literals(literals) {
        m_bound = m_header[3];
    }

    std::vector<uint32_t> Run(std::map<std::string, std::string>& semantics) {
        Scan(semantics);
        if (!m_block)
            return Join(m_header, m_code);
        const Type& blockPointer = m_types.at(m_blockType);
        const std::vector<uint32_t>& members = m_structs.at(blockPointer.element);
        std::vector<Instruction> names, globals;
        for (uint32_t k = 0; k < members.size(); ++k) {
            Member m;
            m.type = members[k];
            m.name = m_memberNames[{blockPointer.element, k}];
            m.transpose = m_rowMajor.count({blockPointer.element, k}) > 0;
            const auto literal = m_literals.find(m.name);
            m.storage = literal == m_literals.end() ? kStorageUniformConstant : kStoragePrivate;
            const uint32_t pointer = NewPointer(m.storage, m.type, globals);
            m.var = m_bound++;
            if (literal != m_literals.end()) {
                const uint32_t value = NewConstant(m.type, literal->second, m.name, globals);
                globals.push_back({kOpVariable, {pointer, m.var, m.storage, value}});
            } else {
                globals.push_back({kOpVariable, {pointer, m.var, m.storage}});
            }
            std::vector<uint32_t> name = {m.var};
            const std::vector<uint32_t> text = Words(m.name);
            name.insert(name.end(), text.begin(), text.end());
            names.push_back({kOpName, name});
            if (m.transpose) {
                const Type& t = m_types.at(m.type);
                if (t.kind != kOpTypeMatrix || m_types.at(t.element).count != t.count) {
                    m.refused = "'" + m.name +
                                "': a column_major matrix global must be square here; declare it "
                                "row_major";
                } else {
                    // Indexing reads the matrix as HLSL sees it: a copy
                    // transposed where it is indexed.
                    const uint32_t rowsPointer = NewPointer(kStoragePrivate, m.type, globals);
                    m.rows = m_bound++;
                    globals.push_back({kOpVariable, {rowsPointer, m.rows, kStoragePrivate}});
                }
            }
            m_members.push_back(m);
        }
        std::vector<Instruction> out, pointers;
        bool namesPlaced = false, globalsPlaced = false;
        for (const Instruction& ins : m_code) {
            if (!namesPlaced && IsAnnotationOrLater(ins.op)) {
                out.insert(out.end(), names.begin(), names.end());
                namesPlaced = true;
            }
            if (!globalsPlaced && ins.op == kOpFunction) {
                out.insert(out.end(), globals.begin(), globals.end());
                globalsPlaced = true;
            }
            if (ins.op == kOpExtension || ins.op == kOpDecorateString ||
                ins.op == kOpMemberDecorateString)
                continue;
            if ((ins.op == kOpAccessChain || ins.op == kOpInBoundsAccessChain) &&
                ins.w[2] == m_block) {
                const Member& m = m_members.at(ConstantIndex(ins.w[3]));
                // Refused only where the shader reads it.
                if (!m.refused.empty())
                    throw CompileError(0, 1, m.refused);
                if (ins.w.size() == 4) {
                    m_alias[ins.w[1]] = m.var;
                    continue;
                }
                Instruction chain = ins;
                chain.w.erase(chain.w.begin() + 3);
                if (m.transpose) {
                    const uint32_t whole = m_bound++;
                    const uint32_t rows = m_bound++;
                    out.push_back({kOpLoad, {m.type, whole, m.var}});
                    out.push_back({kOpTranspose, {m.type, rows, whole}});
                    out.push_back({kOpStore, {m.rows, rows}});
                    chain.w[0] =
                        NewPointer(kStoragePrivate, m_types.at(ins.w[0]).element, pointers);
                    chain.w[2] = m.rows;
                } else {
                    chain.w[0] = NewPointer(m.storage, m_types.at(ins.w[0]).element, pointers);
                    chain.w[2] = m.var;
                }
                out.push_back(chain);
                continue;
            }
            if (ins.op == kOpLoad) {
                Instruction load = ins;
                const auto alias = m_alias.find(load.w[2]);
                if (alias != m_alias.end()) {
                    load.w[2] = alias->second;
                    const Member* m = MemberOf(alias->second);
                    if (m && m->transpose) {
                        const uint32_t result = load.w[1];
                        load.w[1] = m_bound++;
                        out.push_back(load);
                        out.push_back({kOpTranspose, {load.w[0], result, load.w[1]}});
                        continue;
                    }
                }
                out.push_back(load);
                continue;
            }
            out.push_back(ins);
        }
        // Pointer types of member chains go with the other types.
        const auto firstFunction = std::find_if(
            out.begin(), out.end(), [](const Instruction& i) { return i.op == kOpFunction; });
        out.insert(firstFunction, pointers.begin(), pointers.end());
        m_header[3] = m_bound;
        return Join(m_header, out);
    }

  private:
    struct Type {
        uint32_t kind = 0;
        uint32_t element = 0; // vector/matrix/array element, pointee
        uint32_t count = 0;   // components, columns; storage class of a pointer
    };
    struct Member {
        std::string name;
        uint32_t type = 0;
        uint32_t var = 0;
        uint32_t storage = 0;
        bool transpose = false;
        uint32_t rows = 0;   // the Private copy an indexed column_major matrix is read from
        std::string refused; // why the backend cannot read it
    };

    void Scan(std::map<std::string, std::string>& semantics) {
        std::map<uint32_t, std::string> names;
        for (const Instruction& ins : m_code) {
            const auto& w = ins.w;
            switch (ins.op) {
            case kOpName:
                names[w[0]] = LiteralString(w, 1);
                break;
            case kOpMemberName:
                m_memberNames[{w[0], w[1]}] = LiteralString(w, 2);
                break;
            case kOpMemberDecorate:
                if (w[2] == kDecorationRowMajor)
                    m_rowMajor.insert({w[0], w[1]});
                break;
            case kOpDecorateString:
                if (w[1] == kDecorationUserSemantic)
                    semantics[names[w[0]]] = LiteralString(w, 2);
                break;
            case kOpTypeBool:
            case kOpTypeInt:
            case kOpTypeFloat:
                m_types[w[0]] = {ins.op, 0, ins.op == kOpTypeBool ? 0 : w[1]};
                if (ins.op == kOpTypeInt)
                    m_signed[w[0]] = w[2] != 0;
                break;
            case kOpTypeVector:
            case kOpTypeMatrix:
            case kOpTypeArray:
                m_types[w[0]] = {ins.op, w[1], ins.op == kOpTypeArray ? 0 : w[2]};
                break;
            case kOpTypeStruct:
                m_types[w[0]] = {ins.op, 0, 0};
                m_structs[w[0]] = {w.begin() + 1, w.end()};
                break;
            case kOpTypePointer:
                m_types[w[0]] = {ins.op, w[2], w[1]};
                break;
            case kOpConstant:
                m_constants[w[1]] = w[2];
                break;
            case kOpVariable:
                if (w[2] == kStorageUniform && m_types.count(w[0]) &&
                    m_memberNames.count({m_types[w[0]].element, 0}) &&
                    names[m_types[w[0]].element] == "$Global") {
                    m_block = w[1];
                    m_blockType = w[0];
                }
                break;
            default:
                break;
            }
        }
    }

    uint32_t ConstantIndex(uint32_t id) const {
        const auto c = m_constants.find(id);
        if (c == m_constants.end())
            throw CompileError(0, 1, "a global is indexed by a value known only at run time");
        return c->second;
    }

    const Member* MemberOf(uint32_t var) const {
        for (const Member& m : m_members) {
            if (m.var == var)
                return &m;
        }
        return nullptr;
    }

    uint32_t NewPointer(uint32_t storage, uint32_t type, std::vector<Instruction>& into) {
        const uint32_t id = m_bound++;
        into.push_back({kOpTypePointer, {id, storage, type}});
        m_types[id] = {kOpTypePointer, type, storage};
        return id;
    }

    uint32_t NewConstant(uint32_t type, const std::string& literal, const std::string& name,
                         std::vector<Instruction>& into) {
        const Type& t = m_types.at(type);
        const uint32_t id = m_bound++;
        char* end = nullptr;
        const bool truth = literal == "true";
        double value = truth ? 1 : literal == "false" ? 0 : std::strtod(literal.c_str(), &end);
        if (literal != "true" && literal != "false" &&
            (end == literal.c_str() ||
             std::string(end).find_first_not_of("fFhH") != std::string::npos))
            throw CompileError(0, 1, "'" + name + "': '" + literal + "' is not a literal");
        if (t.kind == kOpTypeFloat) {
            const float f = static_cast<float>(value);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            into.push_back({kOpConstant, {type, id, bits}});
        } else if (t.kind == kOpTypeInt) {
            into.push_back(
                {kOpConstant, {type, id, static_cast<uint32_t>(static_cast<int32_t>(value))}});
        } else if (t.kind == kOpTypeBool) {
            into.push_back({value != 0 ? kOpConstantTrue : kOpConstantFalse, {type, id}});
        } else {
            throw CompileError(0, 1, "'" + name + "': a literal argument takes a scalar parameter");
        }
        return id;
    }

  private:
    std::vector<uint32_t> m_header;
    std::vector<Instruction> m_code;
    const std::map<std::string, std::string>& m_literals;
    uint32_t m_bound = 0;
    uint32_t m_block = 0;
    uint32_t m_blockType = 0;
    std::map<uint32_t, Type> m_types;
    std::map<uint32_t, bool> m_signed;
    std::map<uint32_t, std::vector<uint32_t>> m_structs;
    std::map<std::pair<uint32_t, uint32_t>, std::string> m_memberNames;
    std::set<std::pair<uint32_t, uint32_t>> m_rowMajor;
    std::map<uint32_t, uint32_t> m_constants;
    std::vector<Member> m_members;
    std::map<uint32_t, uint32_t> m_alias;
};

// "TEXCOORD1" as TEXCOORD and 1; a semantic with no number has index 0.
// "_centroid" after it asks for centroid sampling, which differs only on a
// multisampled target; the input is read as without it.
HlslVarying Varying(const std::string& name, const std::string& written, uint32_t kind,
                    uint32_t width) {
    static const std::string kCentroid = "_CENTROID";
    std::string semantic = written;
    if (semantic.size() > kCentroid.size() &&
        std::equal(kCentroid.rbegin(), kCentroid.rend(), semantic.rbegin(),
                   [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); }))
        semantic.resize(semantic.size() - kCentroid.size());
    HlslVarying v;
    v.name = name;
    v.semantic = semantic;
    v.width = static_cast<int>(width);
    size_t digits = semantic.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(semantic[digits - 1])))
        --digits;
    for (size_t i = 0; i < digits; ++i)
        v.usage += static_cast<char>(std::toupper(static_cast<unsigned char>(semantic[i])));
    v.index = digits < semantic.size() ? std::atoi(semantic.c_str() + digits) : 0;
    if (kind != kOpTypeFloat && kind != kOpTypeVector)
        throw CompileError(0, 1,
                           "'" + name + " : " + semantic +
                               "': inputs and outputs here are floats or vectors");
    return v;
}

} // namespace

HlslShader CompileHlslToSpirv(const std::string& source, const std::string& entry,
                              const std::vector<std::string>& arguments, bool vertex,
                              bool unrollLoops) {
    const EShLanguage stage = vertex ? EShLangVertex : EShLangFragment;
    InitGlslang();
    const std::vector<UniformParameter> uniforms = EntryUniforms(source, entry);
    std::map<std::string, std::string> literals;
    for (size_t i = 0; i < uniforms.size(); ++i) {
        if (i < arguments.size())
            literals[uniforms[i].name] = arguments[i];
        else if (!uniforms[i].fallback.empty())
            literals[uniforms[i].name] = uniforms[i].fallback;
    }
    if (arguments.size() > uniforms.size() || literals.size() < uniforms.size())
        throw CompileError(0, 1,
                           "'" + entry + "' takes " + std::to_string(uniforms.size()) +
                               " uniform parameter(s); compile gives " +
                               std::to_string(arguments.size()) + " argument(s)");

    glslang::TShader shader(stage);
    const char* strings[] = {source.c_str()};
    shader.setStrings(strings, 1);
    shader.setEntryPoint(entry.c_str());
    shader.setSourceEntryPoint(entry.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setEnvTargetHlslFunctionality1();
    shader.setAutoMapLocations(true);
    shader.setAutoMapBindings(true);
    const auto messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules |
                                                   EShMsgReadHlsl | EShMsgHlslDX9Compatible);
    if (!shader.parse(GetDefaultResources(), 100, false, messages))
        ThrowGlslangError(shader.getInfoLog(), source);
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages) || !program.mapIO())
        ThrowGlslangError(program.getInfoLog(), source);
    std::vector<uint32_t> words;
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.disableOptimizer = true;
    glslang::GlslangToSpv(*program.getIntermediate(stage), words, &logger, &options);

    GlobalSplitter splitter(std::move(words), literals);
    std::map<std::string, std::string> semantics;
    words = splitter.Run(semantics);

    HlslShader out;
    out.spirv = Optimise(std::move(words), unrollLoops, true);
    out.io.dotTransposed = true;
    out.io.realLoops = !unrollLoops;
    // What the optimised shader still reads gets registers, in the order of
    // the declarations: floats one register a row or column, samplers s0 on.
    std::map<uint32_t, std::string> names;
    std::map<uint32_t, uint32_t> pointerOf, storageOf, typeKind, columnsOf, varType, widthOf;
    std::map<uint32_t, uint32_t> constants, elementOf, lengthOf;
    std::set<uint32_t> read;
    std::vector<std::pair<uint32_t, uint32_t>> inputs, outputs; // variable, type
    for (const Instruction& ins : Split(out.spirv)) {
        const auto& w = ins.w;
        if (ins.op == kOpName)
            names[w[0]] = LiteralString(w, 1);
        else if (ins.op == kOpTypePointer)
            pointerOf[w[0]] = w[2];
        else if (ins.op >= kOpTypeBool && ins.op <= kOpTypeStruct)
            typeKind[w[0]] = ins.op;
        if (ins.op == kOpTypeVector)
            widthOf[w[0]] = w[2];
        if (ins.op == kOpTypeMatrix)
            columnsOf[w[0]] = w[2];
        else if (ins.op == kOpTypeArray)
            columnsOf[w[0]] = 0;
        if (ins.op == kOpTypeArray) {
            elementOf[w[0]] = w[1];
            lengthOf[w[0]] = constants.count(w[2]) ? constants[w[2]] : 0;
        }
        if (ins.op == kOpConstant)
            constants[w[1]] = w[2];
        if (ins.op == kOpVariable && w[2] == kStorageUniformConstant)
            varType[w[1]] = pointerOf[w[0]];
        if (ins.op == kOpVariable && (w[2] == kStorageInput || w[2] == kStorageOutput))
            (w[2] == kStorageInput ? inputs : outputs).emplace_back(w[1], pointerOf[w[0]]);
        if (ins.op == kOpLoad || ins.op == kOpAccessChain || ins.op == kOpInBoundsAccessChain)
            read.insert(w[2]);
    }
    int reg = 0, sampler = 0;
    for (const auto& [var, type] : varType) {
        if (!read.count(var))
            continue;
        HlslConstant c;
        c.name = names[var];
        if (typeKind[type] == kOpTypeSampledImage) {
            c.sampler = true;
            c.index = sampler++;
            out.io.samplers[c.name] = c.index;
        } else {
            // An array of scalars or vectors: one register an element.
            const bool array = typeKind[type] == kOpTypeArray;
            const uint32_t element = array ? elementOf[type] : type;
            if (typeKind[type] == kOpTypeStruct ||
                (array && typeKind[element] != kOpTypeFloat && typeKind[element] != kOpTypeInt &&
                 typeKind[element] != kOpTypeBool && typeKind[element] != kOpTypeVector))
                throw CompileError(0, 1,
                                   "'" + c.name +
                                       "': structure globals and arrays of matrices or "
                                       "structures are not compiled here yet");
            c.index = reg;
            c.count = array                             ? static_cast<int>(lengthOf[type])
                      : typeKind[type] == kOpTypeMatrix ? static_cast<int>(columnsOf[type])
                                                        : 1;
            reg += c.count;
            out.io.uniformRegisters[c.name] = c.index;
        }
        out.constants.push_back(c);
    }
    out.firstFreeConstant = reg;
    for (const auto& [var, type] : inputs)
        out.inputs.push_back(Varying(names[var], semantics[names[var]], typeKind[type],
                                     typeKind[type] == kOpTypeVector ? widthOf[type] : 1));
    for (const auto& [var, type] : outputs)
        out.outputs.push_back(Varying(names[var], semantics[names[var]], typeKind[type],
                                      typeKind[type] == kOpTypeVector ? widthOf[type] : 1));
    return out;
}

} // namespace qc
