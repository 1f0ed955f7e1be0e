// The conformance check for effect authors: Time 0 and Time 1 against the
// inputs, and what reaches each declared semantic.

#include "com/HResult.h"
#include "effect/HostContract.h"
#include "host/render/Diagnostics.h"
#include "host/render/HResultText.h"
#include "host/render/Job.h"
#include "host/render/Tool.h"
#include "host/render/ToolSupport.h"

#include <d3dx9.h>

#include <algorithm>
#include <cwchar>

namespace quorvelrender {
namespace {

HRESULT SavePixelsPng(IDirect3DDevice9* device, const std::vector<DWORD>& pixels, UINT width,
                      UINT height, const std::wstring& path) {
    ComPtr<IDirect3DSurface9> surface;
    RETURN_IF_FAILED(device->CreateOffscreenPlainSurface(
        width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, surface.put(), nullptr));
    D3DLOCKED_RECT locked = {};
    RETURN_IF_FAILED(surface->LockRect(&locked, nullptr, 0));
    for (UINT y = 0; y < height && pixels.size() >= static_cast<size_t>(width) * height; ++y)
        std::copy_n(pixels.begin() + static_cast<size_t>(y) * width, width,
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) +
                                             static_cast<size_t>(y) * locked.Pitch));
    surface->UnlockRect();
    return D3DXSaveSurfaceToFileW(path.c_str(), D3DXIFF_PNG, surface.get(), nullptr, nullptr);
}

} // namespace

bool Job::DeclaresFirstInput() const {
    for (const DeclaredParameter& parameter : m_declarations.parameters)
        if (EqualsIgnoringCase(parameter.semantic, quorvel::g_inputTextureParameters[0]))
            return true;
    return false;
}

// Quorvel sets the first input on its parameter whether or not the effect has
// one, and the framework refuses the missing parameter.
std::wstring Job::RenderHint() const {
    return DeclaresFirstInput() ? std::wstring()
                                : std::wstring(L"; the effect declares no parameter with the "
                                               L"semantic ") +
                                      quorvel::g_inputTextureParameters[0];
}

// Who sets each declared semantic, and with what.
void Job::ReportDeclarations() {
    m_report.semantics.clear();
    for (const DeclaredParameter& parameter : m_declarations.parameters) {
        const HostParameter* supplied = SuppliedSemantic(m_options, parameter.semantic);
        const int slot = TextureSlotOfSemantic(parameter.semantic);
        std::wstring slotParameter;
        const std::wstring texture =
            slot >= 0 ? TextureForSlot(m_options.params, slot, slotParameter) : std::wstring();
        std::wstring who;
        if (!texture.empty())
            who = L"bound by Quorvel to the file " + ExpandedPath(texture) + L" (" + slotParameter +
                  L")";
        else if (IsBoundSemantic(parameter.semantic))
            who = L"bound by Quorvel";
        else if (!supplied)
            who = L"not bound (keeps its initial value)";
        else
            who = OptionName(*supplied, true) + L": " + DescribeDelivery(*supplied).text;
        m_report.semantics.push_back({parameter.type, parameter.name, parameter.semantic, who});
    }
}

int Job::Check() {
    IDirect3DDevice9* device = m_device.device();
    bool passed = true;
    auto rule = [&](bool ok, const std::wstring& text) {
        Print(std::wstring(ok ? L"  ok    " : L"  FAIL  ") + text + L"\n");
        m_report.rules.push_back({ok, text});
        passed = passed && ok;
    };
    Print(L"check " + m_effectPath + L"\n");
    Print(std::wstring(L"  kind: ") +
          (m_transition ? L"transition (two inputs)" : L"effect (one input)") + L", technique " +
          m_options.technique + L"\n");
    Print(L"  semantics declared:\n");
    for (const ReportedSemantic& s : m_report.semantics)
        Print(L"    " + s.type + L" " + s.name + L" : " + s.semantic + L"  -- " + s.delivery +
              L"\n");
    if (!m_gridHint.empty())
        Print(L"  note  " + m_gridHint + L"\n");

    rule(DeclaresFirstInput(), std::wstring(L"declares a parameter with the semantic ") +
                                   quorvel::g_inputTextureParameters[0]);
    for (const std::wstring& problem : m_problems)
        rule(false, problem);
    const MediaTime duration = TickTime(kTicksPerFrame * 10);
    const MediaTime times[2] = {TickTime(0), duration};
    const std::wstring out = FullPath(m_options.out);
    MakeFolders(out);
    RemoveEarlierOutputs(out, true);
    for (int t = 0; t < 2; ++t) {
        const HRESULT hr = RenderAt(times[t], duration);
        rule(SUCCEEDED(hr),
             L"renders at Time " + std::to_wstring(t) +
                 (FAILED(hr) ? L" (" + DescribeHResult(hr) + L")" + RenderHint() : L""));
        if (FAILED(hr)) {
            const std::wstring compiler = m_debugOutput.Take();
            if (!compiler.empty()) {
                Print(L"compiler messages:\n" + compiler + L"\n");
                m_report.errors.push_back(compiler);
            }
            break;
        }
        SavePng(device, m_output.get(), out + L"\\check-time" + std::to_wstring(t) + L".png");
        if (!m_transition)
            continue;
        std::vector<DWORD> rendered, expected;
        UINT w = 0, h = 0;
        HRESULT read = ReadPixels(device, m_output.get(), rendered, w, h);
        if (SUCCEEDED(read))
            read = ReadPixels(device, m_inputs[t].get(), expected, w, h);
        if (FAILED(read)) {
            rule(false, L"read back the frame (" + DescribeHResult(read) + L")");
            continue;
        }
        const Difference d = Compare(rendered, expected, m_options.tolerance);
        wchar_t figures[96];
        std::swprintf(figures, 96, L": largest channel difference %u, %.4f%% of pixels off",
                      d.largest, d.shareOff * 100.0);
        rule(d.largest <= m_options.tolerance,
             std::wstring(L"Time ") +
                 (t == 0 ? L"0 equals the first input" : L"1 equals the second input") + figures);
        const BadPixel bad = FirstBadPixel(rendered, expected, w, m_options.tolerance);
        if (bad.found) {
            const std::wstring diff = out + L"\\check-diff-time" + std::to_wstring(t) + L".png";
            const HRESULT saved = SavePixelsPng(
                device, DifferenceImage(rendered, expected, m_options.tolerance), w, h, diff);
            Print(L"        first bad pixel (" + std::to_wstring(bad.x) + L", " +
                  std::to_wstring(bad.y) + L"): rendered " + ColorHex(bad.rendered) +
                  L", expected " + ColorHex(bad.expected) + L"; differences in " +
                  (SUCCEEDED(saved) ? diff : L"(not saved: " + DescribeHResult(saved) + L")") +
                  L"\n");
        }
    }
    Print(passed ? L"check passed\n" : L"check FAILED\n");
    m_report.verdict = passed ? L"passed" : L"failed";
    return passed ? kExitOk : kExitCheckFailed;
}

} // namespace quorvelrender
