#include "support/LoopbackServer.h"

#include "support/Wait.h"

namespace {

// Bytes the server keeps queued in its socket while it streams: the stream goes as fast as the
// panel reads, without piling up in the test's own memory.
constexpr qint64 kQueuedBytes = 256 * 1024;

}  // namespace

LoopbackServer::LoopbackServer() {
  QObject::connect(&server, &QTcpServer::newConnection, this, [this] { Accept(); });
}

bool LoopbackServer::Listen(quint16 port) {
  return server.listen(QHostAddress::LocalHost, port);
}

bool LoopbackServer::ListenBusy() {
  server.setListenBacklogSize(0);
  if (!Listen()) return false;
  server.pauseAccepting();
  filler_.connectToHost(QHostAddress::LocalHost, Port());
  return RunEventLoopUntil([this] { return filler_.state() == QAbstractSocket::ConnectedState; });
}

void LoopbackServer::GoDown() {
  server.close();
  for (const QPointer<QTcpSocket>& socket : accepted_) {
    if (socket) socket->abort();
  }
}

void LoopbackServer::Send(std::string_view bytes) {
  if (peer) peer->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void LoopbackServer::Stream(std::function<std::string()> next) {
  next_ = std::move(next);
  streaming_ = true;
  QObject::connect(peer, &QTcpSocket::bytesWritten, this, [this] { Refill(); });
  Refill();
}

void LoopbackServer::StopStream() {
  streaming_ = false;
  next_ = nullptr;
  if (peer) QObject::disconnect(peer, &QTcpSocket::bytesWritten, this, nullptr);
}

void LoopbackServer::Accept() {
  while (QTcpSocket* next = server.nextPendingConnection()) {
    ++connections;
    accepted_.append(next);
    peer = next;
    sinceAccept.start();
    if (hangUpAtOnce) {
      next->abort();
      continue;
    }
    if (readIncoming) {
      QObject::connect(next, &QTcpSocket::readyRead, this, [this, next] { Read(next); });
    }
    QObject::connect(next, &QTcpSocket::disconnected, this, [this, next] {
      heldMs = sinceAccept.elapsed();
      if (!readIncoming && next->isOpen()) unreadAtClose = next->readAll().toStdString();
    });
  }
}

void LoopbackServer::Read(QTcpSocket* from) {
  const QByteArray bytes = from->readAll();
  received.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  polls += bytes.count('\xF5');
  answers += bytes.count('\xF4');
  if (answerPolls) {
    for (qsizetype i = 0; i < bytes.count('\xF5'); ++i) from->write("\xF4", 1);
  }
}

void LoopbackServer::Refill() {
  if (!streaming_ || !peer) return;
  while (peer->bytesToWrite() < kQueuedBytes) {
    const std::string chunk = next_();
    if (chunk.empty()) {
      StopStream();
      return;
    }
    peer->write(chunk.data(), static_cast<qint64>(chunk.size()));
  }
}
