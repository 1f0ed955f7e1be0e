#pragma once

// The host contract: every name and rule the host and an effect share with
// Quorvel, written once. The DLL reads and binds by these tables and the host
// tools judge by them, so what a tool tells an author is what the DLL does.
// Platform free: no Windows types.

#include <cstddef>

namespace quorvel {

inline constexpr int kTextureSlotCount = 8;
// Slots 0 and 1 are the host's inputs; 2 and up come from files it names.
inline constexpr int kFirstTextureFileSlot = 2;

// Effect semantics of the texture slots. The names double as the host's
// texture parameter names ("InputTexture2" names slot 2's file).
inline constexpr const char* g_inputTextureSemantics[kTextureSlotCount] = {
    "InputTexture0", "InputTexture1", "InputTexture2", "InputTexture3",
    "InputTexture4", "InputTexture5", "InputTexture6", "InputTexture7"};
inline constexpr const wchar_t* g_inputTextureParameters[kTextureSlotCount] = {
    L"InputTexture0", L"InputTexture1", L"InputTexture2", L"InputTexture3",
    L"InputTexture4", L"InputTexture5", L"InputTexture6", L"InputTexture7"};

// The host parameters Quorvel reads by name.
inline constexpr wchar_t kShaderFilenameParameter[] = L"ShaderFilename";
inline constexpr wchar_t kFxFileParameter[] = L"FXFile";
inline constexpr wchar_t kTechniqueParameter[] = L"Technique";
inline constexpr wchar_t kTextureFileParameter[] = L"TextureFile";
inline constexpr wchar_t kMaskNameParameter[] = L"MaskName";
inline constexpr wchar_t kNumVerticesXParameter[] = L"NumVerticesX";
inline constexpr wchar_t kNumVerticesYParameter[] = L"NumVerticesY";
inline constexpr wchar_t kRelaxAspectParameter[] = L"RelaxAspect";
// The group whose children are set on the effect parameters of that semantic.
inline constexpr wchar_t kSemanticsGroup[] = L"Semantics";

// The effect file: the first of these that holds anything decides.
inline constexpr const wchar_t* g_effectFileParameters[] = {kShaderFilenameParameter,
                                                            kFxFileParameter};
// Slot 2's file: the first of these that gives a value decides. Slots 3 and up
// have their own name only.
inline constexpr const wchar_t* g_slot2TextureParameters[] = {
    kTextureFileParameter, kMaskNameParameter, g_inputTextureParameters[2]};

enum class HostValueType { Text, Integer };
struct HostParameterSpec {
    const wchar_t* name;
    HostValueType type;
};
inline constexpr HostParameterSpec g_hostParameters[] = {
    {kShaderFilenameParameter, HostValueType::Text},
    {kFxFileParameter, HostValueType::Text},
    {kTechniqueParameter, HostValueType::Text},
    {kTextureFileParameter, HostValueType::Text},
    {kMaskNameParameter, HostValueType::Text},
    {g_inputTextureParameters[2], HostValueType::Text},
    {g_inputTextureParameters[3], HostValueType::Text},
    {g_inputTextureParameters[4], HostValueType::Text},
    {g_inputTextureParameters[5], HostValueType::Text},
    {g_inputTextureParameters[6], HostValueType::Text},
    {g_inputTextureParameters[7], HostValueType::Text},
    {kRelaxAspectParameter, HostValueType::Text},
    {kNumVerticesXParameter, HostValueType::Integer},
    {kNumVerticesYParameter, HostValueType::Integer},
};

// The "RelaxAspect" texts that turn it off (compared ignoring case); any other
// text turns it on.
inline constexpr const wchar_t* g_relaxAspectOffWords[] = {L"0", L"false", L"zero"};

// The semantics Quorvel sets itself each frame, besides the texture slots, in
// the order it looks them up.
enum class BoundSemantic {
    World,
    View,
    Projection,
    WorldView,
    WorldViewProjection,
    Duration,
    Time,
    InputSize,
    OutputSize,
    PixelSize,
    TextureAspect0,
    Count = TextureAspect0 + kTextureSlotCount
};
inline constexpr const char* g_boundSemantics[static_cast<std::size_t>(BoundSemantic::Count)] = {
    "World",          "View",           "Projection",     "WorldView",      "WorldViewProjection",
    "Duration",       "Time",           "InputSize",      "OutputSize",     "PixelSize",
    "TextureAspect0", "TextureAspect1", "TextureAspect2", "TextureAspect3", "TextureAspect4",
    "TextureAspect5", "TextureAspect6", "TextureAspect7"};

// Text values of "Semantics" children: only a semantic whose name contains
// this word (ignoring case) takes one, as a colour; a text that is no colour
// is read as its leading decimal number.
inline constexpr wchar_t kColorTextWord[] = L"color";

// How deep "#include" directives nest, the effect file being depth 1.
inline constexpr std::size_t kMaxIncludeDepth = 16;

// Lines of an effect file giving preview options to the host tools.
inline constexpr char kRenderLinePrefix[] = "//!render";

} // namespace quorvel
