// The compiler's backend run end to end on small transitions: each compiled
// shader passes the runtime's checks and is executed by the interpreter
// against a C++ rendering of the same program.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "compiler/Compiler.h"
#include "compiler/Diagnostics.h"
#include "compiler/EffectWriter.h"
#include "host/fx/FxShaderCheck.h"
#include "tests/compiler/ShaderInterpreter.h"

namespace {

using qc_test::Vec4;

const qc::Profile kProfiles[] = {qc::Profile::Ps20, qc::Profile::Ps30};

qc::CompiledTransition Compile(const std::string& source, std::optional<qc::Profile> profile,
                               bool keepLoops = false, bool subroutines = false) {
    qc::CompiledTransition t = qc::CompileTransition(source, profile, keepLoops, subroutines);
    fx::ShaderFault fault;
    EXPECT_TRUE(fx::CheckShader(t.shader.tokens, fault)) << fault.code << " " << fault.text << "\n"
                                                         << t.shader.text;
    return t;
}

// The inputs as the format sees them: from = (x, y, 0, 1) and to = (y, x,
// 0.5, 1) at the format's coordinates.
Vec4 From(float x, float y) { return {x, y, 0, 1}; }
Vec4 To(float x, float y) { return {y, x, 0.5f, 1}; }

struct Pixel {
    float x, y; // the format's uv
    float progress = 0.5f;
    float width = 640, height = 360;
};

Vec4 Shade(const qc::CompiledTransition& t, const Pixel& p, std::string* fault = nullptr,
           bool* killed = nullptr) {
    qc_test::PixelInputs in;
    in.texcoord = {p.x, 1.0f - p.y, 0, 0};
    in.constants.assign(64, Vec4{0, 0, 0, 0});
    in.constants[qc::kProgressRegister] = {p.progress, 0, 0, 0};
    in.constants[qc::kSizeRegister] = {p.width, p.height, 0, 0};
    for (const qc::BoundUniform& u : t.uniforms)
        for (int c = 0; u.reg >= 0 && c < u.decl.columns; ++c)
            for (int k = 0; k < u.decl.components; ++k)
                in.constants[u.reg + c][k] = u.decl.defaults[c * u.decl.components + k];
    in.sample = [](int s, float u, float v) {
        // Back to the format's coordinates.
        return s == 0 ? From(u, 1.0f - v) : To(u, 1.0f - v);
    };
    const qc_test::PixelResult r = qc_test::RunPixelShader(t.shader.tokens, in);
    if (killed)
        *killed = r.killed;
    else
        EXPECT_FALSE(r.killed) << t.shader.text;
    if (fault)
        *fault = r.fault;
    else
        EXPECT_EQ(r.fault, "") << t.shader.text;
    return r.color;
}

// --- Built-up functions against libm ------------------------------------------------

struct BuiltIn {
    const char* expr; // of x and y
    double (*reference)(double x, double y);
    float x0, x1, y0, y1; // ranges
    double absTol, relTol;
};

const BuiltIn kBuiltIns[] = {
    {"sin(x)", [](double x, double) { return std::sin(x); }, -3.2f, 3.2f, 0, 0, 2e-6, 0},
    {"cos(x)", [](double x, double) { return std::cos(x); }, -3.2f, 3.2f, 0, 0, 2e-6, 0},
    {"sin(x)", [](double x, double) { return std::sin(x); }, -100, 100, 0, 0, 3e-5, 0},
    {"cos(x)", [](double x, double) { return std::cos(x); }, -1000, 1000, 0, 0, 3e-4, 0},
    {"tan(x)", [](double x, double) { return std::tan(x); }, -1.4f, 1.4f, 0, 0, 1e-5, 1e-5},
    {"asin(x)", [](double x, double) { return std::asin(x); }, -1, 1, 0, 0, 1e-5, 0},
    {"acos(x)", [](double x, double) { return std::acos(x); }, -1, 1, 0, 0, 1e-5, 0},
    {"atan(x)", [](double x, double) { return std::atan(x); }, -20, 20, 0, 0, 1e-5, 0},
    {"atan(y, x)", [](double x, double y) { return std::atan2(y, x); }, -2, 2, -2, 2, 1e-5, 0},
    {"floor(x)", [](double x, double) { return std::floor(x); }, -5.5f, 5.5f, 0, 0, 0, 0},
    {"ceil(x)", [](double x, double) { return std::ceil(x); }, -5.5f, 5.5f, 0, 0, 0, 0},
    {"fract(x)", [](double x, double) { return x - std::floor(x); }, -5.5f, 5.5f, 0, 0, 1e-6, 0},
    {"trunc(x)", [](double x, double) { return std::trunc(x); }, -5.5f, 5.5f, 0, 0, 0, 0},
    {"mod(x, y)", [](double x, double y) { return x - y * std::floor(x / y); }, -5, 5, 0.5f, 3,
     2e-5, 0},
    {"mod(x, -1.5)", [](double x, double) { return x + 1.5 * std::floor(x / -1.5); }, -5, 5, 0, 0,
     2e-5, 0},
    {"sign(x)", [](double x, double) { return double((x > 0) - (x < 0)); }, -2, 2, 0, 0, 0, 0},
    {"step(0.3, x)", [](double x, double) { return x >= 0.3 ? 1.0 : 0.0; }, -1, 1, 0, 0, 0, 0},
    {"smoothstep(0.2, 0.8, x)",
     [](double x, double) {
         const double t = std::fmin(std::fmax((x - 0.2) / 0.6, 0.0), 1.0);
         return t * t * (3 - 2 * t);
     },
     -0.5f, 1.5f, 0, 0, 1e-6, 0},
    {"smoothstep(y, 2.0, x)",
     [](double x, double y) {
         const double t = std::fmin(std::fmax((x - y) / (2 - y), 0.0), 1.0);
         return t * t * (3 - 2 * t);
     },
     -1, 3, -1, 1, 1e-5, 0},
    {"exp(x)", [](double x, double) { return std::exp(x); }, -5, 5, 0, 0, 0, 1e-5},
    {"log(x)", [](double x, double) { return std::log(x); }, 0.01f, 100, 0, 0, 1e-5, 0},
    {"exp2(x) + log2(y)", [](double x, double y) { return std::exp2(x) + std::log2(y); }, -3, 3,
     0.1f, 8, 1e-5, 1e-6},
    {"pow(x, 2.5)", [](double x, double) { return std::pow(x, 2.5); }, 0, 4, 0, 0, 1e-6, 1e-5},
    {"pow(x, 3.0)", [](double x, double) { return x * x * x; }, -2, 2, 0, 0, 1e-6, 1e-6},
    {"pow(x, y)", [](double x, double y) { return std::pow(x, y); }, 0.1f, 4, -2, 2, 1e-5, 1e-5},
    {"sqrt(x)", [](double x, double) { return std::sqrt(x); }, 0, 100, 0, 0, 1e-6, 1e-6},
    {"inversesqrt(x)", [](double x, double) { return 1 / std::sqrt(x); }, 0.01f, 100, 0, 0, 0,
     1e-6},
    {"length(vec2(x, y))", [](double x, double y) { return std::hypot(x, y); }, -3, 3, -3, 3, 1e-6,
     1e-6},
    {"distance(vec2(x, 1.0), vec2(0.5, y))",
     [](double x, double y) { return std::hypot(x - 0.5, 1 - y); }, -3, 3, -3, 3, 1e-6, 1e-6},
    {"normalize(vec3(x, y, 0.5)).y",
     [](double x, double y) { return y / std::sqrt(x * x + y * y + 0.25); }, -3, 3, -3, 3, 1e-6, 0},
    {"normalize(vec2(x, y)).x", [](double x, double y) { return x / std::hypot(x, y); }, 0.1f, 3,
     -3, 3, 1e-6, 0},
    {"sinh(x)", [](double x, double) { return std::sinh(x); }, -3, 3, 0, 0, 1e-5, 1e-5},
    {"cosh(x)", [](double x, double) { return std::cosh(x); }, -3, 3, 0, 0, 1e-5, 1e-5},
    {"tanh(x)", [](double x, double) { return std::tanh(x); }, -5, 5, 0, 0, 1e-5, 0},
    {"degrees(x) + radians(y)", [](double x, double y) { return x * 180 / M_PI + y * M_PI / 180; },
     -3, 3, -90, 90, 1e-4, 1e-6},
    {"clamp(x, -0.5, y)", [](double x, double y) { return std::fmin(std::fmax(x, -0.5), y); }, -2,
     2, 0, 1, 0, 0},
    {"mix(x, y, 0.25)", [](double x, double y) { return x * 0.75 + y * 0.25; }, -2, 2, -1, 1, 1e-6,
     0},
    {"max(x, y) - min(x, y) + abs(x)",
     [](double x, double y) { return std::fabs(x - y) + std::fabs(x); }, -2, 2, -2, 2, 1e-6, 0},
    {"float(x < y) + 2.0 * float(x == y) + 4.0 * float(x >= 0.0)",
     [](double x, double y) { return double(x < y) + 2 * double(x == y) + 4 * double(x >= 0); }, -1,
     1, -1, 1, 0, 0},
};

class BuiltInTest : public ::testing::TestWithParam<std::tuple<BuiltIn, qc::Profile>> {};

TEST_P(BuiltInTest, MatchesLibm) {
    const BuiltIn& f = std::get<0>(GetParam());
    const qc::Profile profile = std::get<1>(GetParam());
    const std::string source =
        std::string("vec4 transition(vec2 uv) {\n") + "  float x = " + std::to_string(f.x0) +
        " + " + std::to_string(f.x1 - f.x0) + " * uv.x;\n" + "  float y = " + std::to_string(f.y0) +
        " + " + std::to_string(f.y1 - f.y0) + " * uv.y;\n" + "  return vec4(" + f.expr +
        ", 0.0, 0.0, 1.0);\n}\n";
    qc::CompiledTransition t;
    try {
        t = Compile(source, profile);
    } catch (const qc::CompileError& e) {
        if (profile == qc::Profile::Ps20 &&
            std::string(e.what()).find("slots") != std::string::npos)
            GTEST_SKIP() << e.what();
        FAIL() << e.what();
    }
    double worst = 0;
    for (int i = 0; i <= 64; ++i) {
        for (int j = 0; j <= (f.y0 == f.y1 ? 0 : 16); ++j) {
            // Exactly the x and y the shader computes from its coordinate.
            const float u = i / 64.0f, w = j / 16.0f;
            const float v = 1.0f - (1.0f - w);
            const float x =
                std::stof(std::to_string(f.x0)) + std::stof(std::to_string(f.x1 - f.x0)) * u;
            const float y =
                std::stof(std::to_string(f.y0)) + std::stof(std::to_string(f.y1 - f.y0)) * v;
            const Vec4 got = Shade(t, Pixel{u, w});
            const double want = f.reference(x, y);
            const double err = std::fabs(got[0] - want);
            const double tol = f.absTol + f.relTol * std::fabs(want) + 1e-7;
            worst = std::fmax(worst, err / tol);
            ASSERT_LE(err, tol) << f.expr << " at x=" << x << " y=" << y << ": got " << got[0]
                                << ", libm " << want << "\n"
                                << t.shader.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Functions, BuiltInTest,
                         ::testing::Combine(::testing::ValuesIn(kBuiltIns),
                                            ::testing::ValuesIn(kProfiles)));

// --- Control flow ---------------------------------------------------------------------

struct FlowCase {
    const char* name;
    const char* source;
    std::function<Vec4(float x, float y, float progress)> reference;
};

const FlowCase kFlow[] = {
    {"nested branches and early returns",
     R"(vec4 transition(vec2 uv) {
  if (uv.x < 0.5) {
    if (uv.y < 0.25) return vec4(1.0, 0.0, 0.0, 1.0);
    else if (uv.y < progress) return getFromColor(uv);
    float k = uv.x * 2.0;
    if (k > 0.5) { k = k * k; } else { k = -k; }
    return vec4(k);
  } else if (uv.y > 0.9) {
    return getToColor(uv) * 2.0;
  }
  return mix(getFromColor(uv), getToColor(uv), progress);
})",
     [](float x, float y, float p) -> Vec4 {
         if (x < 0.5f) {
             if (y < 0.25f)
                 return {1, 0, 0, 1};
             if (y < p)
                 return From(x, y);
             float k = x * 2.0f;
             k = k > 0.5f ? k * k : -k;
             return {k, k, k, k};
         }
         if (y > 0.9f) {
             const Vec4 t = To(x, y);
             return {t[0] * 2, t[1] * 2, t[2] * 2, t[3] * 2};
         }
         const Vec4 a = From(x, y), b = To(x, y);
         Vec4 r;
         for (int k = 0; k < 4; ++k)
             r[k] = a[k] + (b[k] - a[k]) * p;
         return r;
     }},
    {"a loop that breaks on the data",
     R"(vec4 transition(vec2 uv) {
  float s = 0.0;
  for (int i = 0; i < 6; i++) {
    if (float(i) * 0.2 > uv.y) break;
    s += uv.x;
  }
  return vec4(s, 0.0, 0.0, 1.0);
})",
     [](float x, float y, float) -> Vec4 {
         float s = 0;
         for (int i = 0; i < 6; i++) {
             if (float(i) * 0.2f > y)
                 break;
             s += x;
         }
         return {s, 0, 0, 1};
     }},
    {"a float counter and a nested loop",
     R"(vec4 transition(vec2 uv) {
  vec2 acc = vec2(0.0);
  for (float a = 0.0; a < 3.0; a += 1.0)
    for (int b = 0; b < 4; b++)
      if (b != 2) acc += vec2(a, float(b)) * uv;
  return vec4(acc, progress, 1.0);
})",
     [](float x, float y, float p) -> Vec4 {
         float ax = 0, ay = 0;
         for (float a = 0; a < 3; a += 1)
             for (int b = 0; b < 4; b++)
                 if (b != 2) {
                     ax += a * x;
                     ay += float(b) * y;
                 }
         return {ax, ay, p, 1};
     }},
    {"switch, arrays and matrices",
     R"(const float weights[3] = float[3](0.25, 0.5, 0.25);
vec4 transition(vec2 uv) {
  int k = int(uv.x * 3.0);
  float w = 0.0;
  switch (k) { case 0: w = weights[0]; break; case 1: w = weights[1]; break; default: w = 2.0; }
  mat2 m = mat2(1.0, 2.0, 3.0, 4.0);
  vec2 v = m * uv;
  return vec4(w, v, weights[k < 3 ? k : 2]);
})",
     [](float x, float y, float) -> Vec4 {
         const float weights[3] = {0.25f, 0.5f, 0.25f};
         const int k = int(x * 3.0f);
         const float w = k == 0 ? weights[0] : k == 1 ? weights[1] : 2.0f;
         return {w, 1 * x + 3 * y, 2 * x + 4 * y, weights[k < 3 ? k : 2]};
     }},
};

