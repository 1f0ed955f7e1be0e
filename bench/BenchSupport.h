#pragma once

// What the benchmarks that draw through Quorvel.dll share: a clock, a wait for
// the device, and the render tool's folder they load the server from.

#include <d3d9.h>

#include <string>

namespace quorvelbench {

// Seconds on the performance counter.
double Now();

// Waits until the device has finished everything queued so far.
HRESULT Finish(IDirect3DDevice9* device);

// The render tool's folder beside the benchmark: Quorvel.dll, its stand-ins
// and the library.
std::wstring RenderFolder();

} // namespace quorvelbench
