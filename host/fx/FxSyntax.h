#pragma once

// The effect-file subset as a syntax tree, and its parser. Platform-free:
// state names and values stay text here; the device side resolves them.

#include <functional>
#include <string>
#include <utility>
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
    enum class Kind { Numbers, Identifier, Reference, Asm, Null, Compile };
    Kind kind = Kind::Null;
    std::vector<double> numbers;
    // Identifier, referenced parameter, assembly source, or the entry point
    // of "compile PROFILE Entry(args)".
    std::string text;
    std::string profile;                // compile: "ps_2_0", "vs_3_0"...
    std::vector<std::string> arguments; // compile: literal arguments as written
    Position position;
    // The value's tokens [firstToken, endToken), for a tool that rewrites it.
    size_t firstToken = 0;
    size_t endToken = 0;
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
    int elements = 0; // an array's length; 0 for one value
    bool rowMajor = false;
    std::vector<double> initial; // empty when not initialised
    std::string text;            // a string's initialiser
    std::vector<State> samplerStates;
    StateValue shader;    // a shader variable's asm { }, compile or Null
    std::string typeName; // as written, for the HLSL declaration
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

// The HLSL of an effect as the shader compiler reads it: functions, structs
// and statics as written, and a declaration for each numeric or sampler
// parameter, in the order of the file. Line n of `text` comes from
// `lines[n - 1]` (a column stays the same).
struct HlslSource {
    std::string text;
    std::vector<Position> lines;
    std::vector<std::string> functions; // names of the functions defined
    // The tokens [first, end) of each top-level HLSL item, in order.
    std::vector<std::pair<size_t, size_t>> itemTokens;
};

struct Effect {
    std::vector<Parameter> parameters;
    std::vector<Technique> techniques;
    HlslSource hlsl;
};

// The place in the effect of line `line`, column `column` of `hlsl.text`.
Position PlaceInHlsl(const HlslSource& hlsl, int line, int column);

// Opens an included file. `includer` is the display name of the file holding
// the directive. On success fills `text` and `displayName` (used in messages
// and as the includer of nested directives).
using IncludeOpener = std::function<bool(const std::string& name, const std::string& includer,
                                         std::string& text, std::string& displayName)>;

// Parses `text`; an empty opener means that no include can be resolved.
// Returns false with "file(line,col): error Xnnnn: ..." lines in `messages`.
bool ParseEffect(const std::string& text, const std::string& fileName,
                 const IncludeOpener& openInclude, Effect& effect, std::string& messages);

// The tokens and every text read (Token and EffectTokens in FxLexer.h).
struct EffectTokens;

// As above, and keeps the tokens in `kept` for a tool that rewrites the
// effect's text (token ranges in the tree index them).
bool ParseEffect(const std::string& text, const std::string& fileName,
                 const IncludeOpener& openInclude, Effect& effect, std::string& messages,
                 EffectTokens* kept);

// "file(line,col): error Xcode: text" as the messages buffer carries it.
std::string FormatError(const Position& position, const char* code, const std::string& text);

// Case-insensitive ASCII comparison, as D3DX matches semantics and state names.
bool EqualsNoCase(const std::string& a, const std::string& b);

} // namespace fx
