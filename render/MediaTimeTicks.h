#pragma once

// Host time to 100-nanosecond ticks. Platform-free.

#include "transform/MediaTime.h"

#include <cstdint>

// Flag clear: the 63-bit count, sign-extended. Flag set: F * N * 10000 / D + O
// in signed 64-bit arithmetic, in that order. Returns false, leaving *ticks
// unchanged, for a flagged value with denominator 0, which is outside the format.
bool MediaTimeToTicks(const MediaTime& time, std::int64_t* ticks);
