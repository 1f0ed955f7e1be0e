#pragma once

// The effect-file subset as a syntax tree, and its parser. Platform-free:
// state names and values stay text here; the device side resolves them.

#include <functional>
#include <string>
#include <vector>

namespace fx {

struct Position {
    std::string file;
    int line = 0;
    int column = 0;
};

enum class ParamKind { Float, Int, Bool, Texture, Sampler, String, PixelShader, VertexShader };

// The right-hand side of a state assignment.
struct StateValue {
    enum class Kind { Numbers, Identifier, Reference, Asm, Null };
    Kind kind = Kind::Null;
    std::vector<double> numbers;
    std::string text; // identifier, referenced parameter, or assembly source
    Position position;
};

struct State {
    std::string name;
    int index = -1; // the [n] of a state; -1 when absent
    StateValue value;
    Position position;
};

struct Parameter {
    std::string name;
    std::string semantic;
    ParamKind kind = ParamKind::Float;
    int rows = 1;
    int columns = 1;
    bool rowMajor = false;
    std::vector<double> initial; // empty when not initialised
    std::string text;            // a string's initialiser
    std::vector<State> samplerStates;
    StateValue shader; // a shader variable's asm { } block, or Null
    Position position;
};

struct Pass {
    std::string name;
    std::vector<State> states;
    Position position;
};

struct Technique {
    std::string name;
    std::vector<Pass> passes;
    Position position;
};

struct Effect {
    std::vector<Parameter> parameters;
    std::vector<Technique> techniques;
};

// Opens an included file. `includer` is the display name of the file holding
// the directive. On success fills `text` and `displayName` (used in messages
// and as the includer of nested directives).
using IncludeOpener = std::function<bool(const std::string& name, const std::string& includer,
                                         std::string& text, std::string& displayName)>;

// Parses `text`; an empty opener means that no include can be resolved.
// Returns false with "file(line,col): error Xnnnn: ..." lines in `messages`.
bool ParseEffect(const std::string& text, const std::string& fileName,
                 const IncludeOpener& openInclude, Effect& effect, std::string& messages);

// "file(line,col): error Xcode: text" as the messages buffer carries it.
std::string FormatError(const Position& position, const char* code, const std::string& text);

// The message for HLSL in an effect: this framework runs assembly only.
extern const char* const kHlslMessage;

// Case-insensitive ASCII comparison, as D3DX matches semantics and state names.
bool EqualsNoCase(const std::string& a, const std::string& b);

} // namespace fx
