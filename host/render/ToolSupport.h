#pragma once

// The small Win32 services every room of the tool uses: stderr in UTF-8,
// paths and folders, whole-file reads.

#include <windows.h>

#include <string>

namespace quorvelrender {

// Writes `text` to stderr as UTF-8 at once.
void Print(const std::wstring& text);
void Warn(const std::wstring& text);

std::wstring FullPath(const std::wstring& path);
// A file name as Quorvel takes it: environment strings expanded, made full.
std::wstring ExpandedPath(const std::wstring& name);
bool IsFile(const std::wstring& path);
std::wstring FolderOf(const std::wstring& path);
bool ReadText(const std::wstring& path, std::string& text);
// Creates `path` and the folders above it; true when it exists afterwards.
bool MakeFolders(const std::wstring& path);

} // namespace quorvelrender
