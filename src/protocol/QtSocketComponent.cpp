#include "protocol/QtSocketComponent.h"

#include <QHostAddress>
#include <algorithm>
#include <limits>

#include "setup/CallScope.h"
#include "setup/Failure.h"

namespace {

// Last-error codes besides "would block" (24035). The core only tells would-block from the rest;
// these take the usual socket error numbers for their cases, so a code seen while tracing the
// link means what it usually means.
constexpr std::int16_t kInvalidRequest = 10022;       // no area, or nothing to write
constexpr std::int16_t kAddressNotAvailable = 10049;  // the address or port cannot be used
constexpr std::int16_t kNotConnected = 10057;         // no link to read from or write to

// Qt would wait 30 s for a server that never answers the SYN; the panel gives up sooner and
// lets the poll timer start a fresh attempt.
constexpr int kAttemptTimeoutMs = 5000;
// Bytes the socket holds for the panel before it stops reading from the network: while the
// panel's own backlog is full it takes nothing, and a server that floods the link is then held
// back by TCP instead of growing the panel's memory or losing its messages.
constexpr qint64 kReadBufferBytes = 256 * 1024;
// The data-arrival event carries a 16-bit count, and the panel reads count + 1 bytes at once.
constexpr qint64 kMaxAnnounced = 32766;

constexpr std::int32_t kIpv4 = 2;
constexpr std::int32_t kStream = 1;
constexpr std::int32_t kDefaultProtocol = 0;
constexpr std::int32_t kTcpProtocol = 6;

bool AttemptInProgress(QAbstractSocket::SocketState state) {
  return state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState;
}

}  // namespace

QtSocketComponent::QtSocketComponent(QObject* parent)
    : QObject(parent), socket_(this), attemptTimer_(this) {
  socket_.setReadBufferSize(kReadBufferBytes);
  attemptTimer_.setSingleShot(true);
  attemptTimer_.setInterval(kAttemptTimeoutMs);
  connect(&socket_, &QTcpSocket::connected, this, &QtSocketComponent::OnConnected);
  connect(&socket_, &QTcpSocket::readyRead, this, &QtSocketComponent::OnReadyRead);
  connect(&socket_, &QTcpSocket::disconnected, this, &QtSocketComponent::OnDisconnected);
  connect(&attemptTimer_, &QTimer::timeout, this, &QtSocketComponent::OnAttemptTimeout);
}

QtSocketComponent::~QtSocketComponent() {
  // The socket aborts itself when destroyed; nothing may reach the panel from a half-destroyed
  // component.
  disconnect(&socket_, nullptr, this, nullptr);
  socket_.abort();
}

void QtSocketComponent::ApplyStartupSettings(const SocketStartupSettings& settings) {
  if (settings.addressFamily != kIpv4) {
    throw Failure(kInvalidArgument, "The socket supports only address family 2 (IPv4)");
  }
  if (settings.socketType != kStream) {
    throw Failure(kInvalidArgument, "The socket supports only socket type 1 (stream)");
  }
  if (settings.protocol != kDefaultProtocol && settings.protocol != kTcpProtocol) {
    throw Failure(kInvalidArgument, "The socket supports only the TCP protocol");
  }
}

void QtSocketComponent::SetRemoteHost(const std::string& address) {
  host_ = address;
}

void QtSocketComponent::SetRemotePort(std::int32_t port) {
  port_ = port;
}

int QtSocketComponent::Connect() {
  CallScope scope(callDepth_);
  // One attempt at a time: a second connectToHost would only fail with an operation error,
  // and a slow network must be allowed to finish the attempt it has.
  const QAbstractSocket::SocketState state = socket_.state();
  if (AttemptInProgress(state) || state == QAbstractSocket::ConnectedState) {
    return 0;
  }
  if (host_.empty() || port_ < 1 || port_ > std::numeric_limits<quint16>::max()) {
    return kAddressNotAvailable;
  }
  const QString host = QString::fromStdString(host_);
  QHostAddress literal;
  if (literal.setAddress(host) && literal.protocol() != QAbstractSocket::IPv4Protocol) {
    return kAddressNotAvailable;
  }
  // The poll timer asks for a connect on every tick while the link is down; a server that is
  // down sees at most one attempt per pacing interval (which may be two SYNs: Qt's own).
  if (sinceLastAttempt_.isValid() && !sinceLastAttempt_.hasExpired(kConnectPacingMs)) {
    return 0;
  }

  // A link the server closed may still hold unread bytes; a new attempt supersedes it.
  AbortQuietly();
  pending_.clear();
  sinceLastAttempt_.start();
  socket_.connectToHost(host, static_cast<quint16>(port_), QIODevice::ReadWrite,
                        QAbstractSocket::IPv4Protocol);
  if (AttemptInProgress(socket_.state())) {
    attemptTimer_.start();
  }
  return 0;
}

