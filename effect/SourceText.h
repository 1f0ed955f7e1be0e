#pragma once

// Effect source text processing: line comments, then block comments, then
// "#include" directives that start a line, expanded recursively. Platform
// free: the file access and the code page's lead-byte test are handed in.
//
// Every search is for an exact byte sequence, starts only on a character
// boundary of the multibyte code page and stops at the first zero byte. Each
// stage is one forward pass; the include scan goes on at the first byte of
// every inserted text, as a rescan of the spliced text would.

#include "effect/HostContract.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// The lead bytes of a multibyte code page, tabled once. No Windows code page
// has a lead byte below 0x80, so ASCII bytes are always single characters.
class LeadBytes {
  public:
    LeadBytes() = default; // a single-byte code page
    template <typename Test> explicit LeadBytes(Test isLead) {
        for (unsigned b = 0x80; b < 0x100; ++b) {
            m_lead[b] = isLead(static_cast<unsigned char>(b));
            m_any = m_any || m_lead[b];
        }
    }
    bool operator()(unsigned char b) const { return m_lead[b]; }
    // False for a single-byte code page, where every byte is a character.
    bool any() const { return m_any; }

  private:
    std::array<bool, 256> m_lead{};
    bool m_any = false;
};

enum class ReadResult {
    Read,       // `bytes` holds the whole file
    CannotOpen, // a folder, access denied, locked: loads as an empty text
    Failed,     // the read failed or delivered fewer bytes than the size
    TooLarge,   // 2 GiB or more
};

struct FoundFile {
    std::wstring path;
    // Equal for two names of the same file; the include cycle test compares it.
    std::wstring identity;
};

class SourceFiles {
  public:
    virtual ~SourceFiles() = default;
    // Resolves a name as the effect or a directive gives it; false when no
    // file is found.
    virtual bool Find(const std::string& name, FoundFile& file) = 0;
    // Resolves a directive's name in the folder of `includer`; false when
    // it is not there or the source has no folders. A directive's name is
    // looked for beside the including file, then beside each file that
    // includes that one out to the effect, as the effect compiler looks for
    // a quoted name, and only then by Find.
    virtual bool FindBeside(const FoundFile& includer, const std::string& name, FoundFile& file) {
        (void)includer;
        (void)name;
        (void)file;
        return false;
    }
    // `error` is a system error code for Failed.
    virtual ReadResult Read(const FoundFile& file, std::string& bytes, std::uint32_t& error) = 0;
};

// Bounds on one load: include nesting (the effect file is depth 1), files read,
// and the size the expanded text may reach.
struct SourceLimits {
    std::size_t maxDepth = kMaxIncludeDepth;
    std::size_t maxLoads = 65536;
    std::size_t maxTextSize = std::size_t{1} << 30;
};

enum class LoadStatus {
    Loaded,      // S_OK
    NotFound,    // E_FAIL
    ReadFailed,  // the system error in `error`
    TooLarge,    // the file is 2 GiB or more
    OutOfMemory, // memory, or a bound of SourceLimits other than the depth, ran out
};

struct LoadOutcome {
    LoadStatus status = LoadStatus::Loaded;
    std::uint32_t error = 0;
};

// Loads `name` into `text` (passed in empty): comments stripped, includes
// expanded. A nested load that fails, is refused (a file already on the
// directive's include chain, or the depth bound) or names no quoted file
// leaves its directive in place, and the scan goes on at the next line.
LoadOutcome LoadSource(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                       const SourceLimits& limits, std::string& text);

// What one load read: every file, the effect first, in the order read, and
// the directives whose name no file answered.
struct MissingInclude {
    std::wstring includer; // the path of the file holding the directive
    std::string name;
};
struct SourceList {
    std::vector<FoundFile> files;
    std::vector<MissingInclude> missing;
};

// LoadSource, keeping what it read in `list` (passed in empty).
LoadOutcome ListSource(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                       const SourceLimits& limits, SourceList& list);

// The comment stages on their own.
std::string StripLineComments(const std::string& text, const LeadBytes& lead);
std::string StripBlockComments(const std::string& text, const LeadBytes& lead);

} // namespace quorvel
