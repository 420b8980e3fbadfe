#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "setup/Failure.h"
#include "setup/NumberText.h"

TEST(LeadingNumber, TakesTheLeadingDecimalNumberIgnoringBlanksInsideIt) {
  EXPECT_EQ(LeadingNumber("1250"), 1250.0);
  EXPECT_EQ(LeadingNumber("1250abc"), 1250.0);
  EXPECT_EQ(LeadingNumber(" 1 2\t5 0"), 1250.0);
  EXPECT_EQ(LeadingNumber("- 5"), -5.0);
  EXPECT_EQ(LeadingNumber("+7"), 7.0);
  EXPECT_EQ(LeadingNumber("12.5.3"), 12.5);
  EXPECT_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_EQ(LeadingNumber("5."), 5.0);
  EXPECT_EQ(LeadingNumber("1.5e2"), 150.0);
  EXPECT_EQ(LeadingNumber("25E-1"), 2.5);
  EXPECT_EQ(LeadingNumber("1 e 3"), 1000.0);
  EXPECT_EQ(LeadingNumber("1e"), 1.0);
  EXPECT_EQ(LeadingNumber("1e+x"), 1.0);
}

TEST(LeadingNumber, TextWithoutANumberCountsAsZero) {
  EXPECT_EQ(LeadingNumber(""), 0.0);
  EXPECT_EQ(LeadingNumber("abc"), 0.0);
  EXPECT_EQ(LeadingNumber("= 5"), 0.0);
  EXPECT_EQ(LeadingNumber("."), 0.0);
  EXPECT_EQ(LeadingNumber("-"), 0.0);
  EXPECT_EQ(LeadingNumber("--5"), 0.0);
  EXPECT_EQ(LeadingNumber("e5"), 0.0);
  EXPECT_EQ(LeadingNumber(std::string("\0"
                                      "5",
                                      2)),
            0.0);
}

TEST(LeadingNumber, HugeAndEndlessNumbersStayExactWhereItMatters) {
  EXPECT_TRUE(std::isinf(LeadingNumber("1e99999999999999999999")));
  EXPECT_EQ(LeadingNumber("1e-99999999999999999999"), 0.0);
  EXPECT_TRUE(std::isinf(LeadingNumber(std::string(1000000, '9'))));
  EXPECT_EQ(LeadingNumber("0." + std::string(1000000, '0') + "1"), 0.0);
  EXPECT_EQ(LeadingNumber("2.5" + std::string(5000, '0') + "7"), 2.5);
  EXPECT_EQ(LeadingNumber("1" + std::string(400, '0') + "e-400"), 1.0);
  EXPECT_EQ(LeadingNumber(std::string(3000, '0') + "42"), 42.0);
}

TEST(RoundHalfEven, SendsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
  EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
  EXPECT_EQ(RoundHalfEven(-0.7), -1.0);
}

TEST(WholeNumber, RoundsAndSaturatesAtTheLimitsOf64Bits) {
  EXPECT_EQ(WholeNumber("4.5"), 4);
  EXPECT_EQ(WholeNumber("5.5"), 6);
  EXPECT_EQ(WholeNumber("99999"), 99999);
  EXPECT_EQ(WholeNumber("-5"), -5);
  EXPECT_EQ(WholeNumber("x"), 0);
  EXPECT_EQ(WholeNumber("1e30"), std::numeric_limits<long long>::max());
  EXPECT_EQ(WholeNumber("-1e30"), std::numeric_limits<long long>::min());
  EXPECT_EQ(WholeNumber("9e999"), std::numeric_limits<long long>::max());
}

namespace {

template <typename Call>
std::int32_t FailureCodeOf(Call call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.Code();
  }
  return 0;
}

}  // namespace

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