// How a test compiles: the profile, and whether ps_3_0 keeps its loops.
struct Mode {
    qc::Profile profile;
    bool keepLoops;
};
const Mode kModes[] = {
    {qc::Profile::Ps20, false}, {qc::Profile::Ps30, false}, {qc::Profile::Ps30, true}};

class FlowTest : public ::testing::TestWithParam<std::tuple<FlowCase, Mode>> {};

TEST_P(FlowTest, MatchesTheProgram) {
    const FlowCase& c = std::get<0>(GetParam());
    const Mode mode = std::get<1>(GetParam());
    const qc::CompiledTransition t = Compile(c.source, mode.profile, mode.keepLoops);
    for (float p : {0.0f, 0.3f, 1.0f})
        for (int i = 0; i <= 20; ++i)
            for (int j = 0; j <= 20; ++j) {
                const float x = i / 20.0f * 0.98f + 0.005f, y = j / 20.0f * 0.98f + 0.005f;
                const Vec4 got = Shade(t, Pixel{x, 1.0f - (1.0f - y), p});
                const Vec4 want = c.reference(x, y, p);
                for (int k = 0; k < 4; ++k)
                    ASSERT_NEAR(got[k], want[k], 1e-5)
                        << c.name << " at " << x << "," << y << " progress " << p << "\n"
                        << t.shader.text;
            }
}

