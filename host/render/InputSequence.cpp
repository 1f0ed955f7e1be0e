#include "host/render/InputSequence.h"

#include "host/render/Options.h"

#include <algorithm>
#include <cwctype>

namespace quorvelrender {
namespace {

bool IsImageName(const std::wstring& name, size_t& stemEnd) {
    static const wchar_t* const kExtensions[] = {L".png", L".jpg", L".jpeg",
                                                 L".bmp", L".tga", L".dds"};
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos)
        return false;
    std::wstring extension = name.substr(dot);
    for (wchar_t& c : extension)
        c = static_cast<wchar_t>(std::towlower(c));
    stemEnd = dot;
    return std::find_if(std::begin(kExtensions), std::end(kExtensions),
                        [&](const wchar_t* e) { return extension == e; }) != std::end(kExtensions);
}

struct Numbered {
    std::wstring digits; // leading zeros removed, so that length then text orders numbers
    std::wstring name;
};

} // namespace

std::vector<std::wstring> NumberedImages(const std::vector<std::wstring>& names) {
    std::vector<Numbered> frames;
    for (const std::wstring& name : names) {
        size_t stemEnd = 0;
        if (!IsImageName(name, stemEnd))
            continue;
        size_t first = stemEnd;
        while (first > 0 && name[first - 1] >= L'0' && name[first - 1] <= L'9')
            --first;
        if (first == stemEnd)
            continue;
        std::wstring digits = name.substr(first, stemEnd - first);
        digits.erase(0, std::min(digits.find_first_not_of(L'0'), digits.size() - 1));
        frames.push_back({digits, name});
    }
    std::sort(frames.begin(), frames.end(), [](const Numbered& a, const Numbered& b) {
        if (a.digits.size() != b.digits.size())
            return a.digits.size() < b.digits.size();
        if (a.digits != b.digits)
            return a.digits < b.digits;
        return a.name < b.name;
    });
    std::vector<std::wstring> ordered;
    for (const Numbered& frame : frames)
        ordered.push_back(frame.name);
    return ordered;
}

bool InputSequence::Open(const std::wstring& path, std::wstring& error) {
    m_files.clear();
    m_moving = false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = L"input image not found: " + path;
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_files.push_back(path);
        return true;
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.emplace_back(found.cFileName);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    for (const std::wstring& name : NumberedImages(names))
        m_files.push_back(path + L"\\" + name);
    if (m_files.empty()) {
        error = L"no numbered images (frame-0000.png, 1.jpg, ...) in the input folder " + path;
        return false;
    }
    m_moving = true;
    return true;
}

const std::wstring& InputSequence::FrameFile(UINT frame) const {
    return m_files[std::min<size_t>(frame, m_files.size() - 1)];
}

UINT OutputFrames(UINT requested, bool requestedGiven, const InputSequence* inputs,
                  size_t inputCount) {
    UINT shortest = 0;
    for (size_t i = 0; i < inputCount; ++i)
        if (inputs[i].moving() && (shortest == 0 || inputs[i].count() < shortest))
            shortest = inputs[i].count();
    if (shortest == 0)
        return requested;
    shortest = std::min(shortest, kMaxFrames);
    return requestedGiven ? std::min(requested, shortest) : shortest;
}

} // namespace quorvelrender
