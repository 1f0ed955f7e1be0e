// Shaders checked against their profile's published limits when the effect
// is created, the assembler's dialect around them (exponent literals, shared
// shader variables), and where each message points in the file.

#include "tests/fx/FxTestDevice.h"

#include "tests/support/TestSupport.h"

#include <functional>
#include <iterator>

namespace fxtest {
namespace {

using quorvel::ComPtr;

std::string Repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

// The body's first line is line 2 of the effect.
std::string PixelEffect(const std::string& body) {
    return "technique T { pass { PixelShader = asm {\n" + body + "}; } }\n";
}
std::string VertexEffect(const std::string& body) {
    return "technique T { pass { VertexShader = asm {\n" + body + "}; } }\n";
}

const char kVs30[] = "vs_3_0\n"
                     "dcl_position v0\n"
                     "dcl_texcoord v1\n"
                     "dcl_position o0\n"
                     "dcl_texcoord o1.xy\n"
                     "mov o0, v0\n"
                     "mov o1.xy, v1\n";

// A vs_3_0 pair in front: the pixel shader's first line is line 12.
std::string Model3Effect(const std::string& pixelBody) {
    return std::string("technique T { pass {\nVertexShader = asm {\n") + kVs30 +
           "};\nPixelShader = asm {\n" + pixelBody + "}; } }\n";
}

const char kSinCosConstants[] =
    "def c1, -1.5500992e-006, -2.1701389e-005, 0.0026041667, 0.00026041668\n"
    "def c2, -0.020833334, -0.12500000, 1.0, 0.50000000\n";

struct RuleCase {
    const char* name;
    std::string text;
    const char* message; // nullptr: the effect compiles
};

std::vector<RuleCase> RuleCases() {
    return {
        // Declarations before use, and temporaries written before they are read.
        {"texcoord not declared", PixelEffect("ps_2_0\ndcl_2d s0\ntexld r0, t1, s0\nmov oC0, r0\n"),
         "memory(4,1): error X5105: texld: input t1 is read but not declared (dcl t1)"},
        {"sampler not declared", PixelEffect("ps_2_0\ndcl t0.xy\ntexld r0, t0, s2\nmov oC0, r0\n"),
         "memory(4,1): error X5105: texld: sampler s2 is used but not declared (dcl_2d s2)"},
        {"colour input not declared", PixelEffect("ps_2_0\nmov oC0, v0\n"),
         "memory(3,1): error X5105: mov: input v0 is read but not declared (dcl v0)"},
        {"temporary never written", PixelEffect("ps_2_0\nmov oC0, r9\n"),
         "memory(3,1): error X5106: mov: r9.xyzw is read but never written before"},
        {"temporary partly written", PixelEffect("ps_2_0\nmov r0.x, c0\nmov oC0, r0\n"),
         "memory(4,1): error X5106: mov: r0.yzw is read but never written before"},
        // A call writes what its subroutine writes, though the label comes later.
        {"temporary written by a subroutine",
         Model3Effect("ps_3_0\nmov r0, c0\ncall l0\nadd r0, r0, r1\nmov oC0, r0\nret\n"
                      "label l0\ncall l1\nmov r1.xy, c1\nret\nlabel l1\nmov r1.zw, c2\nret\n"),
         nullptr},
        {"temporary partly written by a subroutine",
         Model3Effect("ps_3_0\nmov r0, c0\ncall l0\nadd r0, r0, r1\nmov oC0, r0\nret\n"
                      "label l0\nmov r1.xy, c1\nret\n"),
         "memory(15,1): error X5106: add: r1.zw is read but never written before"},
        {"position input declared",
         Model3Effect(
             "ps_3_0\ndcl vPos.xy\ndcl vFace\nmov r0, c0\nmul r0.xy, vPos, c0\nmov oC0, r0\n"),
         nullptr},
        {"position input not declared",
         Model3Effect("ps_3_0\nmov r0, c0\nmov r0.xy, vPos\nmov oC0, r0\n"),
         "memory(14,1): error X5105: mov: input vPos is read but not declared (dcl vPos)"},
        {"vs_3_0 output not declared",
         "technique T { pass {\nVertexShader = asm {\nvs_3_0\ndcl_position v0\nmov o0, v0\n};\n"
         "PixelShader = asm { ps_3_0 mov oC0, c0 }; } }\n",
         "memory(5,1): error X5105: mov: output o0 is written but not declared"},
        // Outputs.
        {"ps_2_0 colour written by add", PixelEffect("ps_2_0\nadd oC0, c0, c1\n"),
         "memory(3,1): error X5109: add: oC0 in ps_2_0 is written by a plain mov only"},
        {"ps_2_0 colour saturated", PixelEffect("ps_2_0\nmov_sat oC0, c0\n"),
         "memory(3,1): error X5109: mov_sat: oC0 in ps_2_0 is written by a plain mov only"},
        {"ps_2_0 colour at partial precision", PixelEffect("ps_2_0\nmov_pp oC0, c0\n"), nullptr},
        {"ps_2_0 depth from one component",
         PixelEffect("ps_2_0\ndcl t0\nmov oDepth, t0.z\nmov oC0, c0\n"), nullptr},
        {"ps_2_0 depth from a vector", PixelEffect("ps_2_0\ndcl t0\nmov oDepth, t0\nmov oC0, c0\n"),
         "memory(4,1): error X5109: mov: oDepth in ps_2_0 takes one replicated component"},
        {"ps_2_0 texld into part of a register",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0.xy, t0, s0\nmov oC0, c0\n"),
         "memory(5,1): error X5104: texld: texld in ps_2_0 writes a whole temporary register"},
        {"ps_2_0 dp2add without a replicate swizzle",
         PixelEffect("ps_2_0\ndcl t0\ndp2add r0, t0, c0, c1\nmov oC0, r0\n"),
         "memory(4,1): error X5104: dp2add: dp2add adds one component"},
        {"ps_2_0 nrm into its source",
         PixelEffect("ps_2_0\ndcl t0\nmov r0, t0\nnrm r0, r0\nmov oC0, r0\n"),
         "memory(5,1): error X5104: nrm: nrm: the destination r0 cannot be one of its sources"},
        {"vs_2_0 two constants in one instruction",
         VertexEffect("vs_2_0\ndcl_position v0\nadd r1, c10, -c0\nadd oPos, v0, r1\n"),
         "memory(4,1): error X5104: add: vs_2_0 reads at most one constant register"},
        {"vs_3_0 sgn with its scratch registers",
         "technique T { pass {\nVertexShader = asm {\nvs_3_0\ndcl_position v0\ndcl_position o0\n"
         "sgn r0, v0, r1, r2\nadd o0, v0, r0\n};\nPixelShader = asm { ps_3_0 mov oC0, c0 }; } }\n",
         nullptr},
        {"vs_2_0 sgn with its scratch registers",
         VertexEffect("vs_2_0\ndcl_position v0\nsgn r0, v0, r1, r2\nadd oPos, v0, r0\n"), nullptr},
        {"vs_3_0 two constants in one instruction",
         "technique T { pass {\nVertexShader = asm {\nvs_3_0\ndcl_position v0\ndcl_position o0\n"
         "mul r0, c1, c2\nadd o0, v0, r0\n};\nPixelShader = asm { ps_3_0 mov oC0, c0 }; } }\n",
         "memory(6,1): error X5104: mul: vs_3_0 reads at most one constant register"},
        {"vs_2_0 loop in a loop",
         VertexEffect("vs_2_0\ndefi i0, 2, 0, 1, 0\ndcl_position v0\nmov r0, v0\nrep i0\nrep i0\n"
                      "add r0, r0, c0\nendrep\nendrep\nmov oPos, r0\n"),
         "memory(7,1): error X5111: rep: loop and rep nest 2 deep: vs_2_0 allows 1"},
        {"ps_3_0 endif without if", Model3Effect("ps_3_0\nmov r0, c0\nendif\nmov oC0, r0\n"),
         "memory(14,1): error X5111: endif: endif without an open block"},
        {"ps_3_0 vFace added", Model3Effect("ps_3_0\ndcl vFace\nadd r0, vFace, c0\nmov oC0, r0\n"),
         "memory(14,1): error X5104: add: vFace is read only as a comparison operand"},
        {"ps_3_0 vFace compared",
         Model3Effect("ps_3_0\ndcl vFace\nmov r0, c0\nif_gt vFace, c0.x\nmov r0, c1\nendif\n"
                      "mov oC0, r0\n"),
         nullptr},
        {"ps_2_0 colour written twice", PixelEffect("ps_2_0\nmov oC0, c0\nmov oC0, c1\n"),
         "memory(4,1): error X5109: mov: oC0 is written twice: ps_2_0 allows one write"},
        {"ps_2_0 colour never written", PixelEffect("ps_2_0\nmov r0, c0\n"),
         "error X5109: a ps_2_0 shader writes oC0"},
        {"ps_2_0 third target without the second",
         PixelEffect("ps_2_0\nmov oC0, c0\nmov oC2, c0\n"),
         "error X5109: ps_2_0 writes oC0 to oCn without gaps"},
        {"vs_2_0 without a position", VertexEffect("vs_2_0\ndcl_position v0\nmov oT0, v0\n"),
         "error X5109: the shader writes all four components of oPos"},
        {"vs_2_0 position partly written",
         VertexEffect("vs_2_0\ndcl_position v0\nmov oPos.xyz, v0\n"),
         "error X5109: the shader writes all four components of oPos"},
        // Gradients in dynamic flow control: refused for a computed coordinate,
        // allowed for an input register, which is the same on every path.
        {"ps_3_0 texld from a temporary in a dynamic branch",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\ndcl_2d s0\nmov r0, c0\nmov r1, v0.xyxy\n"
                      "if_lt v0.x, c0.x\ntexld r0, r1, s0\nendif\nmov oC0, r0\n"),
         "memory(18,1): error X5110: texld: texld inside dynamic flow control"},
        {"ps_3_0 texld from an input in a dynamic branch",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\ndcl_2d s0\nmov r0, c0\n"
                      "if_lt v0.x, c0.x\ntexld r0, v0, s0\nendif\nmov oC0, r0\n"),
         nullptr},
        {"ps_3_0 texld from a temporary after a conditional break",
         Model3Effect("ps_3_0\ndefi i0, 4, 0, 1, 0\ndcl_texcoord v0.xy\ndcl_2d s0\nmov r0, c0\n"
                      "mov r2, v0.xyxy\nrep i0\nbreak_gt r0.x, c0.x\ntexld r1, r2, s0\n"
                      "add r0, r0, r1\nendrep\nmov oC0, r0\n"),
         "memory(20,1): error X5110: texld: texld inside dynamic flow control"},
        {"ps_3_0 texld from an input after a conditional break",
         Model3Effect("ps_3_0\ndefi i0, 4, 0, 1, 0\ndcl_texcoord v0.xy\ndcl_2d s0\nmov r0, c0\n"
                      "rep i0\nbreak_gt r0.x, c0.x\ntexld r1, v0, s0\nadd r0, r0, r1\nendrep\n"
                      "mov oC0, r0\n"),
         nullptr},
        {"ps_3_0 predicated dsx of a temporary",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\nmov r0, v0.xyxy\nsetp_gt p0, r0, c0\n"
                      "mov r1, c0\n(p0.x) dsx r1, r0\nmov oC0, r1\n"),
         "memory(17,8): error X5110: dsx: dsx inside dynamic flow control"},
        {"ps_3_0 oDepth on every path",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\nif_lt v0.x, c0.x\nmov oDepth, c0.x\nelse\n"
                      "mov oDepth, c0.y\nendif\nmov oC0, c0\n"),
         nullptr},
        {"ps_3_0 oDepth on one path",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\nif_lt v0.x, c0.x\nmov oDepth, c0.x\nendif\n"
                      "mov oC0, c0\n"),
         "error X5109: oDepth is written on some paths only"},
        {"ps_3_0 texldl in a dynamic branch",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\ndcl_2d s0\nmov r0, c0\n"
                      "if_lt v0.x, c0.x\nmov r1, v0.xyxy\ntexldl r0, r1, s0\nendif\n"
                      "texld r1, v0, s0\nadd oC0, r0, r1\n"),
         nullptr},
        {"ps_3_0 colour in a dynamic branch",
         Model3Effect("ps_3_0\ndcl_texcoord v0.xy\nif_lt v0.x, c0.x\nmov oC0, c1\nelse\n"
                      "mov oC0, c0\nendif\n"),
         "memory(15,1): error X5109: mov: oC0 is written inside dynamic flow control"},
        // Swizzles.
        {"ps_2_0 arbitrary swizzle", PixelEffect("ps_2_0\nmov r0, c0.yx\nmov oC0, r0\n"),
         "memory(3,1): error X5104: mov: ps_2_0 has no arbitrary swizzle: c0.yxxx"},
        {"ps_2_0 rotating swizzle", PixelEffect("ps_2_0\nmov r0, c0.yzxw\nmov oC0, r0\n"), nullptr},
        {"scalar instruction without a replicate swizzle",
         PixelEffect("ps_2_0\nmov r0, c0\nrcp r1, r0\nmov oC0, r1\n"),
         "memory(4,1): error X5104: rcp: rcp reads one component: r0.xyzw needs a replicate "
         "swizzle"},
        // Read ports of ps_2_0.
        {"three constants in one instruction",
         PixelEffect("ps_2_0\nmad r0, c1, c2, c3\nmov oC0, r0\n"),
         "memory(3,1): error X5104: mad: ps_2_0 reads at most two constant registers in one "
         "instruction; this one reads 3"},
        {"one constant read three times", PixelEffect("ps_2_0\nmad r0, c3, c3, c3\nmov oC0, r0\n"),
         nullptr},
        {"two texture coordinates in one instruction",
         PixelEffect("ps_2_0\ndcl t0\ndcl t1\nadd r0, t0, t1\nmov oC0, r0\n"),
         "memory(5,1): error X5104: add: ps_2_0 reads at most one texture coordinate register"},
        // Register ranges.
        {"constant past c31", PixelEffect("ps_2_0\nmov oC0, c32\n"),
         "error X5001: Source register c32 not supported"},
        {"sincos without its constants in ps_2_0",
         PixelEffect("ps_2_0\nmov r0, c0\nsincos r1.xy, r0.x\nmov oC0, r1\n"),
         "memory(4,1): error X5104: sincos: sincos in ps_2_0 takes the sincos constants: sincos "
         "dst, src, c#, c#"},
        {"sincos constants in a temporary",
         PixelEffect("ps_2_0\nmov r0, c0\nsincos r1.xy, r0.x, r0, c2\nmov oC0, r1\n"),
         "error X5000: sincos in ps_2_0 takes constant registers as its third and fourth operands, "
         "not 'r0'"},
        {"matrix rows past c31", PixelEffect("ps_2_0\ndcl t0\nm4x4 r0, t0, c29\nmov oC0, r0\n"),
         "memory(4,1): error X5103: m4x4: register c29 to c32 is out of range: ps_2_0 has c0 to "
         "c31"},
        {"matrix rows up to c31", PixelEffect("ps_2_0\ndcl t0\nm4x4 r0, t0, c28\nmov oC0, r0\n"),
         nullptr},
        {"temporary past r11", PixelEffect("ps_2_0\nmov r12, c0\nmov oC0, r12\n"),
         "memory(3,1): error X5103: mov: register r12 is out of range: ps_2_0 has r0 to r11"},
        // Instruction slots: each profile's limit holds exactly.
        {"64 arithmetic slots",
         PixelEffect("ps_2_0\nmov r0, c0\n" + Repeat("add r0, r0, c0\n", 62) + "mov oC0, r0\n"),
         nullptr},
        {"65 arithmetic slots",
         PixelEffect("ps_2_0\nmov r0, c0\n" + Repeat("add r0, r0, c0\n", 63) + "mov oC0, r0\n"),
         "memory(67,1): error X5102: mov: too many arithmetic instruction slots (65): ps_2_0 "
         "allows 64"},
        {"sincos takes 8 slots, 64 in all",
         PixelEffect(std::string("ps_2_0\n") + kSinCosConstants + "mov r0, c0\n" +
                     Repeat("sincos r1.xy, r0.x, c1, c2\n", 7) + Repeat("add r0.xy, r0, r1\n", 6) +
                     "mov oC0, r0\n"),
         nullptr},
        {"sincos takes 8 slots, 65 in all",
         PixelEffect(std::string("ps_2_0\n") + kSinCosConstants + "mov r0, c0\n" +
                     Repeat("sincos r1.xy, r0.x, c1, c2\n", 7) + Repeat("add r0.xy, r0, r1\n", 7) +
                     "mov oC0, r0\n"),
         "memory(20,1): error X5102: mov: too many arithmetic instruction slots (65)"},
        // Writing a register again is a dependent read: one register takes four reads.
        {"32 reads into one register",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\n" + Repeat("texld r0, t0, s0\n", 32) +
                     "mov oC0, r0\n"),
         "memory(9,1): error X5107: texld: dependent texture read of level 5"},
        {"32 texture slots",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\n" +
                     Repeat("texld r0, t0, s0\ntexld r1, t0, s0\ntexld r2, t0, s0\n"
                            "texld r3, t0, s0\ntexld r4, t0, s0\ntexld r5, t0, s0\n"
                            "texld r6, t0, s0\ntexld r7, t0, s0\n",
                            4) +
                     "mov oC0, r0\n"),
         nullptr},
        {"33 texture slots",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\n" +
                     Repeat("texld r0, t0, s0\ntexld r1, t0, s0\ntexld r2, t0, s0\n"
                            "texld r3, t0, s0\ntexld r4, t0, s0\ntexld r5, t0, s0\n"
                            "texld r6, t0, s0\ntexld r7, t0, s0\n",
                            4) +
                     "texld r8, t0, s0\nmov oC0, r0\n"),
         "memory(37,1): error X5102: texld: too many texture instruction slots (33): ps_2_0 "
         "allows 32"},
        {"256 vs_2_0 slots",
         VertexEffect("vs_2_0\ndcl_position v0\nmov r0, v0\n" + Repeat("add r0, r0, c0\n", 254) +
                      "mov oPos, r0\n"),
         nullptr},
        {"257 vs_2_0 slots",
         VertexEffect("vs_2_0\ndcl_position v0\nmov r0, v0\n" + Repeat("add r0, r0, c0\n", 255) +
                      "mov oPos, r0\n"),
         "memory(260,1): error X5102: mov: too many instruction slots (257): vs_2_0 allows 256"},
        {"512 ps_3_0 slots",
         Model3Effect("ps_3_0\nmov r0, c0\n" + Repeat("add r0, r0, c0\n", 510) + "mov oC0, r0\n"),
         nullptr},
        {"513 ps_3_0 slots",
         Model3Effect("ps_3_0\nmov r0, c0\n" + Repeat("add r0, r0, c0\n", 511) + "mov oC0, r0\n"),
         "memory(525,1): error X5102: mov: too many instruction slots (513): ps_3_0 allows 512"},
        // Dependent reads: four levels in ps_2_0.
        {"four dependent levels",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\n" + Repeat("texld r0, t0, s0\n", 1) +
                     Repeat("texld r0, r0, s0\n", 3) + "mov oC0, r0\n"),
         nullptr},
        {"five dependent levels",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\n" + Repeat("texld r0, t0, s0\n", 1) +
                     Repeat("texld r0, r0, s0\n", 4) + "mov oC0, r0\n"),
         "memory(9,1): error X5107: texld: dependent texture read of level 5: ps_2_0 allows 4 "
         "levels"},
        {"computed coordinates are a dependent level",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\nadd r0, t0, c0\n" +
                     Repeat("texld r0, r0, s0\n", 4) + "mov oC0, r0\n"),
         "memory(9,1): error X5107: texld: dependent texture read of level 5"},
        // Profiles and their pairing.
        {"ps_3_0 without vs_3_0", PixelEffect("ps_3_0\nmov oC0, c0\n"),
         "memory(1,15): error X5108: a ps_3_0 pixel shader needs a vs_3_0 vertex shader"},
        {"vs_3_0 without ps_3_0",
         "technique T { pass { VertexShader = asm { vs_3_0 dcl_position v0 dcl_position o0 mov "
         "o0, v0 }; PixelShader = asm { ps_2_0 mov oC0, c0 }; } }",
         "memory(1,15): error X5108: a vs_3_0 vertex shader needs a ps_3_0 pixel shader"},
        {"ps_1_4 refused", PixelEffect("ps_1_4\nmov r0, c0\n"),
         "error X5100: ps_1_4 is not supported"},
        {"vs_1_1 refused", VertexEffect("vs_1_1\ndcl_position v0\nmov oPos, v0\n"),
         "error X5100: vs_1_1 is not supported"},
        // What the library's shaders use, each legal in its profile.
        {"ps_2_0 instruction set",
         PixelEffect(std::string("ps_2_0\n") + kSinCosConstants +
                     "dcl t0.xy\ndcl t1\ndcl v0\ndcl_2d s0\ndcl_cube s1\n"
                     "texld r0, t0, s0\ntexldp r1, t1, s0\ntexldb r2, t1, s0\n"
                     "texld r3, t1, s1\nnrm r4.xyz, r3\npow r5.x, r0.x, c2.z\n"
                     "dp2add r5.y, r0, r1, c2.x\nsincos r6.xy, r0.x, c1, c2\n"
                     "lrp r7, c2.w, r0, r1\nmov r7.x, r4.x\nmov r7.y, r5.y\nmov r7.z, r6.x\n"
                     "cmp r7.w, r5.x, r2.w, r3.w\nfrc r8, r7\nmad r8, r8, v0, r7\n"
                     "texkill r8\nabs_sat r8, r8\nmov oC0, r8\n"),
         nullptr},
        {"vs_2_0 instruction set",
         VertexEffect("vs_2_0\n"
                      "def c10, -1.5500992e-006, -2.1701389e-005, 0.0026041667, 0.00026041668\n"
                      "def c11, -0.020833334, -0.12500000, 1.0, 0.50000000\n"
                      "defi i0, 3, 0, 1, 0\ndcl_position v0\ndcl_texcoord v1\nmov r0, v0\n"
                      "loop aL, i0\nadd r0.x, r0.x, c12.x\nendloop\n"
                      "rep i0\nadd r0.y, r0.y, c12.y\nendrep\n"
                      "sincos r1.xy, r0.x, c10, c11\nmad r0.y, r1.x, c12.y, r0.y\n"
                      "m4x4 oPos, r0, c0\nmov oT0.xy, v1\nmov oD0, c12\n"),
         nullptr},
        {"ps_3_0 instruction set",
         Model3Effect("ps_3_0\n"
                      "def c0, 5.0e-001, -1.5500992e-006, 2.5E+1, 1\n"
                      "defi i0, 4, 0, 1, 0\n"
                      "dcl_texcoord0 v0.xy\ndcl_2d s0\ndcl vPos.xy\ndcl_2d s1\n"
                      "mov r0, c0\n"
                      "rep i0\nadd r0.x, r0.x, c0.y\nbreak_gt r0.x, c0.z\nendrep\n"
                      "loop aL, i0\nadd r0.y, r0.y, c0.x\nendloop\n"
                      "sincos r1.xy, r0.x\nfrc r2, v0.xyxy\ncmp r3, r2, c0, -c0\n"
                      "lrp r4, c0.x, r3, r2\nmov r5.xy, v0\nmov r5.zw, c0.w\n"
                      "texldl r6, r5, s0\ntexld r7, v0, s1\n"
                      "if_lt r0.x, c0.x\nmov r7, r6\nelse\nadd r7, r7, r6\nendif\n"
                      "setp_gt p0, r0, c0\n(p0.x) mov r7.x, c0.w\n"
                      "mul r8.xy, vPos, c0.x\ndsx r9, r5\nmul r7.xy, r7, r8\n"
                      "mul r7.x, r7.x, r1.x\nadd r7, r7, r4\nadd r7, r7, r9\nmov oC0, r7\n"),
         nullptr},
        {"shader model 3 flow control",
         "technique T { pass {\nVertexShader = asm {\nvs_3_0\n"
         "defi i0, 2, 0, 1, 0\ndefb b0, true\ndcl_position v0\ndcl_texcoord v1\n"
         "dcl_position o0\ndcl_texcoord o1\ndcl_2d s0\n"
         "mova a0.x, c4.x\nmov r0, c[a0.x + 1]\nif b0\nadd r0, r0, v0\nelse\nmov r0, v0\n"
         "endif\nloop aL, i0\nadd r0.x, r0.x, c2.x\nendloop\ncall l0\n"
         "texldl r1, v1, s0\nmov o0, r0\nmov o1, r1\nret\nlabel l0\nmul r0, r0, c3\nret\n"
         "};\nPixelShader = asm {\nps_3_0\ndefi i0, 3, 0, 1, 0\ndefb b1, false\n"
         "dcl_texcoord v0\ndcl_2d s0\ndcl_cube s1\nmov r0, c0\nrep i0\n"
         "setp_ge p0.x, r0.x, c1.x\nbreakp p0.x\nif_ne r0.y, c1.y\nbreak\nendif\n"
         "add r0, r0, c2\nendrep\ncallnz l1, b1\nif p0.x\nmov r0.z, c3.z\nendif\n"
         "texldb r1, v0, s0\ntexldd r2, v0, s0, c4, c5\ntexld r3, v0, s1\n"
         "dsy r4, v0\nlog r5, r1.x\nexp r5.y, r2.y\nrcp r5.z, r3.z\nrsq r5.w, r4.w\n"
         "add r0, r0, r5\ncrs r6.xyz, r1, r2\nmov r6.w, c0.w\nadd_sat oC0, r0, r6\nret\n"
         "label l1\nmov r0, c6\nret\n}; } }\n",
         nullptr},
    };
}