void QtSocketComponent::RequestClose() {
  CallScope scope(callDepth_);
  // Unsent bytes are dropped and the link ends here and now: the close leaves nothing behind.
  AbortQuietly();
  // What the old link still had to report means nothing to the panel now.
  pending_.clear();
}

void QtSocketComponent::Disconnect() {
  // The close request has already ended everything; on its own (a link the close request never
  // saw) this ends the link the same way.
  RequestClose();
}

bool QtSocketComponent::IsConnected() const {
  return socket_.state() == QAbstractSocket::ConnectedState;
}

std::int32_t QtSocketComponent::Write(const char* bytes, std::int32_t length) {
  CallScope scope(callDepth_);
  bytesTaken_ = 0;
  if (socket_.state() != QAbstractSocket::ConnectedState) {
    lastError_ = kNotConnected;
    return 0;
  }
  if (bytes == nullptr || length < 1) {
    lastError_ = kInvalidRequest;
    return 0;
  }
  // A server that stopped reading: the panel's messages would pile up here without end.
  if (socket_.bytesToWrite() > kWriteBufferLimit) {
    lastError_ = kWouldBlock;
    return 0;
  }
  const qint64 written = socket_.write(bytes, length);
  if (written < 1) {
    lastError_ = kNotConnected;
    return 0;
  }
  // An operator's press goes to the wire now, not when the event loop next runs.
  socket_.flush();
  bytesTaken_ = static_cast<std::int16_t>(
      std::min<qint64>(written, std::numeric_limits<std::int16_t>::max()));
  return static_cast<std::int32_t>(written);
}

std::int32_t QtSocketComponent::Read(char* area, std::int32_t maxLength) {
  CallScope scope(callDepth_);
  if (area == nullptr || maxLength < 1) {
    lastError_ = kInvalidRequest;
    return 0;
  }
  const qint64 available = socket_.bytesAvailable();
  if (available > 0) {
    const qint64 count = socket_.read(area, std::min<qint64>(maxLength, available));
    if (count > 0) {
      return static_cast<std::int32_t>(count);
    }
  }
  // "Would block" only while more may come; after the server closed, the panel stops asking.
  lastError_ = socket_.state() == QAbstractSocket::ConnectedState ? kWouldBlock : kNotConnected;
  return 0;
}

void QtSocketComponent::ResumeDataArrival() {
  CallScope scope(callDepth_);
  // Qt announces only bytes that are new to it; what it already holds must be announced again.
  // Raised from inside the panel's own call, it waits for the event loop.
  if (socket_.bytesAvailable() > 0) Raise(Notice::kReadyRead);
}

void QtSocketComponent::OnConnected() {
  attemptTimer_.stop();
  // Polls and presses are single small messages: Nagle's delay would hold each one back.
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  Raise(Notice::kConnected);
}

void QtSocketComponent::OnReadyRead() {
  Raise(Notice::kReadyRead);
}

void QtSocketComponent::OnDisconnected() {
  // Qt reports a close the panel asked for too; the panel already knows about that one.
  // A server's close comes as RemoteHostClosedError and then this signal: only this one counts.
  if (closingOnRequest_) {
    return;
  }
  Raise(Notice::kPeerClosed);
}

void QtSocketComponent::OnAttemptTimeout() {
  // A server that never answers: the attempt ends like a refused one, without an event.
  if (AttemptInProgress(socket_.state())) {
    AbortQuietly();
  }
}

void QtSocketComponent::Raise(Notice notice) {
  if (callDepth_ == 0 && pending_.empty()) {
    Deliver(notice);
    return;
  }
  pending_.push_back(notice);
  if (!deliveryScheduled_) {
    deliveryScheduled_ = true;
    QMetaObject::invokeMethod(this, &QtSocketComponent::DeliverPending, Qt::QueuedConnection);
  }
}

void QtSocketComponent::DeliverPending() {
  deliveryScheduled_ = false;
  // A close requested by one of these events clears what is still pending.
  while (!pending_.empty()) {
    const Notice notice = pending_.front();
    pending_.pop_front();
    Deliver(notice);
  }
}

void QtSocketComponent::Deliver(Notice notice) {
  switch (notice) {
    case Notice::kConnected:
      emit Connected();
      break;
    case Notice::kReadyRead:
      EmitDataArrival();
      break;
    case Notice::kPeerClosed:
      // The last bytes the server sent before closing are still readable: hand them over
      // first, so the panel decodes them instead of losing them with the link.
      EmitDataArrival();
      emit Disconnected();
      break;
  }
}

void QtSocketComponent::EmitDataArrival() {
  const qint64 available = socket_.bytesAvailable();
  if (available > 0) {
    emit DataArrival(static_cast<qint16>(std::min(available, kMaxAnnounced)));
  }
}

void QtSocketComponent::AbortQuietly() {
  attemptTimer_.stop();
  if (socket_.state() == QAbstractSocket::UnconnectedState && !socket_.isOpen()) {
    return;
  }
  closingOnRequest_ = true;
  socket_.abort();
  closingOnRequest_ = false;
}
