#pragma once

// Command line of the host render tool, parsed apart from any device work so
// that every rule can be tested on its own.

#include <windows.h>

#include <string>
#include <vector>

namespace quorvelrender {

// A host value as the tool will put it into the parameter store.
struct HostValue {
    enum class Kind { Int, Float, Bool, String, Vector };
    Kind kind = Kind::String;
    LONG i = 0;
    float f = 0.0f;
    bool b = false;
    std::wstring s;
    std::vector<float> v;
};

// One parameter: constant (`from` only) or keyframed from Time 0 to Time 1.
struct HostParameter {
    std::wstring name;
    HostValue from;
    bool keyframed = false;
    HostValue to;
    bool fromFile = false; // given by the effect's "//!render" lines
};

struct Options {
    bool help = false;
    bool check = false;
    bool registry = false;
    bool listFiles = false; // print the effect's files, render nothing
    std::wstring effect;
    std::wstring technique;
    std::wstring from;
    std::wstring to;
    UINT width = 640;
    UINT height = 480;
    UINT frames = 8;
    bool framesGiven = false; // moving inputs give the count unless --frames asks fewer
    UINT gridX = 0;           // 0: leave the product's default
    UINT gridY = 0;
    std::wstring out = L"out";
    std::wstring report; // --report FILE: what the run did, as JSON
    UINT tolerance = 1;
    std::vector<HostParameter> params;
    std::vector<HostParameter> semantics;
};

// Largest output edge the tool accepts; beyond it devices refuse targets anyway.
constexpr UINT kMaxEdge = 8192;
constexpr UINT kMaxFrames = 10000;

// Parses argv[1..]; on failure returns false with a one-line message.
bool ParseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error);

// "WxH" with both in 1..kMaxEdge.
bool ParseSize(const std::wstring& text, UINT& width, UINT& height);

// A value text as a typed host value. `typeName` may be empty (inferred),
// "int", "float", "bool", "string" or "vector".
bool ParseHostValue(const std::wstring& typeName, const std::wstring& text, HostValue& value);

// "NAME[:TYPE]=VALUE" or, when `allowRange`, "NAME[:TYPE]=FROM..TO".
bool ParseAssignment(const std::wstring& text, bool allowRange, HostParameter& parameter,
                     std::wstring& error);

// The host parameters Quorvel reads by name ("Semantics" aside).
std::vector<std::wstring> HostParameterNames();

std::wstring UsageText();

// Options an effect file gives for previews in lines "//!render ARGS".
std::vector<std::wstring> SplitArguments(const std::wstring& line);

// Options from an effect's "//!render" lines, put before the command line's
// so that the command line wins; file names there are taken relative to the
// effect's folder.
bool MergeEffectLines(const std::vector<std::wstring>& lines, const std::wstring& effectFolder,
                      Options& options, std::wstring& error);

} // namespace quorvelrender