// Expects each case to compile, or to fail with its message.
void ExpectCases(
    const RuleCase* cases, size_t count,
    const std::function<ComPtr<ID3DXEffect>(const std::string&, HRESULT*, std::string*)>& compile) {
    for (size_t i = 0; i < count; ++i) {
        const RuleCase& c = cases[i];
        SCOPED_TRACE(c.name);
        HRESULT hr = S_OK;
        std::string messages;
        ComPtr<ID3DXEffect> effect = compile(c.text, &hr, &messages);
        if (!c.message) {
            EXPECT_EQ(hr, D3D_OK) << messages;
            EXPECT_TRUE(effect);
            continue;
        }
        EXPECT_EQ(hr, E_FAIL);
        EXPECT_FALSE(effect);
        EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    }
}

// One device for the whole table: the cases only compile, and the device's
// last Release at the end still shows that no path kept a reference.
TEST_F(FxDeviceTest, ShaderRulesHoldAsOnWindows) {
    const std::vector<RuleCase> cases = RuleCases();
    ExpectCases(cases.data(), cases.size(),
                [this](const std::string& text, HRESULT* hr, std::string* messages) {
                    return Compile(text, hr, messages);
                });
}

// The dialect around the shaders: what fails says so at its place in the
// file, what is standard compiles.
const RuleCase kDialectCases[] = {
    {"HLSL function", "float a;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR { return 0; }\n",
     nullptr},
    {"HLSL structure", "struct Output { float4 p : POSITION; };", nullptr},
    {"compiled shader variable", "VertexShader vs = compile vs_2_0 main();",
     "memory(1,34): error X3004: undeclared identifier 'main'"},
    {"HLSL statics, typedefs and a prototype",
     "static const float k[2] = { 0.5, float(1) };\ntypedef float4 colour;\n"
     "static float3 v = float3(1, 2, 3);\ncolour f(float x);\n"
     "inline float g(float x) { if (x > 0 && !(x >= 1)) { return x % 2; } return -x; }\n",
     nullptr},
    {"HLSL function left open", "float4 main() : COLOR {\n  return 0;\n",
     "memory(2,12): error X3000: syntax error: unexpected end of file"},
    {"compile with an unknown profile",
     "float4 main() : COLOR { return 0; }\nPixelShader p = compile ps_1_1 main();",
     "memory(2,25): error X3000: unsupported profile 'ps_1_1': ps_2_0, ps_3_0, vs_2_0 or vs_3_0"},
    {"compile with an argument that is no literal",
     "float4 main(uniform float k) : COLOR { return k; }\nfloat a;\n"
     "PixelShader p = compile ps_2_0 main(a);",
     "memory(3,37): error X3000: compile takes literal arguments only"},
    {"pixel shader compiled for a vertex profile",
     "float4 main() : COLOR { return 0; }\n"
     "technique T { pass { PixelShader = compile vs_2_0 main(); } }",
     "memory(2,51): error X3000: a pixel shader cannot be compiled for vs_2_0"},
    {"assembler error on its line",
     "technique T { pass { PixelShader = asm {\nps_2_0\n\nmov oC0, q7\n}; } }\n",
     "memory(4,1): error X5001: Unexpected input"},
    {"exponent literals",
     "technique T { pass { PixelShader = asm { ps_2_0 def c0, -1.5500992e-006, 2.5E+1, 1e3, "
     ".5e-1 mov oC0, c0 }; } }",
     nullptr},
    {"shader variables shared by passes",
     "VertexShader PassVS = asm { vs_2_0 dcl_position v0 mov oPos, v0 };\n"
     "PixelShader PassPS = asm { ps_2_0 mov oC0, c0 };\n"
     "technique T { pass A { VertexShader = <PassVS>; PixelShader = <PassPS>; }\n"
     "              pass B { VertexShader = (PassVS); PixelShader = PassPS; } }\n",
     nullptr},
    {"shader variable of the other kind",
     "VertexShader PassVS = asm { vs_2_0 dcl_position v0 mov oPos, v0 };\n"
     "technique T { pass { PixelShader = <PassVS>; } }\n",
     "memory(2,37): error X3000: state 'PixelShader' takes asm { ... }, a PixelShader variable "
     "or NULL"},
    {"shader variable that fails its checks",
     "PixelShader PassPS = asm {\nps_2_0\nmov oC0, r0\n};\n",
     "memory(3,1): error X5106: mov: r0.xyzw is read but never written before"},
};

