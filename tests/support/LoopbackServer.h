#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A Server Module on 127.0.0.1 for the tests of the real socket and window. It takes the
// newest connection as its peer and keeps everything the panel sends it. On request it answers
// the panel's polls, streams bytes as fast as the panel reads them, refuses connections, hangs
// up at once, or accepts and never reads.
class LoopbackServer : public QObject {
 public:
  LoopbackServer();

  bool Listen(quint16 port = 0);
  // Listens with a full accept queue: the kernel drops new handshakes, so a connect attempt
  // stays pending as on a slow network, until AcceptAgain.
  bool ListenBusy();
  void AcceptAgain() { server.resumeAccepting(); }
  quint16 Port() const { return server.serverPort(); }

  // Stops listening and drops every connection: from now on connections are refused.
  void GoDown();

  void Send(std::string_view bytes);
  // Streams to the peer what next() hands out, until it hands out nothing.
  void Stream(std::function<std::string()> next);
  bool Streaming() const { return streaming_; }
  void StopStream();

  QTcpServer server;
  QPointer<QTcpSocket> peer;
  int connections = 0;
  std::string received;       // everything the panel sent, over every connection
  std::int64_t polls = 0;     // of it, polls (F5)
  std::int64_t answers = 0;   // and answers to the server's polls (F4)
  bool answerPolls = false;   // true: answers each poll with "switcher up" (F4)
  bool readIncoming = true;   // false: accepts and then never reads (half-open)
  bool hangUpAtOnce = false;  // true: closes every connection as soon as it is accepted
  QElapsedTimer sinceAccept;  // since the newest connection was accepted
  qint64 heldMs = -1;         // how long the panel kept its last closed connection open
  std::string unreadAtClose;  // what a half-open connection was sent and never read

 private:
  void Accept();
  void Read(QTcpSocket* from);
  void Refill();

  QList<QPointer<QTcpSocket>> accepted_;
  QTcpSocket filler_;  // holds the one place of a busy server's accept queue
  std::function<std::string()> next_;
  bool streaming_ = false;
};
