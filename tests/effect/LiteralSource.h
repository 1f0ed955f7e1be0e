#pragma once

// A deliberately literal version of the source loading loops: every stage
// searches again from the start of the text and rebuilds the whole text after
// each change. Slow; the reference that the one-pass version must match byte
// for byte. Bounds and refusals are the same as the product's.

#include "effect/SourceText.h"

#include <string>

namespace literal_source {

using quorvel::FoundFile;
using quorvel::LeadBytes;
using Limits = quorvel::SourceLimits;
using quorvel::LoadOutcome;
using quorvel::LoadStatus;
using quorvel::ReadResult;
using quorvel::SourceFiles;

std::string StripLineComments(std::string text, const LeadBytes& lead);
std::string StripBlockComments(std::string text, const LeadBytes& lead);
LoadOutcome LoadSource(const std::string& name, SourceFiles& files, const LeadBytes& lead,
                       const Limits& limits, std::string& text);

} // namespace literal_source
