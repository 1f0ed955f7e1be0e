#include "effect/SourceText.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace quorvel::source {

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
    std::size_t i = from;
    while (i < end && text[i] != c)
        i = NextChar(text, i, lead);
    return std::min(i, end);
}

// First "*/" on a boundary at or after `from`, before `end`; `end` when none.
std::size_t FindBlockEnd(const std::string& text, std::size_t from, std::size_t end,
                         const LeadBytes& lead) {
    std::size_t i = from;
    while (i < end && !(text[i] == '*' && i + 1 < end && text[i + 1] == '/'))
        i = NextChar(text, i, lead);
    return std::min(i, end);
}

// Thrown to abandon a load that reached a bound of Limits.
struct LimitReached {};

// Include chains: the files that a byte of the text came through, innermost
// last. A directive is judged by the chain of its own first byte, so one that
// was refused inside an included file stays refused when the outer scan
// meets it again.
struct Chain {
    std::uint32_t parent;
    std::size_t depth;
    std::wstring identity;
};
constexpr std::uint32_t kNoChain = UINT32_MAX;

using Provenance = std::vector<std::uint32_t>;

class Loader {
  public:
    Loader(SourceFiles& files, const LeadBytes& lead, const Limits& limits)
        : m_files(files), m_lead(lead), m_limits(limits) {}

    // A refused load reports NotFound: it is handled like a missing file.
    LoadOutcome Load(const std::string& name, std::uint32_t parent, std::string& text,
                     Provenance& provenance);

  private:
    bool Refused(std::uint32_t parent, const std::wstring& identity) const;
    void Expand(std::string& text, Provenance& provenance);

    SourceFiles& m_files;
    const LeadBytes& m_lead;
    const Limits& m_limits;
    std::vector<Chain> m_chains;
    std::size_t m_loads = 0;
};

bool Loader::Refused(std::uint32_t parent, const std::wstring& identity) const {
    if (parent == kNoChain)
        return false;
    if (m_chains[parent].depth >= m_limits.maxDepth)
        return true;
    for (std::uint32_t c = parent; c != kNoChain; c = m_chains[c].parent)
        if (m_chains[c].identity == identity)
            return true;
    return false;
}

LoadOutcome Loader::Load(const std::string& name, std::uint32_t parent, std::string& text,
                         Provenance& provenance) {
    text.clear();
    provenance.clear();
    FoundFile file;
    if (!m_files.Find(name, file) || Refused(parent, file.identity))
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
    m_chains.push_back({parent, depth, std::move(file.identity)});
    const auto chain = static_cast<std::uint32_t>(m_chains.size() - 1);

    text = StripBlockComments(StripLineComments(bytes, m_lead), m_lead);
    provenance.assign(text.size(), chain);
    Expand(text, provenance);
    return {LoadStatus::Loaded, 0};
}

