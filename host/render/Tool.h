#pragma once

#include <string>
#include <vector>

namespace quorvelrender {

// Exit codes of quorvel-render.
enum ExitCode : int {
    kExitOk = 0,
    kExitCheckFailed = 1,
    kExitUsage = 2,
    kExitInput = 3,  // missing or unreadable effect or image
    kExitEffect = 4, // effect could not be created, technique unknown
    kExitRender = 5, // device, frame or saving failure
};

// The whole tool; `toolFolder` holds Quorvel.dll, the library and the built-in images.
int RunTool(const std::vector<std::wstring>& args, const std::wstring& toolFolder);

} // namespace quorvelrender
