#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A failure carries a numeric code and a description; handlers catch it and record both in the
// error log through ReportError.
enum FailureCode : std::int32_t {
  kInvalidArgument = 5,
  kOverflow = 6,
  kOutOfRange = 9,
  kFileNotFound = 53,
  kFileAccess = 75,
  kSocketFailure = 10000,
};

class Failure : public std::runtime_error {
 public:
  Failure(std::int32_t code, const std::string& description)
      : std::runtime_error(description), code_(code) {}
  std::int32_t Code() const { return code_; }
  std::string Description() const { return what(); }

 private:
  std::int32_t code_;
};

// Checked narrowing: arithmetic that would not fit is a failure, never a silent wrap.
std::int16_t CheckedInt16(long long value);
std::int32_t CheckedInt32(long long value);
// A value turned into a byte must lie in 0..255.
unsigned char CheckedByte(long long value);
