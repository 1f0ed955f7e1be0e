#include "compiler/Glslang.h"

#include <glslang/Public/ShaderLang.h>
#include <spirv-tools/optimizer.hpp>

#include <cstdlib>
#include <mutex>
#include <regex>
#include <sstream>

#include "compiler/CommandSupport.h"
#include "compiler/Diagnostics.h"
#include "compiler/SpirvWords.h"

namespace qc {

namespace {

// Marks every loop for full unrolling: SPIRV-Tools only unrolls loops that
// ask for it, and a pixel shader here wants every loop it can unroll gone.
void RequestUnroll(std::vector<uint32_t>& words) {
    const uint32_t kOpLoopMerge = 246;
    ForEachInstruction(words, [&words](uint32_t op, size_t i, uint32_t count) {
        if (op == kOpLoopMerge && count >= 4)
            words[i + 3] = (words[i + 3] & ~2u) | 1u;
    });
}

} // namespace

void InitGlslang() {
    static std::once_flag once;
    std::call_once(once, [] {
        glslang::InitializeProcess();
        std::atexit([] { glslang::FinalizeProcess(); });
    });
}

bool FirstGlslangError(const std::string& log, const std::string& source, GlslangMessage& out) {
    static const std::regex error(R"(ERROR: (?:[^:]*):(\d+): (.*))");
    std::vector<std::string> lines;
    {
        std::istringstream src(source);
        std::string l;
        while (std::getline(src, l))
            lines.push_back(l);
    }
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, error))
            continue;
        out.line = std::atoi(m[1].str().c_str());
        out.text = m[2].str();
        out.column = 1;
        if (out.line > static_cast<int>(lines.size()))
            out.line = 0;
        else if (out.line >= 1)
            out.column = ColumnOfQuotedName(out.text, lines[out.line - 1]);
        while (!out.text.empty() && (out.text.back() == ' ' || out.text.back() == '\r'))
            out.text.pop_back();
        return true;
    }
    return false;
}

std::vector<uint32_t> Optimise(std::vector<uint32_t> words, bool unroll, bool validate) {
    std::string messages;
    auto consume = [&messages](spv_message_level_t, const char*, const spv_position_t&,
                               const char* m) { messages += std::string(m) + "\n"; };
    spvtools::OptimizerOptions options;
    options.set_run_validator(validate);
    for (int round = 0; round < (unroll ? 2 : 1); ++round) {
        spvtools::Optimizer opt(SPV_ENV_OPENGL_4_5);
        opt.SetMessageConsumer(consume);
        if (round == 1)
            opt.RegisterPass(spvtools::CreateLoopUnrollPass(true));
        opt.RegisterPerformancePasses();
        if (round == 1) {
            opt.RegisterPass(spvtools::CreateLoopUnrollPass(true));
            opt.RegisterPerformancePasses();
        }
        std::vector<uint32_t> result;
        if (!opt.Run(words.data(), words.size(), &result, options))
            throw CompileError(0, 1, "SPIR-V optimisation failed: " + messages);
        words.swap(result);
        if (round == 0 && unroll)
            RequestUnroll(words);
    }
    return words;
}

} // namespace qc
