// Colour text and host time values from arbitrary bytes. The first 16 bytes
// are a MediaTime, the rest UTF-16 units of a colour text.

#include "render/ColorText.h"
#include "render/MediaTimeTicks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A double-byte code page model: units above 0xFF narrow to a lead and a
// trail byte, so the parser meets texts whose narrow form is longer.
std::size_t Narrow(const wchar_t* text, std::size_t count, char* out, std::size_t capacity) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]) & 0xFFFFu;
        const std::size_t need = unit > 0xFF ? 2 : 1;
        if (written + need > capacity)
            return 0;
        if (need == 2) {
            out[written++] = static_cast<char>(0x81 + (unit >> 8) % 0x7E);
            out[written++] = static_cast<char>(0x40 + (unit & 0x3F));
        } else {
            out[written++] = static_cast<char>(unit);
        }
    }
    return written;
}

std::uint32_t SystemColor(int index) {
    if (index < 0 || index > 30)
        std::abort();
    return static_cast<std::uint32_t>(index) * 0x010101u;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= sizeof(MediaTime)) {
        MediaTime time;
        std::memcpy(&time, data, sizeof(time));
        std::int64_t ticks = 0x5A5A;
        const bool ok = MediaTimeToTicks(time, &ticks);
        const bool flagged = (time.word >> 63) != 0;
        if (!ok && (!flagged || (time.word & 0xFFFFu) != 0 || ticks != 0x5A5A))
            std::abort();
        data += sizeof(time);
        size -= sizeof(time);
    }

    std::vector<wchar_t> text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    text.push_back(0);

    const quorvel::ColorTextPlatform platform{&Narrow, &SystemColor};
    std::uint32_t argb = 0;
    const quorvel::ColorTextResult result = quorvel::ParseColorText(text.data(), platform, &argb);
    if (text.size() < 4 && result != quorvel::ColorTextResult::InvalidArgument)
        std::abort();
    float rgba[4];
    quorvel::ColorToFloat4(argb, rgba);
    for (float channel : rgba) {
        if (!(channel >= 0.0f && channel <= 1.0f))
            std::abort();
    }

    // The hex reader on the raw bytes, terminated.
    std::vector<char> digits(data, data + size);
    digits.push_back('\0');
    quorvel::ParseHexDigits(digits.data(), &argb);
    return 0;
}
