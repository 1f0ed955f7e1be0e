#include "host/render/Session.h"

#include "com/HResult.h"

#include <mutex>

namespace quorvelrender {
namespace {

constexpr DWORD kDbgPrintException = 0x40010006;     // DBG_PRINTEXCEPTION_C
constexpr DWORD kDbgPrintWideException = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C

std::mutex g_outputMutex;
std::wstring g_output;

LONG CALLBACK TakeDebugOutput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    if (record->ExceptionCode == kDbgPrintWideException) {
        const auto* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
        const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
        std::lock_guard<std::mutex> lock(g_outputMutex);
        if (text && length > 0)
            g_output.append(text, length - 1);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record->ExceptionCode == kDbgPrintException) {
        const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        const int n = text ? ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) : 0;
        if (n > 1) {
            std::wstring wide(static_cast<size_t>(n), L'\0');
            ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
            wide.resize(static_cast<size_t>(n - 1));
            std::lock_guard<std::mutex> lock(g_outputMutex);
            g_output += wide;
        }
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

DebugOutput::DebugOutput() { m_handler = ::AddVectoredExceptionHandler(1, TakeDebugOutput); }

DebugOutput::~DebugOutput() {
    if (m_handler)
        ::RemoveVectoredExceptionHandler(m_handler);
}

std::wstring DebugOutput::Take() {
    std::lock_guard<std::mutex> lock(g_outputMutex);
    std::wstring text;
    text.swap(g_output);
    return text;
}

HRESULT Session::Open(IDirect3DDevice9* device, const std::wstring& folder, bool registry,
                      bool transition) {
    Close();
    m_transition = transition;
    RETURN_IF_FAILED(registry ? m_server.UseRegistry() : m_server.LoadFromFolder(folder));
    RETURN_IF_FAILED(m_server.Create(transition ? CLSID_CShaderTransition : CLSID_CShaderEffect,
                                     m_transform.put()));
    RETURN_IF_FAILED(GetStoreEditor(m_transform.get(), m_editor.put()));
    return CreateHostDevice(device, m_host.put());
}

HRESULT Session::Initialize() {
    RETURN_HR_IF_NULL(E_UNEXPECTED, m_transform);
    return m_transform->Initialize(m_host.get());
}

HRESULT Session::Render(const MediaTime& position, const MediaTime& duration,
                        IDirect3DTexture9* in0, IDirect3DTexture9* in1, IDirect3DTexture9* out) {
    RETURN_HR_IF_NULL(E_UNEXPECTED, m_transform);
    ComPtr<IUnknown> frames[2];
    ComPtr<IUnknown> output;
    RETURN_IF_FAILED(CreateHostFrame(in0, frames[0].put()));
    if (m_transition)
        RETURN_IF_FAILED(CreateHostFrame(in1, frames[1].put()));
    RETURN_IF_FAILED(CreateHostFrame(out, output.put()));
    IUnknown* inputs[2] = {frames[0].get(), frames[1].get()};
    return m_transform->Render(m_host.get(), &position, duration, inputs, m_transition ? 2 : 1,
                               output.get());
}

void Session::Close() {
    m_host.reset();
    m_editor.reset();
    m_transform.reset();
}

} // namespace quorvelrender
