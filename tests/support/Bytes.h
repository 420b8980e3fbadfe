#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

// Bytes written out by value: Bytes({0x81, 0x64, 0x64, 0xFF}).
inline std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Bytes from hexadecimal text, with blanks anywhere between the pairs: Hex("D6 7F 00 01").
inline std::string Hex(std::string_view text) {
  std::string digits;
  for (char c : text) digits += c == ' ' ? "" : std::string(1, c);
  std::string bytes;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// How many times `part` stands in `bytes`, counting on from the end of each one found.
inline std::size_t Count(std::string_view bytes, std::string_view part) {
  std::size_t count = 0;
  for (auto at = bytes.find(part); at != bytes.npos; at = bytes.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

inline bool Contains(std::string_view bytes, std::string_view part) {
  return bytes.find(part) != std::string_view::npos;
}
