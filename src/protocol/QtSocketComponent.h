#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <string>

#include "protocol/SocketComponent.h"

// The start-up settings the main window gives the socket before its first connect: an IPv4
// stream socket. The rest is the adapter's own way of working, not a setting: it never blocks
// the UI thread, drops unsent bytes on a close, bounds what it holds unread, and leaves finding
// a dead link to the panel's own polls.
struct SocketStartupSettings {
  int addressFamily = 2;  // IPv4
  int protocol = 0;       // the default for the socket type
  int socketType = 1;     // stream (TCP)
};

// The socket component on top of QTcpSocket. Its events are Qt signals on the UI thread:
// Connected, DataArrival (bytes available, at most 32766) and Disconnected (the peer or the
// network ended an established connection; never for a close the panel asked for itself).
class QtSocketComponent : public QObject, public SocketComponent {
  Q_OBJECT

 public:
  // Connect attempts while the server is down are at least this far apart. The pacing is per
  // attempt, one connectToHost: for one attempt QTcpSocket itself may open two sockets a few
  // milliseconds apart, so a refusing server sees two SYNs per attempt. That costs it nothing,
  // and Qt's own connect is kept rather than replaced by native code.
  static constexpr int kConnectPacingMs = 500;
  // Unsent bytes beyond this make a write take nothing (would block).
  static constexpr qint64 kWriteBufferLimit = 64 * 1024;

  explicit QtSocketComponent(QObject* parent = nullptr);
  ~QtSocketComponent() override;

  // Throws Failure when a setting is not one this socket can honour.
  void ApplyStartupSettings(const SocketStartupSettings& settings);

  void SetRemoteHost(const std::string& address) override;
  void SetRemotePort(std::int32_t port) override;
  int Connect() override;
  void RequestClose() override;
  void Disconnect() override;
  bool IsConnected() const override;
  std::int32_t Write(const char* bytes, std::int32_t length) override;
  std::int16_t BytesTaken() const override { return bytesTaken_; }
  std::int32_t Read(char* area, std::int32_t maxLength) override;
  std::int16_t LastError() const override { return lastError_; }
  void ResumeDataArrival() override;

 signals:
  void Connected();
  void DataArrival(qint16 bytesTotal);
  void Disconnected();

 private:
  // What the socket reported, to be turned into this component's events.
  enum class Notice { kConnected, kReadyRead, kPeerClosed };

  void OnConnected();
  void OnReadyRead();
  void OnDisconnected();
  void OnAttemptTimeout();
  void Raise(Notice notice);
  void Deliver(Notice notice);
  void DeliverPending();
  void EmitDataArrival();
  void AbortQuietly();

  QTcpSocket socket_;
  QTimer attemptTimer_;
  std::string host_;
  std::int32_t port_ = 0;
  std::int16_t bytesTaken_ = 0;
  std::int16_t lastError_ = 0;
  QElapsedTimer sinceLastAttempt_;
  bool closingOnRequest_ = false;
  // Calls from the core currently running (Connect, Close, Write...). Notices that Qt raises
  // inside them wait for the event loop, so the core is never re-entered from its own call.
  int callDepth_ = 0;
  std::deque<Notice> pending_;
  bool deliveryScheduled_ = false;
};
