#pragma once

// What a run of the tool did, for scripts: written as JSON by --report FILE
// so that no caller parses the human-readable text on stderr.

#include <windows.h>

#include <string>
#include <vector>

namespace quorvelrender {

struct ReportedSemantic {
    std::wstring type;
    std::wstring name;
    std::wstring semantic;
    std::wstring delivery; // who sets it and with what
};

struct ReportedRule {
    bool ok = false;
    std::wstring text;
};

struct Report {
    std::wstring effect;
    std::wstring technique;
    std::wstring kind; // "transition", "effect" or empty before the effect is read
    bool check = false;
    // "passed" or "failed" after a check; empty when none ran.
    std::wstring verdict;
    std::vector<ReportedRule> rules;
    std::vector<ReportedSemantic> semantics;
    std::wstring outputFolder;
    std::vector<std::wstring> frames; // file names written into outputFolder, in order
    std::wstring sheet;
    std::vector<std::wstring> warnings;
    std::vector<std::wstring> errors;
    int exitCode = 0;
};

// The report as one JSON object (UTF-8).
std::string ReportJson(const Report& report);
// Writes it to `path` whole: a temporary file renamed over the target, so a
// reader never sees half a report.
bool WriteReport(const Report& report, const std::wstring& path);

} // namespace quorvelrender
