#include "setup/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// More significant digits than any double needs to be rounded correctly; digits beyond them
// only matter as "something non-zero follows", kept as one extra digit.
constexpr std::size_t kMaxSignificantDigits = 800;
// Exponents beyond this are zero or infinity for a double anyway; bounding them keeps a run of
// exponent digits from overflowing.
constexpr long long kExponentLimit = 100000;

// Walks the text once, skipping blanks wherever they occur, the way the operator's and the
// file's numbers are read: "1 250" is 1250, "- 5" is -5.
class BlankSkippingCursor {
 public:
  explicit BlankSkippingCursor(std::string_view text) : text_(text) { SkipBlanks(); }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Advance() {
    ++pos_;
    SkipBlanks();
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

double LeadingNumber(std::string_view text) {
  BlankSkippingCursor cursor(text);

  bool negative = false;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    negative = cursor.Peek() == '-';
    cursor.Advance();
  }

  // The value is significant x 10^scale, with the significant digits free of leading zeros.
  std::string significant;
  long long scale = 0;
  bool droppedNonZero = false;
  bool anyDigit = false;
  auto takeDigit = [&](char digit, bool fraction) {
    anyDigit = true;
    if (significant.empty() && digit == '0') {
      if (fraction) --scale;
      return;
    }
    if (significant.size() < kMaxSignificantDigits) {
      significant.push_back(digit);
      if (fraction) --scale;
    } else {
      droppedNonZero = droppedNonZero || digit != '0';
      if (!fraction) ++scale;
    }
  };

  while (IsDigit(cursor.Peek())) {
    takeDigit(cursor.Peek(), false);
    cursor.Advance();
  }
  if (cursor.Peek() == '.') {
    cursor.Advance();
    while (IsDigit(cursor.Peek())) {
      takeDigit(cursor.Peek(), true);
      cursor.Advance();
    }
  }
  if (!anyDigit) return 0.0;

  if (cursor.Peek() == 'E' || cursor.Peek() == 'e') {
    cursor.Advance();
    bool exponentNegative = false;
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
      exponentNegative = cursor.Peek() == '-';
      cursor.Advance();
    }
    long long exponent = 0;
    while (IsDigit(cursor.Peek())) {
      if (exponent < kExponentLimit) exponent = exponent * 10 + (cursor.Peek() - '0');
      cursor.Advance();
    }
    scale += exponentNegative ? -exponent : exponent;
  }

  if (significant.empty()) return 0.0;
  if (droppedNonZero) {
    significant.push_back('1');
    --scale;
  }
  if (scale > kExponentLimit) scale = kExponentLimit;
  if (scale < -kExponentLimit) scale = -kExponentLimit;

  // strtod rounds the decimal text correctly; "C" formatting of the exponent has no locale.
  char exponentText[32];
  std::snprintf(exponentText, sizeof exponentText, "e%lld", scale);
  significant += exponentText;
  const double magnitude = std::strtod(significant.c_str(), nullptr);
  return negative ? -magnitude : magnitude;
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double below = std::floor(value);
  const double fraction = value - below;  // exact for every double
  if (fraction < 0.5) return below;
  if (fraction > 0.5) return below + 1.0;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

long long WholeNumber(std::string_view text) {
  const double whole = RoundHalfEven(LeadingNumber(text));
  // 2^63 is exactly representable; every double below it and at or above -2^63 fits.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (std::isnan(whole)) return 0;
  if (whole >= kTwoTo63) return std::numeric_limits<long long>::max();
  if (whole < -kTwoTo63) return std::numeric_limits<long long>::min();
  return static_cast<long long>(whole);
}
