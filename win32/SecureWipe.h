#pragma once
#include <windows.h>

#include <string>

namespace corvisk {

// Overwrites a text that held a secret before its memory goes back to the
// heap, and empties it.
template <typename Char>
void WipeText(std::basic_string<Char>& text) {
  SecureZeroMemory(text.data(), text.size() * sizeof(Char));
  text.clear();
}

}  // namespace corvisk
