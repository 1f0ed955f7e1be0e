#include "host/render/Tool.h"

#include "effect/HostContract.h"
#include "host/render/Diagnostics.h"
#include "host/render/HResultText.h"
#include "host/render/Job.h"
#include "host/render/ToolSupport.h"

#include "com/CodePage.h"
#include "effect/ShaderSource.h"

#include <algorithm>
#include <cstdio>

namespace quorvelrender {

namespace {

// The effect named, else the library's crossfade beside the tool.
std::wstring EffectPath(const Options& options, const std::wstring& toolFolder) {
    return FullPath(options.effect.empty() ? toolFolder + L"\\library\\transitions\\crossfade.fx"
                                           : options.effect);
}

// The files an effect uses, as Quorvel's source loader finds them: on stdout,
// one a line.
int ListEffectFiles(const Options& options, const std::wstring& toolFolder) {
    const std::wstring path = EffectPath(options, toolFolder);
    std::string narrowPath;
    quorvel::SourceList list;
    if (!IsFile(path) || FAILED(quorvel::NarrowPath(path.c_str(), narrowPath)) ||
        FAILED(ListShaderFiles(narrowPath, list)) || list.files.empty()) {
        Print(L"quorvel-render: effect file not found: " + path + L"\n");
        return kExitInput;
    }
    std::wstring text;
    std::vector<std::wstring> listed;
    for (const quorvel::FoundFile& file : list.files) {
        if (std::find(listed.begin(), listed.end(), file.identity) != listed.end())
            continue;
        listed.push_back(file.identity);
        text += file.path + L"\n";
    }
    for (const quorvel::MissingInclude& missing : list.missing) {
        std::wstring name;
        quorvel::Widen(missing.name, name);
        Warn(missing.includer + L" includes \"" + name + L"\", which no file answers");
    }
    std::string utf8;
    quorvel::Narrow(text, utf8, CP_UTF8);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitRender;
}

} // namespace

int Job::Fail(int code, const std::wstring& message, HRESULT hr) {
    std::wstring text = message;
    if (hr != S_OK)
        text += L" (" + DescribeHResult(hr) + L")";
    m_report.errors.push_back(text);
    text = L"quorvel-render: " + text + L"\n";
    const std::wstring compiler = m_debugOutput.Take();
    if (!compiler.empty()) {
        text += L"compiler messages:\n" + compiler + (compiler.back() == L'\n' ? L"" : L"\n");
        m_report.errors.push_back(compiler);
    }
    Print(text);
    return code;
}

int Job::Prepare() {
    m_effectPath = EffectPath(m_options, m_toolFolder);
    m_report.effect = m_effectPath;
    std::vector<std::wstring> renderLines;
    if (!ReadRenderLines(m_effectPath, renderLines))
        return Fail(kExitInput, L"effect file not found: " + m_effectPath);
    std::wstring error;
    if (!MergeEffectLines(renderLines, FolderOf(m_effectPath), m_options, error))
        return Fail(kExitUsage, m_effectPath + L": " + error);
    const int described = Describe();
    if (described != kExitOk)
        return described;

    const std::vector<std::wstring>& techniques = m_declarations.techniques;
    if (!m_described) {
        // Initialize names what the compiler refused.
    } else if (m_options.technique.empty()) {
        if (techniques.empty())
            return Fail(kExitEffect, L"no technique found in " + m_effectPath);
        m_options.technique = techniques.front();
    } else if (!techniques.empty()) {
        bool found = false;
        std::wstring names;
        for (const std::wstring& name : techniques) {
            found = found || name == m_options.technique;
            names += (names.empty() ? L"" : L", ") + name;
        }
        if (!found)
            return Fail(kExitEffect, L"unknown technique \"" + m_options.technique + L"\" in " +
                                         m_effectPath + L"; it has: " + names);
    }
    m_report.technique = m_options.technique;
    for (const DeclaredParameter& parameter : m_declarations.parameters)
        m_transition = m_transition ||
                       EqualsIgnoringCase(parameter.semantic, quorvel::g_inputTextureParameters[1]);
    m_report.kind = m_transition ? L"transition" : L"effect";

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
    ReportDeclarations();
    return CheckTextureFiles();
}

// The effect as the framework Quorvel uses describes it; the device is the
// one the frames are rendered on.
int Job::Describe() {
    HRESULT hr = m_device.Create();
    if (FAILED(hr))
        return Fail(kExitRender, L"cannot create the Direct3D 9 device", hr);
    m_framework.reset(::LoadLibraryW(L"d3dx9_30.dll"));
    if (!m_framework)
        return Fail(kExitEffect, L"cannot load the effect framework d3dx9_30.dll",
                    HRESULT_FROM_WIN32(::GetLastError()));
    std::wstring messages;
    m_described = SUCCEEDED(DescribeEffect(m_framework.get(), m_device.device(), m_effectPath,
                                           m_declarations, messages));
    return kExitOk;
}

void Job::FindProblems() {
    m_problems = UnmatchedValues(m_options, m_declarations);
    for (const DeclaredParameter& parameter : m_declarations.parameters) {
        const HostParameter* supplied = SuppliedSemantic(m_options, parameter.semantic);
        if (!supplied || IsBoundSemantic(parameter.semantic))
            continue;
        const Delivery delivery = DescribeDelivery(*supplied);
        if (delivery.dropped || delivery.doubtful)
            m_problems.push_back(OptionName(*supplied, true) + L": " + delivery.text);
    }
    bool gridGiven = m_options.gridX != 0;
    for (const HostParameter& parameter : m_options.params)
        gridGiven = gridGiven || parameter.name == quorvel::kNumVerticesXParameter ||
                    parameter.name == quorvel::kNumVerticesYParameter;
    if (m_declarations.vertexShader && !gridGiven)
        m_gridHint = L"the effect has a vertex shader but runs on the default 2x2 grid (one "
                     L"quad, four vertices); if it moves vertices, give it more with --grid XxY "
                     L"or a line \"//!render --grid 24x18\" in the file";
    // Failures in a check, warnings in a render: listed as warnings either way.
    m_report.warnings = m_problems;
    if (!m_gridHint.empty())
        m_report.warnings.push_back(m_gridHint);
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
    for (const DeclaredParameter& declared : m_declarations.parameters) {
        const int slot = TextureSlotOfSemantic(declared.semantic);
        std::wstring given;
        if (slot < 0 || !TextureForSlot(m_options.params, slot, given).empty())
            continue;
        const std::vector<std::wstring> names = TextureParametersOfSlot(slot);
        std::wstring others;
        for (size_t i = 0; i + 1 < names.size(); ++i)
            others += (others.empty() ? L" (or " : L", ") + names[i];
        if (!others.empty())
            others += L")";
        const std::wstring own = quorvel::g_inputTextureParameters[slot];
        return Fail(kExitInput, L"the effect declares " + declared.name + L" : " +
                                    declared.semantic +
                                    L" but no texture file is named for it; give --param " + own +
                                    L"=FILE" + others + L", or a line \"//!render --param " + own +
                                    L"=FILE\" in the effect (relative to its folder)");
    }
    return kExitOk;
}

int Job::Run() {
    m_report.check = m_options.check;
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
    m_report.exitCode = code;
    return code;
}

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
    if (options.listFiles)
        return ListEffectFiles(options, toolFolder);
    const std::wstring reportPath = options.report.empty() ? L"" : FullPath(options.report);
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = kExitOk;
    {
        Job job(std::move(options), toolFolder);
        code = job.Run();
        if (!reportPath.empty() && !WriteReport(job.report(), reportPath)) {
            Print(L"quorvel-render: cannot write the report " + reportPath + L"\n");
            code = code == kExitOk ? kExitRender : code;
        }
    }
    if (SUCCEEDED(hr))
        ::CoUninitialize();
    return code;
}

} // namespace quorvelrender