TEST_F(FxDeviceTest, DialectFailsWhereItShouldAndOnlyThere) {
    ExpectCases(kDialectCases, std::size(kDialectCases),
                [this](const std::string& text, HRESULT* hr, std::string* messages) {
                    return Compile(text, hr, messages);
                });
}

// An exponent literal keeps its value on the way to the assembler.
TEST_F(FxDeviceTest, ExponentLiteralsKeepTheirValue) {
    ComPtr<ID3DXEffect> effect =
        Compile("technique T { pass { PixelShader = asm { ps_2_0 "
                "def c0, 5.0e-001, 1E0, 0.0e+5, 1.0e-200 def c1, 0, 0, 0, 100e-2 "
                "add r0, c0, c1 mov oC0, r0 }; } }");
    ASSERT_TRUE(effect);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), D3DCOLOR_ARGB(0xFF, 0x80, 0xFF, 0), 1));
}

// Two passes draw with one shader variable: one shader object, its code
// described for both.
TEST_F(FxDeviceTest, PassesShareAShaderVariable) {
    ComPtr<ID3DXEffect> effect = Compile(R"(
PixelShader Half = asm { ps_2_0 def c0, 0.25, 0.25, 0.25, 0.25 mov oC0, c0 };
technique T {
    pass A { PixelShader = <Half>; }
    pass B { AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; PixelShader = <Half>; }
}
)");
    ASSERT_TRUE(effect);
    D3DXPASS_DESC a{};
    D3DXPASS_DESC b{};
    D3DXHANDLE t = effect->GetTechnique(0);
    ASSERT_EQ(effect->GetPassDesc(effect->GetPass(t, 0), &a), D3D_OK);
    ASSERT_EQ(effect->GetPassDesc(effect->GetPass(t, 1), &b), D3D_OK);
    ASSERT_NE(a.pPixelShaderFunction, nullptr);
    EXPECT_EQ(a.pPixelShaderFunction, b.pPixelShaderFunction);
    D3DXPARAMETER_DESC desc{};
    ASSERT_EQ(effect->GetParameterDesc("Half", &desc), D3D_OK);
    EXPECT_EQ(desc.Type, D3DXPT_PIXELSHADER);
    EXPECT_EQ(desc.Class, D3DXPC_OBJECT);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), D3DCOLOR_ARGB(0x80, 0x80, 0x80, 0x80), 1));
}

