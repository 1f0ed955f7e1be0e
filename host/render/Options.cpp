#include "host/render/Options.h"

#include "effect/HostContract.h"
#include "host/render/Diagnostics.h"
#include "host/render/ToolSupport.h"

#include <shlwapi.h>

#include <cwchar>
#include <cwctype>

namespace quorvelrender {
namespace {

bool ParseUnsigned(const std::wstring& text, UINT limit, UINT& value) {
    if (text.empty() || text.size() > 9)
        return false;
    UINT result = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        result = result * 10 + static_cast<UINT>(c - L'0');
    }
    if (result == 0 || result > limit)
        return false;
    value = result;
    return true;
}

bool ParseInt(const std::wstring& text, LONG& value) {
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || parsed < LONG_MIN || parsed > LONG_MAX)
        return false;
    value = static_cast<LONG>(parsed);
    return true;
}

bool ParseFloat(const std::wstring& text, float& value) {
    if (text.empty() || std::iswspace(text[0]))
        return false;
    wchar_t* end = nullptr;
    const double parsed = std::wcstod(text.c_str(), &end);
    if (*end != L'\0' || !(parsed == parsed))
        return false;
    value = static_cast<float>(parsed);
    return true;
}

bool ParseVector(const std::wstring& text, std::vector<float>& value) {
    value.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(L',', start);
        float f = 0.0f;
        if (!ParseFloat(text.substr(start, comma == std::wstring::npos ? comma : comma - start), f))
            return false;
        value.push_back(f);
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
    return !value.empty() && value.size() <= 16;
}

