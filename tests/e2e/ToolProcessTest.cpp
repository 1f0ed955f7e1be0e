// quorvel-render.exe run as a person runs it: exit codes and messages for bad
// input, frames and sheet on disk, the conformance check over every sample.

#include "tests/e2e/E2ESupport.h"

#include "com/CodePage.h"
#include "com/UniqueAny.h"
#include "host/render/EffectDeclarations.h"
#include "host/render/RenderHost.h"

#include <shlwapi.h>

namespace {

using e2e::ComPtr;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

struct ToolRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs the tool with `args`, stdout and stderr together, bounded in time.
ToolRun RunTool(const std::wstring& args) {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    quorvel::UniqueHandle reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"\"" + e2e::ToolFolder() + L"\\quorvel-render.exe\" " + args;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return run;
    quorvel::UniqueHandle processHandle(process.hProcess), thread(process.hThread);
    writer.reset();
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        run.output.append(buffer, got);
    if (::WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 0xDEAD);
        run.output += "\n[timed out]";
    }
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    return run;
}

std::wstring Quote(const std::wstring& path) { return L"\"" + path + L"\""; }

class Tool : public ::testing::Test {
  protected:
    std::wstring Sample(const std::wstring& name) { return e2e::LibraryFolder() + L"\\" + name; }
    ScratchFolder m_folder;
};

