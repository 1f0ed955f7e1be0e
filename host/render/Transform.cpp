#include "host/render/Transform.h"

#include "com/HResult.h"
#include "host/pipeline/ParameterStoreEditing.h"
#include "pipeline/ParameterStore.h"

#include <servprov.h>

namespace quorvelrender {
namespace {

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

HRESULT MakeValue(const HostValue& in, hostpipeline::Value& out) {
    switch (in.kind) {
    case HostValue::Kind::Int:
        hostpipeline::Value::Int(out, in.i);
        return S_OK;
    case HostValue::Kind::Float:
        hostpipeline::Value::Float(out, in.f);
        return S_OK;
    case HostValue::Kind::Bool:
        hostpipeline::Value::Bool(out, in.b);
        return S_OK;
    case HostValue::Kind::Vector:
        return hostpipeline::Value::Vector(out, in.v);
    case HostValue::Kind::String:
        break;
    }
    return hostpipeline::Value::String(out, in.s.c_str());
}

} // namespace

HRESULT TransformServer::LoadFromFolder(const std::wstring& folder) {
    const std::wstring path = folder + L"\\Quorvel.dll";
    m_module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(::GetLastError()), m_module.get());
    m_registry = false;
    return S_OK;
}

HRESULT TransformServer::UseRegistry() {
    m_registry = true;
    return S_OK;
}

HRESULT TransformServer::Create(REFCLSID clsid, IMediaTransform** transform) {
    RETURN_HR_IF_NULL(E_POINTER, transform);
    *transform = nullptr;
    if (m_registry)
        return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaTransform,
                                  reinterpret_cast<void**>(transform));
    RETURN_HR_IF_NULL(E_UNEXPECTED, m_module.get());
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        ::GetProcAddress(m_module.get(), "DllGetClassObject"));
    RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), getClassObject);
    ComPtr<IClassFactory> factory;
    RETURN_IF_FAILED(getClassObject(clsid, IID_IClassFactory, factory.put_void()));
    return factory->CreateInstance(nullptr, IID_IMediaTransform,
                                   reinterpret_cast<void**>(transform));
}

HRESULT GetStoreEditor(IMediaTransform* transform, IParameterStoreEditor** editor) {
    RETURN_HR_IF_NULL(E_POINTER, editor);
    *editor = nullptr;
    RETURN_HR_IF_NULL(E_POINTER, transform);
    ComPtr<IServiceProvider> services;
    RETURN_IF_FAILED(transform->QueryInterface(IID_IServiceProvider, services.put_void()));
    return services->QueryService(SID_ParameterStore, IID_IParameterStoreEditor,
                                  reinterpret_cast<void**>(editor));
}

HRESULT PutParameter(IParameterStoreEditor* editor, const wchar_t* group,
                     const HostParameter& parameter) {
    RETURN_HR_IF_NULL(E_POINTER, editor);
    hostpipeline::Value from;
    RETURN_IF_FAILED(MakeValue(parameter.from, from));
    const wchar_t* name = parameter.name.c_str();
    if (!parameter.keyframed)
        return group ? editor->SetChildValue(group, name, from.get())
                     : editor->SetValue(name, from.get());
    hostpipeline::Value to;
    RETURN_IF_FAILED(MakeValue(parameter.to, to));
    if (group) {
        RETURN_IF_FAILED(editor->AddChildKeyframe(group, name, 0.0, from.get()));
        return editor->AddChildKeyframe(group, name, 1.0, to.get());
    }
    RETURN_IF_FAILED(editor->AddKeyframe(name, 0.0, from.get()));
    return editor->AddKeyframe(name, 1.0, to.get());
}

MediaTime FrameTime(UINT frame) {
    // Frame count F, numerator 40, denominator 1: F × 40 × 10000 / 1 ticks.
    MediaTime time = {};
    time.word = (1ull << 63) | (static_cast<std::uint64_t>(frame) << 32) | (40ull << 16) | 1ull;
    return time;
}

MediaTime TickTime(LONGLONG ticks) {
    MediaTime time = {};
    time.word = static_cast<std::uint64_t>(ticks) & ~(1ull << 63);
    return time;
}

} // namespace quorvelrender
