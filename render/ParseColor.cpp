#include "render/ParseColor.h"

#include "com/CodePage.h"
#include "render/ColorText.h"

namespace {

std::size_t NarrowToAnsi(const wchar_t* text, std::size_t count, char* out, std::size_t capacity) {
    std::size_t written = 0;
    return SUCCEEDED(quorvel::NarrowInto({text, count}, out, capacity, written, CP_ACP)) ? written
                                                                                         : 0;
}

std::uint32_t SystemColor(int index) { return static_cast<std::uint32_t>(::GetSysColor(index)); }

constexpr quorvel::ColorTextPlatform kWindows = {&NarrowToAnsi, &SystemColor};

HRESULT ToHResult(quorvel::ColorTextResult result) {
    switch (result) {
    case quorvel::ColorTextResult::Ok:
        return S_OK;
    case quorvel::ColorTextResult::InvalidArgument:
        return E_INVALIDARG;
    default:
        return E_FAIL;
    }
}

} // namespace

HRESULT ParseColor(const wchar_t* text, std::uint32_t* argb) {
    return ToHResult(quorvel::ParseColorText(text, kWindows, argb));
}

HRESULT ParseHexColorDigits(const char* digits, std::uint32_t* argb) {
    return ToHResult(quorvel::ParseHexDigits(digits, argb));
}