INSTANTIATE_TEST_SUITE_P(Programs, FlowTest,
                         ::testing::Combine(::testing::ValuesIn(kFlow),
                                            ::testing::ValuesIn(kModes)));

// --- Loops kept as loops (ps_3_0) ---------------------------------------------------------

struct LoopCase {
    const char* name;
    const char* source;
    std::function<Vec4(float x, float y, float progress)> reference;
    int reps; // rep blocks the shader must have
};

const LoopCase kLoops[] = {
    // Eight vec4 sums carried and eight values from before the loop read in
    // it: each must keep its register through every iteration.
    {"carried values under register pressure",
     R"(vec4 transition(vec2 uv) {
  vec4 k0 = getFromColor(uv * 0.5), k1 = getToColor(uv * 0.25), k2 = getFromColor(uv.yx);
  vec4 k3 = getToColor(uv.yx * 0.5), k4 = k0 * k1 + progress, k5 = k2 - k3 * uv.x;
  vec4 k6 = k4 * k5 + uv.y, k7 = k0 + k6 * progress;
  vec4 a0 = vec4(0.0), a1 = vec4(1.0), a2 = vec4(uv, 0.0, 0.0), a3 = vec4(0.5);
  vec4 a4 = k0, a5 = k1, a6 = vec4(0.0), a7 = vec4(progress);
  for (int i = 0; i < 20; i++) {
    float f = float(i) * 0.05;
    a0 += k0 * f; a1 = a1 * 0.9 + k1 * 0.1; a2 += k2 - a1 * 0.01; a3 = a3 * 0.5 + k3;
    a4 = fract(a4 + k4 * 0.37); a5 += k5 * f * f; a6 = max(a6, k6 * f) - k7 * 0.01;
    a7 += a0 * 0.01;
  }
  return a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7 + k5 * 0.5;
})",
     [](float x, float y, float p) -> Vec4 {
         Vec4 r;
         for (int c = 0; c < 4; ++c) {
             auto from = [&](float u, float v) { return From(u, v)[c]; };
             auto to = [&](float u, float v) { return To(u, v)[c]; };
             const float k0 = from(x * 0.5f, y * 0.5f), k1 = to(x * 0.25f, y * 0.25f);
             const float k2 = from(y, x), k3 = to(y * 0.5f, x * 0.5f);
             const float k4 = k0 * k1 + p, k5 = k2 - k3 * x, k6 = k4 * k5 + y, k7 = k0 + k6 * p;
             const float a2init = c == 0 ? x : c == 1 ? y : 0;
             float a0 = 0, a1 = 1, a2 = a2init, a3 = 0.5f, a4 = k0, a5 = k1, a6 = 0, a7 = p;
             for (int i = 0; i < 20; i++) {
                 const float f = float(i) * 0.05f;
                 a0 += k0 * f;
                 a1 = a1 * 0.9f + k1 * 0.1f;
                 a2 += k2 - a1 * 0.01f;
                 a3 = a3 * 0.5f + k3;
                 a4 = a4 + k4 * 0.37f;
                 a4 -= std::floor(a4);
                 a5 += k5 * f * f;
                 a6 = std::fmax(a6, k6 * f) - k7 * 0.01f;
                 a7 += a0 * 0.01f;
             }
             r[c] = a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7 + k5 * 0.5f;
         }
         return r;
     },
     1},
    // Leaves at a different iteration in each pixel; what it computed last
    // is read after the loop.
    {"a break that depends on the pixel",
     R"(vec4 transition(vec2 uv) {
  float s = 0.0;
  vec2 z = uv;
  int n = 0;
  for (int i = 0; i < 40; i++) {
    z = vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + vec2(uv.x - 0.9, uv.y * 1.2 - 0.6);
    if (dot(z, z) > 4.0) break;
    s += 0.02;
    n = i;
  }
  return vec4(s, float(n) / 40.0, z.x * 0.01, 1.0);
})",
     [](float x, float y, float) -> Vec4 {
         float s = 0, zx = x, zy = y;
         int n = 0;
         for (int i = 0; i < 40; i++) {
             const float nx = zx * zx - zy * zy + (x - 0.9f);
             const float ny = 2.0f * zx * zy + (y * 1.2f - 0.6f);
             zx = nx;
             zy = ny;
             if (zx * zx + zy * zy > 4.0f)
                 break;
             s += 0.02f;
             n = i;
         }
         return {s, float(n) / 40.0f, zx * 0.01f, 1};
     },
     1},
    // 300 iterations: two reps, and the iterations past 300 change nothing.
    {"a count over 255",
     R"(vec4 transition(vec2 uv) {
  float s = 0.0, t = 0.0;
  for (int i = 0; i < 300; i++) {
    s += fract(uv.x * float(i) * 0.37);
    t = t * 0.99 + uv.y;
  }
  return vec4(s / 300.0, t * 0.01, 0.0, 1.0);
})",
     [](float x, float y, float) -> Vec4 {
         float s = 0, t = 0;
         for (int i = 0; i < 300; i++) {
             const float a = x * float(i) * 0.37f;
             s += a - std::floor(a);
             t = t * 0.99f + y;
         }
         return {s / 300.0f, t * 0.01f, 0, 1};
     },
     2},
    // The inner count depends on the outer counter: the inner loop runs the
    // most it ever does and its own condition holds it to the rest.
    {"nested loops, the inner bounded by the outer",
     R"(vec4 transition(vec2 uv) {
  vec2 acc = vec2(0.0);
  for (int i = 0; i < 12; i++) {
    float w = 1.0;
    for (int j = 0; j < i; j++) {
      w *= 0.9;
      acc.x += w * uv.x;
    }
    acc.y += w * uv.y + float(i) * progress;
  }
  return vec4(acc * 0.05, progress, 1.0);
})",
     [](float x, float y, float p) -> Vec4 {
         float ax = 0, ay = 0;
         for (int i = 0; i < 12; i++) {
             float w = 1;
             for (int j = 0; j < i; j++) {
                 w *= 0.9f;
                 ax += w * x;
             }
             ay += w * y + float(i) * p;
         }
         return {ax * 0.05f, ay * 0.05f, p, 1};
     },
     2},
};

