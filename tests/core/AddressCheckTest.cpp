#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "setup/AddressCheck.h"

TEST(NormaliseIPAddress, RepairsEachPartToANumberFrom0To255) {
  EXPECT_EQ(NormaliseIPAddress("192.168.1.10"), "192.168.1.10");
  EXPECT_EQ(NormaliseIPAddress("10.0.0.300"), "10.0.0.255");
  EXPECT_EQ(NormaliseIPAddress("a.b.c.d"), "0.0.0.0");
  EXPECT_EQ(NormaliseIPAddress("010.001.1.1"), "10.1.1.1");
  EXPECT_EQ(NormaliseIPAddress("1.2.3.4.5"), "1.2.3.4");
  EXPECT_EQ(NormaliseIPAddress(" 192.168.001.010"), "192.168.1.10");
  EXPECT_EQ(NormaliseIPAddress("-7..2.5.x"), "0.0.2.5");
  EXPECT_EQ(NormaliseIPAddress("1.2.3.3.5"), "1.2.3.4");
}

TEST(NormaliseIPAddress, RefusesFewerThanThreeDotsOrNothingAfterTheThird) {
  EXPECT_EQ(NormaliseIPAddress(""), std::nullopt);
  EXPECT_EQ(NormaliseIPAddress("localhost"), std::nullopt);
  EXPECT_EQ(NormaliseIPAddress("192.168.1"), std::nullopt);
  EXPECT_EQ(NormaliseIPAddress("192.168.1."), std::nullopt);
  EXPECT_EQ(NormaliseIPAddress("..."), std::nullopt);
  EXPECT_EQ(NormaliseIPAddress("...."), "0.0.0.0");
}
