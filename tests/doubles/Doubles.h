#pragma once

// Test doubles for Direct3D 9, D3DX, the host objects and the parameter store.
//
// Link a test program with `quorvel_doubles` (LIBS quorvel_core quorvel_doubles):
// it is an OBJECT library, so its D3DX definitions replace the import
// library's for the whole program and the product calls them unchanged.
//
//   auto device = doubles::Make<doubles::FakeDevice>();   // one reference, ours
//   auto host = doubles::Make<doubles::FakeMediaDevice>(device.get());
//   auto store = doubles::Make<doubles::FakeParameterStore>();
//   store->Parameter(L"FXFile")->SetString(L"C:\\fx\\a.fx");
//   doubles::D3DXStandIn::Get().compiles.push_back({E_FAIL, "error X1507: ..."});
//   doubles::CallLog::Get().FailNth(3, 0x8BAD0003);      // third faultable call fails
//   ... run the product ...
//   doubles::CallLog::Get().Named("IDirect3DDevice9::CreateIndexBuffer")[0].args
//
// Every fake counts its references for real and is destroyed at zero;
// doubles::LiveFakes() counts fakes still alive. Fakes that hand out objects
// (the device's buffers, the stand-in's effects and textures) keep one
// reference to each. Reset CallLog and D3DXStandIn between tests
// (doubles::ResetAll). Debugger output is captured with
// testing_support::DebugOutputCapture.

#include "tests/doubles/CallLog.h"
#include "tests/doubles/D3DXStandIn.h"
#include "tests/doubles/FakeD3D.h"
#include "tests/doubles/FakeEffect.h"
#include "tests/doubles/FakeHost.h"
#include "tests/doubles/FakeStore.h"

namespace doubles {

inline void ResetAll() {
    CallLog::Get().Reset();
    D3DXStandIn::Get().Reset();
}

} // namespace doubles
