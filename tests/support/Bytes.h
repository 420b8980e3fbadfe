#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

// Bytes written out by value: Bytes({0x81, 0x64, 0x64, 0xFF}).
inline std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Bytes from hexadecimal text, blanks allowed anywhere between the pairs: Hex("D6 7F 00 01").
std::string Hex(std::string_view text);

// How many times `part` stands in `bytes`, counting from after each one found.
std::size_t Count(std::string_view bytes, std::string_view part);

inline bool Contains(std::string_view bytes, std::string_view part) {
  return bytes.find(part) != std::string_view::npos;
}
