#include "protocol/ChannelStates.h"

#include <algorithm>
#include <utility>

#include "protocol/Messages.h"

namespace {

constexpr std::size_t kFirstSlots = 256;

// The wire's numbers are 14 bits; the key is the source's 14 bits over the console's.
constexpr std::int32_t kNumberMask = 0x3FFF;
constexpr std::uint32_t kConsoleBits = 14;

bool IsWireNumber(std::int32_t number) {
  return number >= 0 && number <= kNumberMask;
}

bool IsAnyConsole(std::int32_t console) {
  return console == msg::kUndefinedWire || console == msg::kAnyConsoleAlternative;
}

std::size_t SlotFor(std::uint32_t key, std::size_t slotCount) {
  // Fibonacci hashing spreads keys that differ only in their low bits (the consoles of one
  // source) across the table.
  const auto hash = static_cast<std::uint32_t>(key * 0x9E3779B1U);
  return static_cast<std::size_t>(hash) & (slotCount - 1);
}

}  // namespace

std::uint32_t ChannelStates::KeyOf(std::int32_t source, std::int32_t console) {
  if (IsAnyConsole(console)) console = msg::kUndefinedWire;
  return (static_cast<std::uint32_t>(source & kNumberMask) << kConsoleBits) |
         static_cast<std::uint32_t>(console & kNumberMask);
}

const ChannelStates::Slot* ChannelStates::Find(std::uint32_t key) const {
  if (slots_.empty()) return nullptr;
  for (std::size_t i = SlotFor(key, slots_.size());; i = (i + 1) & (slots_.size() - 1)) {
    if (slots_[i].key == key) return &slots_[i];
    if (slots_[i].key == kEmpty) return nullptr;
  }
}

ChannelStates::Slot& ChannelStates::FindOrAdd(std::uint32_t key) {
  // A quarter of the table stays empty, so a search always ends soon.
  if ((used_ + 1) * 4 > slots_.size() * 3) {
    if (slots_.size() < kMaxSlots) {
      const std::size_t larger = std::max(kFirstSlots, slots_.size() * 2);
      Rebuild(larger, std::move(slots_));
    } else if (Find(key) == nullptr) {
      ForgetOlderHalf();
    }
  }
  std::size_t i = SlotFor(key, slots_.size());
  while (slots_[i].key != key && slots_[i].key != kEmpty) i = (i + 1) & (slots_.size() - 1);
  if (slots_[i].key == kEmpty) {
    slots_[i].key = key;
    ++used_;
  }
  return slots_[i];
}

void ChannelStates::Rebuild(std::size_t slotCount, std::vector<Slot> keep) {
  slots_.assign(slotCount, Slot{});
  used_ = 0;
  for (const Slot& slot : keep) {
    if (slot.key == kEmpty) continue;
    std::size_t i = SlotFor(slot.key, slotCount);
    while (slots_[i].key != kEmpty) i = (i + 1) & (slotCount - 1);
    slots_[i] = slot;
    ++used_;
  }
}

void ChannelStates::ForgetOlderHalf() {
  std::vector<Slot> kept;
  kept.reserve(used_);
  for (const Slot& slot : slots_) {
    if (slot.key != kEmpty) kept.push_back(slot);
  }
  const auto newest = [](const Slot& s) { return std::max(s.onOffAge, s.cueAge); };
  const auto half = kept.begin() + static_cast<std::ptrdiff_t>(kept.size() / 2);
  std::nth_element(kept.begin(), half, kept.end(),
                   [&](const Slot& a, const Slot& b) { return newest(a) > newest(b); });
  kept.erase(half, kept.end());
  const std::size_t same = slots_.size();
  Rebuild(same, std::move(kept));
}

void ChannelStates::Remember(std::int32_t source, std::int32_t console, int state) {
  if (state < msg::kOff || state > msg::kCueOn) return;
  if (!IsWireNumber(source) || !IsWireNumber(console)) return;
  Slot& slot = FindOrAdd(KeyOf(source, console));
  const Age age = ++lastAge_;
  if (state == msg::kOff || state == msg::kOn) {
    slot.onOff = static_cast<std::uint8_t>(state);
    slot.onOffAge = age;
  } else {
    slot.cue = static_cast<std::uint8_t>(state);
    slot.cueAge = age;
  }
}

ChannelStates::Words ChannelStates::Recall(std::int32_t source, std::int32_t console) const {
  // A source the wire cannot carry (0 before a list is filled) has no reports; a console it
  // cannot carry has only its source's every-console ones.
  if (!IsWireNumber(source)) return {};
  // The channel's own words and those its source's every-console reports left: the newer of
  // each kind counts.
  const Slot* own = IsWireNumber(console) ? Find(KeyOf(source, console)) : nullptr;
  const Slot* every = Find(KeyOf(source, msg::kUndefinedWire));
  const Slot none;
  const Slot& a = own != nullptr ? *own : none;
  const Slot& b = every != nullptr ? *every : none;

  Words words;
  const Slot& onOff = a.onOffAge >= b.onOffAge ? a : b;
  if (onOff.onOffAge != 0) words.onOff = onOff.onOff;
  const Slot& cue = a.cueAge >= b.cueAge ? a : b;
  if (cue.cueAge != 0) words.cue = cue.cue;
  return words;
}

void ChannelStates::Clear() {
  std::vector<Slot>().swap(slots_);
  used_ = 0;
}
