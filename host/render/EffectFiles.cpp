// quorvel-effect-files: the effect file and every file it includes, one full
// path a line, found as Quorvel.dll finds them: by the product's own source
// loader, a quoted name beside the including file or a file that includes it,
// then in the search folders given (the install folder, the DLL's folder).
// A native program, so that the build (the installer's staging) and the
// Linux wrapper's --watch need no Wine.
//
// Usage: quorvel-effect-files [--folder DIR]... EFFECT
// Exit 0; 1 when a directive names no file (each on stderr, the list still
// printed); 2 for bad arguments; 3 when the effect cannot be read.

#include "effect/SourceText.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using quorvel::FoundFile;
using quorvel::ReadResult;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

// Effects are written for Windows: either separator.
std::string UnixName(std::string name) {
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return name;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

class UnixFiles final : public quorvel::SourceFiles {
  public:
    explicit UnixFiles(std::vector<std::string> folders) : m_folders(std::move(folders)) {}

    bool Find(const std::string& name, FoundFile& file) override {
        const std::string unix = UnixName(name);
        if (unix.empty())
            return false;
        if (unix[0] == '/')
            return Exists(unix, file);
        for (const std::string& folder : m_folders)
            if (Exists(folder + "/" + unix, file))
                return true;
        return false;
    }

    bool FindBeside(const FoundFile& includer, const std::string& name, FoundFile& file) override {
        const std::string unix = UnixName(name);
        return !unix.empty() && unix[0] != '/' &&
               Exists(FolderOf(Narrow(includer.path)) + "/" + unix, file);
    }

    ReadResult Read(const FoundFile& file, std::string& bytes, std::uint32_t& error) override {
        struct stat info = {};
        const std::string path = Narrow(file.path);
        if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            return ReadResult::CannotOpen;
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return ReadResult::CannotOpen;
        std::ostringstream content;
        content << in.rdbuf();
        if (in.bad()) {
            error = 30; // ERROR_READ_FAULT
            return ReadResult::Failed;
        }
        bytes = content.str();
        return ReadResult::Read;
    }

  private:
    static bool Exists(const std::string& path, FoundFile& file) {
        char full[PATH_MAX];
        if (!realpath(path.c_str(), full))
            return false;
        file.path = Wide(full);
        file.identity = file.path;
        return true;
    }

    std::vector<std::string> m_folders;
};

int Usage(const char* message) {
    std::fprintf(stderr,
                 "quorvel-effect-files: %s\nusage: quorvel-effect-files [--folder DIR]... EFFECT\n",
                 message);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> folders;
    std::string effect;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--folder") {
            if (++i == argc)
                return Usage("--folder needs a value");
            folders.push_back(argv[i]);
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(("unknown argument " + arg).c_str());
        } else if (effect.empty()) {
            effect = arg;
        } else {
            return Usage("one effect file at a time");
        }
    }
    if (effect.empty())
        return Usage("no effect file named");

    // The effect itself is named as on the command line, not searched for.
    char full[PATH_MAX];
    if (!realpath(effect.c_str(), full)) {
        std::fprintf(stderr, "quorvel-effect-files: effect file not found: %s\n", effect.c_str());
        return 3;
    }
    UnixFiles files(folders);
    quorvel::SourceList list;
    const quorvel::LoadOutcome outcome =
        quorvel::ListSource(full, files, quorvel::LeadBytes(), quorvel::SourceLimits{}, list);
    if (outcome.status != quorvel::LoadStatus::Loaded || list.files.empty()) {
        std::fprintf(stderr, "quorvel-effect-files: cannot read %s\n", full);
        return 3;
    }
    std::vector<std::wstring> printed;
    for (const FoundFile& file : list.files) {
        bool seen = false;
        for (const std::wstring& identity : printed)
            seen = seen || identity == file.identity;
        if (!seen) {
            printed.push_back(file.identity);
            std::printf("%s\n", Narrow(file.path).c_str());
        }
    }
    for (const quorvel::MissingInclude& missing : list.missing)
        std::fprintf(stderr, "quorvel-effect-files: %s includes \"%s\", which no file answers\n",
                     Narrow(missing.includer).c_str(), missing.name.c_str());
    return std::fflush(stdout) == 0 && list.missing.empty() ? 0 : 1;
}
