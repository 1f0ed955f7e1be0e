#pragma once

// Reaching Quorvel.dll's objects as the host does, and filling their store.

#include "com/ComPtr.h"
#include "com/UniqueAny.h"
#include "host/pipeline/ParameterStoreEditor.h"
#include "host/render/Options.h"
#include "transform/MediaTransform.h"

#include <string>

namespace quorvelrender {

using quorvel::ComPtr;

// Keeps the server loaded while its objects live; declare before them.
class TransformServer {
  public:
    // Registration-free: Quorvel.dll from `folder`, its imports from there too.
    HRESULT LoadFromFolder(const std::wstring& folder);
    // Through the registry, as a registered in-process server.
    HRESULT UseRegistry();
    HRESULT Create(REFCLSID clsid, IMediaTransform** transform);

  private:
    quorvel::UniqueHModule m_module;
    bool m_registry = false;
};

HRESULT GetStoreEditor(IMediaTransform* transform, IParameterStoreEditor** editor);

// Puts one host parameter into the store, or into the "Semantics" group when
// `group` is given.
HRESULT PutParameter(IParameterStoreEditor* editor, const wchar_t* group,
                     const HostParameter& parameter);

// The flagged frame-rate form: frame `frame` at 25 frames a second.
MediaTime FrameTime(UINT frame);
// The plain tick form.
MediaTime TickTime(LONGLONG ticks);
constexpr LONGLONG kTicksPerFrame = 400000;

} // namespace quorvelrender
