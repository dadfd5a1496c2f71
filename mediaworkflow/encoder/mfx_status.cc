#include "mediaworkflow/encoder/mfx_status.h"

#include <cstring>
#include <iostream>
#include <sstream>

namespace mediaworkflow::encoder {

namespace {

// Status names, file names and the messages are ASCII: a byte is a character.
std::wstring Widen(const char* text) {
  std::wstring out;
  for (const char* p = text; *p != '\0'; ++p) {
    out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  }
  return out;
}

// The text goes out on the narrow error stream. Writing through the wide one would
// switch the C library's stderr to wide orientation for good, and every later narrow
// write to it (x264's warnings among them) would be silently lost.
void WriteToStderr(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  std::cerr << out << std::flush;
}

}  // namespace

const char* MfxStatusName(mfxStatus status) {
  switch (static_cast<int>(status)) {
    case MFX_ERR_NONE:
      return "MFX_ERR_NONE";
    case MFX_WRN_IN_EXECUTION:
      return "MFX_WRN_IN_EXECUTION";
    case MFX_WRN_DEVICE_BUSY:
      return "MFX_WRN_DEVICE_BUSY";
    case MFX_WRN_VIDEO_PARAM_CHANGED:
      return "MFX_WRN_VIDEO_PARAM_CHANGED";
    case MFX_WRN_PARTIAL_ACCELERATION:
      return "MFX_WRN_PARTIAL_ACCELERATION";
    case MFX_WRN_INCOMPATIBLE_VIDEO_PARAM:
      return "MFX_WRN_INCOMPATIBLE_VIDEO_PARAM";
    case MFX_WRN_VALUE_NOT_CHANGED:
      return "MFX_WRN_VALUE_NOT_CHANGED";
    case MFX_WRN_OUT_OF_RANGE:
      return "MFX_WRN_OUT_OF_RANGE";
    case MFX_TASK_WORKING:
      return "MFX_TASK_WORKING";
    case MFX_TASK_BUSY:
      return "MFX_TASK_BUSY";
    case MFX_WRN_FILTER_SKIPPED:
      return "MFX_WRN_FILTER_SKIPPED";
    case MFX_WRN_INCOMPATIBLE_AUDIO_PARAM:
      return "MFX_WRN_INCOMPATIBLE_AUDIO_PARAM";
    case MFX_ERR_MORE_DATA_SUBMIT_TASK:
      return "MFX_ERR_MORE_DATA_SUBMIT_TASK";
    case MFX_ERR_REALLOC_SURFACE:
      return "MFX_ERR_REALLOC_SURFACE";
    case MFX_ERR_GPU_HANG:
      return "MFX_ERR_GPU_HANG";
    case MFX_ERR_INVALID_AUDIO_PARAM:
      return "MFX_ERR_INVALID_AUDIO_PARAM";
    case MFX_ERR_INCOMPATIBLE_AUDIO_PARAM:
      return "MFX_ERR_INCOMPATIBLE_AUDIO_PARAM";
    case MFX_ERR_MORE_BITSTREAM:
      return "MFX_ERR_MORE_BITSTREAM";
    case MFX_ERR_DEVICE_FAILED:
      return "MFX_ERR_DEVICE_FAILED";
    case MFX_ERR_UNDEFINED_BEHAVIOR:
      return "MFX_ERR_UNDEFINED_BEHAVIOR";
    case MFX_ERR_INVALID_VIDEO_PARAM:
      return "MFX_ERR_INVALID_VIDEO_PARAM";
    case MFX_ERR_INCOMPATIBLE_VIDEO_PARAM:
      return "MFX_ERR_INCOMPATIBLE_VIDEO_PARAM";
    case MFX_ERR_DEVICE_LOST:
      return "MFX_ERR_DEVICE_LOST";
    case MFX_ERR_ABORTED:
      return "MFX_ERR_ABORTED";
    case MFX_ERR_MORE_SURFACE:
      return "MFX_ERR_MORE_SURFACE";
    case MFX_ERR_MORE_DATA:
      return "MFX_ERR_MORE_DATA";
    case MFX_ERR_NOT_FOUND:
      return "MFX_ERR_NOT_FOUND";
    case MFX_ERR_NOT_INITIALIZED:
      return "MFX_ERR_NOT_INITIALIZED";
    case MFX_ERR_LOCK_MEMORY:
      return "MFX_ERR_LOCK_MEMORY";
    case MFX_ERR_INVALID_HANDLE:
      return "MFX_ERR_INVALID_HANDLE";
    case MFX_ERR_NOT_ENOUGH_BUFFER:
      return "MFX_ERR_NOT_ENOUGH_BUFFER";
    case MFX_ERR_MEMORY_ALLOC:
      return "MFX_ERR_MEMORY_ALLOC";
    case MFX_ERR_UNSUPPORTED:
      return "MFX_ERR_UNSUPPORTED";
    case MFX_ERR_NULL_PTR:
      return "MFX_ERR_NULL_PTR";
    case MFX_ERR_UNKNOWN:
      return "MFX_ERR_UNKNOWN";
    default:
      return "[Unknown status]";
  }
}

const char* SourceFileName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

std::wstring FormatMfxError(mfxStatus status, const std::wstring& message, const char* file,
                            int line) {
  std::wostringstream out;
  out << L"[ERROR], sts=" << Widen(MfxStatusName(status)) << L"(" << static_cast<int>(status)
      << L"), " << message << L" at " << Widen(file) << L":" << line;
  return out.str();
}

mfxStatus PrintMfxError(mfxStatus status, const std::wstring& message, const char* file, int line) {
  WriteToStderr(FormatMfxError(status, message, file, line) + L"\n");
  return status;
}

std::wstring FormatReturnOnError(mfxStatus status, const char* file, int line) {
  std::wostringstream out;
  out << L"\nReturn on error: error code " << static_cast<int>(status) << L",\t" << Widen(file)
      << L"\t" << line << L"\n\n";
  return out.str();
}

mfxStatus PrintReturnOnError(mfxStatus status, const char* file, int line) {
  WriteToStderr(FormatReturnOnError(status, file, line));
  return status;
}

}  // namespace mediaworkflow::encoder
