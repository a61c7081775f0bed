#pragma once
// Texts that must each name exactly one mailbox: the fax number, which
// becomes the local part of the recipient, and the e-mail addresses that
// become a message's sender or recipient. Separators, quotes, angle
// brackets and line breaks would let a text add recipients or header lines,
// so only RFC 5322's dot-atom form is accepted. No Windows header: the
// native tree tests and fuzzes these.
#include <string>
#include <string_view>

namespace corvisk {

struct AddressCheck {
  enum class Fault {
    None,
    Empty,
    Character,     // character holds the byte that may not appear
    MisplacedDot,  // a dot at the start or end of a part, or two in a row
    NoAtSign,
    EmptyLocalPart,
    EmptyDomain,
  };
  Fault fault = Fault::None;
  char character = '\0';

  explicit operator bool() const { return fault == Fault::None; }
};

// A dot-atom: letters, digits, ! # $ % & ' * + - / = ? ^ _ ` { | } ~ and
// dots that neither start, end nor repeat.
AddressCheck CheckMailLocalPart(std::string_view text);

// One address, local-part@domain, without display name or brackets; the
// domain is host-name labels (letters, digits, hyphens) joined by dots.
// Bytes beyond ASCII (the code page's own letters) may stand in either part.
AddressCheck CheckSingleMailAddress(std::string_view text);

// Why the check failed, as "it contains \";\"" and the like; empty for None.
std::string DescribeAddressFault(const AddressCheck& check);

// The text with backslash, double quote, control characters and bytes
// beyond ASCII written as escapes (\r, \n, \t, \", \\, \xNN), so that a log
// line or message quoting it shows every byte and stays one line.
std::string ShowEscaped(std::string_view text);

}  // namespace corvisk
