// glsl-reference: renders a GL transition (the format's `vec4 transition(vec2 uv)`)
// with Mesa's own OpenGL on llvmpipe, headless through EGL's surfaceless
// platform, so the shader compiler's output can be compared with a renderer
// that does not share a line of code with it.
//
//   glsl-reference TRANSITION.glsl --from A.png --to B.png --size WxH
//       [--set NAME=V[,V...]]... [--texture NAME=FILE.png]...
//       PROGRESS=OUT.png [PROGRESS=OUT.png ...]
//
// The transition's uniforms start at their `// = value` defaults; --set
// overrides them. Each PROGRESS=OUT pair is one frame, all drawn in one
// context so many frames cost one start-up.
#define GL_GLEXT_PROTOTYPES 1
#define EGL_EGLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace reference {

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Failure{message}; }

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // rows top first, as the picture is seen
};

Image ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        Fail(path + ": " + image.message);
    image.format = PNG_FORMAT_RGBA;
    Image result;
    result.width = static_cast<int>(image.width);
    result.height = static_cast<int>(image.height);
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr)) {
        std::string message = image.message;
        png_image_free(&image);
        Fail(path + ": " + message);
    }
    return result;
}

// Writes through a temporary name so a failed write leaves no half picture.
void WritePng(const std::string& path, const Image& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA;
    const std::string temporary = path + ".part";
    if (!png_image_write_to_file(&image, temporary.c_str(), 0, picture.rgba.data(), 0, nullptr)) {
        std::remove(temporary.c_str());
        Fail(path + ": " + image.message);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        Fail(path + ": " + std::strerror(errno));
    }
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail(path + ": cannot open");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The numbers of a default or an override: literals in order, true/false as
// 1/0; names such as the `vec2` of a constructor are skipped whole.
std::vector<double> ParseNumbers(const std::string& text) {
    static const std::regex token(R"([A-Za-z_]\w*|[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)");
    std::vector<double> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), token);
         it != std::sregex_iterator(); ++it) {
        const std::string t = it->str();
        if (t == "true" || t == "false")
            numbers.push_back(t == "true" ? 1.0 : 0.0);
        else if (!std::isalpha(static_cast<unsigned char>(t[0])) && t[0] != '_')
            numbers.push_back(std::strtod(t.c_str(), nullptr));
    }
    return numbers;
}

struct Declared {
    std::string type;
    std::string defaultText;
};

// `uniform TYPE NAME; // = VALUE` lines of the transition, in the format's
// convention, or with the default in a block comment before the semicolon.
std::map<std::string, Declared> DeclaredUniforms(const std::string& source) {
    static const std::regex line(
        R"(^\s*uniform\s+(?:(?:lowp|mediump|highp)\s+)?(\w+)\s+(\w+)\s*(?:/\*\s*=\s*([^*]*?)\s*\*/\s*)?;[ \t]*(?://[ \t]*=[ \t]*([^\r\n]*))?)",
        std::regex::multiline);
    std::map<std::string, Declared> uniforms;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), line);
         it != std::sregex_iterator(); ++it) {
        // The value ends at a semicolon; a remark may follow it.
        std::string value = (*it)[3].matched ? (*it)[3].str() : (*it)[4].str();
        value = value.substr(0, value.find(';'));
        uniforms[(*it)[2].str()] = Declared{(*it)[1].str(), value};
    }
    return uniforms;
}

// GLSL 1.20 has no precision qualifiers; the format's files written for
// WebGL often carry them, which changes nothing on desktop GL. Qualifiers on
// declarations are defined away in the prologue, statements removed here.
std::string WithoutPrecision(const std::string& source) {
    static const std::regex precision(R"(\bprecision\s+(lowp|mediump|highp)\s+\w+\s*;)");
    return std::regex_replace(source, precision, "");
}

