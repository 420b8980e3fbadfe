#include "app/ChannelButtons.h"

#include <cstdint>

#include "protocol/Messages.h"

namespace {

// The byte after the command byte of every channel command the buttons send.
constexpr std::int16_t kButtonByte1 = 127;

void SendForChosenChannel(const Variables& vars, TCPComm& comm, std::int16_t action) {
  comm.SendChannelOnOff(vars.SelectedSource, action, kButtonByte1, vars.SelectedConsole);
}

}  // namespace

void cmdOn_Click(Variables& vars, TCPComm& comm) {
  SendForChosenChannel(vars, comm, msg::kOn);
}

void cmdOff_Click(Variables& vars, TCPComm& comm) {
  SendForChosenChannel(vars, comm, msg::kOff);
}

// CUE toggles on the panel's own belief, which the switcher's reports keep in step. The belief
// flips even when nothing went out, so the next press asks for the other state.
void cmdCue_Click(Variables& vars, TCPComm& comm) {
  if (vars.CueActive == kFalse) {
    SendForChosenChannel(vars, comm, msg::kCueOn);
    vars.CueActive = kTrue;
  } else {
    SendForChosenChannel(vars, comm, msg::kCueOff);
    vars.CueActive = kFalse;
  }
}
