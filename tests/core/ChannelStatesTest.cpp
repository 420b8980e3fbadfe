#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "protocol/ChannelStates.h"
#include "protocol/Messages.h"

namespace {

using Words = ChannelStates::Words;

bool Same(const Words& words, std::optional<std::uint8_t> onOff, std::optional<std::uint8_t> cue) {
  return words.onOff == onOff && words.cue == cue;
}

TEST(ChannelStates, EveryConsoleWordAndTheChannelsOwnWordTheNewerWinsEitherWay) {
  ChannelStates states;
  states.Remember(2, msg::kUndefinedWire, msg::kOn);
  EXPECT_TRUE(Same(states.Recall(2, 4), msg::kOn, std::nullopt)) << "any console: console 4 too";
  EXPECT_TRUE(Same(states.Recall(3, 4), std::nullopt, std::nullopt)) << "not another source";

  states.Remember(2, 4, msg::kOff);  // the channel's own word is newer
  EXPECT_TRUE(Same(states.Recall(2, 4), msg::kOff, std::nullopt));
  EXPECT_TRUE(Same(states.Recall(2, 5), msg::kOn, std::nullopt));

  states.Remember(2, msg::kAnyConsoleAlternative, msg::kOn);  // 999: newer again
  EXPECT_TRUE(Same(states.Recall(2, 4), msg::kOn, std::nullopt));

  // Cue words are kept apart from on/off words, by the same rule.
  states.Remember(2, 4, msg::kCueOn);
  states.Remember(2, msg::kUndefinedWire, msg::kCueOff);
  states.Remember(2, 5, msg::kCueOn);
  EXPECT_TRUE(Same(states.Recall(2, 4), msg::kOn, msg::kCueOff));
  EXPECT_TRUE(Same(states.Recall(2, 5), msg::kOn, msg::kCueOn));
}

TEST(ChannelStates, OnlyTheFourStatesAreRememberedAndOnlyForWireNumbers) {
  ChannelStates states;
  states.Remember(1, 1, 4);
  states.Remember(1, 1, 0x7F);
  states.Remember(-1, 1, msg::kOn);
  states.Remember(1, 16384, msg::kOn);
  EXPECT_EQ(states.ChannelCount(), 0u);

  // A stored 0 (nothing chosen yet) is -1 on the wire; it must not alias source 16383.
  states.Remember(16383, 1, msg::kOn);
  EXPECT_TRUE(Same(states.Recall(-1, 1), std::nullopt, std::nullopt));
  EXPECT_TRUE(Same(states.Recall(16383, 1), msg::kOn, std::nullopt));
}

TEST(ChannelStates, AFloodOfChannelsForgetsTheOldestAndStaysSmall) {
  ChannelStates states;
  const int flood = static_cast<int>(ChannelStates::kMaxChannels) * 3;
  for (int i = 0; i < flood; ++i) {
    // Keep one channel fresh all through: the newest words are never forgotten.
    states.Remember(0, 0, i % 2 == 0 ? msg::kOn : msg::kOff);
    states.Remember(1 + i / 256, i % 256, msg::kCueOn);
    ASSERT_LE(states.ChannelCount(), ChannelStates::kMaxChannels);
  }
  EXPECT_LE(states.BytesHeld(), 2u * 1024 * 1024);
  EXPECT_TRUE(Same(states.Recall(0, 0), msg::kOff, std::nullopt));
  const int last = flood - 1;
  EXPECT_TRUE(Same(states.Recall(1 + last / 256, last % 256), std::nullopt, msg::kCueOn));
  EXPECT_TRUE(Same(states.Recall(1, 0), std::nullopt, std::nullopt)) << "the oldest is forgotten";

  states.Clear();
  EXPECT_EQ(states.ChannelCount(), 0u);
  EXPECT_EQ(states.BytesHeld(), 0u);
  EXPECT_TRUE(Same(states.Recall(0, 0), std::nullopt, std::nullopt));
}

}  // namespace
