#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/PanelWindow.h"
#include "protocol/LinkTimers.h"
#include "protocol/SocketComponent.h"
#include "setup/ErrorLog.h"
#include "setup/ErrorReporter.h"

// A window, with the link's timers, that records what the core asked of it.
class FakeWindow : public PanelWindow, public LinkTimers {
 public:
  void LoadInputCombo() override { ++inputComboLoads; }
  void LoadConsoleCombo() override { ++consoleComboLoads; }
  void SetButtonColour(ChannelButton button, std::uint32_t bgr) override;
  void SetPollTimerEnabled(bool enabled) override { pollTimerEnabled = enabled; }
  void SetPollTimerInterval(std::int32_t ms) override { pollTimerInterval = ms; }
  void EnableDecodeTimer() override { decodeTimerEnabled = true; }
  void SetWindowOrder(std::int32_t insertAfter) override { windowOrders.push_back(insertAfter); }
  void ShowLinkState(LinkState state, const std::string& address, std::int32_t port) override;

  int inputComboLoads = 0;
  int consoleComboLoads = 0;
  std::uint32_t onColour = kButtonResting;
  std::uint32_t offColour = kButtonResting;
  std::uint32_t cueColour = kButtonResting;
  bool pollTimerEnabled = true;  // a window's poll timer runs from creation
  std::int32_t pollTimerInterval = kFirstPollPeriodMs;
  bool decodeTimerEnabled = true;
  std::vector<std::int32_t> windowOrders;
  std::vector<std::string> linkStates;  // "up 10.0.0.7:1250", "server ...", "none ..."
};

// A socket that records every request, in order, and answers from scripted values.
class FakeSocket : public SocketComponent {
 public:
  void SetRemoteHost(const std::string& address) override { calls.push_back("host " + address); }
  void SetRemotePort(std::int32_t port) override {
    calls.push_back("port " + std::to_string(port));
  }
  int Connect() override;
  void RequestClose() override { calls.push_back("close"); }
  void Disconnect() override;
  bool IsConnected() const override { return connected; }
  std::int32_t Write(const char* bytes, std::int32_t length) override;
  std::int16_t BytesTaken() const override { return bytesTaken; }
  std::int32_t Read(char* area, std::int32_t maxLength) override;
  std::int16_t LastError() const override { return lastError; }
  void ResumeDataArrival() override { ++resumes; }

  // Bytes that the next reads hand out, one queued chunk per read (a chunk larger than the
  // read's maximum is handed out in parts).
  void QueueIncoming(const std::string& bytes) { incoming.push_back(bytes); }

  // Everything written and taken, concatenated, and each write request's bytes.
  std::string wire;
  std::vector<std::string> writes;
  std::vector<std::string> calls;  // "host 1.2.3.4", "port 1250", "connect", "close", ...

  bool connected = false;
  int connectStatus = 0;
  // Scripted answers of the next writes: a count (-1 for "take it all"), and with it the last
  // error and bytes-taken values; once used up every write takes it all.
  struct WriteAnswer {
    std::int32_t count;
    std::int16_t error;
    std::int16_t taken;
  };
  std::deque<WriteAnswer> writeAnswers;
  std::int16_t bytesTaken = 0;
  std::int16_t lastError = 0;
  std::int16_t errorWhenEmpty = SocketComponent::kWouldBlock;  // last error of an empty read
  std::deque<std::string> incoming;
  std::vector<std::int32_t> readMaxima;
  int resumes = 0;
  // Off: writes go to `wire` only, for floods of millions of messages.
  bool recordEachWrite = true;
};

// What a test expects of RecordingReporter::Texts.
using Texts = std::vector<std::string>;

// An error reporter that keeps every report with the failure it was called for.
class RecordingReporter : public ErrorReporter {
 public:
  struct Report {
    std::string message;
    std::string location;
    std::int32_t code;
    std::string description;
  };
  void ReportError(std::string_view message, std::string_view location) override;
  std::vector<Report> reports;
  bool Has(std::string_view message, std::string_view location) const;
  // Each report as "location: message", in order: what a test compares at a glance.
  std::vector<std::string> Texts() const;
};

// A clock the test moves by hand: 17 March 2020, 14:05:09, rendered as a short date and a long
// time. It counts how often it is read.
class FakeClock : public Clock {
 public:
  LocalDateTime Now() const override {
    ++reads;
    return now;
  }
  std::string GeneralDateTime(const LocalDateTime&) const override { return text; }

  LocalDateTime now{2020, 3, 17, 14, 5, 9};
  std::string text = "3/17/2020 2:05:09 PM";  // 20 characters
  mutable int reads = 0;
};
