#include "provider/Diagnostics.h"

#include <cstdarg>

#include "common/Product.h"
#include "common/TextFormat.h"
#include "win32/SystemMessage.h"

namespace corvisk {
namespace {
HINSTANCE g_module = nullptr;
constexpr size_t kEventTextSize = 256;
constexpr int kStringSize = 256;
}  // namespace

HINSTANCE ProviderModule() { return g_module; }
void SetProviderModule(HINSTANCE module) { g_module = module; }

void LogEvent(WORD type, const char* format, ...) {
  char text[kEventTextSize];
  va_list args;
  va_start(args, format);
  FormatBoundedV(text, sizeof text, format, args);
  va_end(args);
  LastErrorKeeper keep;
  unique_event_source source(RegisterEventSourceA(nullptr, kProductName));
  if (!source) return;
  const char* strings[] = {text};
  ReportEventA(source.get(), type, 0, kEventId, nullptr, 1, 0, strings, nullptr);
}

void LogEventText(WORD type, const std::string& text) { LogEvent(type, "%s", text.c_str()); }

std::string LoadProviderString(UINT id) {
  char text[kStringSize] = "";
  const int length = LoadStringA(g_module, id, text, kStringSize);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string DescribeError(DWORD code, const char* what) {
  OutputDebugStringA(FormatText("err=0X%x\r\n", static_cast<unsigned>(code)).c_str());
  OutputDebugStringA("CorviskFSP - Failed in ");
  OutputDebugStringA(what);
  OutputDebugStringA("\r\n");
  return SystemMessageText(code);
}

}  // namespace corvisk
