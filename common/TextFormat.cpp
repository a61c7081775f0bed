#include "common/TextFormat.h"

#include <cstdio>
#include <vector>

namespace corvisk {

std::string FormatTextV(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  return std::string(text.data(), static_cast<size_t>(length));
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

void FormatBoundedV(char* buffer, size_t capacity, const char* format, va_list args) {
  if (capacity == 0) return;
  // vsnprintf truncates and terminates; a formatting error leaves the empty text.
  if (std::vsnprintf(buffer, capacity, format, args) < 0) buffer[0] = '\0';
}

void FormatBounded(char* buffer, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatBoundedV(buffer, capacity, format, args);
  va_end(args);
}

}  // namespace corvisk
