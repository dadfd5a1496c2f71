#pragma once

#include <string>

#include <mfxdefs.h>

namespace mediaworkflow::encoder {

// The name of a Media SDK status as text ("MFX_ERR_DEVICE_FAILED"), or
// "[Unknown status]" for a value the table does not know.
const char* MfxStatusName(mfxStatus status);

// The line the allocators and devices write when a call fails:
// "[ERROR], sts=<name>(<number>), <message> at <file>:<line>".
std::wstring FormatMfxError(mfxStatus status, const std::wstring& message, const char* file,
                            int line);
// Writes FormatMfxError with a line end to standard error and hands
// the status back, so that a failing step reads `return PrintMfxError(...)`.
mfxStatus PrintMfxError(mfxStatus status, const std::wstring& message, const char* file, int line);

// The encoder's own failure print: "\nReturn on error: error code <n>,\t<file>\t<line>\n\n".
std::wstring FormatReturnOnError(mfxStatus status, const char* file, int line);
mfxStatus PrintReturnOnError(mfxStatus status, const char* file, int line);

// The last path component of a source file name, for the prints above.
const char* SourceFileName(const char* path);

}  // namespace mediaworkflow::encoder
