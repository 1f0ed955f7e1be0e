// Comment stripping and include expansion over an in-memory set of files: the
// one-pass version must match the literal loops byte for byte.
//
// Input: one byte of settings (bit 0: code page 932 lead bytes; bits 1-3: the
// depth bound), then the files "root", "a", "b", "c" and "self", separated by
// 0x01 bytes. "dir" cannot be opened, "bad" cannot be read.

#include "effect/SourceText.h"
#include "tests/effect/LiteralSource.h"
#include "tests/effect/MemoryFiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t settings = data[0];
    source_testing::MemoryFiles files;
    files.folders.insert("dir");
    files.folders.insert("");
    files.broken.insert("bad");
    static const char* const kNames[] = {"root", "a", "b", "c", "self"};
    std::size_t file = 0;
    std::string current;
    for (std::size_t i = 1; i <= size; ++i) {
        if (i == size || (data[i] == 0x01 && file + 1 < 5)) {
            files.files[kNames[file++]] = current;
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }

    const auto lead = (settings & 1) ? source_testing::ShiftJisLeadBytes() : quorvel::LeadBytes();
    quorvel::SourceLimits limits;
    limits.maxDepth = 1 + ((settings >> 1) & 7);
    limits.maxLoads = 200;
    limits.maxTextSize = 1 << 20;

    const std::string& root = files.files["root"];
    if (quorvel::StripLineComments(root, lead) != literal_source::StripLineComments(root, lead) ||
        quorvel::StripBlockComments(root, lead) != literal_source::StripBlockComments(root, lead)) {
        std::fprintf(stderr, "comment stages differ\n");
        std::abort();
    }

    source_testing::MemoryFiles literalFiles = files;
    std::string fast;
    std::string literal;
    const auto fastOutcome = quorvel::LoadSource("root", files, lead, limits, fast);
    const auto literalOutcome =
        literal_source::LoadSource("root", literalFiles, lead, limits, literal);
    if (fastOutcome.status != literalOutcome.status || fast != literal ||
        files.reads != literalFiles.reads) {
        std::fprintf(stderr, "loads differ: status %d/%d, %zu/%zu bytes\n",
                     static_cast<int>(fastOutcome.status), static_cast<int>(literalOutcome.status),
                     fast.size(), literal.size());
        std::abort();
    }
    return 0;
}
