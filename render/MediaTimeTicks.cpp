#include "render/MediaTimeTicks.h"

bool MediaTimeToTicks(const MediaTime&, std::int64_t*) { return false; }
