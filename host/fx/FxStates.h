#pragma once

// The render and sampler states an effect's passes may set, as D3DX spells
// them (case-insensitive), and how their values are written.

#include <d3d9.h>

#include <string>

#include "host/fx/FxSyntax.h"

namespace fxhost {

struct EnumName {
    const char* name;
    DWORD value;
};

enum class ValueForm { Enum, Flags, Number, Float };

struct StateName {
    const char* name;
    DWORD state;
    ValueForm form;
    const EnumName* names;
};

const StateName* FindRenderState(const std::string& name);
const StateName* FindSamplerState(const std::string& name);

// The value of `state` written as `value`: a number, an enumeration name or,
// for flags, names joined with '|'. False when it is none of these.
bool ResolveStateValue(const StateName& state, const fx::StateValue& value, DWORD& out);

} // namespace fxhost