const char* const kVertexShader = R"(#version 120
attribute vec2 position;
varying vec2 _uv;
void main() {
    _uv = position * 0.5 + 0.5;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// What the format gives every transition; the source follows at its own line 1.
const char* const kFragmentPrologue = R"(#version 120
#define lowp
#define mediump
#define highp
uniform sampler2D from;
uniform sampler2D to;
uniform float progress;
uniform float ratio;
varying vec2 _uv;
vec4 getFromColor(vec2 uv) { return texture2D(from, uv); }
vec4 getToColor(vec2 uv) { return texture2D(to, uv); }
#line 1
)";

const char* const kFragmentEpilogue = R"(
void main() { gl_FragColor = transition(_uv); }
)";

GLuint CompileShader(GLenum kind, const std::string& text, const std::string& name) {
    GLuint shader = glCreateShader(kind);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
        glGetShaderInfoLog(shader, length, nullptr, &log[0]);
        Fail(name + ": does not compile:\n" + log.c_str());
    }
    return shader;
}

struct Options {
    std::string transition;
    std::string from;
    std::string to;
    int width = 0;
    int height = 0;
    std::map<std::string, std::string> sets;
    std::map<std::string, std::string> textures;
    std::vector<std::pair<double, std::string>> frames;
};

const char* const kUsage =
    "usage: glsl-reference TRANSITION.glsl --from A.png --to B.png --size WxH\n"
    "           [--set NAME=V[,V...]]... [--texture NAME=FILE.png]...\n"
    "           PROGRESS=OUT.png [PROGRESS=OUT.png ...]\n";

std::pair<std::string, std::string> SplitAssignment(const std::string& text,
                                                    const std::string& option) {
    const size_t at = text.find('=');
    if (at == std::string::npos || at == 0)
        Fail(option + " " + text + ": expected NAME=VALUE");
    return {text.substr(0, at), text.substr(at + 1)};
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--from") {
            options.from = value();
        } else if (arg == "--to") {
            options.to = value();
        } else if (arg == "--size") {
            const std::string size = value();
            char x = 0;
            std::istringstream in(size);
            if (!(in >> options.width >> x >> options.height) || x != 'x' || !in.eof() ||
                options.width < 1 || options.height < 1 || options.width > 8192 ||
                options.height > 8192)
                Fail("--size " + size + ": expected WxH");
        } else if (arg == "--set") {
            options.sets.insert(SplitAssignment(value(), arg));
        } else if (arg == "--texture") {
            options.textures.insert(SplitAssignment(value(), arg));
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg.size() > 1 && arg[0] == '-' &&
                   !std::isdigit(static_cast<unsigned char>(arg[1])) && arg[1] != '.') {
            Fail("unknown option " + arg);
        } else if (options.transition.empty()) {
            options.transition = arg;
        } else {
            const auto [progress, out] = SplitAssignment(arg, "frame");
            char* end = nullptr;
            const double p = std::strtod(progress.c_str(), &end);
            if (*end != '\0' || !std::isfinite(p))
                Fail("frame " + arg + ": expected PROGRESS=OUT.png");
            options.frames.emplace_back(p, out);
        }
    }
    if (options.transition.empty() || options.from.empty() || options.to.empty() ||
        options.width == 0 || options.frames.empty())
        Fail(std::string("missing arguments\n") + kUsage);
    return options;
}

class Context {
  public:
    Context() {
        // Mesa's software rasteriser, whatever the machine has.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("GALLIUM_DRIVER", "llvmpipe", 1);
        display_ =
            eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr))
            Fail("EGL: no surfaceless display (is Mesa's EGL installed?)");
        if (!eglBindAPI(EGL_OPENGL_API))
            Fail("EGL: no desktop OpenGL");
        const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint count = 0;
        if (!eglChooseConfig(display_, attributes, &config, 1, &count) || count < 1)
            Fail("EGL: no OpenGL configuration");
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
        if (context_ == EGL_NO_CONTEXT ||
            !eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
            Fail("EGL: cannot make an OpenGL context current");
    }
    ~Context() {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context_ != EGL_NO_CONTEXT)
            eglDestroyContext(display_, context_);
        eglTerminate(display_);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

  private:
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
};