// What the assembler underneath cannot read comes back into the tokens: the
// device runs ps_2_0's sincos with its constants, and ps_3_0's declared vPos.
TEST_F(FxDeviceTest, SinCosConstantsReachTheDevice) {
    ComPtr<ID3DXEffect> effect = Compile(
        std::string("technique T { pass { PixelShader = asm {\nps_2_0\n") + kSinCosConstants +
        "def c0, 1.5707963, 0, 0, 1\nmov r2, c0\nsincos r1.xy, r2.x, c1, c2\n"
        "mov r0, c0.wwww\nmov_sat r0.xy, r1\nmov oC0, r0\n}; } }");
    ASSERT_TRUE(effect);
    Draw(effect.get());
    // cos(pi/2) in red, sin(pi/2) in green.
    EXPECT_TRUE(InteriorIs(ReadBack(), D3DCOLOR_ARGB(0xFF, 0, 0xFF, 0xFF), 2));
}

TEST_F(FxDeviceTest, DeclaredPixelPositionReachesTheDevice) {
    ComPtr<ID3DXEffect> effect = Compile(
        Model3Effect("ps_3_0\ndef c0, 31.75, 0, 0, 0\ndef c1, 1, 0, 0, 1\ndef c2, 0, 1, 0, 1\n"
                     "dcl vPos.xy\nadd r0, vPos.x, -c0.x\ncmp oC0, r0, c2, c1\n"));
    ASSERT_TRUE(effect);
    DrawClipSpaceQuad(effect.get());
    const std::vector<D3DCOLOR> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), kSize * kSize);
    for (UINT y = 2; y < kSize - 2; y += 5) {
        EXPECT_TRUE(ColorNear(pixels[y * kSize + 8], 0xFFFF0000, 0)) << y;
        EXPECT_TRUE(ColorNear(pixels[y * kSize + kSize - 8], 0xFF00FF00, 0)) << y;
    }
}

