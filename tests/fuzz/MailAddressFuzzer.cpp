// libFuzzer entry point for the single-mailbox checks, with the fax number
// rules in front as the provider applies them. The input is an
// international prefix and a dialled number, split at the first zero byte.
// Promises: an accepted number makes exactly one address with the gateway
// domain and holds no byte that could end a header line or separate two
// addresses; a refusal always says why; an escaped text is one printable line.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/MailAddress.h"
#include "provider/FaxNumber.h"

namespace {

using namespace corvisk;

void Require(bool promise, const char* what) {
  if (promise) return;
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

bool HasAny(std::string_view text, const char* bytes) { return text.find_first_of(bytes) != std::string_view::npos; }

bool IsPrintableAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
  return true;
}

void CheckNumber(const std::string& prefix, const std::string& dialled) {
  const std::string number = DestinationNumber(dialled, prefix);
  const AddressCheck check = CheckMailLocalPart(number);
  if (!check) {
    Require(!DescribeAddressFault(check).empty(), "a refused number has a reason");
    return;
  }
  Require(IsPrintableAscii(number), "an accepted number is printable ASCII");
  Require(!HasAny(number, " ;,@<>\"\\:()[]"), "an accepted number holds no separator");
  Require(static_cast<bool>(CheckSingleMailAddress(number + "@t37gw.corvisk.example")),
          "an accepted number makes one address");
}

void CheckAddress(std::string_view text) {
  const AddressCheck check = CheckSingleMailAddress(text);
  if (!check) {
    Require(!DescribeAddressFault(check).empty(), "a refused address has a reason");
    return;
  }
  Require(std::count(text.begin(), text.end(), '@') == 1, "an accepted address has one '@'");
  Require(!HasAny(text, " ;,<>\"\\:()[]\r\n\t"), "an accepted address holds no separator");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string prefix = split == std::string::npos ? std::string() : input.substr(0, split);
  const std::string dialled = split == std::string::npos ? input : input.substr(split + 1);
  CheckNumber(prefix, dialled);
  CheckAddress(input);
  Require(IsPrintableAscii(ShowEscaped(input)), "an escaped text is one printable line");
  return 0;
}
