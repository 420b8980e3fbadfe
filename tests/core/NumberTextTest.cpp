#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <utility>

#include "setup/NumberText.h"
#include "support/FailureCode.h"

namespace {

using Case = std::pair<std::string, double>;

// Each text and what LeadingNumber makes of it.
void ExpectLeading(std::span<const Case> cases) {
  for (const auto& [text, number] : cases) EXPECT_EQ(LeadingNumber(text), number) << text;
}

}  // namespace

TEST(LeadingNumber, TakesTheLeadingDecimalNumberIgnoringBlanksInsideIt) {
  const Case cases[] = {
      {"1250", 1250},   {"1250abc", 1250}, {" 1 2\t5 0", 1250}, {"- 5", -5},    {"+7", 7},
      {"12.5.3", 12.5}, {".5", 0.5},       {"5.", 5},           {"1.5e2", 150}, {"25E-1", 2.5},
      {"1 e 3", 1000},  {"1e", 1},         {"1e+x", 1},
  };
  ExpectLeading(cases);
}

TEST(LeadingNumber, TextWithoutANumberCountsAsZero) {
  const Case cases[] = {
      {"", 0},  {"abc", 0}, {"= 5", 0}, {".", 0},
      {"-", 0}, {"--5", 0}, {"e5", 0},  {std::string("\0005", 2), 0},
  };
  ExpectLeading(cases);
}

TEST(LeadingNumber, HugeAndEndlessNumbersStayExactWhereItMatters) {
  EXPECT_TRUE(std::isinf(LeadingNumber("1e99999999999999999999")));
  EXPECT_TRUE(std::isinf(LeadingNumber(std::string(1000000, '9'))));
  const Case cases[] = {
      {"1e-99999999999999999999", 0},
      {"0." + std::string(1000000, '0') + "1", 0},
      {"2.5" + std::string(5000, '0') + "7", 2.5},
      {"1" + std::string(400, '0') + "e-400", 1},
      {std::string(3000, '0') + "42", 42},
  };
  ExpectLeading(cases);
}

TEST(RoundHalfEven, SendsHalvesToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {
      {2.5, 2}, {3.5, 4}, {0.5, 0}, {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {2.5001, 3}, {-0.7, -1},
  };
  for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

TEST(WholeNumber, RoundsAndSaturatesAtTheLimitsOf64Bits) {
  constexpr long long kMax = std::numeric_limits<long long>::max();
  constexpr long long kMin = std::numeric_limits<long long>::min();
  const std::pair<const char*, long long> cases[] = {
      {"4.5", 4}, {"5.5", 6},     {"99999", 99999}, {"-5", -5},
      {"x", 0},   {"1e30", kMax}, {"-1e30", kMin},  {"9e999", kMax},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(WholeNumber(text), number) << text;
}

TEST(CheckedNarrowing, ValuesThatDoNotFitAreOverflowFailures) {
  EXPECT_EQ(CheckedInt16(32767LL), 32767);
  EXPECT_EQ(CheckedInt16(-32768LL), -32768);
  EXPECT_EQ(FailureCodeOf([] { CheckedInt16(32768LL); }), kOverflow);
  EXPECT_EQ(FailureCodeOf([] { CheckedInt16(-32769LL); }), kOverflow);
  EXPECT_EQ(CheckedInt32(2147483647LL), 2147483647);
  EXPECT_EQ(FailureCodeOf([] { CheckedInt32(2147483648LL); }), kOverflow);
  EXPECT_EQ(FailureCodeOf([] { CheckedInt32(-2147483649LL); }), kOverflow);
}

TEST(CheckedNarrowing, ABytesValueLiesIn0To255) {
  EXPECT_EQ(CheckedByte(0), 0);
  EXPECT_EQ(CheckedByte(255), 255);
  EXPECT_EQ(FailureCodeOf([] { CheckedByte(256); }), kOverflow);
  EXPECT_EQ(FailureCodeOf([] { CheckedByte(-1); }), kOverflow);
}