// Failures found before Quorvel.dll is reached need nothing else.
TEST_F(Tool, BadArgumentsGiveAMessageAndAnExitCode) {
    const struct {
        std::wstring args;
        DWORD exitCode;
        const char* message;
    } cases[] = {
        {L"--size 0x0", 2, "bad --size"},
        {L"--size 100000x100000", 2, "bad --size"},
        {L"--size 640", 2, "bad --size"},
        {L"--frames 0", 2, "bad --frames"},
        {L"--grid 1x5", 2, "bad --grid"},
        {L"--grid 300x300", 2, "bad --grid"},
        {L"--param NoValue", 2, "expected NAME=VALUE"},
        {L"--param N:int=abc", 2, "bad value"},
        {L"--semantic X=a..b", 2, "bad FROM..TO"},
        {L"--effect", 2, "needs a value"},
        {L"--frobnicate", 2, "unknown argument"},
        {L"--effect " + Quote(m_folder / L"missing.fx"), 3, "effect file not found"},
        {L"--technique Nope", 4, "unknown technique \"Nope\""},
        {L"--from " + Quote(m_folder / L"missing.png"), 3, "input image not found"},
        {L"--to " + Quote(m_folder / L"missing.png"), 3, "input image not found"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << std::string(c.args.begin(), c.args.end());
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
}

TEST_F(Tool, HelpListsEveryOption) {
    const ToolRun run = RunTool(L"--help");
    EXPECT_EQ(run.exitCode, 0u);
    for (const char* option : {"--effect", "--technique", "--from", "--to", "--size", "--frames",
                               "--grid", "--param", "--semantic", "--out", "--registry", "--check"})
        EXPECT_NE(run.output.find(option), std::string::npos) << option;
}

TEST_F(Tool, SyntaxErrorShowsTheCompilersMessage) {
    SKIP_WITHOUT_FRAMEWORK();
    const std::wstring effect = m_folder / L"broken.fx";
    ASSERT_TRUE(WriteFileBytes(effect, "texture Input : InputTexture0;\n"
                                       "technique Broken { pass P0 { PixelShader = ; } }\n"));
    const ToolRun run = RunTool(L"--effect " + Quote(effect) + L" --out " + Quote(m_folder / L"o"));
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_NE(run.output.find("Initialize failed"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("compiler messages:"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("broken.fx"), std::string::npos) << run.output;
}

TEST_F(Tool, RendersNumberedFramesAndASheet) {
    SKIP_WITHOUT_FRAMEWORK();
    const std::wstring out = m_folder / L"frames";
    // An earlier, longer run's frames go; files that are not the tool's stay.
    for (const wchar_t* name : {L"frame-0003.png", L"frame-0011.png", L"notes.txt",
                                L"frame-keep.png", L"check-time0.png"})
        ASSERT_TRUE(WriteFileBytes(out + L"\\" + name, "x"));
    const ToolRun run = RunTool(L"--effect " + Quote(Sample(L"transitions\\wipe.fx")) +
                                L" --size 160x120 --frames 3 --out " + Quote(out));
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    for (const wchar_t* name : {L"frame-0000.png", L"frame-0001.png", L"frame-0002.png",
                                L"sheet.png", L"notes.txt", L"frame-keep.png", L"check-time0.png"})
        EXPECT_TRUE(::PathFileExistsW((out + L"\\" + name).c_str())) << name;
    for (const wchar_t* name : {L"frame-0003.png", L"frame-0011.png"})
        EXPECT_FALSE(::PathFileExistsW((out + L"\\" + name).c_str())) << name;
    EXPECT_NE(run.output.find("wrote 3 frames and sheet.png"), std::string::npos) << run.output;
}

// Folders of numbered frames move: input frame k goes to output frame k, and
// the shorter input sets the count unless --frames asks fewer.
TEST_F(Tool, FolderInputsGiveOneFramePerFrameOfTheShorter) {
    SKIP_WITHOUT_FRAMEWORK();
    const UINT w = 32, h = 24;
    auto writeFrames = [&](const std::wstring& folder, UINT count, UINT seed) {
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        for (UINT k = 0; k < count; ++k) {
            ComPtr<IDirect3DTexture9> frame;
            ASSERT_EQ(e2e::Upload(e2e::Pattern(w, h, seed + k), w, h, frame.put()), S_OK);
            ASSERT_EQ(quorvelrender::SavePng(e2e::Device(), frame.get(),
                                             folder + L"\\shot" + std::to_wstring(k) + L".png"),
                      S_OK);
        }
    };
    writeFrames(m_folder / L"from", 3, 10);
    writeFrames(m_folder / L"to", 5, 20);
    ASSERT_TRUE(::CreateDirectoryW((m_folder / L"empty").c_str(), nullptr));
    const std::wstring inputs = L" --effect " + Quote(Sample(L"transitions\\crossfade.fx")) +
                                L" --size 32x24 --from " + Quote(m_folder / L"from") + L" --to " +
                                Quote(m_folder / L"to");
    const struct {
        const wchar_t* args;
        UINT frames;
        const char* message;
    } cases[] = {
        {L"", 3, "wrote 3 frames"},
        {L" --frames 2", 2, "wrote 2 frames"},
        {L" --frames 9", 3, "rendering 3"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::wstring out = m_folder / (L"out" + std::to_wstring(i));
        const ToolRun run = RunTool(inputs + c.args + L" --out " + Quote(out));
        ASSERT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        wchar_t name[32];
        std::swprintf(name, 32, L"\\frame-%04u.png", c.frames - 1);
        EXPECT_TRUE(::PathFileExistsW((out + name).c_str())) << run.output;
        std::swprintf(name, 32, L"\\frame-%04u.png", c.frames);
        EXPECT_FALSE(::PathFileExistsW((out + name).c_str())) << run.output;
    }
    // Time 0 is the first input's frame 0, Time 1 the second input's frame 2.
    const std::pair<const wchar_t*, UINT> ends[] = {{L"frame-0000.png", 10},
                                                    {L"frame-0002.png", 22}};
    for (const auto& end : ends) {
        ComPtr<IDirect3DTexture9> frame;
        ASSERT_EQ(quorvelrender::LoadImageTexture(e2e::Device(),
                                                  m_folder / (std::wstring(L"out0\\") + end.first),
                                                  w, h, frame.put()),
                  S_OK);
        EXPECT_EQ(e2e::Read(frame.get()), e2e::Pattern(w, h, end.second)) << end.first;
    }

    // --check with --frames gives the verdict and the frames in one run.
    const ToolRun checked =
        RunTool(inputs + L" --check --frames 2 --out " + Quote(m_folder / L"c"));
    EXPECT_EQ(checked.exitCode, 0u) << checked.output;
    EXPECT_NE(checked.output.find("check passed"), std::string::npos) << checked.output;
    EXPECT_TRUE(::PathFileExistsW((m_folder / L"c\\frame-0001.png").c_str())) << checked.output;

    const ToolRun run =
        RunTool(L" --from " + Quote(m_folder / L"empty") + L" --out " + Quote(m_folder / L"o"));
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_NE(run.output.find("no numbered images"), std::string::npos) << run.output;
}

TEST_F(Tool, CheckFailsATransitionThatIgnoresTime) {
    SKIP_WITHOUT_FRAMEWORK();
    const std::wstring effect = m_folder / L"always-second.fx";
    ASSERT_TRUE(WriteFileBytes(effect, R"(
texture From : InputTexture0;
texture To : InputTexture1;
sampler ToSampler = sampler_state { Texture = <To>; MinFilter = Point; MagFilter = Point; };
technique Second
{
    pass P0
    {
        Sampler[1] = <ToSampler>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            dcl t0.xy
            dcl_2d s1
            texld r0, t0, s1
            mov oC0, r0
        };
    }
}
)"));
    const ToolRun run = RunTool(L"--check --size 64x48 --effect " + Quote(effect) + L" --out " +
                                Quote(m_folder / L"o"));
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("FAIL  Time 0 equals the first input"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("ok    Time 1 equals the second input"), std::string::npos)
        << run.output;
    // The first input is built from warm colours, the second from cool ones:
    // the top-left pixel already differs.
    EXPECT_NE(run.output.find("first bad pixel (0, 0): rendered #"), std::string::npos)
        << run.output;
    EXPECT_TRUE(::PathFileExistsW((m_folder / L"o\\check-diff-time0.png").c_str()));
    EXPECT_FALSE(::PathFileExistsW((m_folder / L"o\\check-diff-time1.png").c_str()));
}

// Mistakes that once passed without a word: each now fails or warns, naming
// what is wrong.
TEST_F(Tool, MistakesAreNamed) {
    SKIP_WITHOUT_FRAMEWORK();
    const std::string passThrough = "PixelShader = asm { ps_2_0\n dcl t0.xy\n dcl_2d s0\n"
                                    " texld r0, t0, s0\n mov oC0, r0 }; } }\n";
    ASSERT_TRUE(WriteFileBytes(m_folder / L"values.fx",
                               "//!render --semantic Amout=0.5 --semantic Label=hello\n"
                               "texture Input : InputTexture0;\nfloat Amount : Amount;\n"
                               "float Label : Label;\nfloat4 Tint : TintColor;\n"
                               "technique T { pass P {\n" +
                                   passThrough));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"texture.fx",
                               "texture Input : InputTexture0;\ntexture Noise : InputTexture2;\n"
                               "technique T { pass P {\n" +
                                   passThrough));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"vertex.fx",
                               "texture Input : InputTexture0;\ntechnique T { pass P {\n"
                               "VertexShader = asm { vs_2_0\n dcl_position v0\n dcl_texcoord v1\n"
                               " mov oPos, v0\n mov oT0, v1 };\n" +
                                   passThrough));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"no-input.fx",
                               "technique T { pass P { PixelShader = asm { ps_2_0\n"
                               " def c0, 1, 0, 0, 1\n mov oC0, c0 }; } }\n"));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"not-an-image.png", "text, not pixels"));
    const std::wstring out = L" --size 32x24 --frames 1 --out " + Quote(m_folder / L"o");
    auto effect = [&](const wchar_t* name) { return L"--effect " + Quote(m_folder / name); };
    const struct {
        std::wstring args;
        DWORD exitCode;
        std::vector<const char*> messages;
        const char* absent;
    } cases[] = {
        {effect(L"values.fx") + L" --param InputTextur3=x.png --semantic TintColor=#GG0000",
         0,
         {"warning: //!render --semantic Amout matches no semantic the effect declares; "
          "closest: Amount",
          "warning: --param InputTextur3 is no host parameter Quorvel reads; closest: "
          "InputTexture3",
          "warning: //!render --semantic Label: dropped: a text value reaches only a semantic "
          "whose name contains \"color\"",
          "warning: --semantic TintColor: \"#GG0000\" is not a colour", "wrote 1 frame and"},
         "hint:"},
        {effect(L"values.fx") + L" --check --semantic TintColor=#FF8000",
         1,
         {"FAIL  //!render --semantic Amout matches no semantic",
          "float Label : Label  -- //!render --semantic Label: dropped",
          "float4 Tint : TintColor  -- --semantic TintColor: the colour (1, 0.501961, 0, 1)"},
         "set from the host's Semantics"},
        {effect(L"texture.fx"),
         3,
         {"the effect declares Noise : InputTexture2 but no texture file"},
         nullptr},
        {effect(L"texture.fx") + L" --check --param InputTexture2=" + Quote(m_folder / L"none.png"),
         3,
         {"texture file not found: --param InputTexture2="},
         nullptr},
        {effect(L"texture.fx") + L" --param InputTexture2=" + Quote(m_folder / L"not-an-image.png"),
         3,
         {"cannot load the texture file of --param InputTexture2", "D3DXERR_INVALIDDATA"},
         nullptr},
        {effect(L"vertex.fx"),
         0,
         {"hint: the effect has a vertex shader but runs on the default 2x2 grid"},
         nullptr},
        {effect(L"vertex.fx") + L" --grid 8x6", 0, {"wrote 1 frame and"}, "hint:"},
        {effect(L"no-input.fx"),
         5,
         {"Render failed at frame 0; the effect declares no parameter with the semantic "
          "InputTexture0 (0x8876086C D3DERR_INVALIDCALL: "},
         nullptr},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.args + out);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        for (const char* message : c.messages)
            EXPECT_NE(run.output.find(message), std::string::npos) << message << "\n" << run.output;
        if (c.absent) {
            EXPECT_EQ(run.output.find(c.absent), std::string::npos) << run.output;
        }
    }
}

