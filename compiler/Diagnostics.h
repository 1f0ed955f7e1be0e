#pragma once

// A compile error at a place in the author's source. The compiler stops at
// the first one; the command prints it as file(line,col): error text.

#include <stdexcept>
#include <string>

namespace qc {

struct CompileError : std::runtime_error {
    CompileError(int line, int column, const std::string& text)
        : std::runtime_error(text), line(line), column(column) {}
    int line;   // 1-based; 0 when the error has no place
    int column; // 1-based
};

} // namespace qc
