// Colour text, the two colour tables and the tick arithmetic.

#include "com/CodePage.h"
#include "render/ColorText.h"
#include "render/MediaTimeTicks.h"
#include "render/ParseColor.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

using quorvel::g_namedColors;
using quorvel::g_systemColors;

bool IsLowerAscii(const char* name) {
    for (; *name; ++name) {
        if (*name < 'a' || *name > 'z')
            return false;
    }
    return true;
}

template <typename Row, size_t N> void ExpectStrictlySorted(const Row (&table)[N]) {
    for (size_t i = 1; i < N; ++i) {
        EXPECT_LT(std::strcmp(table[i - 1].name, table[i].name), 0)
            << "row " << i << ": " << table[i - 1].name << " / " << table[i].name;
    }
}

TEST(ColorTables, NamedColorsAreTheSortedExtendedKeywords) {
    ASSERT_EQ(std::size(g_namedColors), 140u);
    ExpectStrictlySorted(g_namedColors);
    for (const auto& row : g_namedColors) {
        EXPECT_TRUE(IsLowerAscii(row.name)) << row.name;
        EXPECT_EQ(row.argb >> 24, 0xFFu) << row.name;
        // Every row must be reachable through the binary search.
        EXPECT_EQ(quorvel::FindNamedColor(row.name), &row) << row.name;
    }
    EXPECT_STREQ(g_namedColors[0].name, "aliceblue");
    EXPECT_EQ(g_namedColors[0].argb, 0xFFF0F8FFu);
    EXPECT_STREQ(g_namedColors[139].name, "yellowgreen");
    EXPECT_EQ(g_namedColors[139].argb, 0xFF9ACD32u);
}

TEST(ColorTables, GreySpellings) {
    for (const char* present : {"gray", "darkgray", "darkslategray", "dimgray", "lightslategray",
                                "slategray", "lightgrey"})
        EXPECT_NE(quorvel::FindNamedColor(present), nullptr) << present;
    for (const char* absent : {"darkgrey", "darkslategrey", "dimgrey", "grey", "lightgray",
                               "lightslategrey", "slategrey"})
        EXPECT_EQ(quorvel::FindNamedColor(absent), nullptr) << absent;
}

TEST(ColorTables, NamedColorValues) {
    const struct {
        const char* name;
        uint32_t argb;
    } cases[] = {
        {"aqua", 0xFF00FFFF},      {"black", 0xFF000000},
        {"crimson", 0xFFDC143C},   {"fuchsia", 0xFFFF00FF},
        {"gray", 0xFF808080},      {"green", 0xFF008000},
        {"lightgrey", 0xFFD3D3D3}, {"maroon", 0xFF800000},
        {"navy", 0xFF000080},      {"purple", 0xFF800080},
        {"rebeccapurple", 0},      {"red", 0xFFFF0000},
        {"teal", 0xFF008080},      {"white", 0xFFFFFFFF},
        {"yellow", 0xFFFFFF00},    {"lightgoldenrodyellow", 0xFFFAFAD2},
    };
    for (const auto& c : cases) {
        const auto* row = quorvel::FindNamedColor(c.name);
        if (c.argb == 0) {
            EXPECT_EQ(row, nullptr) << c.name;
        } else {
            ASSERT_NE(row, nullptr) << c.name;
            EXPECT_EQ(row->argb, c.argb) << c.name;
        }
    }
}