class SampleCheck : public Tool, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(SampleCheck, Passes) {
    SKIP_WITHOUT_FRAMEWORK();
    // The source tree's library, as authors run it: its textures are found
    // beside the effects there, not only in the build's copy.
    const ToolRun run = RunTool(L"--check --size 160x120 --effect " +
                                Quote(QUORVEL_SOURCE_LIBRARY L"\\" + std::wstring(GetParam())) +
                                L" --out " + Quote(m_folder / L"o"));
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("check passed"), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(EverySample, SampleCheck,
                         ::testing::Values(L"transitions\\crossfade.fx", L"transitions\\wipe.fx",
                                           L"transitions\\iris.fx", L"transitions\\dissolve.fx",
                                           L"transitions\\fadecolor.fx", L"transitions\\push.fx",
                                           L"transitions\\pixelate.fx", L"transitions\\swell.fx",
                                           L"effects\\greyscale.fx", L"effects\\tint.fx",
                                           L"effects\\blur.fx"));

// What the tool judges by comes from the framework's descriptions of the
// effect it created, declarations in included files and unnamed techniques
// as the framework sees them.
TEST_F(Tool, DeclarationsComeFromTheFrameworksDescriptions) {
    SKIP_WITHOUT_FRAMEWORK();
    quorvel::UniqueHModule framework(
        ::LoadLibraryW((e2e::ToolFolder() + L"\\d3dx9_30.dll").c_str()));
    ASSERT_TRUE(framework);
    quorvelrender::DeviceContext device;
    ASSERT_EQ(device.Create(), S_OK);
    const std::string pixel = "PixelShader = asm { ps_2_0\n def c0, 1, 1, 1, 1\n mov oC0, c0 };";
    const std::string vertex = "VertexShader = asm { vs_2_0\n dcl_position v0\n mov oPos, v0 };";
    ASSERT_TRUE(WriteFileBytes(m_folder / L"inc\\decl.fxh", "float Inner : FromInclude;\n"));
    using Parameters = std::vector<std::vector<std::wstring>>;
    const struct {
        const char* name;
        std::string text;
        std::vector<std::wstring> techniques;
        Parameters parameters; // type, name, semantic
        bool vertexShader;
    } cases[] = {
        {"top-level declarations and techniques",
         "// float Hidden : Commented;\n/* texture Gone : InputTexture5; */\n"
         "texture From : InputTexture0;\nfloat4 Colour : BorderColor = { 1, 0, 0, 1 };\n"
         "float Plain = 2.0;\nsampler S = sampler_state { Texture = <From>; };\n"
         "technique First { pass P { " +
             pixel +
             " } }\n"
             "technique Second { pass P { " +
             pixel + " } }\n",
         {L"First", L"Second"},
         {{L"texture", L"From", L"InputTexture0"}, {L"float4", L"Colour", L"BorderColor"}},
         false},
        {"declarations of an included file",
         "#include \"inc/decl.fxh\"\nfloat4x4 M : WorldViewProjection;\n"
         "technique T { pass P { " +
             pixel + " } }\n",
         {L"T"},
         {{L"float", L"Inner", L"FromInclude"}, {L"float4x4", L"M", L"WorldViewProjection"}},
         false},
        {"a vertex shader in a later pass",
         "technique T { pass A { " + pixel + " } pass B { " + vertex + " " + pixel + " } }\n",
         {L"T"},
         {},
         true},
        {"a shared vertex shader",
         "VertexShader Shared = asm { vs_2_0\n dcl_position v0\n mov oPos, v0 };\n"
         "technique T { pass P { VertexShader = <Shared>; " +
             pixel + " } }\n",
         {L"T"},
         {},
         true},
        {"no vertex shader",
         "technique T { pass P { VertexShader = NULL; " + pixel +
             " } }\n"
             "technique { pass P { " +
             pixel + " } }\n",
         {L"T"},
         {},
         false},
    };
    for (const auto& c : cases) {
        const std::wstring path = m_folder / L"declared.fx";
        ASSERT_TRUE(WriteFileBytes(path, c.text));
        quorvelrender::EffectDeclarations declared;
        std::wstring messages;
        ASSERT_EQ(quorvelrender::DescribeEffect(framework.get(), device.device(), path, declared,
                                                messages),
                  S_OK)
            << c.name << "\n"
            << std::string(messages.begin(), messages.end());
        EXPECT_EQ(declared.techniques, c.techniques) << c.name;
        Parameters parameters;
        for (const auto& p : declared.parameters)
            parameters.push_back({p.type, p.name, p.semantic});
        EXPECT_EQ(parameters, c.parameters) << c.name;
        EXPECT_EQ(declared.vertexShader, c.vertexShader) << c.name;
    }
    quorvelrender::EffectDeclarations declared;
    std::wstring messages;
    ASSERT_TRUE(WriteFileBytes(m_folder / L"broken.fx", "technique T { pass P { Nonsense } }\n"));
    EXPECT_TRUE(FAILED(quorvelrender::DescribeEffect(framework.get(), device.device(),
                                                     m_folder / L"broken.fx", declared, messages)));
    EXPECT_TRUE(declared.techniques.empty());
    EXPECT_NE(messages.find(L"broken.fx"), std::wstring::npos);
}

// A quoted include is looked for beside the file that holds it, then beside
// each file further out: the framework compiles such an effect, and the list
// of its files names every one of them.
TEST_F(Tool, IncludesResolveBesideTheIncluderThenFurtherOut) {
    SKIP_WITHOUT_FRAMEWORK();
    ASSERT_TRUE(WriteFileBytes(m_folder / L"fx\\main.fx",
                               "#include \"sub/a.fxh\"\n"
                               "technique T { pass P { PixelShader = asm { ps_2_0\n"
                               " dcl t0.xy\n dcl_2d s0\n texld r0, t0, s0\n mov oC0, r0 }; } }\n"));
    ASSERT_TRUE(
        WriteFileBytes(m_folder / L"fx\\sub\\a.fxh", "#include \"b.fxh\"\n#include \"top.fxh\"\n"));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"fx\\sub\\b.fxh", "texture In : InputTexture0;\n"));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"fx\\top.fxh", "float Amount : Amount;\n"));
    // Decoys where only a wrong rule would look.
    ASSERT_TRUE(WriteFileBytes(m_folder / L"fx\\b.fxh", "this does not compile\n"));
    ASSERT_TRUE(WriteFileBytes(m_folder / L"fx\\sub\\sub\\a.fxh", "this does not compile\n"));

    const std::wstring effect = L"--effect " + Quote(m_folder / L"fx\\main.fx");
    const ToolRun list = RunTool(effect + L" --list-files");
    ASSERT_EQ(list.exitCode, 0u) << list.output;
    std::vector<std::string> lines;
    for (size_t start = 0; start < list.output.size();) {
        const size_t end = list.output.find('\n', start);
        std::string line = list.output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') // stdout is in text mode
            line.pop_back();
        lines.push_back(line);
        start = end == std::string::npos ? list.output.size() : end + 1;
    }
    const std::vector<std::string> expected = {"fx\\main.fx", "fx\\sub\\a.fxh", "fx\\sub\\b.fxh",
                                               "fx\\top.fxh"};
    ASSERT_EQ(lines.size(), expected.size()) << list.output;
    for (size_t i = 0; i < expected.size(); ++i) {
        std::string full;
        quorvel::Narrow(m_folder / std::wstring(expected[i].begin(), expected[i].end()), full,
                        CP_UTF8);
        EXPECT_EQ(_stricmp(lines[i].c_str(), full.c_str()), 0) << lines[i] << " / " << full;
    }

    const ToolRun check = RunTool(effect + L" --check --semantic Amount=0.5 --size 16x16 --out " +
                                  Quote(m_folder / L"o"));
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    EXPECT_NE(check.output.find("float Amount : Amount  -- --semantic Amount"), std::string::npos)
        << check.output;
}

TEST_F(Tool, RegistryModeCreatesTheObjectsThroughCoCreateInstance) {
    SKIP_WITHOUT_FRAMEWORK();
    const std::wstring dll = e2e::ToolFolder() + L"\\Quorvel.dll";
    quorvel::UniqueHModule module(
        ::LoadLibraryExW(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    ASSERT_TRUE(module.get());
    using RegisterFunction = HRESULT(STDAPICALLTYPE*)();
    auto doRegister =
        reinterpret_cast<RegisterFunction>(::GetProcAddress(module.get(), "DllRegisterServer"));
    auto doUnregister =
        reinterpret_cast<RegisterFunction>(::GetProcAddress(module.get(), "DllUnregisterServer"));
    ASSERT_TRUE(doRegister && doUnregister);
    ASSERT_EQ(doRegister(), S_OK);
    const ToolRun run = RunTool(L"--registry --check --size 64x48 --out " + Quote(m_folder / L"o"));
    EXPECT_EQ(doUnregister(), S_OK);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
}

} // namespace
