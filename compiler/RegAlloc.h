#pragma once

// Register allocation: each virtual register gets a temporary and a first
// component for the span from its first write to its last read (to the end
// of a loop that reads it, when written before the loop); one-component
// values pack into free components of any register. Throws CompileError when the profile's
// temporaries run out (or those below shader.tempLimit). Pinned registers
// stay where they are; a subroutine's parameters are taken from the start,
// its result to the end.

#include "compiler/Machine.h"

namespace qc {

void AllocateRegisters(MachineShader& shader);

// Temporaries the allocated shader uses.
int TemporariesUsed(const MachineShader& shader);

} // namespace qc
