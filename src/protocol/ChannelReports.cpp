// The channel on/off report 0xD6: the switcher's state for a list of channels.
//
//   D6, two bytes the panel does not use, n, then n entries of
//   source (14-bit, from 0), console (14-bit, from 0), state; checksum, FF
//
// Only entries for the operator's chosen channel matter: they colour the ON, OFF and CUE buttons
// and keep the cue toggle in step with the switcher, whoever changed the channel.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/ByteManipulation.h"
#include "protocol/TCPComm.h"
#include "setup/Failure.h"

namespace {

constexpr std::uint32_t kHighlightYellow = 0xC0FFFF;  // OFF while off, CUE while in cue
constexpr std::uint32_t kHighlightCyan = 0xFFFFC0;    // ON while on
constexpr std::uint32_t kResting = 0xF4FFFE;          // the buttons' colour when the window opens

// The switcher's "any console": a report for the source applies whatever console is chosen.
constexpr std::int32_t kAnyConsole = 16383;
constexpr std::int32_t kAnyConsoleAlternative = 999;

constexpr std::size_t kCountPosition = 3;
constexpr std::size_t kFirstEntry = 4;
constexpr std::size_t kEntryLength = 5;

enum ChannelState : unsigned char { kOff = 0, kOn = 1, kCueOff = 2, kCueOn = 3 };

// Reading at a position the message does not have: the report promised more than it holds.
unsigned char ReportByte(std::string_view message, std::size_t position) {
  if (position >= message.size()) {
    throw Failure(kOutOfRange, "Channel report shorter than its entry count");
  }
  return ByteAt(message, position);
}

}  // namespace

void TCPComm::ProcessChannelOnOff(std::string_view message) {
  try {
    if (!ChecksumMatches(message)) return;

    const unsigned char n = ReportByte(message, kCountPosition);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t p = kFirstEntry + kEntryLength * i;
      const unsigned char state = ReportByte(message, p + 4);  // the entry's last byte
      const std::int32_t source = CombineBytes(ByteAt(message, p), ByteAt(message, p + 1));
      const std::int32_t console = CombineBytes(ByteAt(message, p + 2), ByteAt(message, p + 3));

      const bool chosenSource = source + 1 == v_.SelectedSource;
      const bool chosenConsole = console + 1 == v_.SelectedConsole || console == kAnyConsole ||
                                 console == kAnyConsoleAlternative;
      if (!chosenSource || !chosenConsole) continue;

      switch (state) {
        case kOff:
          window_.SetButtonColour(ChannelButton::Off, kHighlightYellow);
          window_.SetButtonColour(ChannelButton::On, kResting);
          break;
        case kOn:
          window_.SetButtonColour(ChannelButton::On, kHighlightCyan);
          window_.SetButtonColour(ChannelButton::Off, kResting);
          break;
        case kCueOff:
          window_.SetButtonColour(ChannelButton::Cue, kResting);
          v_.CueActive = kFalse;
          break;
        case kCueOn:
          window_.SetButtonColour(ChannelButton::Cue, kHighlightYellow);
          v_.CueActive = kTrue;
          break;
        default:
          break;  // a state the panel does not show
      }
    }
  } catch (...) {
    log_.ReportError("Error Receiving Channel On Off", "Switcher Message Error");
  }
}
