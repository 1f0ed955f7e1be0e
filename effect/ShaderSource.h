#pragma once

// Reads an effect file as one text: comments stripped and "#include"
// directives expanded through FindShaderFile.

#include <windows.h>

#include <string>

// `text` is passed in empty; on success it holds the processed bytes.
HRESULT LoadShaderSource(const std::string& name, std::string& text);
