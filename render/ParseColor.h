#pragma once

// Colour text in host values: '#' and "0x" hexadecimal forms, colour names and
// system colour names, to 32-bit ARGB (0xAARRGGBB).

#include <windows.h>

#include <cstdint>

// S_OK with the colour; E_INVALIDARG for a null argument or fewer than 3
// characters; E_FAIL for text it does not recognise.
HRESULT ParseColor(const wchar_t* text, std::uint32_t* argb);
// S_OK or E_FAIL; reads 6 or 8 hexadecimal digits (7 use the first 6).
HRESULT ParseHexColorDigits(const char* digits, std::uint32_t* argb);