TEST(ColorTables, SystemColorsMatchTheWindowsIndices) {
    const struct {
        const char* name;
        int index;
    } expected[] = {
        {"activeborder", COLOR_ACTIVEBORDER},
        {"activecaption", COLOR_ACTIVECAPTION},
        {"appworkspace", COLOR_APPWORKSPACE},
        {"background", COLOR_BACKGROUND},
        {"buttonface", COLOR_BTNFACE},
        {"buttonhighlight", COLOR_BTNHIGHLIGHT},
        {"buttonshadow", COLOR_BTNSHADOW},
        {"buttontext", COLOR_BTNTEXT},
        {"captiontext", COLOR_CAPTIONTEXT},
        {"graytext", COLOR_GRAYTEXT},
        {"highlight", COLOR_HIGHLIGHT},
        {"highlighttext", COLOR_HIGHLIGHTTEXT},
        {"inactiveborder", COLOR_INACTIVEBORDER},
        {"inactivecaption", COLOR_INACTIVECAPTION},
        {"inactivecaptiontext", COLOR_INACTIVECAPTIONTEXT},
        {"infobackground", COLOR_INFOBK},
        {"infotext", COLOR_INFOTEXT},
        {"menu", COLOR_MENU},
        {"menutext", COLOR_MENUTEXT},
        {"scrollbar", COLOR_SCROLLBAR},
        {"threeddarkshadow", COLOR_3DDKSHADOW},
        {"threedface", COLOR_3DFACE},
        {"threedhighlight", COLOR_3DHIGHLIGHT},
        {"threedlightshadow", COLOR_3DLIGHT},
        {"threedshadow", COLOR_3DSHADOW},
        {"window", COLOR_WINDOW},
        {"windowframe", COLOR_WINDOWFRAME},
        {"windowtext", COLOR_WINDOWTEXT},
    };
    ASSERT_EQ(std::size(g_systemColors), std::size(expected));
    ExpectStrictlySorted(g_systemColors);
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(g_systemColors[i].name, expected[i].name) << i;
        EXPECT_EQ(g_systemColors[i].index, expected[i].index) << expected[i].name;
        EXPECT_EQ(quorvel::FindSystemColor(g_systemColors[i].name), &g_systemColors[i]);
    }
}

uint32_t OpaqueSystemColor(int index) {
    const DWORD bgr = GetSysColor(index);
    return 0xFF000000u | (GetRValue(bgr) << 16) | (GetGValue(bgr) << 8) | GetBValue(bgr);
}

