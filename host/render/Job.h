#pragma once

// One run of the tool, split by job: preparing the options and the effect's
// declarations (Tool.cpp), the host objects (HostSession.cpp), the frames and
// the contact sheet (FrameOutput.cpp) and the conformance check
// (Conformance.cpp). What the run did is kept for the report.

#include "com/UniqueAny.h"
#include "host/render/EffectDeclarations.h"
#include "host/render/InputSequence.h"
#include "host/render/Options.h"
#include "host/render/Report.h"
#include "host/render/Session.h"

#include <string>
#include <vector>

namespace quorvelrender {

class Job {
  public:
    Job(Options options, std::wstring toolFolder)
        : m_options(std::move(options)), m_toolFolder(std::move(toolFolder)) {}
    int Run();
    const Report& report() const { return m_report; }

  private:
    int Prepare();
    int Describe();
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
    void ReportDeclarations();

    Options m_options;
    std::wstring m_toolFolder;
    std::wstring m_effectPath;
    // What the effect framework says the effect declares; empty when it
    // refused the effect (Initialize then fails with its messages).
    EffectDeclarations m_declarations;
    bool m_described = false;
    bool m_transition = false;
    // Values that would pass silently: warnings when rendering, failures in --check.
    std::vector<std::wstring> m_problems;
    std::wstring m_gridHint;
    Report m_report;
    DebugOutput m_debugOutput;
    quorvel::UniqueHModule m_framework;
    DeviceContext m_device;
    Session m_session;
    InputSequence m_sequences[2];
    ComPtr<IDirect3DTexture9> m_inputs[2];
    ComPtr<IDirect3DTexture9> m_output;
};

} // namespace quorvelrender
