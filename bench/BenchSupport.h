#pragma once

// What the benchmarks that draw through Quorvel.dll share: a clock, a wait for
// the device, and the render tool's folder they load the server from.

#include "host/render/Session.h"

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

// Opens Quorvel.dll from `folder` as a transition (or an effect) on `device`
// and gives its store the effect file and technique, ready for Initialize.
HRESULT OpenTransition(quorvelrender::Session& session, IDirect3DDevice9* device,
                       const std::wstring& folder, const std::wstring& effect,
                       const std::wstring& technique, bool transition = true);

} // namespace quorvelbench
