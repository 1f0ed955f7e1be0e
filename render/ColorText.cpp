#include "render/ColorText.h"

#include <cstring>
#include <cwchar>

namespace quorvel {
namespace {

// 1/255 rounded to single precision (bit pattern 0x3B808081); channels are
// multiplied by it, not divided by 255.
constexpr float kByteToUnit = 0.003921569f;

constexpr char kHexTemplate[] = "0xffffffff";
constexpr std::size_t kHexDigits = 8;
// The longest name in either table is 20 bytes; longer text is no name.
constexpr std::size_t kMaxNameLength = 24;

int CompareBytes(const char* row, const char* text) {
    const auto* a = reinterpret_cast<const unsigned char*>(row);
    const auto* b = reinterpret_cast<const unsigned char*>(text);
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

template <typename Row, std::size_t N> const Row* Find(const Row (&table)[N], const char* name) {
    std::ptrdiff_t low = 0;
    std::ptrdiff_t high = static_cast<std::ptrdiff_t>(N) - 1;
    while (low <= high) {
        const std::ptrdiff_t middle = (low + high) / 2;
        const int order = CompareBytes(table[middle].name, name);
        if (order < 0)
            low = middle + 1;
        else if (order > 0)
            high = middle - 1;
        else
            return &table[middle];
    }
    return nullptr;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Writes the digits of a hexadecimal form over the template's last positions,
// so that the template's 'f' characters supply the missing leading digits.
ColorTextResult ParseHexForm(const wchar_t* digits, std::size_t count,
                             const ColorTextPlatform& platform, std::uint32_t* argb) {
    char text[sizeof(kHexTemplate)];
    std::memcpy(text, kHexTemplate, sizeof(kHexTemplate));
    // A character can narrow to two bytes; only the first `count` are placed.
    char narrow[2 * kHexDigits];
    const std::size_t written = platform.narrow(digits, count, narrow, sizeof(narrow));
    if (written == 0)
        return ColorTextResult::Unrecognised;
    const std::size_t placed = written < count ? written : count;
    std::memcpy(text + sizeof(kHexTemplate) - 1 - placed, narrow, placed);
    return ParseHexDigits(text + 2, argb);
}

ColorTextResult ParseName(const wchar_t* name, std::size_t length,
                          const ColorTextPlatform& platform, std::uint32_t* argb) {
    if (length > kMaxNameLength)
        return ColorTextResult::Unrecognised;
    char narrow[2 * kMaxNameLength + 1];
    const std::size_t written = platform.narrow(name, length, narrow, sizeof(narrow) - 1);
    if (written == 0)
        return ColorTextResult::Unrecognised;
    narrow[written] = '\0';
    for (std::size_t i = 0; i < written; ++i) {
        if (narrow[i] >= 'A' && narrow[i] <= 'Z')
            narrow[i] = static_cast<char>(narrow[i] - 'A' + 'a');
    }
    if (const NamedColor* row = FindNamedColor(narrow)) {
        *argb = row->argb;
        return ColorTextResult::Ok;
    }
    if (const SystemColor* row = FindSystemColor(narrow)) {
        // GetSysColor gives red in the low byte and blue in the third.
        const std::uint32_t bgr = platform.systemColor(row->index);
        *argb = 0xFF000000u | ((bgr & 0xFFu) << 16) | (bgr & 0xFF00u) | ((bgr >> 16) & 0xFFu);
        return ColorTextResult::Ok;
    }
    return ColorTextResult::Unrecognised;
}

} // namespace

ColorTextResult ParseHexDigits(const char* digits, std::uint32_t* argb) {
    if (digits == nullptr || argb == nullptr || digits[0] == '\0')
        return ColorTextResult::Unrecognised;
    std::uint32_t value = 0;
    std::size_t count = 0;
    for (; count < kHexDigits; ++count) {
        const int digit = HexValue(digits[count]);
        if (digit < 0)
            break;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (count < 6)
        return ColorTextResult::Unrecognised;
    if (count == 7)
        value >>= 4;
    *argb = value;
    return ColorTextResult::Ok;
}

ColorTextResult ParseColorText(const wchar_t* text, const ColorTextPlatform& platform,
                               std::uint32_t* argb) {
    if (text == nullptr || argb == nullptr)
        return ColorTextResult::InvalidArgument;
    const std::size_t length = std::wcslen(text);
    if (length < 3)
        return ColorTextResult::InvalidArgument;
    if (text[0] == L'#') {
        if (length < 7)
            return ColorTextResult::Unrecognised;
        const std::size_t count = (length > 9 ? 9 : length) - 1;
        return ParseHexForm(text + 1, count, platform, argb);
    }
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        if (length < 8)
            return ColorTextResult::Unrecognised;
        const std::size_t count = (length > 10 ? 10 : length) - 2;
        return ParseHexForm(text + 2, count, platform, argb);
    }
    return ParseName(text, length, platform, argb);
}

const NamedColor* FindNamedColor(const char* name) {
    return name ? Find(g_namedColors, name) : nullptr;
}

const SystemColor* FindSystemColor(const char* name) {
    return name ? Find(g_systemColors, name) : nullptr;
}

void ColorToFloat4(std::uint32_t argb, float rgba[4]) {
    rgba[0] = static_cast<float>((argb >> 16) & 0xFFu) * kByteToUnit;
    rgba[1] = static_cast<float>((argb >> 8) & 0xFFu) * kByteToUnit;
    rgba[2] = static_cast<float>(argb & 0xFFu) * kByteToUnit;
    rgba[3] = static_cast<float>(argb >> 24) * kByteToUnit;
}

} // namespace quorvel
