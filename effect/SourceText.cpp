#include "effect/SourceText.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace quorvel {

namespace {

constexpr char kDirective[] = "#include";
constexpr std::size_t kDirectiveLength = sizeof(kDirective) - 1;

// Where searches of the text stop.
std::size_t FirstZero(const std::string& text) {
    const void* zero = std::memchr(text.data(), 0, text.size());
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text.data())
                : text.size();
}

std::size_t NextChar(const std::string& text, std::size_t i, const LeadBytes& lead) {
    return i + (lead(static_cast<unsigned char>(text[i])) ? 2 : 1);
}

// First character boundary at or after `from`, before `end`, holding `c`;
// `end` when there is none.
std::size_t FindChar(const std::string& text, std::size_t from, std::size_t end, char c,
                     const LeadBytes& lead) {
    if (from >= end)
        return end;
    if (!lead.any()) {
        const void* found = std::memchr(text.data() + from, c, end - from);
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                     : end;
    }
    std::size_t i = from;
    while (i < end && text[i] != c)
        i = NextChar(text, i, lead);
    return std::min(i, end);
}

// First boundary at or after `from` where `first` and then `second` stand,
// both before `end`; `end` when there is none.
std::size_t FindPair(const std::string& text, std::size_t from, std::size_t end, char first,
                     char second, const LeadBytes& lead) {
    if (!lead.any()) {
        for (std::size_t i = FindChar(text, from, end, first, lead); i < end;
             i = FindChar(text, i + 1, end, first, lead))
            if (i + 1 < end && text[i + 1] == second)
                return i;
        return end;
    }
    std::size_t i = from;
    while (i < end && !(text[i] == first && i + 1 < end && text[i + 1] == second))
        i = NextChar(text, i, lead);
    return std::min(i, end);
}

// Thrown to abandon a load that reached a bound of SourceLimits.
struct LimitReached {};

// Include chains: the files that a byte of the text came through, innermost
// last. A directive is judged by the chain of its own first byte, so one that
// was refused inside an included file stays refused when the outer scan
// meets it again.
struct Chain {
    std::uint32_t parent;
    std::size_t depth;
    FoundFile file;
};
constexpr std::uint32_t kNoChain = UINT32_MAX;

// Runs of bytes of one chain, in text order.
struct Run {
    std::uint32_t chain;
    std::size_t length;
};
using Provenance = std::vector<Run>;

void AppendRun(Provenance& runs, std::uint32_t chain, std::size_t length) {
    if (length == 0)
        return;
    if (!runs.empty() && runs.back().chain == chain)
        runs.back().length += length;
    else
        runs.push_back({chain, length});
}

class Loader {
  public:
    Loader(SourceFiles& files, const LeadBytes& lead, const SourceLimits& limits,
           SourceList* list = nullptr)
        : m_files(files), m_lead(lead), m_limits(limits), m_list(list) {}

    // A refused load reports NotFound: it is handled like a missing file.
    LoadOutcome Load(const std::string& name, std::uint32_t parent, std::string& text,
                     Provenance& provenance);

  private:
    bool Refused(std::uint32_t parent, const std::wstring& identity) const;
    // Expands the directives of a file's own stripped text, all of `chain`.
    void Expand(std::string& text, std::uint32_t chain, Provenance& provenance);

    bool Find(const std::string& name, std::uint32_t parent, FoundFile& file);

    SourceFiles& m_files;
    const LeadBytes& m_lead;
    const SourceLimits& m_limits;
    SourceList* m_list;
    std::vector<Chain> m_chains;

    std::size_t m_loads = 0;
};

bool Loader::Refused(std::uint32_t parent, const std::wstring& identity) const {
    if (parent == kNoChain)
        return false;
    if (m_chains[parent].depth >= m_limits.maxDepth)
        return true;
    for (std::uint32_t c = parent; c != kNoChain; c = m_chains[c].parent)
        if (m_chains[c].file.identity == identity)
            return true;
    return false;
}

