#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>

namespace corvisk {

// printf-style formatting into a string of whatever length the text needs.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);

// printf-style formatting into a fixed buffer: the text is cut to
// capacity - 1 characters and always terminated, never written past the end.
void FormatBounded(char* buffer, size_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));
void FormatBoundedV(char* buffer, size_t capacity, const char* format, va_list args);

}  // namespace corvisk
