#pragma once

// Reads an effect file as one text: comments stripped and "#include"
// directives expanded: a name beside the including file or a file that
// includes it, else through FindShaderFile.

#include "effect/SourceText.h"

#include <windows.h>

#include <string>

// `text` is passed in empty; on success it holds the processed bytes. S_OK
// also when the file is found but cannot be opened (an empty text); E_FAIL when
// it is not found; the read's own error when it fails, ERROR_HANDLE_EOF when
// it delivers fewer bytes than the size, ERROR_FILE_TOO_LARGE at 2 GiB or
// more (as HRESULTs; no text either way); E_OUTOFMEMORY when the expansion
// outgrows its bounds. A nested file that fails stays as its directive.
HRESULT LoadShaderSource(const std::string& name, std::string& text);

// The files that LoadShaderSource reads for `name`, the effect first, and the
// directives no file answered; the same HRESULTs.
HRESULT ListShaderFiles(const std::string& name, quorvel::SourceList& list);
