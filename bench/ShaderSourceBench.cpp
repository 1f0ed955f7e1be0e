// Source loading speed on generated effect sources of 1, 4 and 16 MiB with
// many comments and nested includes, from in-memory files so that only the
// text processing is timed. Prints the one-pass throughput, how its time
// scales, and its speed-up over the literal loops, measured side by side.

#include "effect/SourceText.h"
#include "tests/effect/LiteralSource.h"
#include "tests/effect/MemoryFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace {

using quorvel::LeadBytes;
using Limits = quorvel::SourceLimits;
using source_testing::MemoryFiles;

// Effect-like lines: code, line and block comments, CRLF ends, string
// annotations, and a directive every 32 lines into three levels of headers.
std::string Lines(std::size_t size, std::mt19937& random, int level) {
    static const char* const kLines[] = {
        "float4 colour : COLOR0; // the output colour\r\n",
        "sampler2D input0 = sampler_state { Texture = <tex0>; }; /* bound by the host */\r\n",
        "/* a block comment\r\n   over two lines */ float weight = 0.5;\r\n",
        "string help < string url = \"http://example.com/help\"; >;\r\n",
        "float4 Shade(float2 uv : TEXCOORD0) : COLOR { return tex2D(input0, uv); }\r\n",
        "    // indented comment with a #include \"never.fxh\" inside\r\n",
        " #include \"not-at-line-start.fxh\"\r\n",
        "technique T { pass P { PixelShader = compile ps_2_0 Shade(); } }\r\n"};
    std::string text;
    int line = 0;
    while (text.size() < size) {
        if (level < 3 && ++line % 32 == 0)
            text += "#include \"level" + std::to_string(level + 1) + "_" +
                    std::to_string(random() % 4) + ".fxh\"\r\n";
        else
            text += kLines[random() % 8];
    }
    return text;
}

MemoryFiles MakeFiles(std::size_t size) {
    std::mt19937 random(42);
    MemoryFiles files;
    files.files["root"] = Lines(size, random, 0);
    for (int level = 1; level <= 3; ++level)
        for (int i = 0; i < 4; ++i)
            files.files["level" + std::to_string(level) + "_" + std::to_string(i) + ".fxh"] =
                Lines(1024, random, level);
    return files;
}

template <typename Load> double Seconds(Load load, int repeats, std::string& text) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        load(text);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

double FastSeconds(MemoryFiles& files, const LeadBytes& lead, int repeats, std::string& text) {
    return Seconds(
        [&](std::string& out) { quorvel::LoadSource("root", files, lead, Limits{}, out); }, repeats,
        text);
}

double LiteralSeconds(MemoryFiles& files, const LeadBytes& lead, std::string& text) {
    return Seconds(
        [&](std::string& out) { literal_source::LoadSource("root", files, lead, Limits{}, out); },
        1, text);
}

} // namespace

int main() {
    constexpr double kMiB = 1024.0 * 1024.0;
    const LeadBytes codePages[] = {LeadBytes(), source_testing::ShiftJisLeadBytes()};
    const char* const codePageNames[] = {"single-byte", "932"};
    for (int cp = 0; cp < 2; ++cp) {
        std::printf("code page %s\n", codePageNames[cp]);
        // Sizes take turns, round after round, so that a busy machine slows
        // them alike; the best round of each counts.
        const std::size_t sizes[] = {1, 4, 16};
        MemoryFiles files[] = {MakeFiles(1 << 20), MakeFiles(4 << 20), MakeFiles(16 << 20)};
        double best[] = {1e30, 1e30, 1e30};
        std::string text[3];
        for (int round = 0; round < 7; ++round)
            for (int i = 0; i < 3; ++i)
                best[i] = std::min(best[i], FastSeconds(files[i], codePages[cp], 1, text[i]));
        for (int i = 0; i < 3; ++i)
            std::printf("  one-pass %2zu MiB: %8.2f ms, %7.1f MiB/s in, %5.1f MiB out\n", sizes[i],
                        best[i] * 1e3, sizes[i] / best[i], text[i].size() / kMiB);
        std::printf("  t(16 MiB)/t(1 MiB) = %.2f\n", best[2] / best[0]);
        // The literal loops rebuild the text after every change: sizes grow
        // until one run takes more than ten seconds.
        for (std::size_t kib = 64; kib <= 16384; kib *= 2) {
            MemoryFiles files = MakeFiles(kib << 10);
            std::string literal;
            std::string fast;
            const double slow = LiteralSeconds(files, codePages[cp], literal);
            const double quick = FastSeconds(files, codePages[cp], 3, fast);
            std::printf("  literal %5zu KiB: %9.1f ms, one-pass %7.2f ms, speed-up %8.1fx%s\n", kib,
                        slow * 1e3, quick * 1e3, slow / quick,
                        literal == fast ? "" : "  OUTPUT DIFFERS");
            if (literal != fast)
                return 1;
            if (slow > 10.0)
                break;
        }
    }
    // Directives with no quotes of their own all look for the same far quote.
    std::printf("directives without quotes, one quoted name at the end\n");
    double lines1 = 0;
    for (int lines : {1 << 16, 1 << 20}) {
        MemoryFiles files;
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += "#include\n";
        files.files["root"] = text + "\"missing\"";
        std::string out;
        const double t = FastSeconds(files, LeadBytes(), 3, out);
        if (lines1 == 0)
            lines1 = t;
        std::printf("  %7d lines: %8.2f ms\n", lines, t * 1e3);
        if (lines > 1 << 16)
            std::printf("  t(16x lines)/t(1x) = %.2f\n", t / lines1);
    }
    return 0;
}
