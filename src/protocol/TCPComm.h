#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/PanelWindow.h"
#include "app/Variables.h"
#include "protocol/ByteManipulation.h"
#include "protocol/ChannelStates.h"
#include "protocol/LinkTimers.h"
#include "protocol/SocketComponent.h"
#include "setup/ErrorReporter.h"

// How long decoding may run at a stretch before the window gets its turn again: one arrival
// working through a backlog over the bound, or one timeout of the decode timer. Each message may
// cost a log line or a write to the server. Both measure it on this clock.
using DecodeClock = std::chrono::steady_clock;
inline constexpr auto kDecodeSlice = std::chrono::milliseconds(4);

// The most undecoded bytes the panel takes from the socket. Beyond it the panel stops reading
// and leaves the rest with the socket, so a server that sends faster than the panel can act is
// slowed down by TCP instead of losing messages or filling memory. It is the longest legal
// message, so that any message the server may send fits whole.
inline constexpr auto kReceiveBacklogBound = static_cast<std::size_t>(kMaxMessageLength);

// The link to the Server Module: connection and poll timer, everything the panel sends, the
// receive path, the dispatcher and the handlers of the messages the server sends. Plain C++:
// it reaches the window, the link's timers, the socket and the error log only through their
// interfaces.
class TCPComm {
 public:
  TCPComm(Variables& vars, SocketComponent& socket, PanelWindow& window, LinkTimers& timers,
          ErrorReporter& log)
      : v_(vars), socket_(socket), window_(window), timers_(timers), log_(log) {}

  // Connection lifecycle and poll timer.
  void ConnectToServer();
  void DisconnectFromServer();
  void scktSwitcher_Connect();  // the socket's connected event
  // The socket's disconnected event: the server or the network ended the link. (The panel's
  // own close is the socket's RequestClose, which raises no event.)
  void scktSwitcher_Close();
  void tmrPoll_Timer();  // one tick of the poll timer

  // Outgoing messages.
  void SendToSwitcher(std::string_view message);
  void SendInfoRequest(std::int32_t flags, std::int32_t flags2);
  void SendChannelOnOff(std::int16_t source, std::int16_t action, std::int16_t byte1,
                        std::int16_t console);

  // Receive path.
  void scktSwitcher_DataArrival(std::int16_t bytesTotal);  // the socket's data-arrival event
  void tmrDecode_Timer();                                  // one tick of the decode timer
  void ProcessReceiveBuffer();

  // Message handlers.
  void ShowConnection(Flag16 flag);
  void ProcessTypeRequest(std::string_view message);
  void ProcessSwitcherType(std::string_view message);
  void ProcessAlphaTable(std::string_view message);
  void ProcessChannelOnOff(std::string_view message);

  // The operator's choice of channel, or a list refill that changed the stored number: the
  // buttons then show what this link's switcher said about the new channel, and CUE acts on it.
  void ChooseChannel(std::int16_t source, std::int16_t console);
  const ChannelStates& channelStates() const { return channelStates_; }

  // How many coming poll-timer ticks would only count (link up, poll moment not yet due).
  // The poll timer may let that many ticks pass unseen and hand them over with SkipPollTicks, so an
  // idle panel need not wake on every tick; polls and time-outs land on the same tick as ever.
  std::int32_t IdlePollTicksAhead() const;
  void SkipPollTicks(std::int32_t ticks);

  // True when the last dispatcher run found the buffer empty or stopped at the front of a
  // message that has not fully arrived: decoding again before more bytes arrive would find the
  // same. Said by the dispatcher where it decides to wait, not read from the buffer's size.
  bool DecodeStalled() const { return decodeStalled_; }

 private:
  // Works out the link state from both flags and tells the window's lamp when it, or the
  // server it concerns, differs from what the lamp shows. Called last by every handler that
  // can change either flag, so the lamp never passes through a state in between.
  void UpdateLinkLamp();
  // Paints the buttons with the chosen channel's remembered words (nothing known: at rest):
  // ON and OFF from its on/off word, CUE and CueActive from its cue word; by default both.
  void ShowChosenChannel(bool onOff = true, bool cue = true);
  // The one place the link goes up or down: SocketConnected changes only here, after the poll
  // timer has been told, and the switcher is no longer taken as reported up.
  void SetSocketConnected(Flag16 connected);
  // Closes the socket with both of its close requests.
  void CloseSocket();

  Variables& v_;
  SocketComponent& socket_;
  PanelWindow& window_;
  LinkTimers& timers_;
  ErrorReporter& log_;
  // Every channel this link's switcher has reported; forgotten when the link closes.
  ChannelStates channelStates_;
  bool decodeStalled_ = false;
  // The last arrival left bytes with the socket because the backlog was over its bound.
  bool readingHeldBack_ = false;
  // What the lamp shows: the window opens with no connection and no address.
  LinkState lampState_ = LinkState::NoConnection;
  std::string lampAddress_;
  std::int32_t lampPort_ = 0;
};

// How many times a write that would block is repeated before the message is dropped.
inline constexpr int kWriteRetryLimit = 10;
