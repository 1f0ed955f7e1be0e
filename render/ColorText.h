#pragma once

// Colour text to 32-bit ARGB (0xAARRGGBB): '#' and "0x" hexadecimal forms,
// colour names and system colour names. Platform-free: the narrowing to the
// ANSI code page and the system colour lookup are handed in, so the parser can
// be fuzzed natively.

#include <cstddef>
#include <cstdint>

namespace quorvel {

struct NamedColor {
    const char* name;
    std::uint32_t argb;
};

struct SystemColor {
    const char* name;
    int index; // GetSysColor index
};

// Lower-case names, sorted in byte order for the binary search.
inline constexpr std::size_t kNamedColorCount = 140;
inline constexpr std::size_t kSystemColorCount = 28;
extern const NamedColor g_namedColors[kNamedColorCount];
extern const SystemColor g_systemColors[kSystemColorCount];

// Narrows `count` UTF-16 units to the ANSI code page into `out` (no terminator
// written); returns the bytes written, 0 on failure.
using NarrowFunction = std::size_t (*)(const wchar_t* text, std::size_t count, char* out,
                                       std::size_t capacity);
// A system colour as GetSysColor delivers it: 0x00BBGGRR.
using SystemColorFunction = std::uint32_t (*)(int index);

struct ColorTextPlatform {
    NarrowFunction narrow;
    SystemColorFunction systemColor;
};

enum class ColorTextResult { Ok, InvalidArgument, Unrecognised };

// Reads 6 or 8 leading hexadecimal digits (7 use the first 6).
ColorTextResult ParseHexDigits(const char* digits, std::uint32_t* argb);
ColorTextResult ParseColorText(const wchar_t* text, const ColorTextPlatform& platform,
                               std::uint32_t* argb);

// Binary search by unsigned byte comparison; null when absent.
const NamedColor* FindNamedColor(const char* name);
const SystemColor* FindSystemColor(const char* name);

// (R, G, B, A), each channel byte times the single-precision 1/255.
void ColorToFloat4(std::uint32_t argb, float rgba[4]);

} // namespace quorvel
