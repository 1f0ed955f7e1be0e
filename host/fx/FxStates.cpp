#include "host/fx/FxStates.h"

#include <algorithm>
#include <iterator>

#include "host/fx/FxValues.h"

namespace fxhost {
namespace {

const EnumName kBool[] = {{"TRUE", TRUE}, {"FALSE", FALSE}, {nullptr, 0}};
const EnumName kZEnable[] = {
    {"TRUE", D3DZB_TRUE}, {"FALSE", D3DZB_FALSE}, {"USEW", D3DZB_USEW}, {nullptr, 0}};
const EnumName kCull[] = {
    {"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}, {nullptr, 0}};
const EnumName kFill[] = {{"POINT", D3DFILL_POINT},
                          {"WIREFRAME", D3DFILL_WIREFRAME},
                          {"SOLID", D3DFILL_SOLID},
                          {nullptr, 0}};
const EnumName kBlend[] = {{"ZERO", D3DBLEND_ZERO},
                           {"ONE", D3DBLEND_ONE},
                           {"SRCCOLOR", D3DBLEND_SRCCOLOR},
                           {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
                           {"SRCALPHA", D3DBLEND_SRCALPHA},
                           {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
                           {"DESTALPHA", D3DBLEND_DESTALPHA},
                           {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
                           {"DESTCOLOR", D3DBLEND_DESTCOLOR},
                           {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
                           {"SRCALPHASAT", D3DBLEND_SRCALPHASAT},
                           {"BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
                           {"BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
                           {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
                           {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR},
                           {nullptr, 0}};
const EnumName kBlendOp[] = {{"ADD", D3DBLENDOP_ADD},
                             {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                             {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                             {"MIN", D3DBLENDOP_MIN},
                             {"MAX", D3DBLENDOP_MAX},
                             {nullptr, 0}};
const EnumName kCmp[] = {{"NEVER", D3DCMP_NEVER},
                         {"LESS", D3DCMP_LESS},
                         {"EQUAL", D3DCMP_EQUAL},
                         {"LESSEQUAL", D3DCMP_LESSEQUAL},
                         {"GREATER", D3DCMP_GREATER},
                         {"NOTEQUAL", D3DCMP_NOTEQUAL},
                         {"GREATEREQUAL", D3DCMP_GREATEREQUAL},
                         {"ALWAYS", D3DCMP_ALWAYS},
                         {nullptr, 0}};
const EnumName kStencilOp[] = {{"KEEP", D3DSTENCILOP_KEEP},
                               {"ZERO", D3DSTENCILOP_ZERO},
                               {"REPLACE", D3DSTENCILOP_REPLACE},
                               {"INCRSAT", D3DSTENCILOP_INCRSAT},
                               {"DECRSAT", D3DSTENCILOP_DECRSAT},
                               {"INVERT", D3DSTENCILOP_INVERT},
                               {"INCR", D3DSTENCILOP_INCR},
                               {"DECR", D3DSTENCILOP_DECR},
                               {nullptr, 0}};
// Flags: several names joined with '|' are or-ed.
const EnumName kColorWrite[] = {{"RED", D3DCOLORWRITEENABLE_RED},
                                {"GREEN", D3DCOLORWRITEENABLE_GREEN},
                                {"BLUE", D3DCOLORWRITEENABLE_BLUE},
                                {"ALPHA", D3DCOLORWRITEENABLE_ALPHA},
                                {nullptr, 0}};
const EnumName kFilter[] = {{"NONE", D3DTEXF_NONE},
                            {"POINT", D3DTEXF_POINT},
                            {"LINEAR", D3DTEXF_LINEAR},
                            {"ANISOTROPIC", D3DTEXF_ANISOTROPIC},
                            {nullptr, 0}};
const EnumName kAddress[] = {{"WRAP", D3DTADDRESS_WRAP},
                             {"MIRROR", D3DTADDRESS_MIRROR},
                             {"CLAMP", D3DTADDRESS_CLAMP},
                             {"BORDER", D3DTADDRESS_BORDER},
                             {"MIRRORONCE", D3DTADDRESS_MIRRORONCE},
                             {nullptr, 0}};

const StateName kRenderStates[] = {
    {"ZEnable", D3DRS_ZENABLE, ValueForm::Enum, kZEnable},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, ValueForm::Enum, kBool},
    {"ZFunc", D3DRS_ZFUNC, ValueForm::Enum, kCmp},
    {"CullMode", D3DRS_CULLMODE, ValueForm::Enum, kCull},
    {"FillMode", D3DRS_FILLMODE, ValueForm::Enum, kFill},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, ValueForm::Enum, kBool},
    {"SrcBlend", D3DRS_SRCBLEND, ValueForm::Enum, kBlend},
    {"DestBlend", D3DRS_DESTBLEND, ValueForm::Enum, kBlend},
    {"BlendOp", D3DRS_BLENDOP, ValueForm::Enum, kBlendOp},
    {"SeparateAlphaBlendEnable", D3DRS_SEPARATEALPHABLENDENABLE, ValueForm::Enum, kBool},
    {"SrcBlendAlpha", D3DRS_SRCBLENDALPHA, ValueForm::Enum, kBlend},
    {"DestBlendAlpha", D3DRS_DESTBLENDALPHA, ValueForm::Enum, kBlend},
    {"BlendOpAlpha", D3DRS_BLENDOPALPHA, ValueForm::Enum, kBlendOp},
    {"BlendFactor", D3DRS_BLENDFACTOR, ValueForm::Number, nullptr},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, ValueForm::Enum, kBool},
    {"AlphaRef", D3DRS_ALPHAREF, ValueForm::Number, nullptr},
    {"AlphaFunc", D3DRS_ALPHAFUNC, ValueForm::Enum, kCmp},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, ValueForm::Flags, kColorWrite},
    {"StencilEnable", D3DRS_STENCILENABLE, ValueForm::Enum, kBool},
    {"StencilFunc", D3DRS_STENCILFUNC, ValueForm::Enum, kCmp},
    {"StencilRef", D3DRS_STENCILREF, ValueForm::Number, nullptr},
    {"StencilMask", D3DRS_STENCILMASK, ValueForm::Number, nullptr},
    {"StencilWriteMask", D3DRS_STENCILWRITEMASK, ValueForm::Number, nullptr},
    {"StencilFail", D3DRS_STENCILFAIL, ValueForm::Enum, kStencilOp},
    {"StencilZFail", D3DRS_STENCILZFAIL, ValueForm::Enum, kStencilOp},
    {"StencilPass", D3DRS_STENCILPASS, ValueForm::Enum, kStencilOp},
    {"ScissorTestEnable", D3DRS_SCISSORTESTENABLE, ValueForm::Enum, kBool},
    {"DitherEnable", D3DRS_DITHERENABLE, ValueForm::Enum, kBool},
    {"Lighting", D3DRS_LIGHTING, ValueForm::Enum, kBool},
    {"SRGBWriteEnable", D3DRS_SRGBWRITEENABLE, ValueForm::Enum, kBool},
    {"MultiSampleAntialias", D3DRS_MULTISAMPLEANTIALIAS, ValueForm::Enum, kBool},
    {"TextureFactor", D3DRS_TEXTUREFACTOR, ValueForm::Number, nullptr},
};

const StateName kSamplerStates[] = {
    {"MinFilter", D3DSAMP_MINFILTER, ValueForm::Enum, kFilter},
    {"MagFilter", D3DSAMP_MAGFILTER, ValueForm::Enum, kFilter},
    {"MipFilter", D3DSAMP_MIPFILTER, ValueForm::Enum, kFilter},
    {"AddressU", D3DSAMP_ADDRESSU, ValueForm::Enum, kAddress},
    {"AddressV", D3DSAMP_ADDRESSV, ValueForm::Enum, kAddress},
    {"AddressW", D3DSAMP_ADDRESSW, ValueForm::Enum, kAddress},
    {"BorderColor", D3DSAMP_BORDERCOLOR, ValueForm::Number, nullptr},
    {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, ValueForm::Number, nullptr},
    {"MaxMipLevel", D3DSAMP_MAXMIPLEVEL, ValueForm::Number, nullptr},
    {"MipMapLodBias", D3DSAMP_MIPMAPLODBIAS, ValueForm::Float, nullptr},
    {"SRGBTexture", D3DSAMP_SRGBTEXTURE, ValueForm::Enum, kBool},
};

const StateName* FindState(const StateName* table, size_t count, const std::string& name) {
    for (size_t i = 0; i < count; ++i) {
        if (fx::EqualsNoCase(table[i].name, name))
            return &table[i];
    }
    return nullptr;
}

bool FindEnum(const EnumName* names, const std::string& text, DWORD& value) {
    for (const EnumName* n = names; n && n->name; ++n) {
        if (fx::EqualsNoCase(n->name, text)) {
            value = n->value;
            return true;
        }
    }
    return false;
}

} // namespace

const StateName* FindRenderState(const std::string& name) {
    return FindState(kRenderStates, std::size(kRenderStates), name);
}

const StateName* FindSamplerState(const std::string& name) {
    return FindState(kSamplerStates, std::size(kSamplerStates), name);
}

bool ResolveStateValue(const StateName& state, const fx::StateValue& value, DWORD& out) {
    if (value.kind == fx::StateValue::Kind::Numbers && value.numbers.size() == 1) {
        const double d = value.numbers[0];
        if (state.form == ValueForm::Float)
            out = FloatBits(static_cast<float>(d));
        else if (d < -2147483648.0 || d > 4294967295.0)
            return false;
        else
            out = d < 0 ? static_cast<DWORD>(static_cast<INT>(d)) : static_cast<DWORD>(d);
        return true;
    }
    if (value.kind != fx::StateValue::Kind::Identifier || !state.names)
        return false;
    if (state.form != ValueForm::Flags)
        return FindEnum(state.names, value.text, out);
    out = 0;
    size_t begin = 0;
    while (begin <= value.text.size()) {
        const size_t bar = std::min(value.text.find('|', begin), value.text.size());
        DWORD flag;
        if (!FindEnum(state.names, value.text.substr(begin, bar - begin), flag))
            return false;
        out |= flag;
        begin = bar + 1;
    }
    return true;
}

} // namespace fxhost
