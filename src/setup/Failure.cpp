#include "setup/Failure.h"

#include <limits>

namespace {

const char* const kOverflowText = "Overflow";

template <typename T>
T CheckedFromWhole(long long value) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    throw Failure(kOverflow, kOverflowText);
  }
  return static_cast<T>(value);
}

}  // namespace

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
