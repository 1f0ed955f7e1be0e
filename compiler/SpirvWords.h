#pragma once

// Walking a SPIR-V module's words, for every part of the compiler that reads
// or marks a module: its instructions in order, and its literal strings.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qc {

// Calls f(opcode, index of the instruction's first word, word count) for each
// instruction after the header; stops at a malformed one.
template <class F> void ForEachInstruction(const std::vector<uint32_t>& words, F f) {
    for (size_t i = 5; i < words.size();) {
        const uint32_t count = words[i] >> 16;
        if (count == 0 || i + count > words.size())
            break;
        f(words[i] & 0xFFFF, i, count);
        i += count;
    }
}

// The literal string in words [at, end): its bytes in order, to the first
// zero.
inline std::string LiteralString(const std::vector<uint32_t>& words, size_t at,
                                 size_t end = static_cast<size_t>(-1)) {
    std::string text;
    for (size_t k = at; k < std::min(end, words.size()); ++k)
        for (int b = 0; b < 4; ++b) {
            const char c = static_cast<char>((words[k] >> (8 * b)) & 0xFF);
            if (c == 0)
                return text;
            text += c;
        }
    return text;
}

} // namespace qc
