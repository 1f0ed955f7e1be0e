#include "render/MediaTimeTicks.h"

bool MediaTimeToTicks(const MediaTime& time, std::int64_t* ticks) {
    constexpr std::uint64_t kFlag = std::uint64_t{1} << 63;
    // Shifting the flag out and back arithmetically sign-extends from bit 62.
    const std::int64_t low63 = static_cast<std::int64_t>(time.word << 1) >> 1;
    if ((time.word & kFlag) == 0) {
        *ticks = low63;
        return true;
    }
    const std::int64_t denominator = static_cast<std::int64_t>(time.word & 0xFFFFu);
    if (denominator == 0)
        return false;
    const std::int64_t numerator = static_cast<std::int64_t>((time.word >> 16) & 0xFFFFu);
    const std::int64_t frames = low63 >> 32;
    // |F| < 2^30, N < 2^16: the product with 10000 stays below 2^60.
    *ticks = frames * numerator * 10000 / denominator + time.offset;
    return true;
}