// The format's sampling: linear, clamped to the edge; rows uploaded bottom
// first so that uv (0,0) is the picture's bottom-left corner.
GLuint UploadTexture(const Image& image) {
    std::vector<unsigned char> flipped(image.rgba.size());
    const size_t row = static_cast<size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&flipped[static_cast<size_t>(y) * row],
                    &image.rgba[static_cast<size_t>(image.height - 1 - y) * row], row);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, flipped.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return texture;
}

// Sets one uniform from its numbers: a single number fills a vector, or the
// diagonal of a matrix, as the GLSL constructors do.
void SetUniform(GLint location, GLenum type, const std::string& name,
                const std::vector<double>& numbers) {
    auto components = [&](int n) {
        if (numbers.size() != 1 && numbers.size() != static_cast<size_t>(n))
            Fail("uniform " + name + ": " + std::to_string(numbers.size()) +
                 " values for a type of " + std::to_string(n));
        std::vector<double> out(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            out[static_cast<size_t>(i)] =
                numbers.size() == 1 ? numbers[0] : numbers[static_cast<size_t>(i)];
        return out;
    };
    auto matrix = [&](int n) {
        std::vector<float> out(static_cast<size_t>(n * n));
        if (numbers.size() == 1) {
            for (int i = 0; i < n; ++i)
                out[static_cast<size_t>(i * n + i)] = static_cast<float>(numbers[0]);
        } else {
            const auto all = components(n * n);
            for (size_t i = 0; i < all.size(); ++i)
                out[i] = static_cast<float>(all[i]);
        }
        return out; // column by column, as GLSL's constructors take them
    };
    std::vector<float> f;
    std::vector<GLint> k;
    auto floats = [&](int n) {
        for (double v : components(n))
            f.push_back(static_cast<float>(v));
    };
    auto ints = [&](int n) {
        for (double v : components(n))
            k.push_back(static_cast<GLint>(v));
    };
    switch (type) {
    case GL_FLOAT:
        floats(1);
        glUniform1fv(location, 1, f.data());
        break;
    case GL_FLOAT_VEC2:
        floats(2);
        glUniform2fv(location, 1, f.data());
        break;
    case GL_FLOAT_VEC3:
        floats(3);
        glUniform3fv(location, 1, f.data());
        break;
    case GL_FLOAT_VEC4:
        floats(4);
        glUniform4fv(location, 1, f.data());
        break;
    case GL_INT:
    case GL_BOOL:
        ints(1);
        glUniform1iv(location, 1, k.data());
        break;
    case GL_INT_VEC2:
    case GL_BOOL_VEC2:
        ints(2);
        glUniform2iv(location, 1, k.data());
        break;
    case GL_INT_VEC3:
    case GL_BOOL_VEC3:
        ints(3);
        glUniform3iv(location, 1, k.data());
        break;
    case GL_INT_VEC4:
    case GL_BOOL_VEC4:
        ints(4);
        glUniform4iv(location, 1, k.data());
        break;
    case GL_FLOAT_MAT2:
        glUniformMatrix2fv(location, 1, GL_FALSE, matrix(2).data());
        break;
    case GL_FLOAT_MAT3:
        glUniformMatrix3fv(location, 1, GL_FALSE, matrix(3).data());
        break;
    case GL_FLOAT_MAT4:
        glUniformMatrix4fv(location, 1, GL_FALSE, matrix(4).data());
        break;
    default:
        Fail("uniform " + name + ": a type this renderer cannot set");
    }
}

int Run(const Options& options) {
    const std::string source = ReadText(options.transition);
    const auto declared = DeclaredUniforms(source);
    for (const auto& set : options.sets)
        if (!declared.count(set.first))
            Fail("--set " + set.first + ": the transition declares no such uniform");
    for (const auto& texture : options.textures)
        if (!declared.count(texture.first) || declared.at(texture.first).type != "sampler2D")
            Fail("--texture " + texture.first + ": the transition declares no such sampler2D");

    const Image from = ReadPng(options.from);
    const Image to = ReadPng(options.to);

    Context context;
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, kVertexShader, "vertex shader");
    const GLuint fragment = CompileShader(
        GL_FRAGMENT_SHADER, kFragmentPrologue + WithoutPrecision(source) + kFragmentEpilogue,
        options.transition);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glBindAttribLocation(program, 0, "position");
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[4096] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        Fail(options.transition + ": does not link:\n" + log);
    }
    glUseProgram(program);

    std::vector<GLuint> textures;
    int unit = 0;
    auto bindSampler = [&](const std::string& name, const Image& image) {
        glActiveTexture(GL_TEXTURE0 + unit);
        textures.push_back(UploadTexture(image));
        glUniform1i(glGetUniformLocation(program, name.c_str()), unit);
        ++unit;
    };
    bindSampler("from", from);
    bindSampler("to", to);
    for (const auto& texture : options.textures)
        bindSampler(texture.first, ReadPng(texture.second));

    // Every active uniform of the transition: its default, then any override.
    GLint active = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &active);
    for (GLint i = 0; i < active; ++i) {
        char name[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type,
                           name);
        const std::string uniform = name;
        const auto found = declared.find(uniform);
        if (found == declared.end() || type == GL_SAMPLER_2D)
            continue;
        const GLint location = glGetUniformLocation(program, name);
        const auto set = options.sets.find(uniform);
        const std::string& text =
            set != options.sets.end() ? set->second : found->second.defaultText;
        const auto numbers = ParseNumbers(text);
        if (!numbers.empty())
            SetUniform(location, type, uniform, numbers);
    }
    for (const auto& declaredUniform : declared)
        if (declaredUniform.second.type == "sampler2D" &&
            !options.textures.count(declaredUniform.first) &&
            glGetUniformLocation(program, declaredUniform.first.c_str()) >= 0)
            Fail("sampler2D " + declaredUniform.first + " has no --texture");
    glUniform1f(glGetUniformLocation(program, "ratio"),
                static_cast<float>(options.width) / static_cast<float>(options.height));

    GLuint colour = 0;
    GLuint framebuffer = 0;
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, options.width, options.height);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        Fail("OpenGL: the RGBA8 framebuffer is incomplete");
    glViewport(0, 0, options.width, options.height);

    const float quad[] = {-1.f, -1.f, 1.f, -1.f, -1.f, 1.f, 1.f, 1.f};
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);

    const GLint progressLocation = glGetUniformLocation(program, "progress");
    Image out;
    out.width = options.width;
    out.height = options.height;
    std::vector<unsigned char> pixels(static_cast<size_t>(out.width) * out.height * 4);
    out.rgba.resize(pixels.size());
    const size_t row = static_cast<size_t>(out.width) * 4;
    for (const auto& frame : options.frames) {
        glUniform1f(progressLocation, static_cast<float>(frame.first));
        glClearColor(0.f, 0.f, 0.f, 0.f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, out.width, out.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        if (const GLenum error = glGetError(); error != GL_NO_ERROR)
            Fail("OpenGL error " + std::to_string(error) + " drawing " + frame.second);
        // OpenGL reads the bottom row first; the picture's first row is its top.
        for (int y = 0; y < out.height; ++y)
            std::memcpy(&out.rgba[static_cast<size_t>(y) * row],
                        &pixels[static_cast<size_t>(out.height - 1 - y) * row], row);
        WritePng(frame.second, out);
    }

    glDeleteBuffers(1, &buffer);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colour);
    glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
    glDeleteProgram(program);
    glDeleteShader(fragment);
    glDeleteShader(vertex);
    return 0;
}

} // namespace reference

int main(int argc, char** argv) {
    try {
        return reference::Run(reference::ParseOptions(argc, argv));
    } catch (const reference::Failure& failure) {
        std::fprintf(stderr, "glsl-reference: %s\n", failure.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glsl-reference: %s\n", e.what());
        return 1;
    }
}
