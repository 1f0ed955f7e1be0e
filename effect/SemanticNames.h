#pragma once

// Effect semantics, in the order they are bound. The texture names double as
// the host's texture parameter names ("InputTexture2" names slot 2's file).

namespace quorvel {

inline constexpr const char* g_inputTextureSemantics[8] = {
    "InputTexture0", "InputTexture1", "InputTexture2", "InputTexture3",
    "InputTexture4", "InputTexture5", "InputTexture6", "InputTexture7"};

} // namespace quorvel
