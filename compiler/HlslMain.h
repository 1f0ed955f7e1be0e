#pragma once

// quorvel-fxc's HLSL mode, as the effect framework asks for one shader:
//   quorvel-fxc --hlsl-entry NAME --profile ps_2_0 [--arg VALUE]... FILE.hlsl -o OUT
// OUT holds "constant NAME SET INDEX COUNT" lines, then "asm" and the
// shader's assembly. Errors go to stderr as FILE(line,col): error Xnnnn: text.

namespace qc {

bool IsHlslRequest(int argc, char** argv);
int HlslMain(int argc, char** argv);

} // namespace qc
