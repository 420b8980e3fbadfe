#include "support/Bytes.h"

#include <stdexcept>

namespace {

int Nibble(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  throw std::invalid_argument(std::string("not a hexadecimal digit: ") + digit);
}

}  // namespace

std::string Hex(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ') continue;
    if (high < 0) {
      high = Nibble(c);
    } else {
      bytes += static_cast<char>(high * 16 + Nibble(c));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hexadecimal digits");
  return bytes;
}

std::size_t Count(std::string_view bytes, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = bytes.find(part); at != std::string_view::npos;
       at = bytes.find(part, at + part.size())) {
    ++count;
  }
  return count;
}
