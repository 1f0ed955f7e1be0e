#pragma once

// An in-memory set of source files and a generator of awkward effect sources,
// shared by the tests, the fuzz target and the benchmark.

#include "effect/SourceText.h"

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>

namespace source_testing {

class MemoryFiles final : public quorvel::SourceFiles {
  public:
    std::map<std::string, std::string> files;
    std::set<std::string> folders; // found, but cannot be opened
    std::set<std::string> broken;  // found, but the read fails
    std::size_t reads = 0;
    std::size_t failRead = 0; // this read (counted from 1) fails; 0 for none

    bool Find(const std::string& name, quorvel::FoundFile& file) override {
        if (!files.count(name) && !folders.count(name) && !broken.count(name))
            return false;
        file.path.assign(name.begin(), name.end());
        file.identity = file.path;
        return true;
    }
    quorvel::ReadResult Read(const quorvel::FoundFile& file, std::string& bytes,
                             std::uint32_t& error) override {
        ++reads;
        const std::string name(file.path.begin(), file.path.end());
        if (folders.count(name))
            return quorvel::ReadResult::CannotOpen;
        if (broken.count(name) || reads == failRead) {
            error = 5;
            return quorvel::ReadResult::Failed;
        }
        bytes = files.at(name);
        return quorvel::ReadResult::Read;
    }
};

// Lead bytes of code page 932, tabled without the platform.
inline quorvel::LeadBytes ShiftJisLeadBytes() {
    return quorvel::LeadBytes(
        [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); });
}

// Random mixes of the byte sequences that the stages look for, with names of
// files that exist, nest, include themselves, are missing, are folders or
// cannot be read.
class SourceGenerator {
  public:
    explicit SourceGenerator(std::uint32_t seed) : m_random(seed) {}

    std::string Text(std::size_t pieces) {
        static const char* const kPieces[] = {"//",
                                              "/*",
                                              "*/",
                                              "/*/",
                                              "/**/",
                                              "/",
                                              "*",
                                              "\n",
                                              "\r\n",
                                              "\r",
                                              "\"",
                                              " ",
                                              "\t",
                                              "x",
                                              "float4 c;",
                                              "#include",
                                              "#include",
                                              "#include \"",
                                              "#inc",
                                              "\0",
                                              "\x81",
                                              "\x82/",
                                              "\x81\n",
                                              "\x83*",
                                              "\x81\"",
                                              "\xE0#",
                                              "\x9F",
                                              "http://example",
                                              "\"a\"",
                                              "\"b\"",
                                              "\"c\"",
                                              "\"missing\"",
                                              "\"dir\"",
                                              "\"bad\"",
                                              "\"\"",
                                              "\"root\"",
                                              "\n#include \"a\"\n",
                                              "\n#include \"b\"\n",
                                              "\n#include \"c\" tail\n",
                                              "\r\n#include \"a\"",
                                              "#include \"self\"\n"};
        constexpr std::size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
        std::string text;
        for (std::size_t i = 0; i < pieces; ++i) {
            const char* piece = kPieces[m_random() % kCount];
            if (piece[0] == '\0')
                text.push_back('\0');
            else
                text += piece;
        }
        return text;
    }

    // A root file and its includes; "self" includes itself, "a" and "b"
    // include each other at random.
    MemoryFiles Files(std::size_t pieces) {
        MemoryFiles files;
        for (const char* name : {"root", "a", "b", "c"})
            files.files[name] = Text(1 + m_random() % pieces);
        files.files["self"] = Text(m_random() % 4) + "\n#include \"self\"\n" + Text(m_random() % 4);
        files.folders.insert("dir");
        files.folders.insert("");
        files.broken.insert("bad");
        return files;
    }

    std::mt19937& random() { return m_random; }

  private:
    std::mt19937 m_random;
};

} // namespace source_testing
