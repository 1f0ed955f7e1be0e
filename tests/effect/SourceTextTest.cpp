// The pure source stages: the edge cases by table, the bounds, and the
// one-pass version against the literal loops on generated sources.

#include "effect/SourceText.h"
#include "tests/effect/LiteralSource.h"
#include "tests/effect/MemoryFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using quorvel::LeadBytes;
using Limits = quorvel::SourceLimits;
using quorvel::LoadSource;
using quorvel::LoadStatus;
using source_testing::MemoryFiles;

using namespace std::string_literals;

LeadBytes CodePage932() {
    return LeadBytes([](unsigned char b) { return ::IsDBCSLeadByteEx(932, b) != FALSE; });
}

MemoryFiles MakeFiles(const std::string& root,
                      const std::vector<std::pair<std::string, std::string>>& others) {
    MemoryFiles files;
    files.files["root"] = root;
    for (const auto& [name, text] : others)
        files.files[name] = text;
    files.folders = {"dir", ""};
    files.broken = {"bad"};
    return files;
}

// Loads "root" with both versions; they must agree, and the text is returned.
std::string LoadBoth(MemoryFiles files, const LeadBytes& lead = {}, const Limits& limits = {},
                     LoadStatus expected = LoadStatus::Loaded) {
    MemoryFiles literalFiles = files;
    std::string fast;
    std::string literal;
    EXPECT_EQ(LoadSource("root", files, lead, limits, fast).status, expected);
    EXPECT_EQ(literal_source::LoadSource("root", literalFiles, lead, limits, literal).status,
              expected);
    EXPECT_EQ(fast, literal);
    EXPECT_EQ(files.reads, literalFiles.reads);
    return fast;
}

struct TextCase {
    const char* what;
    std::string root;
    std::string expected;
    bool codePage932 = false;
};

const std::vector<std::pair<std::string, std::string>> kIncludes = {
    {"a", "A"}, {"b", "B\n"}, {"sub\\c", "C"}, {"self", "S\n#include \"self\"\n"}};

class SourceTextCases : public testing::TestWithParam<TextCase> {};