bool Loader::Find(const std::string& name, std::uint32_t parent, FoundFile& file) {
    if (parent == kNoChain)
        return m_files.Find(name, file);
    for (std::uint32_t c = parent; c != kNoChain; c = m_chains[c].parent)
        if (m_files.FindBeside(m_chains[c].file, name, file))
            return true;
    if (m_files.Find(name, file))
        return true;
    // The outer scan meets an included file's failed directive again.
    if (m_list) {
        const MissingInclude missing = {m_chains[parent].file.path, name};
        if (std::none_of(m_list->missing.begin(), m_list->missing.end(),
                         [&](const MissingInclude& m) {
                             return m.includer == missing.includer && m.name == missing.name;
                         }))
            m_list->missing.push_back(missing);
    }
    return false;
}

LoadOutcome Loader::Load(const std::string& name, std::uint32_t parent, std::string& text,
                         Provenance& provenance) {
    text.clear();
    provenance.clear();
    FoundFile file;
    if (!Find(name, parent, file) || Refused(parent, file.identity))
        return {LoadStatus::NotFound, 0};
    if (++m_loads > m_limits.maxLoads)
        throw LimitReached{};

    std::string bytes;
    std::uint32_t error = 0;
    switch (m_files.Read(file, bytes, error)) {
    case ReadResult::Read:
        break;
    case ReadResult::CannotOpen:
        return {LoadStatus::Loaded, 0};
    case ReadResult::Failed:
        return {LoadStatus::ReadFailed, error};
    case ReadResult::TooLarge:
        return {LoadStatus::TooLarge, 0};
    }

    const std::size_t depth = parent == kNoChain ? 1 : m_chains[parent].depth + 1;
    if (m_list)
        m_list->files.push_back(file);
    m_chains.push_back({parent, depth, std::move(file)});
    const auto chain = static_cast<std::uint32_t>(m_chains.size() - 1);

    text = StripBlockComments(StripLineComments(bytes, m_lead), m_lead);
    AppendRun(provenance, chain, text.size());
    Expand(text, chain, provenance);
    return {LoadStatus::Loaded, 0};
}