// The text is kept as a finished part, never searched again, and a pending
// part held reversed, so that taking bytes off its front and putting an
// included text in front of it cost only the bytes moved. The scan position
// is always the front of the pending part.
void Loader::Expand(std::string& text, Provenance& provenance) {
    if (text.find(kDirective) == std::string::npos)
        return;

    std::string done;
    Provenance doneProvenance;
    done.reserve(text.size());
    doneProvenance.reserve(text.size());
    std::string pending(text.rbegin(), text.rend());
    Provenance pendingProvenance(provenance.rbegin(), provenance.rend());

    // Byte k places ahead of the scan position.
    const auto ahead = [&](std::size_t k) { return pending[pending.size() - 1 - k]; };
    // Next boundary after k ahead, or npos at a zero byte or the end.
    const auto step = [&](std::size_t k) -> std::size_t {
        const auto b = static_cast<unsigned char>(ahead(k));
        const std::size_t next = k + (m_lead(b) ? 2 : 1);
        if (next > pending.size() || (next == k + 2 && ahead(k + 1) == '\0'))
            return std::string::npos;
        return next < pending.size() && ahead(next) != '\0' ? next : std::string::npos;
    };
    const auto findAhead = [&](std::size_t from, char c) -> std::size_t {
        std::size_t k = from;
        if (k >= pending.size() || ahead(k) == '\0')
            return std::string::npos;
        while (k != std::string::npos && ahead(k) != c)
            k = step(k);
        return k;
    };
    const auto take = [&](std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            done.push_back(pending.back());
            pending.pop_back();
            doneProvenance.push_back(pendingProvenance.back());
            pendingProvenance.pop_back();
        }
    };
    const auto directiveAhead = [&] {
        if (pending.size() < kDirectiveLength)
            return false;
        for (std::size_t i = 0; i < kDirectiveLength; ++i)
            if (ahead(i) != kDirective[i])
                return false;
        return true;
    };

    std::string name;
    std::string included;
    Provenance includedProvenance;
    for (;;) {
        // Pass everything before the next directive to the finished part.
        bool found = false;
        while (!pending.empty() && ahead(0) != '\0') {
            if (directiveAhead()) {
                found = true;
                break;
            }
            const std::size_t next = step(0);
            if (next == std::string::npos)
                break;
            take(next);
        }
        if (!found)
            break;

        const bool lineStart = done.empty() || done.back() == '\n' || done.back() == '\r';
        bool expanded = false;
        if (lineStart) {
            const std::size_t open = findAhead(0, '"');
            const std::size_t close =
                open == std::string::npos ? std::string::npos : findAhead(open + 1, '"');
            if (close != std::string::npos) {
                name.clear();
                for (std::size_t k = open + 1; k < close; ++k)
                    name.push_back(ahead(k));
                const LoadOutcome outcome =
                    Load(name, pendingProvenance.back(), included, includedProvenance);
                if (outcome.status == LoadStatus::Loaded) {
                    // The directive's line goes up to its "\n", which stays.
                    const std::size_t lineEnd = findAhead(0, '\n');
                    const std::size_t drop =
                        lineEnd == std::string::npos ? pending.size() : lineEnd;
                    pending.resize(pending.size() - drop);
                    pendingProvenance.resize(pendingProvenance.size() - drop);
                    if (done.size() + pending.size() + included.size() > m_limits.maxTextSize)
                        throw LimitReached{};
                    pending.append(included.rbegin(), included.rend());
                    pendingProvenance.insert(pendingProvenance.end(), includedProvenance.rbegin(),
                                             includedProvenance.rend());
                    expanded = true;
                }
            }
        }
        if (!expanded) {
            // Left in place; the scan goes on at the next line.
            const std::size_t lineEnd = findAhead(0, '\n');
            if (lineEnd == std::string::npos)
                break;
            take(lineEnd);
        }
    }

    done.append(pending.rbegin(), pending.rend());
    doneProvenance.insert(doneProvenance.end(), pendingProvenance.rbegin(),
                          pendingProvenance.rend());
    text.swap(done);
    provenance.swap(doneProvenance);
}

} // namespace

std::string StripLineComments(const std::string& text, const LeadBytes& lead) {
    const std::size_t end = FirstZero(text);
    std::string out;
    out.reserve(text.size());
    std::size_t keep = 0; // start of the bytes not yet copied
    std::size_t i = 0;
    while (i < end) {
        if (text[i] == '/' && i + 1 < end && text[i + 1] == '/') {
            out.append(text, keep, i - keep);
            const std::size_t lineEnd = FindChar(text, i, end, '\n', lead);
            // A comment without a line break ends the text.
            if (lineEnd == end)
                return out;
            i = keep = lineEnd;
            continue;
        }
        i = NextChar(text, i, lead);
    }
    out.append(text, keep, std::string::npos);
    return out;
}

std::string StripBlockComments(const std::string& text, const LeadBytes& lead) {
    const std::size_t end = FirstZero(text);
    std::string out;
    out.reserve(text.size());
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
            const std::size_t close = FindBlockEnd(text, contentStart, end, lead);
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
                       const Limits& limits, std::string& text) {
    text.clear();
    try {
        Loader loader(files, lead, limits);
        Provenance provenance;
        return loader.Load(name, kNoChain, text, provenance);
    } catch (const LimitReached&) {
    } catch (const std::bad_alloc&) {
    }
    text.clear();
    return {LoadStatus::OutOfMemory, 0};
}

} // namespace quorvel::source
