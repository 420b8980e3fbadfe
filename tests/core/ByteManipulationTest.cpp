#include <gtest/gtest.h>

#include <string>

#include "protocol/ByteManipulation.h"
#include "protocol/ReceiveBuffer.h"
#include "setup/Failure.h"
#include "support/Bytes.h"

namespace {

TEST(CalcChecksum, SumsTheDataBytesInSevenBits) {
  EXPECT_EQ(CalcChecksum(Bytes({0x81, 0x64, 0x64, 0xFF}), 2), 0x64);
  EXPECT_EQ(CalcChecksum(Bytes({0xD6, 0x7F, 0x02}), 0), 0x01);  // wraps at 128
  EXPECT_EQ(CalcChecksum(Bytes({0xD6, 0xFF}), 2), 0);
  EXPECT_EQ(CalcChecksum("", 2), 0);
}

TEST(CombineBytes, JoinsTwoSevenBitGroupsLowFirst) {
  EXPECT_EQ(CombineBytes(0x7F, 0x7F), 16383);
  EXPECT_EQ(CombineBytes(0x00, 0x01), 128);
  EXPECT_EQ(CombineBytes(0x05, 0x00), 5);
}

TEST(FindEOM, GivesTheOneBasedPositionOfTheFirstEnd) {
  ReceiveBuffer buffer;
  EXPECT_EQ(FindEOM(buffer), 0);
  buffer.Append(Bytes({0xFF, 0x81, 0xFF}));
  EXPECT_EQ(FindEOM(buffer), 1);

  ReceiveBuffer growing;
  growing.Append(Bytes({0xFC, 0x01, 0x00}));
  EXPECT_EQ(FindEOM(growing), 0);
  growing.Append(Bytes({0x02, 0x03, 0xFF}));
  EXPECT_EQ(FindEOM(growing), 6);
}

TEST(TrimBuffer, TakesTheFrontOrEverythingWhenAskedForAtLeastAll) {
  ReceiveBuffer buffer;
  buffer.Append(Bytes({0xF4, 0x00, 0xF5}));
  EXPECT_EQ(TrimBuffer(buffer, 2), Bytes({0xF4, 0x00}));
  EXPECT_EQ(buffer.View(), "\xF5");
  EXPECT_EQ(TrimBuffer(buffer, 1), "\xF5");
  EXPECT_TRUE(buffer.empty());

  buffer.Append(Bytes({0x01, 0x02}));
  EXPECT_EQ(TrimBuffer(buffer, 5), Bytes({0x01, 0x02}));
  EXPECT_TRUE(buffer.empty());
}

TEST(ReceiveBuffer, DrainingManyMessagesKeepsOrderAndFindsEachEnd) {
  // Enough messages that the consumed front is reclaimed several times along the way, with
  // new bytes arriving in between.
  ReceiveBuffer buffer;
  std::string sent;
  int next = 0;
  auto message = [](int i) {
    return Bytes({0xE5, static_cast<unsigned char>(i & 0x7F),
                  static_cast<unsigned char>((i >> 7) & 0x7F), 0x00, 0xFF});
  };
  for (; next < 3000; ++next) buffer.Append(message(next));
  for (int taken = 0; taken < 6000; ++taken) {
    if (taken % 2 == 0) buffer.Append(message(next++));
    const std::int32_t length = FindEOM(buffer);
    ASSERT_EQ(length, 5) << taken;
    ASSERT_EQ(TrimBuffer(buffer, length), message(taken)) << taken;
  }
  EXPECT_EQ(buffer.size(), 5u * (next - 6000));
}

TEST(AppendNumber14, SplitsIntoTwoDataBytesAndRefusesWhatNeedsMore) {
  std::string message;
  AppendNumber14(message, 16383);
  AppendNumber14(message, 128);
  EXPECT_EQ(message, Bytes({0x7F, 0x7F, 0x00, 0x01}));
  // 16384 would need a high group of 0x80: a command byte inside the message.
  for (std::int32_t number : {16384, 32766, -1}) {
    EXPECT_THROW(AppendNumber14(message, number), Failure) << number;
  }
  EXPECT_EQ(message.size(), 4u);
}

}  // namespace
