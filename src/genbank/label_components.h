// The values a label is made of: 26 texts indexed by the letters 'a' to 'z'.
// The reader fills most of them; the driver fills 'f' (the input's base name)
// and option parsing 'u' (the user string).
#pragma once

#include <array>
#include <cstddef>
#include <string>

// Entries start empty and keep their values, across records and inputs,
// until overwritten.
class Label_Components {
 public:
  // Letter must be 'a'..'z'.
  std::string& operator[](char letter) { return value_[Index(letter)]; }
  const std::string& operator[](char letter) const { return value_[Index(letter)]; }

  static constexpr bool Is_Letter(char c) { return c >= 'a' && c <= 'z'; }

  bool operator==(const Label_Components&) const = default;

 private:
  static std::size_t Index(char letter) { return static_cast<std::size_t>(letter - 'a'); }
  std::array<std::string, 26> value_;
};
