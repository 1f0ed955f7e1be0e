#pragma once

// HRESULTs in words for the tool's messages: "0x8876086C D3DERR_INVALIDCALL:
// an invalid call (a bad argument or state)".

#include <windows.h>

#include <string>

namespace quorvelrender {

std::wstring Hex(HRESULT hr);
// The code, its name where the table knows it, and its meaning.
std::wstring DescribeHResult(HRESULT hr);

} // namespace quorvelrender
