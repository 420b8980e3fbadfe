// The channel on/off report 0xD6 (its bytes are in Messages.h): the switcher's state for a list
// of channels.
//
// Only entries for the operator's chosen channel matter: they colour the ON, OFF and CUE buttons
// and keep the cue toggle in step with the switcher, whoever changed the channel.

#include <cstddef>
#include <optional>
#include <string_view>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"

void TCPComm::ProcessChannelOnOff(std::string_view message) {
  try {
    const std::optional<unsigned char> n = msg::ReadChannelEntryCount(message);
    if (!n) return;

    // Entry by entry: an entry past the end fails only after those before it have been shown.
    for (std::size_t i = 0; i < *n; ++i) {
      const msg::ChannelEntry entry = msg::ChannelEntryAt(message, i);

      const bool chosenSource = entry.source + 1 == v_.SelectedSource;
      const bool chosenConsole = entry.console + 1 == v_.SelectedConsole ||
                                 entry.console == msg::kUndefinedWire ||
                                 entry.console == msg::kAnyConsoleAlternative;
      if (!chosenSource || !chosenConsole) continue;

      switch (entry.state) {
        case msg::kOff:
          window_.SetButtonColour(ChannelButton::Off, kButtonLitYellow);
          window_.SetButtonColour(ChannelButton::On, kButtonResting);
          break;
        case msg::kOn:
          window_.SetButtonColour(ChannelButton::On, kButtonLitCyan);
          window_.SetButtonColour(ChannelButton::Off, kButtonResting);
          break;
        case msg::kCueOff:
          window_.SetButtonColour(ChannelButton::Cue, kButtonResting);
          v_.CueActive = kFalse;
          break;
        case msg::kCueOn:
          window_.SetButtonColour(ChannelButton::Cue, kButtonLitYellow);
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
