// Connection lifecycle and the poll timer: opening and closing the link to the Server Module,
// the socket's connected and disconnected events, and the keep-alive poll.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"
#include "setup/Failure.h"

namespace {

constexpr std::int16_t kPollTicksMax = std::numeric_limits<std::int16_t>::max();
constexpr std::int32_t kDivisionByZero = 11;

// PollTicks is a 16-bit count, but PollInterval may be set far beyond it by a large Refresh Rate.
// Such a link polls when the count is full rather than never, so it is still kept alive and
// still times out.
std::int32_t TicksPerPoll(const Variables& v) {
  return std::min<std::int32_t>(v.PollInterval, kPollTicksMax);
}

}  // namespace

void TCPComm::ConnectToServer() {
  try {
    socket_.SetRemoteHost(v_.ServerAddress);
    socket_.SetRemotePort(v_.ServerPort);
    if (socket_.Connect() != 0) {
      // The attempt failed at once: close the socket so the next tick starts afresh. The link
      // stays down; nothing to record.
      CloseSocket();
    }
    // The flags are as they were, but the server may be a new one.
    UpdateLinkLamp();
  } catch (...) {
    log_.ReportError("Error Connecting to Server", "Connection Error");
  }
}

void TCPComm::DisconnectFromServer() {
  try {
    CloseSocket();
    // Poll count, tick count, the pending info request and unread bytes all carry over to the
    // next connection.
    SetSocketConnected(kFalse);
  } catch (...) {
    log_.ReportError("Error Disconnecting from Server", "Connection Error");
  }
}

void TCPComm::SetSocketConnected(Flag16 connected) {
  // The poll timer counts the ticks that passed under the old state first: what they did
  // depends on it.
  timers_.LinkStateChanging();
  v_.SocketConnected = connected;
  // A closed link has no switcher behind it, and a new link has said nothing yet. Bytes of the
  // last one may still have been decoded after it closed and flagged the switcher up: the lamp
  // would show green before this server said so, and its first F4 would not ask for the name
  // tables.
  v_.SwitcherConnected = kFalse;
  UpdateLinkLamp();
  // The switcher may change while the panel cannot hear it: nothing said on the last link is
  // shown any longer, and CUE asks for cue on until the new link says otherwise.
  channelStates_.Clear();
  ShowChosenChannel();
}

void TCPComm::CloseSocket() {
  // Both requests, in this order, wherever the panel drops a link or a failed attempt.
  socket_.RequestClose();
  socket_.Disconnect();
}

void TCPComm::scktSwitcher_Connect() {
  try {
    // PollTicks keeps running: the first poll on the new link follows the running count.
    v_.PollsOutstanding = 0;
    SetSocketConnected(kTrue);
  } catch (...) {
    log_.ReportError("Error Connecting from Server", "Socket Error");
  }
}

void TCPComm::scktSwitcher_Close() {
  try {
    DisconnectFromServer();
  } catch (...) {
    log_.ReportError("Error Disconnecting from Server", "Socket Error");
  }
}

void TCPComm::tmrPoll_Timer() {
  // Counted repeats and summaries the log holds back are written once their time is up, even
  // when no further report comes.
  log_.Tick();
  try {
    if (v_.SocketConnected == kFalse) {
      // Down: every tick tries again. Pacing the attempts is the socket adapter's business.
      ConnectToServer();
      return;
    }

    if (v_.PollTicks < kPollTicksMax) ++v_.PollTicks;
    if (v_.PollTicks < TicksPerPoll(v_)) return;

    // Poll moment. A server that has left more than TimeOut / RefreshRate polls unanswered is
    // taken for dead; PollTicks is left full so the first tick on the next link polls at once.
    if (v_.RefreshRate == 0) throw Failure(kDivisionByZero, "Division by zero");
    const double limit = static_cast<double>(v_.TimeOut) / v_.RefreshRate;
    if (limit < v_.PollsOutstanding) {
      v_.PollsOutstanding = 0;
      DisconnectFromServer();
      return;
    }

    // Until both name tables have arrived, the info request stands in for the poll; the server
    // answers it like a poll.
    if (v_.InfoRequestFlags == 0 && v_.InfoRequestFlags2 == 0) {
      SendToSwitcher(msg::kPollMessage);
    } else {
      SendInfoRequest(v_.InfoRequestFlags, v_.InfoRequestFlags2);
    }
    v_.PollsOutstanding = CheckedInt16(static_cast<long long>(v_.PollsOutstanding) + 1);
    v_.PollTicks = 0;
  } catch (...) {
    log_.ReportError("Error Sending Poll Timer", "Timer Error");
  }
}

void TCPComm::UpdateLinkLamp() {
  // A failed send closes the link and may still leave the switcher flagged up behind it:
  // without the socket there is no link, whatever the switcher was last reported as.
  LinkState state = LinkState::NoConnection;
  if (v_.SocketConnected != kFalse) {
    state = v_.SwitcherConnected != kFalse ? LinkState::SwitcherUp : LinkState::ServerOnly;
  }
  if (state == lampState_ && v_.ServerAddress == lampAddress_ && v_.ServerPort == lampPort_) {
    return;
  }
  lampState_ = state;
  lampAddress_ = v_.ServerAddress;
  lampPort_ = v_.ServerPort;
  window_.ShowLinkState(state, lampAddress_, lampPort_);
}

std::int32_t TCPComm::IdlePollTicksAhead() const {
  if (v_.SocketConnected == kFalse) return 0;
  return std::max<std::int32_t>(0, TicksPerPoll(v_) - 1 - v_.PollTicks);
}

void TCPComm::SkipPollTicks(std::int32_t ticks) {
  if (ticks <= 0) return;
  const long long total = static_cast<long long>(v_.PollTicks) + ticks;
  v_.PollTicks = static_cast<std::int16_t>(std::min<long long>(total, kPollTicksMax));
}