// Host parameters whose type the product fixes; a bare value takes that type.
bool KindForName(const std::wstring& name, HostValue::Kind& kind) {
    for (const quorvel::HostParameterSpec& known : quorvel::g_hostParameters) {
        if (name == known.name) {
            kind = known.type == quorvel::HostValueType::Integer ? HostValue::Kind::Int
                                                                 : HostValue::Kind::String;
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<std::wstring> HostParameterNames() {
    std::vector<std::wstring> names;
    for (const quorvel::HostParameterSpec& known : quorvel::g_hostParameters)
        names.emplace_back(known.name);
    return names;
}

bool ParseSize(const std::wstring& text, UINT& width, UINT& height) {
    const size_t x = text.find_first_of(L"xX");
    if (x == std::wstring::npos)
        return false;
    UINT w = 0, h = 0;
    if (!ParseUnsigned(text.substr(0, x), kMaxEdge, w) ||
        !ParseUnsigned(text.substr(x + 1), kMaxEdge, h))
        return false;
    width = w;
    height = h;
    return true;
}

bool ParseHostValue(const std::wstring& typeName, const std::wstring& text, HostValue& value) {
    value = HostValue{};
    if (typeName == L"int") {
        value.kind = HostValue::Kind::Int;
        return ParseInt(text, value.i);
    }
    if (typeName == L"float") {
        value.kind = HostValue::Kind::Float;
        return ParseFloat(text, value.f);
    }
    if (typeName == L"bool") {
        value.kind = HostValue::Kind::Bool;
        if (text == L"true" || text == L"1")
            value.b = true;
        else if (text != L"false" && text != L"0")
            return false;
        return true;
    }
    if (typeName == L"vector") {
        value.kind = HostValue::Kind::Vector;
        return ParseVector(text, value.v);
    }
    if (typeName == L"string") {
        value.kind = HostValue::Kind::String;
        value.s = text;
        return true;
    }
    if (!typeName.empty())
        return false;
    // Inferred: integer, then float, then a list of floats, else text.
    if (ParseInt(text, value.i)) {
        value.kind = HostValue::Kind::Int;
        return true;
    }
    if (ParseFloat(text, value.f)) {
        value.kind = HostValue::Kind::Float;
        return true;
    }
    if (text.find(L',') != std::wstring::npos && ParseVector(text, value.v)) {
        value.kind = HostValue::Kind::Vector;
        return true;
    }
    value.kind = HostValue::Kind::String;
    value.s = text;
    return true;
}

bool ParseAssignment(const std::wstring& text, bool allowRange, HostParameter& parameter,
                     std::wstring& error) {
    const size_t equals = text.find(L'=');
    if (equals == std::wstring::npos || equals == 0) {
        error = L"expected NAME=VALUE, got \"" + text + L"\"";
        return false;
    }
    std::wstring name = text.substr(0, equals);
    std::wstring typeName;
    const size_t colon = name.find(L':');
    if (colon != std::wstring::npos) {
        typeName = name.substr(colon + 1);
        name.resize(colon);
        if (name.empty()) {
            error = L"expected NAME=VALUE, got \"" + text + L"\"";
            return false;
        }
    }
    HostValue::Kind known;
    if (typeName.empty() && KindForName(name, known))
        typeName = known == HostValue::Kind::Int ? L"int" : L"string";
    // Integers and floats are keyframed as floats, the type the store interpolates.
    std::wstring valueText = text.substr(equals + 1);
    parameter = HostParameter{};
    parameter.name = name;
    const size_t range = allowRange ? valueText.find(L"..") : std::wstring::npos;
    if (range != std::wstring::npos) {
        const std::wstring rangeType = typeName.empty() ? L"float" : typeName;
        if (rangeType != L"float" && rangeType != L"vector") {
            error = L"a FROM..TO range needs float or vector values: \"" + text + L"\"";
            return false;
        }
        parameter.keyframed = true;
        if (!ParseHostValue(rangeType, valueText.substr(0, range), parameter.from) ||
            !ParseHostValue(rangeType, valueText.substr(range + 2), parameter.to) ||
            (rangeType == L"vector" && parameter.from.v.size() != parameter.to.v.size())) {
            error = L"bad FROM..TO range in \"" + text + L"\"";
            return false;
        }
        return true;
    }
    if (!ParseHostValue(typeName, valueText, parameter.from)) {
        error = L"bad value in \"" + text + L"\"" +
                (typeName.empty() ? L"" : L" (type " + typeName + L")");
        return false;
    }
    return true;
}

std::vector<std::wstring> SplitArguments(const std::wstring& line) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool inQuotes = false, any = false;
    for (wchar_t c : line) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            any = true;
        } else if (!inQuotes && (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')) {
            if (any)
                args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        args.push_back(current);
    return args;
}

bool ParseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        auto next = [&](std::wstring& value) {
            if (i + 1 >= args.size()) {
                error = arg + L" needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        std::wstring value;
        if (arg == L"--help" || arg == L"-h") {
            options.help = true;
        } else if (arg == L"--check") {
            options.check = true;
        } else if (arg == L"--registry") {
            options.registry = true;
        } else if (arg == L"--list-files") {
            options.listFiles = true;
        } else if (arg == L"--effect") {
            if (!next(options.effect))
                return false;
        } else if (arg == L"--technique") {
            if (!next(options.technique))
                return false;
        } else if (arg == L"--from") {
            if (!next(options.from))
                return false;
        } else if (arg == L"--to") {
            if (!next(options.to))
                return false;
        } else if (arg == L"--out") {
            if (!next(options.out))
                return false;
        } else if (arg == L"--report") {
            if (!next(options.report))
                return false;
        } else if (arg == L"--size") {
            if (!next(value))
                return false;
            if (!ParseSize(value, options.width, options.height)) {
                error = L"bad --size \"" + value + L"\": expected WxH, each 1 to " +
                        std::to_wstring(kMaxEdge);
                return false;
            }
        } else if (arg == L"--grid") {
            if (!next(value))
                return false;
            UINT x = 0, y = 0;
            if (!ParseSize(value, x, y) || x < 2 || y < 2 || x * y > 65536) {
                error = L"bad --grid \"" + value +
                        L"\": expected XxY vertices, each at least 2, at most 65536 in all";
                return false;
            }
            options.gridX = x;
            options.gridY = y;
        } else if (arg == L"--frames") {
            if (!next(value))
                return false;
            if (!ParseUnsigned(value, kMaxFrames, options.frames)) {
                error = L"bad --frames \"" + value + L"\": expected 1 to " +
                        std::to_wstring(kMaxFrames);
                return false;
            }
            options.framesGiven = true;
        } else if (arg == L"--tolerance") {
            if (!next(value))
                return false;
            UINT t = 0;
            if (value == L"0")
                t = 0;
            else if (!ParseUnsigned(value, 255, t)) {
                error = L"bad --tolerance \"" + value + L"\": expected 0 to 255";
                return false;
            }
            options.tolerance = t;
        } else if (arg == L"--param" || arg == L"--semantic") {
            if (!next(value))
                return false;
            HostParameter parameter;
            if (!ParseAssignment(value, arg == L"--semantic", parameter, error)) {
                error = arg + L": " + error;
                return false;
            }
            (arg == L"--param" ? options.params : options.semantics).push_back(parameter);
        } else {
            error = L"unknown argument \"" + arg + L"\" (see --help)";
            return false;
        }
    }
    return true;
}

bool MergeEffectLines(const std::vector<std::wstring>& lines, const std::wstring& effectFolder,
                      Options& options, std::wstring& error) {
    Options fromFile;
    for (const std::wstring& line : lines) {
        const std::vector<std::wstring> args = SplitArguments(line);
        for (size_t i = 0; i < args.size(); i += 2) {
            if (args[i] != L"--param" && args[i] != L"--semantic" && args[i] != L"--grid") {
                error = L"//!render allows only --param, --semantic and --grid, not " + args[i];
                return false;
            }
        }
        if (!ParseOptions(args, fromFile, error)) {
            error = L"//!render line: " + error;
            return false;
        }
    }
    for (HostParameter& parameter : fromFile.params)
        parameter.fromFile = true;
    for (HostParameter& parameter : fromFile.semantics)
        parameter.fromFile = true;
    for (HostParameter& parameter : fromFile.params) {
        if (IsTextureParameter(parameter.name) && parameter.from.kind == HostValue::Kind::String &&
            ::PathIsRelativeW(parameter.from.s.c_str()))
            parameter.from.s = FullPath(effectFolder + L"\\" + parameter.from.s);
    }
    // The command line comes later and so wins.
    options.params.insert(options.params.begin(), fromFile.params.begin(), fromFile.params.end());
    options.semantics.insert(options.semantics.begin(), fromFile.semantics.begin(),
                             fromFile.semantics.end());
    if (options.gridX == 0) {
        options.gridX = fromFile.gridX;
        options.gridY = fromFile.gridY;
    }
    return true;
}

std::wstring UsageText() {
    using namespace quorvel;
    return std::wstring(
               L"Usage: quorvel-render [options]\n"
               L"Renders a Quorvel effect or transition through Quorvel.dll on a Direct3D 9 "
               L"device.\n"
               L"\n"
               L"  --effect FILE        effect file (default: library\\transitions\\crossfade.fx)\n"
               L"  --technique NAME     technique (default: the first in the file)\n"
               L"  --from IMAGE|FOLDER  first input (PNG, JPEG, BMP; default: built-in image); a\n"
               L"                       folder of numbered images moves: its frame k to frame k\n"
               L"  --to IMAGE|FOLDER    second input, transitions only (default: built-in image)\n"
               L"  --size WxH           output size (default 640x480)\n"
               L"  --frames N           frames from Time 0 to Time 1 (default 8; with a folder\n"
               L"                       input, its frame count, of the shorter one)\n"
               L"  --grid XxY           vertex grid (host parameters ") +
           kNumVerticesXParameter + L", " + kNumVerticesYParameter +
           L")\n"
           L"  --param NAME=VALUE   host parameter; NAME:TYPE=VALUE with TYPE int, float,\n"
           L"                       bool, string or vector (1,2,3) fixes the type\n"
           L"  --semantic NAME=VALUE  child of the host's \"" +
           kSemanticsGroup +
           L"\" group; FROM..TO\n"
           L"                       keyframes a float or vector from Time 0 to Time 1\n"
           L"  --out DIR            output folder (default out): frame-0000.png ... sheet.png\n"
           L"  --registry           create the objects through the registry (CoCreateInstance)\n"
           L"                       instead of Quorvel.dll in the tool's folder\n"
           L"  --check              conformance check: render Time 0 and 1, compare with the\n"
           L"                       inputs (transitions), list the semantics; non-zero on "
           L"failure;\n"
           L"                       with --frames it renders those frames as well\n"
           L"  --tolerance N        largest channel difference --check accepts (default 1)\n"
           L"  --list-files         print the effect file and every file it includes, one\n"
           L"                       full path a line, and stop\n"
           L"  --report FILE        what the run did as JSON: frames written, verdict and\n"
           L"                       rules, declared semantics, warnings, errors\n"
           L"  --help               this text\n"
           L"\n"
           L"An effect file may give default options in lines \"//!render OPTIONS\";\n"
           L"file names there are relative to the effect's folder.\n";
}

} // namespace quorvelrender
