#pragma once
// The provider's reporting channels besides the job log: the event log under
// the source "CorviskFSP", the string table and system error texts.
#include <windows.h>

#include <string>

#include "win32/Handles.h"

namespace corvisk {

inline constexpr WORD kEventError = EVENTLOG_ERROR_TYPE;
inline constexpr WORD kEventWarning = EVENTLOG_WARNING_TYPE;
inline constexpr DWORD kEventId = 100;

enum ProviderStringId : UINT {
  IDS_FAILED = 1,
  IDS_NOT_CONFIGURED = 3,
  IDS_PREPROCESS_NO_TARGET = 5,
  IDS_PREPROCESS_NOT_STARTED = 6,
};

HINSTANCE ProviderModule();
void SetProviderModule(HINSTANCE module);

// Formats into 256 bytes (longer texts are cut) and writes one event-log entry.
void LogEvent(WORD type, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Writes a text from outside the provider as it is, never as a format.
void LogEventText(WORD type, const std::string& text);

// An entry of the string table; the empty text for an unknown identifier.
std::string LoadProviderString(UINT id);

// Traces code and what on the debugger output and returns the system's
// message text for code (empty when there is none).
std::string DescribeError(DWORD code, const char* what);

}  // namespace corvisk
