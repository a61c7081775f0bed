#pragma once
// A text that must not appear in a binary's bytes. The compiler turns each
// character into one 16-bit number; the plain text exists only at run time.
// This keeps the text from a look at the file, nothing more.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvisk {

template <size_t N>
class ScrambledText {
 public:
  // N counts the literal's terminator, which is not stored.
  constexpr explicit ScrambledText(const char (&plain)[N]) : numbers_{} {
    for (size_t i = 0; i + 1 < N; ++i)
      numbers_[i] = static_cast<uint16_t>(static_cast<unsigned char>(plain[i]) ^ Key(i));
  }

  std::string Unscramble() const {
    std::string text(numbers_.size(), '\0');
    for (size_t i = 0; i < numbers_.size(); ++i) {
      // Read through a volatile: otherwise the optimizer may fold the loop
      // and put the plain text back into the binary as a constant.
      const volatile uint16_t number = numbers_[i];
      text[i] = static_cast<char>((number ^ Key(i)) & 0xFF);
    }
    return text;
  }

 private:
  static constexpr uint16_t Key(size_t index) { return static_cast<uint16_t>(0xB5C3u + 0x9E37u * index); }

  std::array<uint16_t, N - 1> numbers_;
};

}  // namespace corvisk