class LoopTest : public ::testing::TestWithParam<LoopCase> {};

TEST_P(LoopTest, MatchesTheProgram) {
    const LoopCase& c = GetParam();
    const qc::CompiledTransition t = Compile(c.source, qc::Profile::Ps30, true);
    size_t reps = 0;
    for (size_t at = t.shader.text.find("rep i"); at != std::string::npos;
         at = t.shader.text.find("rep i", at + 1))
        ++reps;
    EXPECT_EQ(reps, size_t(c.reps)) << t.shader.text;
    for (float p : {0.0f, 0.3f, 1.0f})
        for (int i = 0; i <= 16; ++i)
            for (int j = 0; j <= 16; ++j) {
                const float x = i / 16.0f * 0.98f + 0.005f, y = j / 16.0f * 0.98f + 0.005f;
                const Vec4 got = Shade(t, Pixel{x, 1.0f - (1.0f - y), p});
                const Vec4 want = c.reference(x, y, p);
                for (int k = 0; k < 4; ++k)
                    ASSERT_NEAR(got[k], want[k], 1e-4 * (1 + std::fabs(want[k])))
                        << c.name << " at " << x << "," << y << " progress " << p << "\n"
                        << t.shader.text;
            }
}

INSTANTIATE_TEST_SUITE_P(Loops, LoopTest, ::testing::ValuesIn(kLoops));

// Unrolled, 100 iterations of a sine do not fit ps_3_0's 512 slots; the
// compiler keeps the loop without being asked, and the result is the same.
TEST(Loops, KeptWhenUnrolledTheyDoNotFit) {
    const char* source = R"(vec4 transition(vec2 uv) {
  float s = 0.0;
  for (int i = 0; i < 100; i++)
    s += sin(uv.x * float(i) + progress) * 0.01;
  return vec4(s, 0.0, 0.0, 1.0);
})";
    const qc::CompiledTransition t = Compile(source, std::nullopt);
    EXPECT_EQ(t.shader.profile, qc::Profile::Ps30);
    EXPECT_NE(t.shader.text.find("rep i"), std::string::npos) << t.shader.text;
    EXPECT_LE(t.shader.arithmeticSlots + t.shader.textureSlots, 512);
    for (float x : {0.1f, 0.5f, 0.9f}) {
        float want = 0;
        for (int i = 0; i < 100; i++)
            want += std::sin(x * float(i) + 0.5f) * 0.01f;
        EXPECT_NEAR(Shade(t, Pixel{x, 0.5f})[0], want, 1e-4);
    }
}

