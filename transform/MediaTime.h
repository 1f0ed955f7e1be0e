#pragma once

// The host's 16-byte time value; platform-free so the tick arithmetic can be fuzzed.

#include <cstdint>

// Bit 63 of `word` selects the form: clear, a signed 63-bit tick count; set, a
// frame count with a rate (see MediaTimeToTicks). `offset` is read only in the
// flagged form; `reserved` never.
struct MediaTime {
    std::uint64_t word;
    std::int32_t offset;
    std::uint32_t reserved;
};
static_assert(sizeof(MediaTime) == 16, "the host's layout");
