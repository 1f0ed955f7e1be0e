#pragma once

// The Direct3D 9 shader token format by name: opcodes, register kinds and the
// bit fields of instruction, destination, source and version tokens, with
// small helpers to build and take apart each token. Platform-free.

#include <cstdint>

namespace fx {

enum class Opcode : uint16_t {
    Nop = 0,
    Mov = 1,
    Add = 2,
    Sub = 3,
    Mad = 4,
    Mul = 5,
    Rcp = 6,
    Rsq = 7,
    Dp3 = 8,
    Dp4 = 9,
    Min = 10,
    Max = 11,
    Slt = 12,
    Sge = 13,
    Exp = 14,
    Log = 15,
    Lit = 16,
    Dst = 17,
    Lrp = 18,
    Frc = 19,
    M4x4 = 20,
    M4x3 = 21,
    M3x4 = 22,
    M3x3 = 23,
    M3x2 = 24,
    Call = 25,
    CallNz = 26,
    Loop = 27,
    Ret = 28,
    EndLoop = 29,
    Label = 30,
    Dcl = 31,
    Pow = 32,
    Crs = 33,
    Sgn = 34,
    Abs = 35,
    Nrm = 36,
    SinCos = 37,
    Rep = 38,
    EndRep = 39,
    If = 40,
    IfC = 41,
    Else = 42,
    EndIf = 43,
    Break = 44,
    BreakC = 45,
    MovA = 46,
    DefB = 47,
    DefI = 48,
    TexCoord = 64,
    TexKill = 65,
    Tex = 66, // texld from ps_1_4 on; texldp and texldb by its controls
    TexBem = 67,
    TexBemL = 68,
    TexReg2Ar = 69,
    TexReg2Gb = 70,
    TexM3x2Pad = 71,
    TexM3x2Tex = 72,
    TexM3x3Pad = 73,
    TexM3x3Tex = 74,
    TexM3x3Spec = 76,
    TexM3x3VSpec = 77,
    ExpP = 78,
    LogP = 79,
    Cnd = 80,
    Def = 81,
    TexReg2Rgb = 82,
    TexDp3Tex = 83,
    TexM3x2Depth = 84,
    TexDp3 = 85,
    TexM3x3 = 86,
    TexDepth = 87,
    Cmp = 88,
    Bem = 89,
    Dp2Add = 90,
    Dsx = 91,
    Dsy = 92,
    TexLdd = 93,
    SetP = 94,
    TexLdl = 95,
    BreakP = 96,
    Phase = 0xFFFD,
    Comment = 0xFFFE,
    End = 0xFFFF,
};

enum class RegisterType : uint8_t {
    Temp = 0,
    Input = 1,
    Const = 2,
    Addr = 3,    // a0 in vertex shaders
    Texture = 3, // t# in pixel shaders
    RastOut = 4, // oPos, oFog, oPts
    AttrOut = 5, // oD#
    TexCrdOut = 6,
    Output = 6, // o# in vs_3_0
    ConstInt = 7,
    ColorOut = 8,
    DepthOut = 9,
    Sampler = 10,
    Const2 = 11,
    Const3 = 12,
    Const4 = 13,
    ConstBool = 14,
    Loop = 15,
    TempFloat16 = 16,
    Misc = 17, // vPos, vFace
    Label = 18,
    Predicate = 19,
};
constexpr int kRegisterTypeCount = 20;

// Numbers of the rasteriser outputs and the misc inputs.
enum : uint32_t { kRastPosition = 0, kRastFog = 1, kRastPointSize = 2 };
enum : uint32_t { kMiscPosition = 0, kMiscFace = 1 };

// --- Instruction token ---------------------------------------------------
constexpr uint32_t kOpcodeMask = 0x0000FFFFu;
constexpr uint32_t kControlShift = 16;
constexpr uint32_t kControlMask = 0x00FF0000u;
constexpr uint32_t kLengthShift = 24;
constexpr uint32_t kLengthMask = 0x0F000000u;
constexpr uint32_t kPredicatedBit = 0x10000000u;
constexpr uint32_t kCoissueBit = 0x40000000u;
constexpr uint32_t kCommentSizeShift = 16;
constexpr uint32_t kCommentSizeMask = 0x7FFF0000u;

// Controls of texld (in the control field).
constexpr uint32_t kTexLdProject = 1;
constexpr uint32_t kTexLdBias = 2;

// Comparisons of ifc, breakc and setp (in the control field).
enum class Comparison : uint8_t { Gt = 1, Eq = 2, Ge = 3, Lt = 4, Ne = 5, Le = 6 };

// --- Parameter tokens (destination and source) -----------------------------
constexpr uint32_t kParameterBit = 0x80000000u;
constexpr uint32_t kRegisterNumberMask = 0x000007FFu;
constexpr uint32_t kRegisterTypeShift = 28; // bits 0-2 of the type
constexpr uint32_t kRegisterTypeMask = 0x70000000u;
constexpr uint32_t kRegisterTypeShift2 = 8; // bits 3-4 of the type, at 11-12
constexpr uint32_t kRegisterTypeMask2 = 0x00001800u;
constexpr uint32_t kRelativeBit = 0x00002000u;

// Destination.
constexpr uint32_t kWriteMaskShift = 16;
constexpr uint32_t kWriteMaskMask = 0x000F0000u;
constexpr uint32_t kResultModifierShift = 20;
constexpr uint32_t kResultModifierMask = 0x00F00000u;
constexpr uint32_t kResultShiftShift = 24;
constexpr uint32_t kResultShiftMask = 0x0F000000u;
enum ResultModifier : uint32_t {
    kModNone = 0,
    kModSaturate = 1,
    kModPartialPrecision = 2,
    kModCentroid = 4,
};
enum WriteMask : uint32_t {
    kMaskX = 1,
    kMaskY = 2,
    kMaskZ = 4,
    kMaskW = 8,
    kMaskAll = 0xF,
};

// Source.
constexpr uint32_t kSwizzleShift = 16;
constexpr uint32_t kSwizzleMask = 0x00FF0000u;
constexpr uint32_t kSourceModifierShift = 24;
constexpr uint32_t kSourceModifierMask = 0x0F000000u;
enum class SourceModifier : uint8_t {
    None = 0,
    Neg = 1,
    Bias = 2,
    BiasNeg = 3,
    Sign = 4,
    SignNeg = 5,
    Comp = 6,
    X2 = 7,
    X2Neg = 8,
    Dz = 9,
    Dw = 10,
    Abs = 11,
    AbsNeg = 12,
    Not = 13,
};

// Swizzles: two bits a component, x in the lowest.
constexpr uint8_t MakeSwizzle(int x, int y, int z, int w) {
    return static_cast<uint8_t>((x & 3) | ((y & 3) << 2) | ((z & 3) << 4) | ((w & 3) << 6));
}
constexpr uint8_t kSwizzleIdentity = MakeSwizzle(0, 1, 2, 3); // .xyzw = 0xE4
constexpr uint8_t kSwizzleXXXX = MakeSwizzle(0, 0, 0, 0);
constexpr uint8_t kSwizzleYYYY = MakeSwizzle(1, 1, 1, 1);
constexpr uint8_t kSwizzleZZZZ = MakeSwizzle(2, 2, 2, 2);
constexpr uint8_t kSwizzleWWWW = MakeSwizzle(3, 3, 3, 3);
constexpr int SwizzleComponent(uint8_t swizzle, int i) { return (swizzle >> (2 * i)) & 3; }
constexpr bool IsReplicateSwizzle(uint8_t swizzle) {
    return swizzle == kSwizzleXXXX || swizzle == kSwizzleYYYY || swizzle == kSwizzleZZZZ ||
           swizzle == kSwizzleWWWW;
}

// --- Declarations (the first operand token of dcl) --------------------------
enum class DeclUsage : uint8_t {
    Position = 0,
    BlendWeight = 1,
    BlendIndices = 2,
    Normal = 3,
    PSize = 4,
    TexCoord = 5,
    Tangent = 6,
    Binormal = 7,
    TessFactor = 8,
    PositionT = 9,
    Color = 10,
    Fog = 11,
    Depth = 12,
    Sample = 13,
};
enum class SamplerType : uint8_t { Unknown = 0, Texture2D = 2, Cube = 3, Volume = 4 };
constexpr uint32_t kDclUsageMask = 0x0000001Fu;
constexpr uint32_t kDclUsageIndexShift = 16;
constexpr uint32_t kDclUsageIndexMask = 0x000F0000u;
constexpr uint32_t kSamplerTypeShift = 27;
constexpr uint32_t kSamplerTypeMask = 0x78000000u;

// --- Version token -----------------------------------------------------------
enum class ShaderKind : uint16_t { Pixel = 0xFFFF, Vertex = 0xFFFE };

constexpr uint32_t VersionToken(ShaderKind kind, int major, int minor) {
    return (static_cast<uint32_t>(kind) << 16) | ((static_cast<uint32_t>(major) & 0xFF) << 8) |
           (static_cast<uint32_t>(minor) & 0xFF);
}
constexpr bool IsPixelVersion(uint32_t version) { return (version >> 16) == 0xFFFF; }
constexpr bool IsVertexVersion(uint32_t version) { return (version >> 16) == 0xFFFE; }
constexpr int VersionMajor(uint32_t version) { return static_cast<int>((version >> 8) & 0xFF); }
constexpr int VersionMinor(uint32_t version) { return static_cast<int>(version & 0xFF); }

// --- Encoding ------------------------------------------------------------------
constexpr uint32_t RegisterBits(RegisterType type, uint32_t number) {
    const uint32_t t = static_cast<uint32_t>(type);
    return kParameterBit | (number & kRegisterNumberMask) | ((t & 7u) << kRegisterTypeShift) |
           ((t & 0x18u) << kRegisterTypeShift2);
}

// `lengthInTokens` counts the tokens after the instruction token.
constexpr uint32_t EncodeInstruction(Opcode opcode, uint32_t lengthInTokens, uint32_t control = 0,
                                     bool predicated = false, bool coissue = false) {
    return static_cast<uint32_t>(opcode) | ((control & 0xFFu) << kControlShift) |
           ((lengthInTokens & 0xFu) << kLengthShift) | (predicated ? kPredicatedBit : 0u) |
           (coissue ? kCoissueBit : 0u);
}

constexpr uint32_t EncodeComment(uint32_t sizeInTokens) {
    return static_cast<uint32_t>(Opcode::Comment) | ((sizeInTokens & 0x7FFFu) << kCommentSizeShift);
}

constexpr uint32_t kEndToken = static_cast<uint32_t>(Opcode::End);

// `modifiers` is a combination of ResultModifier values.
constexpr uint32_t EncodeDestination(RegisterType type, uint32_t number, uint32_t mask = kMaskAll,
                                     uint32_t modifiers = kModNone, int shift = 0,
                                     bool relative = false) {
    return RegisterBits(type, number) | ((mask & 0xFu) << kWriteMaskShift) |
           ((modifiers & 0xFu) << kResultModifierShift) |
           ((static_cast<uint32_t>(shift) & 0xFu) << kResultShiftShift) |
           (relative ? kRelativeBit : 0u);
}

constexpr uint32_t EncodeSource(RegisterType type, uint32_t number,
                                uint8_t swizzle = kSwizzleIdentity,
                                SourceModifier modifier = SourceModifier::None,
                                bool relative = false) {
    return RegisterBits(type, number) | (static_cast<uint32_t>(swizzle) << kSwizzleShift) |
           (static_cast<uint32_t>(modifier) << kSourceModifierShift) |
           (relative ? kRelativeBit : 0u);
}

// The token of dcl before its register: usage for inputs and outputs...
constexpr uint32_t EncodeDclUsage(DeclUsage usage, uint32_t index = 0) {
    return kParameterBit | (static_cast<uint32_t>(usage) & kDclUsageMask) |
           ((index & 0xFu) << kDclUsageIndexShift);
}
// ...or the texture type for samplers.
constexpr uint32_t EncodeDclSampler(SamplerType type) {
    return kParameterBit | (static_cast<uint32_t>(type) << kSamplerTypeShift);
}

// --- Decoding ------------------------------------------------------------------
constexpr Opcode OpcodeOf(uint32_t instruction) {
    return static_cast<Opcode>(instruction & kOpcodeMask);
}
constexpr uint32_t ControlOf(uint32_t instruction) {
    return (instruction & kControlMask) >> kControlShift;
}
constexpr uint32_t LengthOf(uint32_t instruction) {
    return (instruction & kLengthMask) >> kLengthShift;
}
constexpr bool IsPredicated(uint32_t instruction) { return (instruction & kPredicatedBit) != 0; }
constexpr bool IsCoissued(uint32_t instruction) { return (instruction & kCoissueBit) != 0; }
constexpr uint32_t CommentSizeOf(uint32_t instruction) {
    return (instruction & kCommentSizeMask) >> kCommentSizeShift;
}

constexpr RegisterType RegisterTypeOf(uint32_t parameter) {
    return static_cast<RegisterType>(((parameter & kRegisterTypeMask) >> kRegisterTypeShift) |
                                     ((parameter & kRegisterTypeMask2) >> kRegisterTypeShift2));
}
constexpr uint32_t RegisterNumberOf(uint32_t parameter) { return parameter & kRegisterNumberMask; }
constexpr bool IsRelative(uint32_t parameter) { return (parameter & kRelativeBit) != 0; }
constexpr uint32_t WriteMaskOf(uint32_t destination) {
    return (destination & kWriteMaskMask) >> kWriteMaskShift;
}
constexpr uint32_t ResultModifiersOf(uint32_t destination) {
    return (destination & kResultModifierMask) >> kResultModifierShift;
}
constexpr int ResultShiftOf(uint32_t destination) {
    return static_cast<int>((destination & kResultShiftMask) >> kResultShiftShift);
}
constexpr uint8_t SwizzleOf(uint32_t source) {
    return static_cast<uint8_t>((source & kSwizzleMask) >> kSwizzleShift);
}
constexpr SourceModifier SourceModifierOf(uint32_t source) {
    return static_cast<SourceModifier>((source & kSourceModifierMask) >> kSourceModifierShift);
}
constexpr DeclUsage DclUsageOf(uint32_t token) {
    return static_cast<DeclUsage>(token & kDclUsageMask);
}
constexpr uint32_t DclUsageIndexOf(uint32_t token) {
    return (token & kDclUsageIndexMask) >> kDclUsageIndexShift;
}
constexpr SamplerType SamplerTypeOf(uint32_t token) {
    return static_cast<SamplerType>((token & kSamplerTypeMask) >> kSamplerTypeShift);
}

static_assert(EncodeSource(RegisterType::Const, 3) == 0xA0E40003u, "c3.xyzw");
static_assert(EncodeDestination(RegisterType::ColorOut, 0) == 0x800F0800u, "oC0");
static_assert(RegisterTypeOf(EncodeSource(RegisterType::Predicate, 0)) == RegisterType::Predicate,
              "split register type");
static_assert(VersionToken(ShaderKind::Pixel, 2, 0) == 0xFFFF0200u, "ps_2_0");

} // namespace fx