// --- Subroutines (ps_3_0) -----------------------------------------------------------------

float Fract(float x) { return x - std::floor(x); }

struct SubroutineCase {
    const char* name;
    const char* source;
    std::function<Vec4(float x, float y, float progress)> reference;
    int subroutines; // labels besides the empty last one, asked for
};

float Wave(float x, float k) { return std::sin(x * k) * 0.5f + std::cos(x + k) * 0.25f; }
float H(float x, float y) { return Fract(x * 3.7f + y * 1.3f); }
float G(float x, float y) {
    return (H(x, y) * 0.5f + H(y + 0.25f, x + 0.25f) * 0.5f) * (640.0f / 360.0f);
}
float Bump(float x) { return x * x * (3 - 2 * x); }
Vec4 Shifted(float x, float y, float k) {
    const float px = x * 0.5f + k, py = y > 0.5f ? y - 0.25f : y;
    const Vec4 t = To(px, py);
    return {t[0] * k, t[1] * k, t[2] * k, t[3] * k};
}
float Chain(int level, float x) {
    return level == 6 ? x * 0.5f + 0.1f : Chain(level + 1, x) + Chain(level + 1, x * 0.5f);
}

const SubroutineCase kSubroutines[] = {
    // Values live across every call: the callee's registers must be others.
    {"values kept across calls",
     R"(float wave(float x, float k) { return sin(x * k) * 0.5 + cos(x + k) * 0.25; }
vec4 transition(vec2 uv) {
  float a = uv.x * 3.0 + progress, b = uv.y * 2.0 - progress, c = uv.x * uv.y, d = uv.x - uv.y;
  float w1 = wave(a, 1.5);
  float w2 = wave(b, 2.5);
  float w3 = wave(c + w1, 0.5);
  float w4 = wave(d * w2, 3.5);
  return vec4(a * w1 + b, c * w2 + d, w3 - a * b, w4 + c * d);
})",
     [](float x, float y, float p) -> Vec4 {
         const float a = x * 3 + p, b = y * 2 - p, c = x * y, d = x - y;
         const float w1 = Wave(a, 1.5f), w2 = Wave(b, 2.5f), w3 = Wave(c + w1, 0.5f),
                     w4 = Wave(d * w2, 3.5f);
         return {a * w1 + b, c * w2 + d, w3 - a * b, w4 + c * d};
     },
     1},
    // Three deep, each level keeping values across its calls; the global
    // ratio read two levels down is handed over by every caller.
    {"nested subroutines and a global",
     R"(float h(vec2 p) { return fract(p.x * 3.7 + p.y * 1.3); }
float g(vec2 p) { return (h(p) * 0.5 + h(p.yx + 0.25) * 0.5) * ratio; }
vec3 f(vec2 p) { return vec3(g(p), g(p * 2.0), g(p + progress)); }
vec4 transition(vec2 uv) {
  vec3 a = f(uv);
  vec3 b = f(uv.yx);
  return vec4(a * 0.5 + b.zxy * 0.25, a.x - b.y);
})",
     [](float x, float y, float p) -> Vec4 {
         const float a[3] = {G(x, y), G(2 * x, 2 * y), G(x + p, y + p)};
         const float b[3] = {G(y, x), G(2 * y, 2 * x), G(y + p, x + p)};
         return {a[0] * 0.5f + b[2] * 0.25f, a[1] * 0.5f + b[0] * 0.25f, a[2] * 0.5f + b[1] * 0.25f,
                 a[0] - b[1]};
     },
     3},
    // Called inside a loop (kept as rep when loops are kept) and after it.
    {"calls in a loop",
     R"(float bump(float x) { return x * x * (3.0 - 2.0 * x); }
vec4 transition(vec2 uv) {
  float s = 0.0;
  for (int i = 0; i < 12; i++)
    s += bump(fract(uv.x * float(i) * 0.37 + progress)) * 0.1 + bump(uv.y) * 0.01;
  return vec4(s, bump(uv.x), 0.0, 1.0);
})",
     [](float x, float y, float p) -> Vec4 {
         float s = 0;
         for (int i = 0; i < 12; i++)
             s += Bump(Fract(x * float(i) * 0.37f + p)) * 0.1f + Bump(y) * 0.01f;
         return {s, Bump(x), 0, 1};
     },
     1},
    // Calls under branches, a parameter changed inside, a texture read there.
    {"calls under branches",
     R"(vec4 shifted(vec2 p, float k) {
  p.x = p.x * 0.5 + k;
  if (p.y > 0.5) p.y -= 0.25;
  return getToColor(p) * k;
}
vec4 transition(vec2 uv) {
  if (uv.x < 0.3) return shifted(uv, 0.25);
  if (uv.y < progress) return shifted(uv.yx, 0.5) + shifted(uv, 0.1);
  return getFromColor(uv);
})",
     [](float x, float y, float p) -> Vec4 {
         if (x < 0.3f)
             return Shifted(x, y, 0.25f);
         if (y < p) {
             const Vec4 a = Shifted(y, x, 0.5f), b = Shifted(x, y, 0.1f);
             return {a[0] + b[0], a[1] + b[1], a[2] + b[2], a[3] + b[3]};
         }
         return From(x, y);
     },
     1},
    // An out parameter is the caller's to read after the call: inlined.
    {"out parameters stay inlined",
     R"(float split(float x, out float rest) { rest = fract(x); return x - rest; }
float twice(float x) { return sin(x) * cos(x * 2.0) + x; }
vec4 transition(vec2 uv) {
  float r1, r2;
  float a = split(uv.x * 5.0, r1);
  float b = split(uv.y * 3.0 + progress, r2);
  return vec4(a * 0.2, r1, b * 0.25 + twice(uv.x) - twice(uv.y), r2);
})",
     [](float x, float y, float p) -> Vec4 {
         auto twice = [](float v) { return std::sin(v) * std::cos(v * 2) + v; };
         const float r1 = Fract(x * 5), r2 = Fract(y * 3 + p);
         return {(x * 5 - r1) * 0.2f, r1, (y * 3 + p - r2) * 0.25f + twice(x) - twice(y), r2};
     },
     1},
    // Calls whose results nothing reads leave no subroutine behind.
    {"results nobody reads",
     R"(float heavy(float x) { return sin(x) * cos(x * 2.0); }
vec4 transition(vec2 uv) {
  float unused = heavy(uv.x);
  float alsoUnused = heavy(uv.y);
  return vec4(heavy(progress), heavy(progress * 2.0), 0.0, 1.0);
})",
     [](float, float, float p) -> Vec4 {
         return {std::sin(p) * std::cos(p * 2), std::sin(p * 2) * std::cos(p * 4), 0, 1};
     },
     1},
    // Six levels, each calling the next twice: calls nest at most four deep.
    {"a chain deeper than calls nest",
     R"(float f6(float x) { return x * 0.5 + 0.1; }
float f5(float x) { return f6(x) + f6(x * 0.5); }
float f4(float x) { return f5(x) + f5(x * 0.5); }
float f3(float x) { return f4(x) + f4(x * 0.5); }
float f2(float x) { return f3(x) + f3(x * 0.5); }
float f1(float x) { return f2(x) + f2(x * 0.5); }
vec4 transition(vec2 uv) { return vec4(f1(uv.x) * 0.01, f1(uv.y) * 0.01, 0.0, 1.0); })",
     [](float x, float y, float) -> Vec4 {
         return {Chain(1, x) * 0.01f, Chain(1, y) * 0.01f, 0, 1};
     },
     1},
};

