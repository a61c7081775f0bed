#include "common/MailAddress.h"

#include <cstring>

namespace corvisk {

namespace {

using Fault = AddressCheck::Fault;

bool IsAsciiLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool IsAtomCharacter(char c) { return IsAsciiLetterOrDigit(c) || (c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c)); }

bool IsHostCharacter(char c) { return IsAsciiLetterOrDigit(c) || c == '-'; }

// Addresses may carry the code page's own letters; separators stay ASCII.
bool IsBeyondAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }
bool IsAddressAtomCharacter(char c) { return IsAtomCharacter(c) || IsBeyondAscii(c); }
bool IsAddressHostCharacter(char c) { return IsHostCharacter(c) || IsBeyondAscii(c); }

// Characters allowed by isAllowed, joined by single dots.
AddressCheck CheckDotted(std::string_view text, bool (*isAllowed)(char)) {
  if (text.empty()) return {Fault::Empty};
  for (char c : text)
    if (c != '.' && !isAllowed(c)) return {Fault::Character, c};
  if (text.front() == '.' || text.back() == '.' || text.find("..") != std::string_view::npos)
    return {Fault::MisplacedDot};
  return {};
}

}  // namespace

AddressCheck CheckMailLocalPart(std::string_view text) { return CheckDotted(text, IsAtomCharacter); }

AddressCheck CheckSingleMailAddress(std::string_view text) {
  if (text.empty()) return {Fault::Empty};
  const size_t at = text.find('@');
  if (at == std::string_view::npos) {
    // A separator or bracket says more than the missing '@'.
    const AddressCheck local = CheckDotted(text, IsAddressAtomCharacter);
    return local.fault == Fault::Character ? local : AddressCheck{Fault::NoAtSign};
  }
  if (at == 0) return {Fault::EmptyLocalPart};
  if (at + 1 == text.size()) return {Fault::EmptyDomain};
  const AddressCheck local = CheckDotted(text.substr(0, at), IsAddressAtomCharacter);
  if (!local) return local;
  return CheckDotted(text.substr(at + 1), IsAddressHostCharacter);
}

std::string DescribeAddressFault(const AddressCheck& check) {
  switch (check.fault) {
    case Fault::None:
      return std::string();
    case Fault::Empty:
      return "it is empty";
    case Fault::Character:
      return "it contains \"" + ShowEscaped(std::string_view(&check.character, 1)) + "\"";
    case Fault::MisplacedDot:
      return "a dot stands at the start or end of a part, or next to another dot";
    case Fault::NoAtSign:
      return "it has no \"@\"";
    case Fault::EmptyLocalPart:
      return "nothing stands before the \"@\"";
    case Fault::EmptyDomain:
      return "nothing stands after the \"@\"";
  }
  return std::string();
}

std::string ShowEscaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      shown += '\\';
      shown += c;
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte >= 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace corvisk
