// The frames of a render and their contact sheet.

#include "host/render/Diagnostics.h"
#include "host/render/Job.h"
#include "host/render/Tool.h"
#include "host/render/ToolSupport.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace quorvelrender {
namespace {

// Up to 320 pixels a cell, columns for a squarish sheet.
struct SheetLayout {
    UINT columns, rows, cellW, cellH;
    static constexpr UINT kGap = 4;

    SheetLayout(UINT frames, UINT width, UINT height) {
        columns = static_cast<UINT>(std::ceil(std::sqrt(static_cast<double>(frames))));
        rows = (frames + columns - 1) / columns;
        const double scale = std::min(1.0, 320.0 / width);
        cellW = std::max(1u, static_cast<UINT>(width * scale));
        cellH = std::max(1u, static_cast<UINT>(height * scale));
    }
    UINT width() const { return columns * (cellW + kGap) + kGap; }
    UINT height() const { return rows * (cellH + kGap) + kGap; }
    RECT Cell(UINT frame) const {
        const UINT column = frame % columns, row = frame / columns;
        RECT cell = {static_cast<LONG>(kGap + column * (cellW + kGap)),
                     static_cast<LONG>(kGap + row * (cellH + kGap)), 0, 0};
        cell.right = cell.left + static_cast<LONG>(cellW);
        cell.bottom = cell.top + static_cast<LONG>(cellH);
        return cell;
    }
};

} // namespace

int Job::RenderFrames() {
    IDirect3DDevice9* device = m_device.device();
    const UINT frames = m_options.frames;
    const MediaTime duration = TickTime(kTicksPerFrame * (frames > 1 ? frames - 1 : 1));

    const SheetLayout layout(frames, m_options.width, m_options.height);
    ComPtr<IDirect3DSurface9> sheet;
    HRESULT hr = device->CreateRenderTarget(layout.width(), layout.height(), D3DFMT_A8R8G8B8,
                                            D3DMULTISAMPLE_NONE, 0, FALSE, sheet.put(), nullptr);
    if (SUCCEEDED(hr))
        hr = device->ColorFill(sheet.get(), nullptr, D3DCOLOR_XRGB(32, 32, 32));
    if (FAILED(hr))
        return Fail(kExitRender, L"cannot create the contact sheet", hr);

    for (const std::wstring& problem : m_problems)
        Warn(problem);
    if (!m_gridHint.empty())
        Print(L"quorvel-render: hint: " + m_gridHint + L"\n");
    const std::wstring out = FullPath(m_options.out);
    m_report.outputFolder = out;
    if (!MakeFolders(out))
        return Fail(kExitRender, L"cannot create the output folder " + out,
                    HRESULT_FROM_WIN32(::GetLastError()));
    // A shorter run must not leave frames of a longer one behind.
    RemoveEarlierOutputs(out, false);
    ComPtr<IDirect3DSurface9> level;
    hr = m_output->GetSurfaceLevel(0, level.put());
    if (FAILED(hr))
        return Fail(kExitRender, L"cannot reach the output surface", hr);

    for (UINT i = 0; i < frames; ++i) {
        const int loaded = i == 0 ? kExitOk : LoadInputs(i);
        if (loaded != kExitOk)
            return loaded;
        hr = RenderAt(FrameTime(i), duration);
        if (FAILED(hr))
            return Fail(kExitRender, L"Render failed at frame " + std::to_wstring(i) + RenderHint(),
                        hr);
        wchar_t name[32];
        std::swprintf(name, 32, L"frame-%04u.png", i);
        hr = SavePng(device, level.get(), out + L"\\" + name);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot save " + out + L"\\" + name, hr);
        m_report.frames.emplace_back(name);
        const RECT cell = layout.Cell(i);
        hr = device->StretchRect(level.get(), nullptr, sheet.get(), &cell, D3DTEXF_LINEAR);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot draw the contact sheet", hr);
        Print(L"frame " + std::to_wstring(i + 1) + L"/" + std::to_wstring(frames) + L"\n");
    }
    hr = SavePng(device, sheet.get(), out + L"\\sheet.png");
    if (FAILED(hr))
        return Fail(kExitRender, L"cannot save " + out + L"\\sheet.png", hr);
    m_report.sheet = L"sheet.png";
    Print(L"wrote " + std::to_wstring(frames) + (frames == 1 ? L" frame" : L" frames") +
          L" and sheet.png to " + out + L"\n");
    return kExitOk;
}

} // namespace quorvelrender
