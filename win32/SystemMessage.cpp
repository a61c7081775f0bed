#include "win32/SystemMessage.h"

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

}  // namespace corvisk
