#include "tests/effect/LiteralSource.h"

#include <new>
#include <vector>

namespace literal_source {

namespace {

constexpr std::size_t npos = std::string::npos;

// The first match at or after `from`, on a character boundary counted from
// `from`, before the first zero byte.
std::size_t Find(const std::string& text, const std::string& needle, std::size_t from,
                 const LeadBytes& lead) {
    std::size_t zero = text.find('\0', from);
    if (zero == npos)
        zero = text.size();
    for (std::size_t pos = from; pos < zero;) {
        if (text.compare(pos, needle.size(), needle) == 0)
            return pos;
        pos += lead(static_cast<unsigned char>(text[pos])) ? 2 : 1;
    }
    return npos;
}

struct Chain {
    std::size_t parent;
    std::size_t depth;
    std::wstring identity;
};

struct LimitReached {};

struct Context {
    SourceFiles& files;
    const LeadBytes& lead;
    const Limits& limits;
    std::vector<Chain> chains;
    std::size_t loads = 0;
};

// `origin` holds, for every byte, the include chain it came through.
LoadOutcome Load(const std::string& name, std::size_t parent, Context& context, std::string& text,
                 std::vector<std::size_t>& origin) {
    text.clear();
    origin.clear();
    FoundFile file;
    if (!context.files.Find(name, file))
        return {LoadStatus::NotFound, 0};
    if (parent != npos) {
        if (context.chains[parent].depth >= context.limits.maxDepth)
            return {LoadStatus::NotFound, 0};
        for (std::size_t c = parent; c != npos; c = context.chains[c].parent)
            if (context.chains[c].identity == file.identity)
                return {LoadStatus::NotFound, 0};
    }
    if (++context.loads > context.limits.maxLoads)
        throw LimitReached{};
    std::string bytes;
    std::uint32_t error = 0;
    switch (context.files.Read(file, bytes, error)) {
    case ReadResult::Read:
        break;
    case ReadResult::CannotOpen:
        return {LoadStatus::Loaded, 0};
    case ReadResult::Failed:
        return {LoadStatus::ReadFailed, error};
    case ReadResult::TooLarge:
        return {LoadStatus::TooLarge, 0};
    }
    const std::size_t depth = parent == npos ? 1 : context.chains[parent].depth + 1;
    context.chains.push_back({parent, depth, file.identity});
    const std::size_t chain = context.chains.size() - 1;

    text = literal_source::StripBlockComments(
        literal_source::StripLineComments(bytes, context.lead), context.lead);
    origin.assign(text.size(), chain);

    const LeadBytes& lead = context.lead;
    std::size_t p = 0;
    for (;;) {
        const std::size_t d = Find(text, "#include", p, lead);
        if (d == npos)
            break;
        if (!(d == 0 || text[d - 1] == '\n' || text[d - 1] == '\r')) {
            const std::size_t e = Find(text, "\n", d, lead);
            if (e == npos)
                break;
            p = e;
            continue;
        }
        const std::size_t open = Find(text, "\"", d, lead);
        const std::size_t close = open == npos ? npos : Find(text, "\"", open + 1, lead);
        bool loaded = false;
        std::string included;
        std::vector<std::size_t> includedOrigin;
        if (close != npos)
            loaded = Load(text.substr(open + 1, close - open - 1), origin[d], context, included,
                          includedOrigin)
                         .status == LoadStatus::Loaded;
        const std::size_t e = Find(text, "\n", d, lead);
        if (loaded) {
            const std::string rest = e == npos ? std::string() : text.substr(e);
            const std::vector<std::size_t> restOrigin =
                e == npos ? std::vector<std::size_t>()
                          : std::vector<std::size_t>(origin.begin() + e, origin.end());
            if (d + included.size() + rest.size() > context.limits.maxTextSize)
                throw LimitReached{};
            text = text.substr(0, d) + included + rest;
            origin.resize(d);
            origin.insert(origin.end(), includedOrigin.begin(), includedOrigin.end());
            origin.insert(origin.end(), restOrigin.begin(), restOrigin.end());
            continue; // p stays at the first byte of the inserted text
        }
        if (e == npos)
            break;
        p = e;
    }
    return {LoadStatus::Loaded, 0};
}

} // namespace

std::string StripLineComments(std::string text, const LeadBytes& lead) {
    std::size_t a;
    while ((a = Find(text, "//", 0, lead)) != npos) {
        const std::size_t b = Find(text, "\n", a, lead);
        text = text.substr(0, a) + (b == npos ? std::string() : text.substr(b));
    }
    return text;
}

std::string StripBlockComments(std::string text, const LeadBytes& lead) {
    std::size_t a;
    while ((a = Find(text, "/*", 0, lead)) != npos) {
        const std::size_t b = Find(text, "*/", a + 2, lead);
        text = text.substr(0, a) + (b == npos ? std::string() : text.substr(b + 2));
    }
    return text;
}

LoadOutcome LoadSource(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                       const Limits& limits, std::string& text) {
    text.clear();
    try {
        Context context{files, lead, limits, {}, 0};
        std::vector<std::size_t> origin;
        return Load(name, npos, context, text, origin);
    } catch (const LimitReached&) {
    } catch (const std::bad_alloc&) {
    }
    text.clear();
    return {LoadStatus::OutOfMemory, 0};
}

} // namespace literal_source
