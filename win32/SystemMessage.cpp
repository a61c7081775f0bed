#include "win32/SystemMessage.h"

#include "common/ComErrorText.h"
#include "win32/Handles.h"

namespace corvisk {

// The system's text for an error code in the user's language, as the system
// gives it (with its line break); empty when the system has none.
std::string SystemMessageText(DWORD code) {
  char* text = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length = FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<char*>(&text), 0, nullptr);
  const unique_hlocal owner(text);
  return length && text ? std::string(text, length) : std::string();
}

// The standard message for an HRESULT: the system's text without its closing
// "\r\n", or the fallback text when the system has none.
std::string StandardMessage(HRESULT hresult) {
  const std::string text = SystemMessageText(static_cast<DWORD>(hresult));
  const uint32_t code = static_cast<uint32_t>(hresult);
  return text.empty() ? FallbackErrorMessage(code) : WithoutTrailingLineBreak(text);
}

}  // namespace corvisk
