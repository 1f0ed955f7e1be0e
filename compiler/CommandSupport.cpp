#include "compiler/CommandSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <regex>

#include <unistd.h>

namespace qc {

int Fail(const std::string& message) {
    std::cerr << "quorvel-fxc: " << message << "\n";
    return 1;
}

bool WriteWhole(const std::string& path, const std::string& text, std::string& error) {
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            error = "cannot write '" + path + "'";
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

int ColumnOfQuotedName(const std::string& message, const std::string& line) {
    static const std::regex quoted(R"('([^']+)')");
    std::smatch q;
    if (!std::regex_search(message, q, quoted))
        return 1;
    const size_t at = line.find(q[1].str());
    return at == std::string::npos ? 1 : static_cast<int>(at) + 1;
}

} // namespace qc