class SubroutineTest : public ::testing::TestWithParam<std::tuple<SubroutineCase, bool>> {};

TEST_P(SubroutineTest, MatchesTheProgram) {
    const SubroutineCase& c = std::get<0>(GetParam());
    const bool keepLoops = std::get<1>(GetParam());
    const qc::CompiledTransition t = Compile(c.source, qc::Profile::Ps30, keepLoops, true);
    int labels = -1; // the empty last one
    for (size_t at = t.shader.text.find("label l"); at != std::string::npos;
         at = t.shader.text.find("label l", at + 1))
        ++labels;
    EXPECT_GE(labels, c.subroutines) << t.shader.text;
    for (float p : {0.0f, 0.3f, 1.0f})
        for (int i = 0; i <= 16; ++i)
            for (int j = 0; j <= 16; ++j) {
                const float x = i / 16.0f * 0.98f + 0.005f, y = j / 16.0f * 0.98f + 0.005f;
                const Vec4 got = Shade(t, Pixel{x, y, p});
                const Vec4 want = c.reference(x, y, p);
                for (int k = 0; k < 4; ++k)
                    ASSERT_NEAR(got[k], want[k], 1e-4 * (1 + std::fabs(want[k])))
                        << c.name << " at " << x << "," << y << " progress " << p << "\n"
                        << t.shader.text;
            }
}

INSTANTIATE_TEST_SUITE_P(Subroutines, SubroutineTest,
                         ::testing::Combine(::testing::ValuesIn(kSubroutines), ::testing::Bool()));

// Colours live across the calls after their first use: the caller fills
// nearly all registers, and none of the subroutine's may be among them.
TEST(Subroutines, CallsUnderRegisterPressure) {
    for (const int n : {28, 29}) {
        std::string source = "float w(float x) { return sin(x * 1.7) * 0.5 + 0.5; }\n"
                             "vec4 transition(vec2 uv) {\n";
        for (int i = 0; i < n; ++i)
            source += "  vec4 a" + std::to_string(i) + " = getFromColor(uv * " +
                      std::to_string(i + 1) + ".0 / " + std::to_string(n) + ".0);\n";
        source += "  vec4 r = vec4(0.0);\n";
        for (int i = 0; i < n; ++i)
            source += "  r = r * w(uv.x + " + std::to_string(i) + ".0 * 0.1) + a" +
                      std::to_string(n - 1 - i) + ";\n";
        // Each colour read again at the end: live from its first use on.
        source += "  return r * 0.01 + (a0";
        for (int i = 1; i < n; ++i)
            source += " + a" + std::to_string(i);
        source += ") * 0.001;\n}\n";
        const qc::CompiledTransition t = Compile(source, qc::Profile::Ps30, false, true);
        if (n == 28)
            EXPECT_NE(t.shader.text.find("call l"), std::string::npos) << t.shader.text;
        for (float x : {0.2f, 0.7f}) {
            const float y = 0.4f;
            Vec4 r{0, 0, 0, 0};
            for (int i = 0; i < n; ++i) {
                const float k = float(n - i) / float(n);
                const float wi = std::sin((x + float(i) * 0.1f) * 1.7f) * 0.5f + 0.5f;
                const Vec4 a = From(x * k, y * k);
                for (int c = 0; c < 4; ++c)
                    r[c] = r[c] * wi + a[c];
            }
            Vec4 sum{0, 0, 0, 0};
            for (int i = 0; i < n; ++i) {
                const float k = float(i + 1) / float(n);
                for (int c = 0; c < 4; ++c)
                    sum[c] += From(x * k, y * k)[c];
            }
            const Vec4 got = Shade(t, Pixel{x, y});
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(got[c], r[c] * 0.01f + sum[c] * 0.001f, 1e-4) << t.shader.text;
        }
    }
}

// --- Discard -----------------------------------------------------------------------------