TEST(ParseColor, Texts) {
    const struct {
        const wchar_t* text;
        HRESULT hr;
        uint32_t argb;
    } cases[] = {
        {L"#FF0000", S_OK, 0xFFFF0000},
        {L"#80FF0000", S_OK, 0x80FF0000},
        {L"0x00FF00", S_OK, 0xFF00FF00},
        {L"0X00ff00", S_OK, 0xFF00FF00},
        {L"0x80112233", S_OK, 0x80112233},
        {L"0x8011223344", S_OK, 0x80112233},
        {L"#1234567", S_OK, 0xF1234567},
        {L"#123456G", S_OK, 0x00F12345},
        {L"#12345678ZZZ", S_OK, 0x12345678},
        {L"#12G456", E_FAIL, 0},
        {L"#12345", E_FAIL, 0},
        {L"0x12345", E_FAIL, 0},
        {L"Red", S_OK, 0xFFFF0000},
        {L"RED", S_OK, 0xFFFF0000},
        {L"navy", S_OK, 0xFF000080},
        {L"LightGoldenrodYellow", S_OK, 0xFFFAFAD2},
        {L"lightgray", E_FAIL, 0},
        {L"grey", E_FAIL, 0},
        {L"red ", E_FAIL, 0},
        {L"16711680", E_FAIL, 0},
        {L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", E_FAIL, 0},
        {L"ab", E_INVALIDARG, 0},
        {L"", E_INVALIDARG, 0},
        {nullptr, E_INVALIDARG, 0},
    };
    for (const auto& c : cases) {
        const std::wstring label = c.text ? c.text : L"(null)";
        uint32_t argb = 0;
        EXPECT_EQ(ParseColor(c.text, &argb), c.hr) << std::string(label.begin(), label.end());
        if (c.hr == S_OK) {
            EXPECT_EQ(argb, c.argb) << std::string(label.begin(), label.end());
        }
    }
    EXPECT_EQ(ParseColor(L"red", nullptr), E_INVALIDARG);
}

TEST(ParseColor, SystemColorsAreOpaque) {
    for (const auto& [text, index] :
         {std::pair{L"ButtonFace", COLOR_BTNFACE}, std::pair{L"windowtext", COLOR_WINDOWTEXT},
          std::pair{L"HIGHLIGHT", COLOR_HIGHLIGHT}}) {
        uint32_t argb = 0;
        ASSERT_EQ(ParseColor(text, &argb), S_OK);
        EXPECT_EQ(argb, OpaqueSystemColor(index));
    }
}

// Wine's ANSI code page is always 1252, so double-byte narrowing is handed in.
size_t NarrowTo932(const wchar_t* text, size_t count, char* out, size_t capacity) {
    const int n = WideCharToMultiByte(932, 0, text, static_cast<int>(count), out,
                                      static_cast<int>(capacity), nullptr, nullptr);
    return n > 0 ? static_cast<size_t>(n) : 0;
}
uint32_t NoSystemColor(int) { return 0x00FFFFFF; }

TEST(ParseColor, DoubleByteNarrowingStaysInBounds) {
    const quorvel::ColorTextPlatform platform{&NarrowTo932, &NoSystemColor};
    ASSERT_TRUE(IsDBCSLeadByteEx(932, 0x93));
    const struct {
        const wchar_t* text;
        quorvel::ColorTextResult result;
        uint32_t argb;
    } cases[] = {
        // Kanji narrow to two bytes, none of them a hexadecimal digit.
        {L"#\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e\x65e5\x672c",
         quorvel::ColorTextResult::Unrecognised, 0},
        {L"0x\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e\x65e5\x672c",
         quorvel::ColorTextResult::Unrecognised, 0},
        {L"#123456\x65e5", quorvel::ColorTextResult::Ok, 0x00F12345},
        {L"#\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e\x65e5\x672c\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e"
         L"\x65e5\x672c\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e",
         quorvel::ColorTextResult::Unrecognised, 0},
        {L"\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e\x65e5\x672c\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e"
         L"\x65e5\x672c\x65e5\x672c\x8a9e\x65e5\x672c\x8a9e",
         quorvel::ColorTextResult::Unrecognised, 0},
        {L"Red", quorvel::ColorTextResult::Ok, 0xFFFF0000},
        {L"window", quorvel::ColorTextResult::Ok, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        uint32_t argb = 0;
        EXPECT_EQ(quorvel::ParseColorText(c.text, platform, &argb), c.result);
        if (c.result == quorvel::ColorTextResult::Ok) {
            EXPECT_EQ(argb, c.argb);
        }
    }
}

// The per-frame narrowing: never past the caller's buffer, never a look-alike,
// and a text that does not fit gives nothing rather than a part.
TEST(NarrowInto, StaysInTheCallersBuffer) {
    const struct {
        const wchar_t* text;
        UINT codePage;
        quorvel::Unspellable unspellable;
        size_t capacity;
        HRESULT hr;
        std::string narrow;
    } cases[] = {
        {L"Amount", 1252, quorvel::Unspellable::DefaultCharacter, 6, S_OK, "Amount"},
        {L"Amount", 1252, quorvel::Unspellable::DefaultCharacter, 5,
         HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), ""},
        {L"Amount", 1252, quorvel::Unspellable::DefaultCharacter, 0,
         HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), ""},
        {L"", 1252, quorvel::Unspellable::DefaultCharacter, 0, S_OK, ""},
        {L"\u0100mount", 1252, quorvel::Unspellable::DefaultCharacter, 6, S_OK, "?mount"},
        {L"\u0100mount", 1252, quorvel::Unspellable::NotFound, 6, E_FAIL, ""},
        {L"\x65e5\x672c", 932, quorvel::Unspellable::DefaultCharacter, 4, S_OK, "\x93\xfa\x96\x7b"},
        {L"\x65e5\x672c", 932, quorvel::Unspellable::DefaultCharacter, 3,
         HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), ""},
        {L"\u00e9", CP_UTF8, quorvel::Unspellable::DefaultCharacter, 2, S_OK, "\xc3\xa9"},
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        size_t written = 99;
        EXPECT_EQ(
            quorvel::NarrowInto(c.text, buffer, c.capacity, written, c.codePage, c.unspellable),
            c.hr)
            << c.narrow << " in " << c.capacity;
        if (c.hr != E_FAIL) {
            EXPECT_EQ(std::string(buffer, written), c.narrow) << c.capacity;
        }
        EXPECT_EQ(std::string(buffer + c.capacity, sizeof buffer - c.capacity),
                  std::string(sizeof buffer - c.capacity, '#'))
            << "past the buffer of " << c.capacity;
    }
}

