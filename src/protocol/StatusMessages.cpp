// The small status messages from the Server Module: the link state it reports, its request
// for the panel's type, and the switcher type it reports.

#include <cstdint>
#include <optional>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"

namespace {

// The name tables the panel asks for when the link comes up: inputs and consoles.
constexpr std::int32_t kInputNamesRequest = msg::kWantInputNames;
constexpr std::int32_t kConsoleNamesRequest = msg::kWantConsoleNames;

}  // namespace

void TCPComm::ShowConnection(Flag16 flag) {
  try {
    if (flag == kTrue) {
      // The link is up: ask for the name tables before showing it, so the poll timer repeats
      // the request until they have arrived.
      SendInfoRequest(kInputNamesRequest, kConsoleNamesRequest);
      v_.SwitcherConnected = kTrue;
    } else {
      v_.SwitcherConnected = kFalse;
    }
    UpdateLinkLamp();
  } catch (...) {
    log_.ReportError("Error Showing Connection", "Program Error");
  }
}

void TCPComm::ProcessTypeRequest(std::string_view message) {
  try {
    if (!msg::IsTypeRequest(message)) return;
    SendToSwitcher(msg::kTypeAnswer);
    // The server asking who we are means it wants to be polled.
    timers_.SetPollTimerEnabled(true);
  } catch (...) {
    log_.ReportError("Error Processing Type Request", "Message Error");
  }
}

void TCPComm::ProcessSwitcherType(std::string_view message) {
  try {
    const std::optional<std::int16_t> type = msg::ReadSwitcherType(message);
    if (type) v_.SwitcherType = *type;
  } catch (...) {
    log_.ReportError("Error Processing Switcher Type", "Message Error");
  }
}
