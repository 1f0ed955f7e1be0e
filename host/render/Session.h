#pragma once

// One transform object driven as the host drives it: created, its store
// filled, initialised with our device object and asked for frames.

#include "host/common/DebugOutputCapture.h"
#include "host/render/RenderHost.h"
#include "host/render/Transform.h"

namespace quorvelrender {

class Session {
  public:
    // `folder` holds Quorvel.dll unless `registry` is set.
    HRESULT Open(IDirect3DDevice9* device, const std::wstring& folder, bool registry,
                 bool transition);
    IParameterStoreEditor* editor() const { return m_editor.get(); }
    IMediaTransform* transform() const { return m_transform.get(); }
    HRESULT Initialize();
    // `in1` may be null for an effect.
    HRESULT Render(const MediaTime& position, const MediaTime& duration, IDirect3DTexture9* in0,
                   IDirect3DTexture9* in1, IDirect3DTexture9* out);
    void Close();

  private:
    TransformServer m_server; // outlives the objects below
    ComPtr<IMediaTransform> m_transform;
    ComPtr<IParameterStoreEditor> m_editor;
    ComPtr<IUnknown> m_host;
    bool m_transition = false;
};

// Text the process wrote to the debugger output (the effect compiler's
// messages).
using DebugOutput = quorvel::DebugOutputCapture;

} // namespace quorvelrender