// A discard on some paths only: under a branch, in a function, inside an
// unrolled loop. One texkill at the end must kill exactly the pixels whose
// path reached one, and leave the others' colour alone.
TEST(Discard, KillsExactlyThePixelsThatReachIt) {
    const char* source = R"(void cut(float v) { if (v > 0.9) discard; }
vec4 transition(vec2 uv) {
  if (uv.x < progress) {
    if (uv.y < 0.25) discard;
  } else {
    cut(uv.y);
  }
  for (int i = 0; i < 3; i++)
    if (uv.x + uv.y == float(i) * 0.5) discard;
  return getToColor(uv);
})";
    for (qc::Profile profile : kProfiles) {
        const qc::CompiledTransition t = Compile(source, profile);
        EXPECT_NE(t.shader.text.find("texkill"), std::string::npos) << t.shader.text;
        const struct {
            float x, y;
            bool killed;
        } pixels[] = {{0.2f, 0.1f, true},  {0.2f, 0.6f, false},  {0.7f, 0.95f, true},
                      {0.7f, 0.6f, false}, {0.2f, 0.95f, false}, {0.25f, 0.75f, true},
                      {0.6f, 0.4f, true}};
        for (const auto& p : pixels) {
            bool killed = false;
            const Vec4 c = Shade(t, Pixel{p.x, p.y}, nullptr, &killed);
            EXPECT_EQ(killed, p.killed) << p.x << "," << p.y << "\n" << t.shader.text;
            if (!p.killed)
                EXPECT_EQ(c, To(p.x, p.y)) << p.x << "," << p.y;
        }
    }
}

// A function that discards stays inlined: a subroutine's discard would be
// lost. The other function still runs as one.
TEST(Subroutines, DiscardStaysInlined) {
    const char* source = R"(float cut(float v) { if (v > 0.8) discard; return v * 0.5; }
float wave(float x) { return sin(x * 3.0) * 0.5 + 0.5; }
vec4 transition(vec2 uv) {
  return vec4(cut(uv.x), cut(uv.y), wave(uv.x), wave(uv.y));
})";
    const qc::CompiledTransition t = Compile(source, qc::Profile::Ps30, false, true);
    EXPECT_NE(t.shader.text.find("call l"), std::string::npos) << t.shader.text;
    for (const Pixel& p : {Pixel{0.3f, 0.5f}, Pixel{0.9f, 0.5f}, Pixel{0.3f, 0.85f}}) {
        bool killed = false;
        const Vec4 c = Shade(t, p, nullptr, &killed);
        EXPECT_EQ(killed, p.x > 0.8f || p.y > 0.8f) << p.x << "," << p.y << "\n" << t.shader.text;
        if (!killed)
            EXPECT_NEAR(c[2], std::sin(p.x * 3) * 0.5f + 0.5f, 1e-5);
    }
}

// Eight calls of a 24-term sum: inlined far over ps_3_0's 512 slots, as
// subroutines within them, without being asked; a transition that fits
// inlined has no call.
TEST(Subroutines, OnlyWhenInlinedTheyDoNotFit) {
    std::string source = "float n(vec2 p) {\n  float s = 0.0;\n";
    for (int k = 1; k <= 24; ++k)
        source += "  s += sin(p.x * " + std::to_string(k) + ".1 + p.y * " + std::to_string(k % 5) +
                  ".3) * 0.04;\n";
    source += "  return s;\n}\nvec4 transition(vec2 uv) {\n"
              "  return vec4(n(uv) + n(uv * 2.0), n(uv.yx) - n(uv + progress),\n"
              "              n(uv * 0.5) * n(uv.yx * 3.0), n(uv - 0.25) + n(vec2(progress)));\n}\n";
    auto n = [](float x, float y) {
        float s = 0;
        for (int k = 1; k <= 24; ++k)
            s += std::sin(x * (float(k) + 0.1f) + y * (float(k % 5) + 0.3f)) * 0.04f;
        return s;
    };
    const qc::CompiledTransition t = Compile(source, std::nullopt);
    EXPECT_EQ(t.shader.profile, qc::Profile::Ps30);
    EXPECT_NE(t.shader.text.find("call l"), std::string::npos);
    EXPECT_LE(t.shader.arithmeticSlots + t.shader.textureSlots, 512);
    for (float x : {0.1f, 0.5f, 0.9f}) {
        const float y = 1 - x, p = 0.5f;
        const Vec4 got = Shade(t, Pixel{x, y, p});
        const Vec4 want = {n(x, y) + n(2 * x, 2 * y), n(y, x) - n(x + p, y + p),
                           n(x * 0.5f, y * 0.5f) * n(3 * y, 3 * x),
                           n(x - 0.25f, y - 0.25f) + n(p, p)};
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(got[c], want[c], 1e-4) << t.shader.text;
    }
    const qc::CompiledTransition small =
        Compile("float f(float x) { return sin(x) * 0.5; }\n"
                "vec4 transition(vec2 uv) { return vec4(f(uv.x), f(uv.y), 0.0, 1.0); }\n",
                std::nullopt);
    EXPECT_EQ(small.shader.text.find("call"), std::string::npos) << small.shader.text;
}

// --- Register pressure ------------------------------------------------------------------

// n values all live at once: each read is used at the start and at the end.
std::string Pressure(int n, bool scalars) {
    std::string s = "vec4 transition(vec2 uv) {\n";
    for (int i = 0; i < n; ++i) {
        const std::string k = std::to_string(i + 1);
        if (scalars)
            s += "  float a" + std::to_string(i) + " = uv.x * " + k + ".0 + uv.y * uv.y * " + k +
                 ".5;\n";
        else
            s += "  vec4 a" + std::to_string(i) + " = getFromColor(uv * " + k + ".0 / " +
                 std::to_string(n) + ".0);\n";
    }
    s += scalars ? "  float r = 0.0;\n" : "  vec4 r = vec4(0.0);\n";
    for (int i = 0; i < n; ++i)
        s += "  r = r * a" + std::to_string(i) + " + a" + std::to_string(n - 1 - i) + ";\n";
    s += scalars ? "  return vec4(r);\n}\n" : "  return r;\n}\n";
    return s;
}

Vec4 PressureReference(int n, bool scalars, float x, float y) {
    std::vector<Vec4> a(n);
    for (int i = 0; i < n; ++i) {
        const float k = float(i + 1);
        if (scalars)
            a[i].fill(x * k + y * y * (k + 0.5f));
        else
            a[i] = From(x * k / float(n), y * k / float(n));
    }
    Vec4 r{0, 0, 0, 0};
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c)
            r[c] = r[c] * a[i][c] + a[n - 1 - i][c];
    return r;
}