// The scan keeps a finished part, never searched again, and ahead of it the
// pending bytes: inserted text not yet scanned, held reversed so that taking
// bytes off its front and putting an included text in front of it cost only
// the bytes moved, then the rest of the file's own text from `cursor` on.
void Loader::Expand(std::string& text, std::uint32_t chain, Provenance& provenance) {
    if (text.find(kDirective) == std::string::npos)
        return;

    std::string done;
    Provenance doneRuns;
    done.reserve(text.size() + text.size() / 4);
    std::string inserted;
    Provenance insertedRuns;
    std::size_t cursor = 0;
    const std::size_t textZero = FirstZero(text);

    const auto remaining = [&] { return inserted.size() + text.size() - cursor; };
    // Byte k places ahead of the scan position.
    const auto ahead = [&](std::size_t k) {
        return k < inserted.size() ? inserted[inserted.size() - 1 - k]
                                   : text[cursor + k - inserted.size()];
    };
    // Next boundary after k ahead, or npos at a zero byte or the end.
    const auto step = [&](std::size_t k) -> std::size_t {
        const auto b = static_cast<unsigned char>(ahead(k));
        const std::size_t next = k + (m_lead(b) ? 2 : 1);
        if (next >= remaining() || ahead(next) == '\0' || (next == k + 2 && ahead(k + 1) == '\0'))
            return std::string::npos;
        return next;
    };
    const auto findAhead = [&](std::size_t from, char c) -> std::size_t {
        if (from >= remaining() || ahead(from) == '\0')
            return std::string::npos;
        std::size_t k = from;
        while (k != std::string::npos && ahead(k) != c)
            k = step(k);
        return k;
    };
    // Quote searches run without regard to line ends, so directives with no
    // quotes of their own would each search to the same far quote. Until the
    // next insertion the answer for a later start up to that quote is the same.
    struct QuoteMemo {
        bool valid = false;
        std::size_t from = 0;  // in bytes of the stream since the scan began
        std::size_t found = 0; // likewise, or npos for none
    };
    QuoteMemo memos[2];
    std::size_t consumed = 0;
    const auto findQuote = [&](QuoteMemo& memo, std::size_t from) -> std::size_t {
        const std::size_t start = consumed + from;
        if (memo.valid && memo.from <= start &&
            (memo.found == std::string::npos || start <= memo.found))
            return memo.found == std::string::npos ? memo.found : memo.found - consumed;
        const std::size_t k = findAhead(from, '"');
        memo = {true, start, k == std::string::npos ? k : consumed + k};
        return k;
    };
    // Moves (or with `keep` false drops) the next `count` bytes.
    const auto take = [&](std::size_t count, bool keep) {
        consumed += count;
        std::size_t fromInserted = std::min(count, inserted.size());
        if (keep)
            done.append(inserted.rbegin(),
                        inserted.rbegin() + static_cast<std::ptrdiff_t>(fromInserted));
        inserted.resize(inserted.size() - fromInserted);
        const std::size_t fromText = count - fromInserted;
        while (fromInserted > 0) {
            Run& run = insertedRuns.back();
            const std::size_t n = std::min(fromInserted, run.length);
            if (keep)
                AppendRun(doneRuns, run.chain, n);
            run.length -= n;
            fromInserted -= n;
            if (run.length == 0)
                insertedRuns.pop_back();
        }
        if (keep) {
            done.append(text, cursor, fromText);
            AppendRun(doneRuns, chain, fromText);
        }
        cursor += fromText;
    };
    const auto directiveAt = [&](std::size_t k) {
        if (remaining() - k < kDirectiveLength)
            return false;
        for (std::size_t i = 0; i < kDirectiveLength; ++i)
            if (ahead(k + i) != kDirective[i])
                return false;
        return true;
    };
    // The next directive on a boundary, or npos at a zero byte or the end.
    const auto findDirective = [&]() -> std::size_t {
        if (remaining() == 0 || ahead(0) == '\0')
            return std::string::npos;
        std::size_t k = 0;
        if (m_lead.any()) {
            while (k != std::string::npos && !(ahead(k) == '#' && directiveAt(k)))
                k = step(k);
            return k;
        }
        // Every byte is a character: plain scans, the file's own text by memchr.
        for (; k < inserted.size(); ++k) {
            const char c = ahead(k);
            if (c == '\0')
                return std::string::npos;
            if (c == '#' && directiveAt(k))
                return k;
        }
        for (std::size_t i = cursor + (k - inserted.size()); i < textZero; ++i) {
            const void* hash = std::memchr(text.data() + i, '#', textZero - i);
            if (!hash)
                break;
            i = static_cast<std::size_t>(static_cast<const char*>(hash) - text.data());
            if (directiveAt(inserted.size() + i - cursor))
                return inserted.size() + i - cursor;
        }
        return std::string::npos;
    };

    std::string name;
    std::string included;
    Provenance includedRuns;
    for (;;) {
        // Pass everything before the next directive to the finished part.
        const std::size_t k = findDirective();
        if (k == std::string::npos)
            break;
        take(k, true);

        const bool lineStart = done.empty() || done.back() == '\n' || done.back() == '\r';
        bool expanded = false;
        if (lineStart) {
            const std::size_t open = findQuote(memos[0], 0);
            const std::size_t close =
                open == std::string::npos ? std::string::npos : findQuote(memos[1], open + 1);
            if (close != std::string::npos) {
                name.clear();
                for (std::size_t i = open + 1; i < close; ++i)
                    name.push_back(ahead(i));
                const std::uint32_t directiveChain =
                    inserted.empty() ? chain : insertedRuns.back().chain;
                const LoadOutcome outcome = Load(name, directiveChain, included, includedRuns);
                if (outcome.status == LoadStatus::Loaded) {
                    // The directive's line goes up to its "\n", which stays.
                    const std::size_t lineEnd = findAhead(0, '\n');
                    take(lineEnd == std::string::npos ? remaining() : lineEnd, false);
                    if (done.size() + remaining() + included.size() > m_limits.maxTextSize)
                        throw LimitReached{};
                    memos[0].valid = memos[1].valid = false;
                    inserted.append(included.rbegin(), included.rend());
                    insertedRuns.insert(insertedRuns.end(), includedRuns.rbegin(),
                                        includedRuns.rend());
                    expanded = true;
                }
            }
        }
        if (!expanded) {
            // Left in place; the scan goes on at the next line.
            const std::size_t lineEnd = findAhead(0, '\n');
            if (lineEnd == std::string::npos)
                break;
            take(lineEnd, true);
        }
    }

    take(remaining(), true);
    text.swap(done);
    provenance.swap(doneRuns);
}

