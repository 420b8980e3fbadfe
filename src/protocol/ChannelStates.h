#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// What the switcher has said on this link about each channel (a source on a console): the last
// on/off word and the last cue word. The buttons show the chosen channel's words, so a change
// of source shows what the switcher said about the new one, or nothing where it said nothing.
//
// Numbers are as on the wire, counted from 0; a report for console 16383 or 999 speaks for
// every console of its source. Whichever form came last is the channel's word.
//
// The memory is a flat table of fixed-size slots that never holds more than kMaxChannels
// channels (about 1.5 MB): a server may name any of 16384 x 16384 channels, and a flood of
// them must not grow the panel without bound. When it is full, the older half of the channels
// is forgotten at once; those then show as not known until the switcher speaks of them again.
class ChannelStates {
 public:
  // The words the switcher last said about one channel. Empty: nothing said on this link.
  struct Words {
    std::optional<std::uint8_t> onOff;  // kOff or kOn
    std::optional<std::uint8_t> cue;    // kCueOff or kCueOn
  };

  static constexpr std::size_t kMaxSlots = 65536;
  static constexpr std::size_t kMaxChannels = kMaxSlots / 4 * 3;

  // One report entry. States other than off, on, cue off and cue on are not remembered: the
  // panel has nothing to show for them.
  void Remember(std::int32_t source, std::int32_t console, int state);
  Words Recall(std::int32_t source, std::int32_t console) const;
  // Forgets everything and gives the table back: the link it was about has gone.
  void Clear();

  std::size_t ChannelCount() const { return used_; }
  std::size_t BytesHeld() const { return slots_.capacity() * sizeof(Slot); }

 private:
  // A word's age: the number of words remembered before it, plus one. 0: no word.
  using Age = std::uint64_t;

  struct Slot {
    std::uint32_t key = kEmpty;
    std::uint8_t onOff = 0;
    std::uint8_t cue = 0;
    Age onOffAge = 0;
    Age cueAge = 0;
  };
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;

  static std::uint32_t KeyOf(std::int32_t source, std::int32_t console);
  const Slot* Find(std::uint32_t key) const;
  Slot& FindOrAdd(std::uint32_t key);
  void Rebuild(std::size_t slotCount, std::vector<Slot> keep);
  void ForgetOlderHalf();

  std::vector<Slot> slots_;  // a power of two in size, or empty
  std::size_t used_ = 0;
  Age lastAge_ = 0;
};
