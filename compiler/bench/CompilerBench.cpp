// Code quality and speed of the shader compiler: the library's hand-written
// transitions against their GL transition ports compiled here, in
// instruction slots as the opcode table prices them, and the compile time of
// each port (median of several runs). Prints a table; times nothing it tests.
//
// Usage: compiler_bench [REPO_ROOT] [RUNS]

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "compiler/Diagnostics.h"
#include "host/fx/ShaderOpcodes.h"

namespace {

const char* const kPorts[] = {"crossfade", "iris",      "push",     "swell",
                              "wipe",      "fadecolor", "pixelate", "dissolve"};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Slots of every shader in an effect file's asm blocks, each priced in its
// own profile.
int HandWrittenSlots(const std::string& fx, int& shaders) {
    int slots = 0;
    shaders = 0;
    size_t at = 0;
    while ((at = fx.find("asm", at)) != std::string::npos) {
        const size_t open = fx.find('{', at), close = fx.find('}', open);
        if (open == std::string::npos || close == std::string::npos)
            break;
        std::istringstream block(fx.substr(open + 1, close - open - 1));
        at = close;
        fx::Profile profile = fx::Profile::Ps20;
        std::string line;
        while (std::getline(block, line)) {
            const size_t comment = line.find("//");
            if (comment != std::string::npos)
                line.erase(comment);
            std::istringstream words(line);
            std::string word;
            if (!(words >> word))
                continue;
            std::string lower;
            for (char c : word)
                lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (lower == "ps_2_0" || lower == "ps_3_0" || lower == "vs_2_0" || lower == "vs_3_0") {
                profile = lower == "ps_2_0"   ? fx::Profile::Ps20
                          : lower == "ps_3_0" ? fx::Profile::Ps30
                          : lower == "vs_2_0" ? fx::Profile::Vs20
                                              : fx::Profile::Vs30;
                ++shaders;
                continue;
            }
            const fx::OpcodeInfo* info = fx::FindOpcode(lower);
            if (info && info->slots[static_cast<int>(profile)] > 0)
                slots += info->slots[static_cast<int>(profile)];
        }
    }
    return slots;
}

} // namespace

int main(int argc, char** argv) {
    const std::string root = argc > 1 ? argv[1] : ".";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    std::printf("%-10s %12s %9s %6s %8s %12s\n", "transition", "hand-written", "compiled", "ratio",
                "profile", "compile ms");
    std::vector<double> ratios;
    for (const char* name : kPorts) {
        const std::string glsl = ReadFile(root + "/tests/compiler/ports/" + name + ".glsl");
        const std::string fx = ReadFile(root + "/library/transitions/" + name + ".fx");
        if (glsl.empty() || fx.empty()) {
            std::fprintf(stderr, "compiler_bench: %s: missing port or library file under %s\n",
                         name, root.c_str());
            return 1;
        }
        int shaders = 0;
        const int hand = HandWrittenSlots(fx, shaders);
        std::vector<double> times;
        qc::CompiledTransition compiled;
        try {
            for (int i = 0; i < runs; ++i) {
                const auto start = std::chrono::steady_clock::now();
                compiled = qc::CompileTransition(glsl, std::nullopt);
                times.push_back(std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
            }
        } catch (const qc::CompileError& e) {
            std::fprintf(stderr, "compiler_bench: %s: %s\n", name, e.what());
            return 1;
        }
        std::sort(times.begin(), times.end());
        const int slots = compiled.shader.arithmeticSlots + compiled.shader.textureSlots;
        const double ratio = hand > 0 ? double(slots) / hand : 0;
        ratios.push_back(ratio);
        std::printf("%-10s %12d %9d %6.2f %8s %12.2f%s\n", name, hand, slots, ratio,
                    qc::ProfileName(compiled.shader.profile), times[times.size() / 2],
                    shaders > 1 ? "  (hand-written: several shaders)" : "");
    }
    std::sort(ratios.begin(), ratios.end());
    const size_t n = ratios.size();
    const double median = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    std::printf("median ratio compiled / hand-written: %.2f (goal: at most 1.2)\n", median);
    return 0;
}