LoadOutcome LoadInto(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                     const SourceLimits& limits, std::string& text, SourceList* list) {
    text.clear();
    try {
        Loader loader(files, lead, limits, list);
        Provenance provenance;
        return loader.Load(name, kNoChain, text, provenance);
    } catch (const LimitReached&) {
    } catch (const std::bad_alloc&) {
    }
    text.clear();
    return {LoadStatus::OutOfMemory, 0};
}

} // namespace

std::string StripLineComments(const std::string& text, const LeadBytes& lead) {
    const std::size_t end = FirstZero(text);
    std::string out;
    out.reserve(text.size());
    std::size_t keep = 0; // start of the bytes not yet copied
    for (;;) {
        const std::size_t comment = FindPair(text, keep, end, '/', '/', lead);
        if (comment == end)
            break;
        out.append(text, keep, comment - keep);
        const std::size_t lineEnd = FindChar(text, comment, end, '\n', lead);
        // A comment without a line break ends the text.
        if (lineEnd == end)
            return out;
        keep = lineEnd;
    }
    out.append(text, keep, std::string::npos);
    return out;
}

std::string StripBlockComments(const std::string& text, const LeadBytes& lead) {
    const std::size_t end = FirstZero(text);
    std::string out;
    out.reserve(text.size());
    if (!lead.any()) {
        // Every byte is a character: a '/' that ends the kept text and a '*'
        // after a removed comment open one more.
        std::size_t keep = 0;
        for (;;) {
            std::size_t contentStart;
            if (keep < end && text[keep] == '*' && !out.empty() && out.back() == '/') {
                out.pop_back();
                contentStart = keep + 1;
            } else {
                const std::size_t open = FindPair(text, keep, end, '/', '*', lead);
                if (open == end)
                    break;
                out.append(text, keep, open - keep);
                contentStart = open + 2;
            }
            const std::size_t close = FindPair(text, contentStart, end, '*', '/', lead);
            if (close == end)
                return out;
            keep = close + 2;
        }
        out.append(text, keep, std::string::npos);
        return out;
    }
    std::size_t keep = 0;
    std::size_t i = 0;
    // Single-byte '/' characters that end the text kept so far: a removed
    // comment can leave one of them just before a '*'.
    std::size_t trailingSlashes = 0;
    while (i < end) {
        const char c = text[i];
        std::size_t contentStart = std::string::npos;
        if (c == '*' && trailingSlashes > 0) {
            out.append(text, keep, i - keep);
            out.pop_back();
            --trailingSlashes;
            contentStart = i + 1;
        } else if (c == '/' && i + 1 < end && text[i + 1] == '*') {
            out.append(text, keep, i - keep);
            contentStart = i + 2;
        }
        if (contentStart != std::string::npos) {
            const std::size_t close = FindPair(text, contentStart, end, '*', '/', lead);
            // An unclosed comment ends the text.
            if (close == end)
                return out;
            i = keep = close + 2;
            continue;
        }
        if (lead(static_cast<unsigned char>(c))) {
            trailingSlashes = 0;
            i += 2;
        } else {
            trailingSlashes = c == '/' ? trailingSlashes + 1 : 0;
            i += 1;
        }
    }
    out.append(text, keep, std::string::npos);
    return out;
}

LoadOutcome LoadSource(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                       const SourceLimits& limits, std::string& text) {
    return LoadInto(name, files, lead, limits, text, nullptr);
}

LoadOutcome ListSource(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                       const SourceLimits& limits, SourceList& list) {
    list = SourceList{};
    std::string text;
    const LoadOutcome outcome = LoadInto(name, files, lead, limits, text, &list);
    if (outcome.status != LoadStatus::Loaded)
        list = SourceList{};
    return outcome;
}

} // namespace quorvel
