#pragma once
// Keeping secrets out of freed memory: wiping what held one, and joining
// texts that carry one without the growth that leaves copies behind. No
// Windows header: the key readers that build natively use it too.
#include <initializer_list>
#include <string>
#include <string_view>

namespace corvisk {

// Overwrites every byte the text's buffer holds, also those beyond its
// length, and empties it. The writes are volatile, as SecureZeroMemory's
// are, so they are not dropped as stores to memory about to be freed.
template <typename Char>
void WipeText(std::basic_string<Char>& text) {
  text.resize(text.capacity());
  volatile unsigned char* at = reinterpret_cast<volatile unsigned char*>(text.data());
  for (size_t left = text.size() * sizeof(Char); left > 0; --left) *at++ = 0;
  text.clear();
}

// The pieces joined in room made once; a chain of + would leave partial
// copies in the buffers it outgrows.
inline std::string JoinedSecret(std::initializer_list<std::string_view> pieces) {
  size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  std::string joined;
  joined.reserve(size);
  for (const std::string_view piece : pieces) joined += piece;
  return joined;
}

}  // namespace corvisk
