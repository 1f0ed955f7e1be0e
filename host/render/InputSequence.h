#pragma once

// An input of the render tool: one still image, the same for every frame, or
// a folder of numbered images, its frame k going to output frame k as a host
// feeds a transition, so that both inputs move.

#include <windows.h>

#include <string>
#include <vector>

namespace quorvelrender {

class InputSequence {
  public:
    // A file is a still; a folder gives its numbered images in order. Fails
    // with a message when the file is missing or the folder holds no frames.
    bool Open(const std::wstring& path, std::wstring& error);
    bool moving() const { return m_moving; }
    UINT count() const { return static_cast<UINT>(m_files.size()); }
    // The image for output frame `frame`; a still gives its one file.
    const std::wstring& FrameFile(UINT frame) const;

  private:
    std::vector<std::wstring> m_files;
    bool m_moving = false;
};

// The numbered images among a folder's file names, in frame order: names of
// an image type whose stem ends in digits, ordered by that number, then by
// name ("shot-2.png" before "shot-10.png"). Anything else is left out.
std::vector<std::wstring> NumberedImages(const std::vector<std::wstring>& names);

// Output frames: the shorter moving input's count when `requested` is not
// given or asks more, else `requested`. Without a moving input, `requested`.
UINT OutputFrames(UINT requested, bool requestedGiven, const InputSequence* inputs,
                  size_t inputCount);

} // namespace quorvelrender