// Held-out shaders after the examples of the instruction and register pages:
// what the pages accept runs on the device and gives the colour it computes;
// what they refuse fails at its line.
struct DocumentedCase {
    const char* name;
    std::string text;
    bool clipSpace;      // drawn by its own vertex shader
    D3DCOLOR color;      // when accepted
    const char* message; // nullptr: accepted
};

// A vs_3_0 that hands the clip-space position on as a texture coordinate.
std::string Model3PositionEffect(const std::string& pixelBody) {
    return "technique T { pass {\nVertexShader = asm {\nvs_3_0\ndcl_position v0\n"
           "dcl_position o0\ndcl_texcoord o1\nmov o0, v0\nmov o1, v0\n};\nPixelShader = asm {\n" +
           pixelBody + "}; } }\n";
}

std::vector<DocumentedCase> DocumentedCases() {
    const std::string constants = "def c0, 0.5, 0.25, 0, 1\ndef c1, 0, 0.25, 0.5, 0\n"
                                  "def c2, 0.25, 0.75, 0.5, 0.125\ndef c3, 1, 1, 1, 1\n";
    return {
        // Registers - ps_2_0: two constant read ports.
        {"mad r0, c0, c0, c1",
         PixelEffect("ps_2_0\n" + constants + "mad r0, c0, c0, c1\nmov oC0, r0\n"), false,
         D3DCOLOR_ARGB(0xFF, 0x40, 0x50, 0x80), nullptr},
        {"mad r0, c3, c3, c3",
         PixelEffect(
             "ps_2_0\n" + constants +
             "mad r0, c2, c3, c3\nmov r0, c2\nmad r0, c3, c3, c3\nmul r0, r0, c2\nmov oC0, r0\n"),
         false, D3DCOLOR_ARGB(0x40, 0x80, 0xFF, 0xFF), nullptr},
        {"mad r0, c1, c2, c3",
         PixelEffect("ps_2_0\n" + constants + "mad r0, c1, c2, c3\nmov oC0, r0\n"), false, 0,
         "memory(7,1): error X5104: mad: ps_2_0 reads at most two constant registers"},
        // dp2add - ps: dest = src0.x * src1.x + src0.y * src1.y + src2.replicate.
        {"dp2add r0, c0, c2, r1.z",
         PixelEffect("ps_2_0\n" + constants +
                     "mov r1, c1\ndp2add r0, c0, c2, r1.z\nmov r0.w, c3.w\nmov oC0, r0\n"),
         false, D3DCOLOR_ARGB(0xFF, 0xCF, 0xCF, 0xCF), nullptr},
        {"dp2add r0, c0, c2, r1",
         PixelEffect("ps_2_0\n" + constants + "mov r1, c1\ndp2add r0, c0, c2, r1\nmov oC0, r0\n"),
         false, 0, "memory(8,1): error X5104: dp2add: dp2add adds one component"},
        // m4x4 - ps: four dot products with consecutive rows; dst is not src0.
        {"m4x4 r1, r0, c0",
         PixelEffect("ps_2_0\n" + constants +
                     "mov r0, c3\nm4x4 r1, r0, c0\nmul r1, r1, c0.x\nmov oC0, r1\n"),
         false, D3DCOLOR_ARGB(0xFF, 0xDF, 0x60, 0xCF), nullptr},
        {"m4x4 r0, r0, c0",
         PixelEffect("ps_2_0\n" + constants + "mov r0, c3\nm4x4 r0, r0, c0\nmov oC0, r0\n"), false,
         0, "memory(8,1): error X5104: m4x4: m4x4: the destination cannot be the vector"},
        // Output Depth Register: a replicated component, once.
        {"mov oDepth, r0.x",
         PixelEffect("ps_2_0\n" + constants + "mov r0, c0\nmov oDepth, r0.x\nmov oC0, r0\n"), false,
         D3DCOLOR_ARGB(0xFF, 0x80, 0x40, 0), nullptr},
        {"mov oDepth, r0",
         PixelEffect("ps_2_0\n" + constants + "mov r0, c0\nmov oDepth, r0\nmov oC0, r0\n"), false,
         0, "memory(8,1): error X5109: mov: oDepth in ps_2_0 takes one replicated component"},
        // texld - ps_2_0: the full mask only.
        {"texld r0.xy",
         PixelEffect("ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0.xy, t0, s0\nmov oC0, r0\n"), false, 0,
         "memory(5,1): error X5104: texld: texld in ps_2_0 writes a whole temporary"},
        // Registers - vs_2_0: one constant read port, and the same register twice is one port.
        {"vs_2_0 mul oD0, c0, c0",
         "technique T { pass {\nVertexShader = asm {\nvs_2_0\ndef c0, 0.25, 0.5, 0.75, 1\n"
         "dcl_position v0\nmov oPos, v0\nmul oD0, c0, c0\n};\n"
         "PixelShader = asm { ps_2_0 dcl v0 mov oC0, v0 }; } }\n",
         true, D3DCOLOR_ARGB(0xFF, 0x10, 0x40, 0x8F), nullptr},
        {"vs_2_0 add r1, c1, c2",
         "technique T { pass {\nVertexShader = asm {\nvs_2_0\ndcl_position v0\nadd r1, c1, c2\n"
         "add oPos, v0, r1\n};\nPixelShader = asm { ps_2_0 mov oC0, c0 }; } }\n",
         true, 0, "memory(5,1): error X5104: add: vs_2_0 reads at most one constant register"},
        // Flow Control Limitations: rep nests four deep in ps_3_0, not five.
        {"rep nested four deep",
         Model3PositionEffect(
             "ps_3_0\ndefi i0, 2, 0, 0, 0\ndef c1, 0.015625, 0, 0, 0\n"
             "def c2, 0, 0, 0, 1\nmov r0, c2\nrep i0\nrep i0\nrep i0\nrep i0\n"
             "add r0.x, r0.x, c1.x\nendrep\nendrep\nendrep\nendrep\nmov oC0, r0\n"),
         true, D3DCOLOR_ARGB(0xFF, 0x40, 0, 0), nullptr},
        {"rep nested five deep",
         Model3PositionEffect("ps_3_0\ndefi i0, 2, 0, 0, 0\nmov r0, c2\nrep i0\nrep i0\nrep i0\n"
                              "rep i0\nrep i0\nadd r0.x, r0.x, c1.x\nendrep\nendrep\nendrep\n"
                              "endrep\nendrep\nmov oC0, r0\n"),
         true, 0, "memory(18,1): error X5111: rep: loop and rep nest 5 deep: ps_3_0 allows 4"},
        // Output Depth Register (ps_3_0): gradients of an input inside dynamic flow control.
        {"dsx of an input in a dynamic branch",
         Model3PositionEffect("ps_3_0\ndef c0, 10, 0, 0, 1\ndcl_texcoord v0\nmov r0, c0.yyyw\n"
                              "if_lt v0.x, c0.x\ndsx r1, v0\nmov r0.x, r1.x\nendif\nmov oC0, r0\n"),
         true, D3DCOLOR_ARGB(0xFF, 0x08, 0, 0), nullptr},
        {"dsx of a temporary in a dynamic branch",
         Model3PositionEffect("ps_3_0\ndef c0, 10, 0, 0, 1\ndcl_texcoord v0\nmov r0, c0.yyyw\n"
                              "mov r2, v0\nif_lt v0.x, c0.x\ndsx r1, r2\nmov r0.x, r1.x\nendif\n"
                              "mov oC0, r0\n"),
         true, 0, "memory(17,1): error X5110: dsx: dsx inside dynamic flow control"},
    };
}

TEST_F(FxDeviceTest, DocumentedExamplesRunOrFailAtTheirLine) {
    for (const DocumentedCase& c : DocumentedCases()) {
        SCOPED_TRACE(c.name);
        HRESULT hr = S_OK;
        std::string messages;
        ComPtr<ID3DXEffect> effect = Compile(c.text, &hr, &messages);
        if (c.message) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_FALSE(effect);
            EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
            continue;
        }
        ASSERT_EQ(hr, D3D_OK) << messages;
        ASSERT_TRUE(effect);
        if (c.clipSpace)
            DrawClipSpaceQuad(effect.get());
        else
            Draw(effect.get());
        EXPECT_TRUE(InteriorIs(ReadBack(), c.color, 2));
    }
}

} // namespace
} // namespace fxtest
