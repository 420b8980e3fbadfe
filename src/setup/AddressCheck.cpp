#include "setup/AddressCheck.h"

#include <cstddef>
#include <string_view>

#include "setup/NumberText.h"

namespace {

// One part of the dotted address as its number, kept to what an address byte can hold.
int AddressByte(std::string_view part) {
  const double value = RoundHalfEven(LeadingNumber(part));
  if (value > 255.0) return 255;
  if (value < 0.0) return 0;
  return static_cast<int>(value);
}

}  // namespace

// Only three dots with something after the third are required; everything else is repaired
// rather than refused, so the operator's typing slips (leading zeros, blanks, a stray fifth
// part) still reach the right Server Module.
std::optional<std::string> NormaliseIPAddress(const std::string& text) {
  const std::string_view t(text);
  const std::size_t first = t.find('.');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = t.find('.', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const std::size_t third = t.find('.', second + 1);
  if (third == std::string_view::npos) return std::nullopt;
  if (third + 1 >= t.size()) return std::nullopt;

  const std::string_view parts[] = {
      t.substr(0, first), t.substr(first + 1, second - first - 1),
      t.substr(second + 1, third - second - 1),
      t.substr(third + 1),  // further dots included: 4.5 rounds to 4
  };
  std::string address;
  for (const std::string_view part : parts) {
    if (!address.empty()) address += '.';
    address += std::to_string(AddressByte(part));
  }
  return address;
}
