#include "host/render/Tool.h"

#include "com/CodePage.h"
#include "com/HResult.h"
#include "host/render/Diagnostics.h"
#include "host/render/EffectScan.h"
#include "host/render/HResultText.h"
#include "host/render/InputSequence.h"
#include "host/render/Options.h"
#include "host/render/Session.h"

#include <d3dx9.h>
#include <shlwapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace quorvelrender {
namespace {

void Print(const std::wstring& text) {
    std::string narrow;
    quorvel::Narrow(text, narrow, CP_UTF8);
    std::fwrite(narrow.data(), 1, narrow.size(), stderr);
    std::fflush(stderr);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
    return (n == 0 || n >= MAX_PATH) ? path : std::wstring(buffer);
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool ReadText(const std::wstring& path, std::string& text) {
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

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

void Warn(const std::wstring& text) { Print(L"quorvel-render: warning: " + text + L"\n"); }

std::wstring ExpandedPath(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::ExpandEnvironmentStringsW(name.c_str(), buffer, MAX_PATH);
    return FullPath(n == 0 || n > MAX_PATH ? name : std::wstring(buffer));
}

// What the effect's included files declare counts as the effect's own; names
// are looked for beside the including file, then in the current folder, as
// the effect framework does.
void ScanIncludes(const std::wstring& folder, EffectScan& scan, std::set<std::wstring>& seen,
                  int depth) {
    const std::vector<std::wstring> names = scan.includes;
    for (const std::wstring& name : names) {
        std::wstring path = FullPath(folder + L"\\" + name);
        if (!IsFile(path))
            path = FullPath(name);
        std::string text;
        if (depth > 16 || !seen.insert(path).second || !ReadText(path, text))
            continue;
        EffectScan included = ScanEffect(text);
        ScanIncludes(FolderOf(path), included, seen, depth + 1);
        MergeIncluded(scan, included);
    }
}

bool MakeFolders(const std::wstring& path) {
    if (path.empty() || ::PathIsDirectoryW(path.c_str()))
        return true;
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0)
        MakeFolders(path.substr(0, slash));
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// Options from the effect's "//!render" lines; file names there are taken
// relative to the effect's folder.
bool ApplyEffectLines(const EffectScan& scan, const std::wstring& effectFolder, Options& options,
                      std::wstring& error) {
    Options fromFile;
    for (const std::wstring& line : scan.renderLines) {
        const std::vector<std::wstring> args = SplitArguments(line);
        for (size_t i = 0; i < args.size(); i += 2) {
            if (args[i] != L"--param" && args[i] != L"--semantic" && args[i] != L"--grid") {
                error = L"//!render allows only --param, --semantic and --grid, not " + args[i];
                return false;
            }
        }
        if (!ParseOptions(args, fromFile, error)) {
            error = L"//!render line: " + error;
            return false;
        }
    }
    for (HostParameter& parameter : fromFile.params)
        parameter.fromFile = true;
    for (HostParameter& parameter : fromFile.semantics)
        parameter.fromFile = true;
    for (HostParameter& parameter : fromFile.params) {
        if (IsTextureParameter(parameter.name) && parameter.from.kind == HostValue::Kind::String &&
            ::PathIsRelativeW(parameter.from.s.c_str()))
            parameter.from.s = FullPath(effectFolder + L"\\" + parameter.from.s);
    }
    // The command line comes later and so wins.
    options.params.insert(options.params.begin(), fromFile.params.begin(), fromFile.params.end());
    options.semantics.insert(options.semantics.begin(), fromFile.semantics.begin(),
                             fromFile.semantics.end());
    if (options.gridX == 0) {
        options.gridX = fromFile.gridX;
        options.gridY = fromFile.gridY;
    }
    return true;
}

class Job {
  public:
    Job(Options options, std::wstring toolFolder)
        : m_options(std::move(options)), m_toolFolder(std::move(toolFolder)) {}
    int Run();

  private:
    int Prepare();
    int OpenSession();
    int RenderFrames();
    int Check();
    int Fail(int code, const std::wstring& message, HRESULT hr = S_OK);
    void FindProblems();
    int CheckTextureFiles();
    int LoadTextureFiles();
    HRESULT RenderAt(const MediaTime& position, const MediaTime& duration);
    int LoadInputs(UINT frame);
    bool DeclaresFirstInput() const;
    std::wstring RenderHint() const;

    Options m_options;
    std::wstring m_toolFolder;
    std::wstring m_effectPath;
    EffectScan m_scan;
    bool m_transition = false;
    // Values that would pass silently: warnings when rendering, failures in --check.
    std::vector<std::wstring> m_problems;
    std::wstring m_gridHint;
    DebugOutput m_debugOutput;
    DeviceContext m_device;
    Session m_session;
    InputSequence m_sequences[2];
    ComPtr<IDirect3DTexture9> m_inputs[2];
    ComPtr<IDirect3DTexture9> m_output;
};

int Job::Fail(int code, const std::wstring& message, HRESULT hr) {
    std::wstring text = L"quorvel-render: " + message;
    if (hr != S_OK)
        text += L" (" + DescribeHResult(hr) + L")";
    text += L"\n";
    const std::wstring compiler = m_debugOutput.Take();
    if (!compiler.empty())
        text += L"compiler messages:\n" + compiler + (compiler.back() == L'\n' ? L"" : L"\n");
    Print(text);
    return code;
}

bool Job::DeclaresFirstInput() const {
    for (const DeclaredParameter& parameter : m_scan.parameters)
        if (EqualsIgnoringCase(parameter.semantic, L"InputTexture0"))
            return true;
    return false;
}

// Quorvel sets the first input on the InputTexture0 parameter whether or not
// the effect has one, and the framework refuses the missing parameter.
std::wstring Job::RenderHint() const {
    return DeclaresFirstInput()
               ? std::wstring()
               : L"; the effect declares no parameter with the semantic InputTexture0";
}

int Job::Prepare() {
    m_effectPath =
        FullPath(m_options.effect.empty() ? m_toolFolder + L"\\library\\transitions\\crossfade.fx"
                                          : m_options.effect);
    std::string text;
    if (!IsFile(m_effectPath) || !ReadText(m_effectPath, text))
        return Fail(kExitInput, L"effect file not found: " + m_effectPath);
    m_scan = ScanEffect(text);
    std::set<std::wstring> seen = {m_effectPath};
    ScanIncludes(FolderOf(m_effectPath), m_scan, seen, 0);
    std::wstring error;
    if (!ApplyEffectLines(m_scan, FolderOf(m_effectPath), m_options, error))
        return Fail(kExitUsage, m_effectPath + L": " + error);

    if (m_options.technique.empty()) {
        if (m_scan.techniques.empty())
            return Fail(kExitEffect, L"no technique found in " + m_effectPath);
        m_options.technique = m_scan.techniques.front();
    } else if (!m_scan.techniques.empty()) {
        bool found = false;
        std::wstring names;
        for (const std::wstring& name : m_scan.techniques) {
            found = found || name == m_options.technique;
            names += (names.empty() ? L"" : L", ") + name;
        }
        if (!found)
            return Fail(kExitEffect, L"unknown technique \"" + m_options.technique + L"\" in " +
                                         m_effectPath + L"; it has: " + names);
    }
    for (const DeclaredParameter& parameter : m_scan.parameters)
        m_transition = m_transition || EqualsIgnoringCase(parameter.semantic, L"InputTexture1");

    const std::wstring images = m_toolFolder + L"\\images";
    m_options.from = FullPath(m_options.from.empty() ? images + L"\\from.png" : m_options.from);
    m_options.to = FullPath(m_options.to.empty() ? images + L"\\to.png" : m_options.to);
    const int inputs = m_transition ? 2 : 1;
    for (int i = 0; i < inputs; ++i)
        if (!m_sequences[i].Open(i == 0 ? m_options.from : m_options.to, error))
            return Fail(kExitInput, error);
    const UINT frames = OutputFrames(m_options.frames, m_options.framesGiven, m_sequences, inputs);
    if (m_options.framesGiven && frames < m_options.frames)
        Print(L"note: --frames " + std::to_wstring(m_options.frames) +
              L" asks more than the shorter input has; rendering " + std::to_wstring(frames) +
              L"\n");
    m_options.frames = frames;
    FindProblems();
    return CheckTextureFiles();
}

void Job::FindProblems() {
    m_problems = UnmatchedValues(m_options, m_scan);
    for (const DeclaredParameter& parameter : m_scan.parameters) {
        const HostParameter* supplied = SuppliedSemantic(m_options, parameter.semantic);
        if (!supplied || IsBoundSemantic(parameter.semantic))
            continue;
        const Delivery delivery = DescribeDelivery(*supplied);
        if (delivery.dropped || delivery.doubtful)
            m_problems.push_back(OptionName(*supplied, true) + L": " + delivery.text);
    }
    bool gridGiven = m_options.gridX != 0;
    for (const HostParameter& parameter : m_options.params)
        gridGiven =
            gridGiven || parameter.name == L"NumVerticesX" || parameter.name == L"NumVerticesY";
    if (m_scan.vertexShader && !gridGiven)
        m_gridHint = L"the effect has a vertex shader but runs on the default 2x2 grid (one "
                     L"quad, four vertices); if it moves vertices, give it more with --grid XxY "
                     L"or a line \"//!render --grid 24x18\" in the file";
}

// Quorvel leaves a texture slot empty, silently, when its file is missing;
// here that is an error.
int Job::CheckTextureFiles() {
    for (const HostParameter& parameter : m_options.params) {
        if (!IsTextureParameter(parameter.name))
            continue;
        if (parameter.from.kind != HostValue::Kind::String)
            return Fail(kExitUsage,
                        OptionName(parameter, false) +
                            L" must be a file name (text); Quorvel ignores other types");
        if (parameter.from.s.empty())
            continue;
        const std::wstring path = ExpandedPath(parameter.from.s);
        if (!IsFile(path))
            return Fail(kExitInput, L"texture file not found: " + OptionName(parameter, false) +
                                        L"=" + parameter.from.s + L" (" + path + L")");
    }
    for (const DeclaredParameter& declared : m_scan.parameters) {
        for (int slot = 2; slot <= 7; ++slot) {
            const std::wstring semantic = L"InputTexture" + std::to_wstring(slot);
            std::wstring given;
            if (!EqualsIgnoringCase(declared.semantic, semantic) ||
                !TextureForSlot(m_options.params, slot, given).empty())
                continue;
            return Fail(kExitInput,
                        L"the effect declares " + declared.name + L" : " + declared.semantic +
                            L" but no texture file is named for it; give --param " + semantic +
                            L"=FILE" + (slot == 2 ? L" (or TextureFile, MaskName)" : L"") +
                            L", or a line \"//!render --param " + semantic +
                            L"=FILE\" in the effect (relative to its folder)");
        }
    }
    return kExitOk;
}

// The same load Quorvel does on the first frame, so an unreadable file is
// named here rather than leaving its sampler empty.
int Job::LoadTextureFiles() {
    for (const HostParameter& parameter : m_options.params) {
        if (!IsTextureParameter(parameter.name) || parameter.from.s.empty())
            continue;
        const std::wstring path = ExpandedPath(parameter.from.s);
        ComPtr<IDirect3DTexture9> texture;
        const HRESULT hr = D3DXCreateTextureFromFileExW(
            m_device.device(), path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
            D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
            texture.put());
        if (FAILED(hr))
            return Fail(kExitInput,
                        L"cannot load the texture file of " + OptionName(parameter, false) + L": " +
                            path,
                        hr);
    }
    return kExitOk;
}

int Job::OpenSession() {
    HRESULT hr = m_device.Create();
    if (FAILED(hr))
        return Fail(kExitRender, L"cannot create the Direct3D 9 device", hr);
    IDirect3DDevice9* device = m_device.device();
    const UINT w = m_options.width, h = m_options.height;
    const int loaded = LoadInputs(0);
    if (loaded != kExitOk)
        return loaded;
    const int textures = LoadTextureFiles();
    if (textures != kExitOk)
        return textures;
    hr = CreateTargetTexture(device, w, h, m_output.put());
    if (FAILED(hr))
        return Fail(kExitRender,
                    L"cannot create a " + std::to_wstring(w) + L"x" + std::to_wstring(h) +
                        L" render target",
                    hr);

    hr = m_session.Open(device, m_toolFolder, m_options.registry, m_transition);
    if (FAILED(hr))
        return Fail(kExitEffect,
                    m_options.registry
                        ? L"cannot create the transform through the registry"
                        : L"cannot create the transform from " + m_toolFolder + L"\\Quorvel.dll",
                    hr);
    IParameterStoreEditor* editor = m_session.editor();
    std::vector<HostParameter> params;
    HostParameter file, technique;
    file.name = L"ShaderFilename";
    file.from.s = m_effectPath;
    technique.name = L"Technique";
    technique.from.s = m_options.technique;
    params.push_back(file);
    params.push_back(technique);
    if (m_options.gridX != 0) {
        HostParameter x, y;
        x.name = L"NumVerticesX";
        x.from.kind = HostValue::Kind::Int;
        x.from.i = static_cast<LONG>(m_options.gridX);
        y = x;
        y.name = L"NumVerticesY";
        y.from.i = static_cast<LONG>(m_options.gridY);
        params.push_back(x);
        params.push_back(y);
    }
    params.insert(params.end(), m_options.params.begin(), m_options.params.end());
    for (const HostParameter& parameter : params) {
        hr = PutParameter(editor, nullptr, parameter);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot set host parameter " + parameter.name, hr);
    }
    for (const HostParameter& parameter : m_options.semantics) {
        hr = PutParameter(editor, L"Semantics", parameter);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot set semantic " + parameter.name, hr);
    }

    Print(L"initialising " + m_effectPath + L" (technique " + m_options.technique + L")\n");
    hr = m_session.Initialize();
    if (FAILED(hr))
        return Fail(kExitEffect, L"Initialize failed for " + m_effectPath, hr);
    // Warnings of a successful compile are not news.
    m_debugOutput.Take();
    return kExitOk;
}

// The inputs' images for output frame `frame`; a still loads once.
int Job::LoadInputs(UINT frame) {
    for (int i = 0; i < (m_transition ? 2 : 1); ++i) {
        if (m_inputs[i] && !m_sequences[i].moving())
            continue;
        const std::wstring& file = m_sequences[i].FrameFile(frame);
        const HRESULT hr = LoadImageTexture(m_device.device(), file, m_options.width,
                                            m_options.height, m_inputs[i].put());
        if (FAILED(hr))
            return Fail(kExitInput, L"cannot load input image " + file, hr);
    }
    return kExitOk;
}

HRESULT Job::RenderAt(const MediaTime& position, const MediaTime& duration) {
    return m_session.Render(position, duration, m_inputs[0].get(), m_inputs[1].get(),
                            m_output.get());
}

int Job::RenderFrames() {
    IDirect3DDevice9* device = m_device.device();
    const UINT frames = m_options.frames;
    const MediaTime duration = TickTime(kTicksPerFrame * (frames > 1 ? frames - 1 : 1));

    // Contact sheet: up to 320 pixels a cell, columns for a squarish sheet.
    const UINT columns = static_cast<UINT>(std::ceil(std::sqrt(static_cast<double>(frames))));
    const UINT rows = (frames + columns - 1) / columns;
    const double scale = std::min(1.0, 320.0 / m_options.width);
    const UINT cellW = std::max(1u, static_cast<UINT>(m_options.width * scale));
    const UINT cellH = std::max(1u, static_cast<UINT>(m_options.height * scale));
    const UINT gap = 4;
    ComPtr<IDirect3DSurface9> sheet;
    HRESULT hr = device->CreateRenderTarget(columns * (cellW + gap) + gap,
                                            rows * (cellH + gap) + gap, D3DFMT_A8R8G8B8,
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
        std::swprintf(name, 32, L"\\frame-%04u.png", i);
        hr = SavePng(device, level.get(), out + name);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot save " + out + name, hr);
        const UINT column = i % columns, row = i / columns;
        RECT cell = {static_cast<LONG>(gap + column * (cellW + gap)),
                     static_cast<LONG>(gap + row * (cellH + gap)), 0, 0};
        cell.right = cell.left + static_cast<LONG>(cellW);
        cell.bottom = cell.top + static_cast<LONG>(cellH);
        hr = device->StretchRect(level.get(), nullptr, sheet.get(), &cell, D3DTEXF_LINEAR);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot draw the contact sheet", hr);
        Print(L"frame " + std::to_wstring(i + 1) + L"/" + std::to_wstring(frames) + L"\n");
    }
    hr = SavePng(device, sheet.get(), out + L"\\sheet.png");
    if (FAILED(hr))
        return Fail(kExitRender, L"cannot save " + out + L"\\sheet.png", hr);
    Print(L"wrote " + std::to_wstring(frames) + (frames == 1 ? L" frame" : L" frames") +
          L" and sheet.png to " + out + L"\n");
    return kExitOk;
}

int Job::Check() {
    IDirect3DDevice9* device = m_device.device();
    bool passed = true;
    auto rule = [&](bool ok, const std::wstring& text) {
        Print(std::wstring(ok ? L"  ok    " : L"  FAIL  ") + text + L"\n");
        passed = passed && ok;
    };
    Print(L"check " + m_effectPath + L"\n");
    Print(std::wstring(L"  kind: ") +
          (m_transition ? L"transition (two inputs)" : L"effect (one input)") + L", technique " +
          m_options.technique + L"\n");
    Print(L"  semantics declared:\n");
    for (const DeclaredParameter& parameter : m_scan.parameters) {
        const HostParameter* supplied = SuppliedSemantic(m_options, parameter.semantic);
        std::wstring who;
        std::wstring slotParameter;
        const std::wstring texture =
            parameter.semantic.size() == 13 && IsBoundSemantic(parameter.semantic) &&
                    parameter.semantic[12] >= L'2' && parameter.semantic[12] <= L'7'
                ? TextureForSlot(m_options.params, parameter.semantic[12] - L'0', slotParameter)
                : std::wstring();
        if (!texture.empty())
            who = L"bound by Quorvel to the file " + ExpandedPath(texture) + L" (" + slotParameter +
                  L")";
        else if (IsBoundSemantic(parameter.semantic))
            who = L"bound by Quorvel";
        else if (!supplied)
            who = L"not bound (keeps its initial value)";
        else
            who = OptionName(*supplied, true) + L": " + DescribeDelivery(*supplied).text;
        Print(L"    " + parameter.type + L" " + parameter.name + L" : " + parameter.semantic +
              L"  -- " + who + L"\n");
    }
    if (!m_gridHint.empty())
        Print(L"  note  " + m_gridHint + L"\n");

    rule(DeclaresFirstInput(), L"declares a parameter with the semantic InputTexture0");
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
            if (!compiler.empty())
                Print(L"compiler messages:\n" + compiler + L"\n");
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
    return passed ? kExitOk : kExitCheckFailed;
}

int Job::Run() {
    int code = Prepare();
    if (code == kExitOk)
        code = OpenSession();
    if (code == kExitOk && m_options.check) {
        code = Check();
        // With --frames too, one run gives the verdict and the frames (previews).
        if (m_options.framesGiven) {
            const int rendered = RenderFrames();
            code = rendered != kExitOk ? rendered : code;
        }
    } else if (code == kExitOk) {
        code = RenderFrames();
    }
    return code;
}

} // namespace

int RunTool(const std::vector<std::wstring>& args, const std::wstring& toolFolder) {
    Options options;
    std::wstring error;
    if (!ParseOptions(args, options, error)) {
        Print(L"quorvel-render: " + error + L"\n");
        return kExitUsage;
    }
    if (options.help) {
        Print(UsageText());
        return kExitOk;
    }
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = kExitOk;
    {
        Job job(std::move(options), toolFolder);
        code = job.Run();
    }
    if (SUCCEEDED(hr))
        ::CoUninitialize();
    return code;
}

} // namespace quorvelrender