TEST(RegisterPressure, FillsPs20ExactlyAndRefusesBeyond) {
    for (bool scalars : {false, true}) {
        int largest = 0;
        for (int n = 2; n <= (scalars ? 40 : 16); ++n) {
            qc::CompiledTransition t;
            try {
                t = Compile(Pressure(n, scalars), qc::Profile::Ps20);
            } catch (const qc::CompileError& e) {
                const std::string what = e.what();
                EXPECT_TRUE(what.find("temporary registers") != std::string::npos ||
                            what.find("slots") != std::string::npos)
                    << what;
                continue;
            }
            largest = n;
            EXPECT_LE(t.shader.temporaries, 12);
            for (float x : {0.1f, 0.7f})
                for (float y : {0.2f, 0.9f}) {
                    const Vec4 got = Shade(t, Pixel{x, y});
                    const Vec4 want = PressureReference(n, scalars, x, y);
                    for (int c = 0; c < 4; ++c)
                        ASSERT_NEAR(got[c], want[c], 1e-3 * (1 + std::fabs(want[c])))
                            << n << (scalars ? " scalars" : " vectors") << "\n"
                            << t.shader.text;
                }
        }
        // Twelve vectors, or four scalars a register.
        EXPECT_GE(largest, scalars ? 13 : 11) << (scalars ? "scalars" : "vectors");
    }
}

TEST(RegisterPressure, MovesToPs30WhenPs20IsFull) {
    const qc::CompiledTransition t = Compile(Pressure(16, false), std::nullopt);
    EXPECT_EQ(t.shader.profile, qc::Profile::Ps30);
    const Vec4 got = Shade(t, Pixel{0.3f, 0.6f});
    const Vec4 want = PressureReference(16, false, 0.3f, 0.6f);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(got[c], want[c], 1e-3 * (1 + std::fabs(want[c])));
}

// --- Messages ---------------------------------------------------------------------------

struct ErrorCase {
    const char* source;
    std::optional<qc::Profile> profile;
    int line;
    const char* message;
};

const ErrorCase kErrors[] = {
    {"vec4 transition(vec2 uv) {\n  return colour;\n}\n", std::nullopt, 2, "undeclared identifier"},
    {"vec4 other(vec2 uv) { return vec4(1.0); }\n", std::nullopt, 0,
     "no function 'vec4 transition(vec2 uv)'"},
    {"uniform vec2 c; // = vec3(1.0, 2.0, 3.0)\nvec4 transition(vec2 uv) { return vec4(c, 0.0, "
     "1.0); }\n",
     std::nullopt, 1, "has 3 values"},
    {"uniform vec2 c; // = vec2(1.0, oops)\nvec4 transition(vec2 uv) { return vec4(c, 0.0, 1.0); "
     "}\n",
     std::nullopt, 1, "cannot read the default"},
    {"vec4 transition(vec2 uv) {\n  float x = 0.0;\n  while (x < uv.x * 100000.0) x += 1.0;\n  "
     "return vec4(x);\n}\n",
     std::nullopt, 3, "does not end within"},
    {"vec4 transition(vec2 uv) { return vec4(dFdx(uv.x)); }\n", qc::Profile::Ps20, 1,
     "need ps_3_0"},
    {"uniform sampler2D p;\nvec4 transition(vec2 uv) { return textureLod(p, uv, 0.0); }\n",
     qc::Profile::Ps20, 0, "needs ps_3_0 or vs_3_0, not ps_2_0"},
    {"uniform float a[3];\nvec4 transition(vec2 uv) { return vec4(a[0]); }\n", std::nullopt, 1,
     "uniform arrays"},
};

class ErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTest, SaysWhatAndWhere) {
    const ErrorCase& c = GetParam();
    try {
        qc::CompileTransition(c.source, c.profile);
        FAIL() << "compiled: " << c.source;
    } catch (const qc::CompileError& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        EXPECT_EQ(e.line, c.line) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, ErrorTest, ::testing::ValuesIn(kErrors));

// --- Uniform declarations and the effect file -------------------------------------------

struct UniformCase {
    const char* line;
    const char* type;
    std::vector<float> defaults;
};

const UniformCase kUniforms[] = {
    {"uniform float a; // = 0.5", "float", {0.5f}},
    {"uniform float a /* = 0.6 */;", "float", {0.6f}},
    {"uniform float a; // = 0.3; // a remark after the value", "float", {0.3f}},
    {"uniform vec2 a; // = vec2(0.5)", "vec2", {0.5f, 0.5f}},
    {"uniform ivec2 a; // = ivec2(4, 3)", "ivec2", {4, 3}},
    {"uniform bool a; // = true", "bool", {1}},
    {"uniform mat2 a; // = mat2(2.0)", "mat2", {2, 0, 0, 2}},
    {"uniform vec4 a;", "vec4", {0, 0, 0, 0}},
};

class UniformTest : public ::testing::TestWithParam<UniformCase> {};

TEST_P(UniformTest, ReadsTheDefault) {
    const UniformCase& c = GetParam();
    const std::vector<qc::UniformDecl> u = qc::ReadUniforms(std::string("\n") + c.line + "\n");
    ASSERT_EQ(u.size(), 1u) << c.line;
    EXPECT_EQ(u[0].glslType, c.type);
    EXPECT_EQ(u[0].defaults, c.defaults) << c.line;
    EXPECT_EQ(u[0].line, 2);
}

INSTANTIATE_TEST_SUITE_P(Declarations, UniformTest, ::testing::ValuesIn(kUniforms));

TEST(EffectFile, AUniformNamedLikeAHostSemanticKeepsItsDefault) {
    const std::string glsl = "uniform float pixelSize; // = 50.0\n"
                             "uniform float amount; // = 0.25\n"
                             "vec4 transition(vec2 uv) { return vec4(pixelSize * amount); }\n";
    const qc::CompiledTransition t = Compile(glsl, std::nullopt);
    qc::EffectOptions options;
    options.name = "T";
    const std::string fx = qc::WriteEffect(t, glsl, options);
    EXPECT_NE(fx.find("float pixelSize : Uniform_pixelSize = 50.0;"), std::string::npos) << fx;
    EXPECT_NE(fx.find("float amount : amount = 0.25;"), std::string::npos) << fx;
    EXPECT_NE(fx.find("//  uniform float pixelSize; // = 50.0"), std::string::npos) << fx;
}
} // namespace
