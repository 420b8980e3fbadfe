// The channel on/off report 0xD6 (its bytes are in Messages.h): the switcher's state for a list
// of channels.
//
// Every entry is remembered for as long as the link lasts, so that a change of channel shows
// the switcher's last word about the new one. Entries for the operator's chosen channel colour
// the ON, OFF and CUE buttons at once and keep the cue toggle in step with the switcher,
// whoever changed the channel.

#include <cstddef>
#include <optional>
#include <string_view>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"

void TCPComm::ProcessChannelOnOff(std::string_view message) {
  // Which kinds of word the report said about the chosen channel: those are shown, from the
  // memory, where the newest word about a channel is the last entry that concerned it.
  bool onOffSaid = false;
  bool cueSaid = false;
  try {
    // Bytes of a link that has closed may still be decoded after it: what they report went
    // with that link, and the buttons rest until the next one speaks.
    if (v_.SocketConnected == kFalse) return;
    const std::optional<unsigned char> n = msg::ReadChannelEntryCount(message);
    if (!n) return;

    // Entry by entry: an entry past the end fails only after those before it have been shown.
    for (std::size_t i = 0; i < *n; ++i) {
      const msg::ChannelEntry entry = msg::ChannelEntryAt(message, i);
      channelStates_.Remember(entry.source, entry.console, entry.state);

      const bool chosenSource = entry.source + 1 == v_.SelectedSource;
      const bool chosenConsole = entry.console + 1 == v_.SelectedConsole ||
                                 entry.console == msg::kUndefinedWire ||
                                 entry.console == msg::kAnyConsoleAlternative;
      if (!chosenSource || !chosenConsole) continue;
      onOffSaid = onOffSaid || entry.state == msg::kOff || entry.state == msg::kOn;
      cueSaid = cueSaid || entry.state == msg::kCueOff || entry.state == msg::kCueOn;
    }
  } catch (...) {
    ShowChosenChannel(onOffSaid, cueSaid);
    log_.ReportError("Error Receiving Channel On Off", "Switcher Message Error");
    return;
  }
  ShowChosenChannel(onOffSaid, cueSaid);
}

void TCPComm::ChooseChannel(std::int16_t source, std::int16_t console) {
  if (source == v_.SelectedSource && console == v_.SelectedConsole) return;
  v_.SelectedSource = source;
  v_.SelectedConsole = console;
  ShowChosenChannel();
}

void TCPComm::ShowChosenChannel(bool onOff, bool cue) {
  const ChannelStates::Words words =
      channelStates_.Recall(v_.SelectedSource - 1, v_.SelectedConsole - 1);
  if (onOff) {
    // A known on/off word always lights one of ON and OFF; neither lit is "not known".
    const bool on = words.onOff == msg::kOn;
    const bool off = words.onOff == msg::kOff;
    window_.SetButtonColour(ChannelButton::On, on ? kButtonLitCyan : kButtonResting);
    window_.SetButtonColour(ChannelButton::Off, off ? kButtonLitYellow : kButtonResting);
  }
  if (cue) {
    const bool cueOn = words.cue == msg::kCueOn;
    window_.SetButtonColour(ChannelButton::Cue, cueOn ? kButtonLitYellow : kButtonResting);
    v_.CueActive = cueOn ? kTrue : kFalse;
  }
}
