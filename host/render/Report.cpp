#include "host/render/Report.h"

#include "com/CodePage.h"

#include <cstdio>
#include <fstream>

namespace quorvelrender {
namespace {

// A JSON string: UTF-8, with quotes, backslashes and control characters escaped.
std::string Quoted(const std::wstring& text) {
    std::string utf8;
    quorvel::Narrow(text, utf8, CP_UTF8);
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Texts(const std::vector<std::wstring>& texts) {
    std::string out = "[";
    for (size_t i = 0; i < texts.size(); ++i)
        out += (i ? ", " : "") + Quoted(texts[i]);
    return out + "]";
}

} // namespace

std::string ReportJson(const Report& report) {
    std::string out = "{\n";
    out += "  \"effect\": " + Quoted(report.effect) + ",\n";
    out += "  \"technique\": " + Quoted(report.technique) + ",\n";
    out += "  \"kind\": " + Quoted(report.kind) + ",\n";
    out += std::string("  \"check\": ") + (report.check ? "true" : "false") + ",\n";
    out += "  \"verdict\": " + (report.verdict.empty() ? "null" : Quoted(report.verdict)) + ",\n";
    out += "  \"rules\": [";
    for (size_t i = 0; i < report.rules.size(); ++i)
        out += std::string(i ? "," : "") +
               "\n    {\"ok\": " + (report.rules[i].ok ? "true" : "false") +
               ", \"text\": " + Quoted(report.rules[i].text) + "}";
    out += report.rules.empty() ? "],\n" : "\n  ],\n";
    out += "  \"semantics\": [";
    for (size_t i = 0; i < report.semantics.size(); ++i) {
        const ReportedSemantic& s = report.semantics[i];
        out += std::string(i ? "," : "") + "\n    {\"type\": " + Quoted(s.type) +
               ", \"name\": " + Quoted(s.name) + ", \"semantic\": " + Quoted(s.semantic) +
               ", \"delivery\": " + Quoted(s.delivery) + "}";
    }
    out += report.semantics.empty() ? "],\n" : "\n  ],\n";
    out += "  \"output\": " + Quoted(report.outputFolder) + ",\n";
    out += "  \"frames\": " + Texts(report.frames) + ",\n";
    out += "  \"sheet\": " + (report.sheet.empty() ? "null" : Quoted(report.sheet)) + ",\n";
    out += "  \"warnings\": " + Texts(report.warnings) + ",\n";
    out += "  \"errors\": " + Texts(report.errors) + ",\n";
    out += "  \"exit_code\": " + std::to_string(report.exitCode) + "\n}\n";
    return out;
}

bool WriteReport(const Report& report, const std::wstring& path) {
    const std::string json = ReportJson(report);
    const std::wstring partial = path + L".partial";
    {
        std::ofstream file(partial.c_str(), std::ios::binary | std::ios::trunc);
        if (!file.write(json.data(), static_cast<std::streamsize>(json.size())))
            return false;
        file.close();
        if (!file) {
            ::DeleteFileW(partial.c_str());
            return false;
        }
    }
    if (::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    ::DeleteFileW(partial.c_str());
    return false;
}

} // namespace quorvelrender
