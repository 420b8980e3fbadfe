#include "setup/Failure.h"

#include <cmath>
#include <limits>

#include "setup/NumberText.h"

namespace {

const char* const kOverflowText = "Overflow";

template <typename T>
T CheckedFromWhole(long long value) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    throw Failure(kOverflow, kOverflowText);
  }
  return static_cast<T>(value);
}

// A fractional value is first rounded the way every number of the panel is (halves to the even
// neighbour), so 32767.4 still fits a 16-bit value and 32767.5 does not.
template <typename T>
T CheckedFromReal(double value) {
  if (!std::isfinite(value)) throw Failure(kOverflow, kOverflowText);
  const double whole = RoundHalfEven(value);
  if (whole < static_cast<double>(std::numeric_limits<T>::min()) ||
      whole > static_cast<double>(std::numeric_limits<T>::max())) {
    throw Failure(kOverflow, kOverflowText);
  }
  return static_cast<T>(whole);
}

}  // namespace

std::int16_t CheckedInt16(double value) {
  return CheckedFromReal<std::int16_t>(value);
}
std::int32_t CheckedInt32(double value) {
  return CheckedFromReal<std::int32_t>(value);
}
std::int16_t CheckedInt16(long long value) {
  return CheckedFromWhole<std::int16_t>(value);
}
std::int32_t CheckedInt32(long long value) {
  return CheckedFromWhole<std::int32_t>(value);
}

unsigned char CheckedByte(long long value) {
  if (value < 0 || value > 255) throw Failure(kOverflow, kOverflowText);
  return static_cast<unsigned char>(value);
}
