#include "host/render/Diagnostics.h"

#include "effect/HostContract.h"
#include "render/ColorText.h"
#include "render/ParseColor.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <iterator>

namespace quorvelrender {
namespace {

size_t EditDistance(const std::wstring& a, const std::wstring& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::towlower(a[i - 1]) == std::towlower(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring JoinNames(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names)
        text += (text.empty() ? L"" : L", ") + name;
    return text;
}

std::wstring Number(float value) {
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%g", static_cast<double>(value));
    return buffer;
}

std::wstring Float4(const float v[4]) {
    return L"(" + Number(v[0]) + L", " + Number(v[1]) + L", " + Number(v[2]) + L", " +
           Number(v[3]) + L")";
}

const HostParameter* LastNamed(const std::vector<HostParameter>& params, const std::wstring& name) {
    const HostParameter* found = nullptr;
    for (const HostParameter& parameter : params)
        if (parameter.name == name)
            found = &parameter;
    return found;
}

} // namespace

std::vector<std::wstring> ClosestNames(const std::wstring& name,
                                       const std::vector<std::wstring>& candidates, size_t count) {
    std::vector<std::pair<size_t, std::wstring>> ranked;
    for (const std::wstring& candidate : candidates) {
        const bool seen = std::any_of(ranked.begin(), ranked.end(),
                                      [&](const auto& r) { return r.second == candidate; });
        if (!seen)
            ranked.emplace_back(EditDistance(name, candidate), candidate);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Only the near ones: a slip of a letter or two, not every name there is.
    std::vector<std::wstring> names;
    for (size_t i = 0; i < ranked.size() && i < count; ++i)
        if (ranked[i].first <= ranked[0].first + 1)
            names.push_back(ranked[i].second);
    return names;
}

std::wstring OptionName(const HostParameter& parameter, bool semantic) {
    return std::wstring(parameter.fromFile ? L"//!render " : L"") +
           (semantic ? L"--semantic " : L"--param ") + parameter.name;
}

std::vector<std::wstring> UnmatchedValues(const Options& options,
                                          const EffectDeclarations& declarations) {
    std::vector<std::wstring> declared;
    for (const DeclaredParameter& parameter : declarations.parameters)
        declared.push_back(parameter.semantic);
    auto isDeclared = [&](const std::wstring& name) {
        return std::any_of(declared.begin(), declared.end(),
                           [&](const std::wstring& d) { return EqualsIgnoringCase(d, name); });
    };
    std::vector<std::wstring> lines;
    for (const HostParameter& semantic : options.semantics) {
        if (isDeclared(semantic.name))
            continue;
        lines.push_back(OptionName(semantic, true) + L" matches no semantic the effect declares" +
                        (declared.empty()
                             ? L" (it declares none)"
                             : L"; closest: " + JoinNames(ClosestNames(semantic.name, declared))));
    }
    const std::vector<std::wstring> known = HostParameterNames();
    for (const HostParameter& parameter : options.params) {
        if (std::find(known.begin(), known.end(), parameter.name) != known.end())
            continue;
        std::wstring line = OptionName(parameter, false) + L" is no host parameter Quorvel reads";
        if (isDeclared(parameter.name))
            line += L"; the effect declares it as a semantic: use --semantic " + parameter.name;
        else
            line += L"; closest: " + JoinNames(ClosestNames(parameter.name, known));
        lines.push_back(line);
    }
    return lines;
}

Delivery DescribeDelivery(const HostParameter& semantic) {
    Delivery delivery;
    const HostValue& value = semantic.from;
    const std::wstring range = semantic.keyframed ? L", keyframed from Time 0 to Time 1" : L"";
    switch (value.kind) {
    case HostValue::Kind::Int:
        delivery.text = L"the integer " + std::to_wstring(value.i);
        break;
    case HostValue::Kind::Float:
        delivery.text = semantic.keyframed ? L"a float" + range : L"the float " + Number(value.f);
        break;
    case HostValue::Kind::Bool:
        delivery.text = value.b ? L"the bool true" : L"the bool false";
        break;
    case HostValue::Kind::Vector:
        delivery.text = L"a float4 from " + std::to_wstring(value.v.size()) + L" floats" + range;
        if (value.v.size() < 2 || value.v.size() > 4) {
            delivery.doubtful = true;
            delivery.text += L" (only x is set: 2 to 4 floats fill x, y, z, w)";
        }
        break;
    case HostValue::Kind::String: {
        if (Lower(semantic.name).find(quorvel::kColorTextWord) == std::wstring::npos) {
            delivery.dropped = true;
            delivery.text = std::wstring(L"dropped: a text value reaches only a semantic whose "
                                         L"name contains \"") +
                            quorvel::kColorTextWord + L"\"";
            break;
        }
        std::uint32_t argb = 0;
        float rgba[4] = {};
        if (SUCCEEDED(ParseColor(value.s.c_str(), &argb))) {
            quorvel::ColorToFloat4(argb, rgba);
            delivery.text = L"the colour " + Float4(rgba);
            break;
        }
        // The host's fallback: the text's leading decimal number.
        const long decimal = std::wcstol(value.s.c_str(), nullptr, 10);
        quorvel::ColorToFloat4(static_cast<std::uint32_t>(decimal), rgba);
        delivery.doubtful = true;
        delivery.text = L"\"" + value.s +
                        L"\" is not a colour (#RRGGBB, #AARRGGBB, 0xRRGGBB, a colour name); "
                        L"the effect gets its decimal reading " +
                        Float4(rgba);
        break;
    }
    }
    return delivery;
}

const HostParameter* SuppliedSemantic(const Options& options, const std::wstring& semantic) {
    const HostParameter* found = nullptr;
    for (const HostParameter& parameter : options.semantics)
        if (EqualsIgnoringCase(parameter.name, semantic))
            found = &parameter;
    return found;
}

std::vector<std::wstring> TextureParametersOfSlot(int slot) {
    if (slot == quorvel::kFirstTextureFileSlot)
        return {std::begin(quorvel::g_slot2TextureParameters),
                std::end(quorvel::g_slot2TextureParameters)};
    if (slot > quorvel::kFirstTextureFileSlot && slot < quorvel::kTextureSlotCount)
        return {quorvel::g_inputTextureParameters[slot]};
    return {};
}

int TextureSlotOfSemantic(const std::wstring& semantic) {
    for (int slot = quorvel::kFirstTextureFileSlot; slot < quorvel::kTextureSlotCount; ++slot)
        if (EqualsIgnoringCase(semantic, quorvel::g_inputTextureParameters[slot]))
            return slot;
    return -1;
}

bool IsTextureParameter(const std::wstring& name) {
    for (int slot = quorvel::kFirstTextureFileSlot; slot < quorvel::kTextureSlotCount; ++slot)
        for (const std::wstring& candidate : TextureParametersOfSlot(slot))
            if (name == candidate)
                return true;
    return false;
}

std::wstring TextureForSlot(const std::vector<HostParameter>& params, int slot,
                            std::wstring& parameter) {
    for (const std::wstring& name : TextureParametersOfSlot(slot)) {
        const HostParameter* given = LastNamed(params, name);
        if (given && given->from.kind == HostValue::Kind::String && !given->from.s.empty()) {
            parameter = name;
            return given->from.s;
        }
    }
    parameter.clear();
    return std::wstring();
}

bool IsToolOutput(const std::wstring& fileName, bool check) {
    const std::wstring name = Lower(fileName);
    if (check)
        return name == L"check-time0.png" || name == L"check-time1.png" ||
               name == L"check-diff-time0.png" || name == L"check-diff-time1.png";
    if (name == L"sheet.png")
        return true;
    // frame-NNNN.png, as the render names them.
    if (name.size() != 14 || name.compare(0, 6, L"frame-") != 0 ||
        name.compare(10, 4, L".png") != 0)
        return false;
    for (size_t i = 6; i < 10; ++i)
        if (name[i] < L'0' || name[i] > L'9')
            return false;
    return true;
}

UINT RemoveEarlierOutputs(const std::wstring& folder, bool check) {
    UINT removed = 0;
    WIN32_FIND_DATAW found = {};
    const std::wstring pattern = folder + L"\\*.png";
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<std::wstring> names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            IsToolOutput(found.cFileName, check))
            names.emplace_back(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    for (const std::wstring& name : names)
        if (::DeleteFileW((folder + L"\\" + name).c_str()))
            ++removed;
    return removed;
}

BadPixel FirstBadPixel(const std::vector<DWORD>& rendered, const std::vector<DWORD>& expected,
                       UINT width, UINT tolerance) {
    BadPixel bad;
    if (width == 0 || rendered.size() != expected.size())
        return bad;
    for (size_t i = 0; i < rendered.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>((rendered[i] >> shift) & 0xFF);
            const int b = static_cast<int>((expected[i] >> shift) & 0xFF);
            if (static_cast<UINT>(std::abs(a - b)) > tolerance) {
                bad.found = true;
                bad.x = static_cast<UINT>(i % width);
                bad.y = static_cast<UINT>(i / width);
                bad.rendered = rendered[i];
                bad.expected = expected[i];
                return bad;
            }
        }
    }
    return bad;
}

std::vector<DWORD> DifferenceImage(const std::vector<DWORD>& a, const std::vector<DWORD>& b,
                                   UINT tolerance) {
    std::vector<DWORD> image(std::min(a.size(), b.size()));
    for (size_t i = 0; i < image.size(); ++i) {
        DWORD pixel = 0xFF000000u;
        UINT largest = 0;
        for (int shift : {0, 8, 16}) {
            const UINT d = static_cast<UINT>(std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                                      static_cast<int>((b[i] >> shift) & 0xFF)));
            largest = std::max(largest, d);
            pixel |= static_cast<DWORD>(std::min(255u, d * 4)) << shift;
        }
        if (largest > tolerance && ((pixel >> 16) & 0xFF) < 64)
            pixel = (pixel & 0xFF00FFFFu) | (64u << 16);
        image[i] = pixel;
    }
    return image;
}

std::wstring ColorHex(DWORD argb) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"#%06lX", static_cast<unsigned long>(argb & 0xFFFFFFu));
    return buffer;
}

} // namespace quorvelrender