TEST_P(SourceTextCases, GivesTheExpectedText) {
    const TextCase& c = GetParam();
    const LeadBytes lead = c.codePage932 ? CodePage932() : LeadBytes();
    EXPECT_EQ(LoadBoth(MakeFiles(c.root, kIncludes), lead), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Comments, SourceTextCases,
    testing::Values(
        TextCase{"line comment keeps its line break", "a // c\nb", "a \nb"},
        TextCase{"CRLF: the comment takes the \\r", "a // c\r\nb\r\n", "a \nb\r\n"},
        TextCase{"line comment at the end ends the text", "a\nb // c", "a\nb "},
        TextCase{"'//' in a string literal strips all the same", "s = \"http://x\";\nb",
                 "s = \"http:\nb"},
        TextCase{"block comment takes its line breaks", "a/* 1\n2\n*/b\nc", "ab\nc"},
        TextCase{"'*/' two bytes after '/*' closes it", "a/**/b/*/c*/d", "abd"},
        TextCase{"'/*/' does not close itself", "a/*/b", "a"},
        TextCase{"unclosed block comment ends the text", "a/* b\nc", "a"},
        TextCase{"'//' eats a block comment's '*/'", "/* a // b */\nc */d", "d"},
        TextCase{"'//' eats the only '*/'", "x/* a // b */\nc", "x"},
        TextCase{"directives in comments never expand",
                 "// #include \"a\"\n/* #include \"a\" */x\n", "\nx\n"},
        TextCase{"bytes after a zero byte are untouched", "a // c\nb\0// d /* e\n#include \"a\"\n"s,
                 "a \nb\0// d /* e\n#include \"a\"\n"s},
        TextCase{"932: '/' after a lead byte starts no comment", "\x81//x\ny", "\x81//x\ny", true},
        TextCase{"single-byte: the same bytes hold a comment", "\x81//x\ny", "\x81\ny"},
        TextCase{"932: '*/' inside a character does not close", "/* \x81*/ */x", "x", true}));

INSTANTIATE_TEST_SUITE_P(
    Includes, SourceTextCases,
    testing::Values(
        TextCase{"directive replaced, its line break kept", "x\n#include \"a\"\ny", "x\nA\ny"},
        TextCase{"rest of the directive's line goes", "#include \"a\" junk \"q\"\ny", "A\ny"},
        TextCase{"no line break after: nothing follows", "x\n#include \"a\" tail", "x\nA"},
        TextCase{"included text without a final line break", "#include \"a\"\n#include \"a\"\n",
                 "A\nA\n"},
        TextCase{"names keep their folder part", "#include \"sub\\c\"\n", "C\n"},
        TextCase{"after a space or tab the directive stays",
                 " #include \"a\"\n\t#include \"a\"\nx#include \"a\"\n",
                 " #include \"a\"\n\t#include \"a\"\nx#include \"a\"\n"},
        TextCase{"'\\r' before the directive starts a line", "x\r#include \"a\"\ny", "x\rA\ny"},
        TextCase{"a folder is replaced by nothing", "#include \"dir\"\nx", "\nx"},
        TextCase{"an empty name is replaced by nothing", "#include \"\"\nx", "\nx"},
        TextCase{"a missing file stays; the next line goes on",
                 "#include \"missing\"\n#include \"a\"\n", "#include \"missing\"\nA\n"},
        TextCase{"a failed read stays", "#include \"bad\"\nx", "#include \"bad\"\nx"},
        TextCase{"no quote after the directive: stays", "#include a\nb", "#include a\nb"},
        TextCase{"no closing quote: stays", "#include \"a\nb", "#include \"a\nb"},
        TextCase{"quotes are looked for across line ends", "#include\n\"a\"", "A\n\"a\""},
        TextCase{"the name never comes from before the directive", "\"a\"\n#include\n",
                 "\"a\"\n#include\n"},
        TextCase{"a directive after a zero byte stays", "x\0\n#include \"a\"\n"s,
                 "x\0\n#include \"a\"\n"s},
        TextCase{"a file that includes itself goes in once", "#include \"self\"\nz",
                 "S\n#include \"self\"\n\nz"},
        TextCase{"932: '#' as a trail byte is no directive", "\n\x81#include \"a\"\n",
                 "\n\x81#include \"a\"\n", true},
        TextCase{"932: a lead byte before the directive's line", "\x81\x82\n#include \"a\"\n",
                 "\x81\x82\nA\n", true}));

// After the line comments are gone no '/' can precede a "/*", but the block
// stage on its own must still find one that a removal brings together.
TEST(SourceText, BlockCommentFormedByARemoval) {
    for (const LeadBytes& lead : {LeadBytes(), CodePage932()}) {
        for (const char* text : {"//**/*y*/z", "a///**/*/**/*b*/c", "\x81//**/*y*/z"}) {
            EXPECT_EQ(quorvel::StripBlockComments(text, lead),
                      literal_source::StripBlockComments(text, lead))
                << text;
        }
        EXPECT_EQ(quorvel::StripBlockComments("//**/*y*/z", lead), "z");
    }
}

TEST(SourceText, IncludeCycleGoesRoundOnce) {
    const auto files =
        MakeFiles("#include \"a\"\n", {{"a", "A\n#include \"b\"\n"}, {"b", "B\n#include \"a\"\n"}});
    EXPECT_EQ(LoadBoth(files), "A\nB\n#include \"a\"\n\n\n");
}

// Inserted text is scanned again; a directive refused deep inside must stay
// refused out there, where its file is no longer being loaded.
TEST(SourceText, RefusedDirectiveStaysRefusedInTheOuterScan) {
    const auto files = MakeFiles("#include \"a\"\n",
                                 {{"a", "#include \"self\"\n"}, {"self", "#include \"self\"\n"}});
    EXPECT_EQ(LoadBoth(files), "#include \"self\"\n\n\n");
}

TEST(SourceText, DepthIsBounded) {
    const auto files =
        MakeFiles("#include \"a\"\n",
                  {{"a", "A\n#include \"b\"\n"}, {"b", "B\n#include \"c\"\n"}, {"c", "C"}});
    Limits limits;
    limits.maxDepth = 3;
    EXPECT_EQ(LoadBoth(files, {}, limits), "A\nB\n#include \"c\"\n\n\n");
    limits.maxDepth = 4;
    EXPECT_EQ(LoadBoth(files, {}, limits), "A\nB\nC\n\n\n");
}

// Every file includes the next one ten times: the text would grow without a bound.
TEST(SourceText, GrowthIsBounded) {
    MemoryFiles files;
    for (char level = 'a'; level < 'k'; ++level) {
        std::string text = "x\n";
        for (int i = 0; i < 10; ++i)
            text += "#include \""s + static_cast<char>(level + 1) + "\"\n";
        files.files[std::string(1, level)] = text;
    }
    files.files["k"] = "leaf";
    files.files["root"] = "#include \"a\"\n";
    Limits limits;
    limits.maxTextSize = 1 << 16;
    LoadBoth(files, {}, limits, LoadStatus::OutOfMemory);
    limits.maxTextSize = std::size_t{1} << 30;
    limits.maxLoads = 1000;
    LoadBoth(files, {}, limits, LoadStatus::OutOfMemory);
}

TEST(SourceText, TopLevelResults) {
    MemoryFiles files = MakeFiles("", {});
    std::string text = "stale";
    EXPECT_EQ(LoadSource("missing", files, {}, {}, text).status, LoadStatus::NotFound);
    EXPECT_TRUE(text.empty());
    const auto failed = LoadSource("bad", files, {}, {}, text);
    EXPECT_EQ(failed.status, LoadStatus::ReadFailed);
    EXPECT_EQ(failed.error, 5u);
    EXPECT_EQ(LoadSource("dir", files, {}, {}, text).status, LoadStatus::Loaded);
    EXPECT_TRUE(text.empty());
}

// Fail the Nth read for every N: a failed nested read leaves its directive,
// a failed first read fails the load, and both versions agree throughout.
TEST(SourceText, EveryReadCanFail) {
    const auto files =
        MakeFiles("r\n#include \"a\"\n#include \"b\"\n#include \"self\"\n",
                  {{"a", "A\n#include \"b\"\n"}, {"b", "B"}, {"self", "S\n#include \"self\"\n"}});
    const std::string whole = LoadBoth(files);
    std::size_t reads = 0;
    {
        MemoryFiles counting = files;
        std::string text;
        LoadSource("root", counting, {}, {}, text);
        reads = counting.reads;
    }
    ASSERT_EQ(reads, 5u);
    // Reads: root, a, b inside a, b, self. The outer scan meets a's failed
    // directive again and retries it.
    const char* const expected[] = {
        "",
        "r\n#include \"a\"\nB\nS\n#include \"self\"\n\n",
        "r\nA\nB\n\nB\nS\n#include \"self\"\n\n",
        "r\nA\nB\n\n#include \"b\"\nS\n#include \"self\"\n\n",
        "r\nA\nB\n\nB\n#include \"self\"\n",
    };
    for (std::size_t n = 1; n <= reads; ++n) {
        MemoryFiles failing = files;
        failing.failRead = n;
        EXPECT_EQ(LoadBoth(failing, {}, {}, n == 1 ? LoadStatus::ReadFailed : LoadStatus::Loaded),
                  expected[n - 1])
            << "read " << n;
    }
    EXPECT_EQ(whole, expected[2]);
}

// Random mixes of the awkward byte sequences: stages alone and whole loads.
TEST(SourceText, OnePassMatchesTheLiteralLoops) {
    const LeadBytes leads[] = {LeadBytes(), CodePage932()};
    int expanded = 0;
    for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
        source_testing::SourceGenerator generator(seed);
        const LeadBytes& lead = leads[seed % 2];
        const std::string text = generator.Text(seed % 60);
        ASSERT_EQ(quorvel::StripLineComments(text, lead),
                  literal_source::StripLineComments(text, lead))
            << "seed " << seed;
        ASSERT_EQ(quorvel::StripBlockComments(text, lead),
                  literal_source::StripBlockComments(text, lead))
            << "seed " << seed;

        MemoryFiles files = generator.Files(1 + seed % 40);
        MemoryFiles literalFiles = files;
        Limits limits;
        limits.maxDepth = 1 + seed % 6;
        limits.maxLoads = 300;
        limits.maxTextSize = 1 << 20;
        std::string fast;
        std::string literal;
        const auto fastOutcome = LoadSource("root", files, lead, limits, fast);
        const auto literalOutcome =
            literal_source::LoadSource("root", literalFiles, lead, limits, literal);
        ASSERT_EQ(fastOutcome.status, literalOutcome.status) << "seed " << seed;
        ASSERT_EQ(fast, literal) << "seed " << seed;
        ASSERT_EQ(files.reads, literalFiles.reads) << "seed " << seed;
        expanded += files.reads > 1;
    }
    // The generator must really reach the include paths.
    EXPECT_GT(expanded, 1000);
}

} // namespace
