// Whatever the operator types into the Setup dialog's address box: the check either refuses it
// or turns it into four decimal numbers 0..255 joined by dots, without leading zeros, which
// the check then takes back unchanged. It refuses exactly the texts without three dots or
// with nothing after the third.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "Require.h"
#include "setup/AddressCheck.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// "0" to "255", nothing else: digits only, no leading zero, at most 255.
bool IsAddressByte(const std::string& part) {
  if (part.empty() || part.size() > 3) return false;
  for (char c : part) {
    if (!IsDigit(c)) return false;
  }
  if (part.size() > 1 && part[0] == '0') return false;
  return std::stoi(part) <= 255;
}

bool IsDottedQuad(const std::string& address) {
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = address.find('.', start);
    const bool last = part == 3;
    if (last != (dot == std::string::npos)) return false;
    const std::size_t end = last ? address.size() : dot;
    if (!IsAddressByte(address.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool HasThreeDotsAndMore(const std::string& text) {
  std::size_t dot = std::string::npos;
  for (int i = 0; i < 3; ++i) {
    dot = text.find('.', dot == std::string::npos ? 0 : dot + 1);
    if (dot == std::string::npos) return false;
  }
  return dot + 1 < text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> address = NormaliseIPAddress(text);
  REQUIRE(address.has_value() == HasThreeDotsAndMore(text));
  if (!address) return 0;
  if (!IsDottedQuad(*address)) std::fprintf(stderr, "result: \"%s\"\n", address->c_str());
  REQUIRE(IsDottedQuad(*address));
  REQUIRE(NormaliseIPAddress(*address) == address);
  return 0;
}
