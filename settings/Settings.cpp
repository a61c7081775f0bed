#include "settings/Settings.h"

#include <climits>
#include <cstdint>

#include "settings/BuiltInConstants.h"

namespace corvisk {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// Rebuilt from its scrambled form at every call, so that no binary holds the
// plain text.
std::string GatewayDomain() { return kScrambledGatewayDomain.Unscramble(); }

// The gateway operator receives mail for its domain on a host of that name.
std::string BuiltInSmtpHost() { return GatewayDomain(); }

// A flag is on when its first character is y or Y: "Y" and "yes" are on,
// "1" and "true" are off.
bool IsFlagOn(std::string_view text) { return !text.empty() && (text[0] == 'y' || text[0] == 'Y'); }

const char* FlagText(bool on) { return on ? "Y" : "N"; }

// The leading decimal integer, read as "%d" reads it: white space skipped, an
// optional sign, then digits; "25x" gives 25. Text that does not start with a
// number leaves the fallback. Beyond 32 bits "%d" is undefined; here such a
// number is clamped to the nearest limit.
int ParseNumber(std::string_view text, int fallback) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  if (i == text.size() || !IsDigit(text[i])) return fallback;
  const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int>(negative ? -value : value);
}

// Blanks and tabs at both ends go; other white space stays.
std::string TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace corvisk
