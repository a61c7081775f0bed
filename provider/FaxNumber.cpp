#include "provider/FaxNumber.h"

#include <algorithm>

namespace corvisk {
namespace {

bool IsDialModeMark(char c) { return c == 'T' || c == 't' || c == 'P' || c == 'p'; }

void RemoveAll(std::string& text, char c) { text.erase(std::remove(text.begin(), text.end(), c), text.end()); }

}  // namespace

std::string DestinationNumber(const std::string& dialled, const std::string& internationalPrefix) {
  std::string number = dialled;
  if (!number.empty() && IsDialModeMark(number.front())) number.erase(0, 1);
  if (!internationalPrefix.empty() && number.compare(0, internationalPrefix.size(), internationalPrefix) == 0)
    number.erase(0, internationalPrefix.size());
  return NormalizeFaxNumber(number);
}

std::string NormalizeFaxNumber(const std::string& number) {
  std::string text = number;
  // Trimming first and removing every space afterwards give the same text.
  for (char separator : {' ', ',', '(', ')'}) RemoveAll(text, separator);
  return text;
}

}  // namespace corvisk