TEST(ParseHexColorDigits, Digits) {
    const struct {
        const char* digits;
        HRESULT hr;
        uint32_t argb;
    } cases[] = {
        {"123456", S_OK, 0x123456},
        {"abcDEF", S_OK, 0xABCDEF},
        {"1234567", S_OK, 0x123456},
        {"12345678", S_OK, 0x12345678},
        {"123456789", S_OK, 0x12345678},
        {"123456 78", S_OK, 0x123456},
        {"12345", E_FAIL, 0},
        {"12345G78", E_FAIL, 0},
        {"", E_FAIL, 0},
        {nullptr, E_FAIL, 0},
    };
    for (const auto& c : cases) {
        uint32_t argb = 0;
        EXPECT_EQ(ParseHexColorDigits(c.digits, &argb), c.hr) << (c.digits ? c.digits : "(null)");
        if (c.hr == S_OK) {
            EXPECT_EQ(argb, c.argb) << c.digits;
        }
    }
    EXPECT_EQ(ParseHexColorDigits("123456", nullptr), E_FAIL);
}

TEST(ColorToFloat4, ChannelsTimesTheSinglePrecisionReciprocal) {
    float rgba[4];
    quorvel::ColorToFloat4(0x01000000, rgba);
    uint32_t bits = 0;
    std::memcpy(&bits, &rgba[3], sizeof(bits));
    EXPECT_EQ(bits, 0x3B808081u);
    quorvel::ColorToFloat4(0x80FF0080, rgba);
    EXPECT_EQ(rgba[0], 255.0f * 0.003921569f);
    EXPECT_EQ(rgba[1], 0.0f);
    EXPECT_EQ(rgba[2], 128.0f * 0.003921569f);
    EXPECT_EQ(rgba[3], 128.0f * 0.003921569f);
}

MediaTime Plain(int64_t ticks) {
    return {static_cast<uint64_t>(ticks) & ~(uint64_t{1} << 63), 0, 0xDEADBEEF};
}
MediaTime Flagged(int32_t frames, uint16_t numerator, uint16_t denominator, int32_t offset) {
    const uint64_t f = static_cast<uint64_t>(static_cast<int64_t>(frames)) & 0x7FFFFFFFu;
    return {(uint64_t{1} << 63) | (f << 32) | (uint64_t{numerator} << 16) | denominator, offset,
            0xDEADBEEF};
}

TEST(MediaTimeToTicks, BothForms) {
    const struct {
        MediaTime time;
        int64_t ticks;
    } cases[] = {
        {Plain(0), 0},
        {Plain(10010000), 10010000},
        {Plain(-1), -1},
        {Plain((int64_t{1} << 62) - 1), (int64_t{1} << 62) - 1},
        {Plain(-(int64_t{1} << 62)), -(int64_t{1} << 62)},
        {Flagged(30, 1001, 30, 0), 10010000},
        {Flagged(30, 1001, 30, -5), 10009995},
        {Flagged(1, 1, 3, 0), 3333},
        {Flagged(-1, 1, 3, 0), -3333},
        {Flagged(-(1 << 30), 65535, 1, 0), -(int64_t{1} << 30) * 65535 * 10000},
        {Flagged((1 << 30) - 1, 65535, 1, INT32_MAX),
         (int64_t{(1 << 30) - 1}) * 65535 * 10000 + INT32_MAX},
    };
    for (const auto& c : cases) {
        int64_t ticks = 7;
        ASSERT_TRUE(MediaTimeToTicks(c.time, &ticks));
        EXPECT_EQ(ticks, c.ticks);
    }
    int64_t ticks = 7;
    EXPECT_FALSE(MediaTimeToTicks(Flagged(30, 1001, 0, 0), &ticks));
    EXPECT_EQ(ticks, 7);
}

} // namespace
