#pragma once

// What the tool tells an author about values that would pass silently: names
// that match nothing, text values the host's rules drop, colours that do not
// parse, texture slots left empty, and where a comparison first goes wrong.

#include "host/render/EffectDeclarations.h"
#include "host/render/Options.h"

#include <windows.h>

#include <string>
#include <vector>

namespace quorvelrender {

// Up to `count` of `candidates`, closest to `name` first (edit distance,
// ignoring case).
std::vector<std::wstring> ClosestNames(const std::wstring& name,
                                       const std::vector<std::wstring>& candidates,
                                       size_t count = 3);

// How the option that gave `parameter` reads: "--semantic Amount" or
// "//!render --param InputTexture2".
std::wstring OptionName(const HostParameter& parameter, bool semantic);

// One line per --param, --semantic or //!render value that nothing reads:
// a semantic the effect does not declare, a host parameter Quorvel does not
// read. Each names the closest declared ones.
std::vector<std::wstring> UnmatchedValues(const Options& options,
                                          const EffectDeclarations& declarations);

// What a child of "Semantics" gives the effect under Quorvel's rules.
struct Delivery {
    bool dropped = false;  // the effect never sees it
    bool doubtful = false; // it arrives, but not as written (an unparsed colour)
    std::wstring text;
};
Delivery DescribeDelivery(const HostParameter& semantic);

// The last value given for a semantic (matched ignoring case, as the effect
// framework does), or null.
const HostParameter* SuppliedSemantic(const Options& options, const std::wstring& semantic);

// The texture file name Quorvel takes for slot 2 to 7 from the host parameters
// ("TextureFile", else "MaskName", else "InputTexture2" for slot 2), with the
// parameter that gave it; empty when none.
std::wstring TextureForSlot(const std::vector<HostParameter>& params, int slot,
                            std::wstring& parameter);

// The host parameters that name slot `slot`'s file, the deciding one first;
// none for the host's own inputs.
std::vector<std::wstring> TextureParametersOfSlot(int slot);
// The file slot (2 and up) a texture semantic names, or -1.
int TextureSlotOfSemantic(const std::wstring& semantic);
bool IsTextureParameter(const std::wstring& name);

// The files a render (frames and sheet) or a check (its frames and
// difference images) writes; nothing else in the folder is the tool's.
bool IsToolOutput(const std::wstring& fileName, bool check);
// Deletes the earlier run's files of that kind from `folder`; returns how many.
UINT RemoveEarlierOutputs(const std::wstring& folder, bool check);

// The first pixel, row by row, whose colour channels differ by more than
// `tolerance`.
struct BadPixel {
    bool found = false;
    UINT x = 0, y = 0;
    DWORD rendered = 0, expected = 0;
};
BadPixel FirstBadPixel(const std::vector<DWORD>& rendered, const std::vector<DWORD>& expected,
                       UINT width, UINT tolerance);
// Each channel's difference, four times brighter; pixels off by more than
// `tolerance` at least a quarter bright in red so a single one shows.
std::vector<DWORD> DifferenceImage(const std::vector<DWORD>& a, const std::vector<DWORD>& b,
                                   UINT tolerance);

std::wstring ColorHex(DWORD argb);

} // namespace quorvelrender
