#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <string>
#include <vector>

#include "protocol/QtSocketComponent.h"
#include "setup/Failure.h"

namespace {

constexpr int kWaitMs = 5000;

enum class Kind { kConnected, kDataArrival, kDisconnected };

struct Event {
  Kind kind;
  int count;
};

std::string AllByteValues() {
  std::string bytes;
  for (int value = 0; value < 256; ++value) {
    bytes.push_back(static_cast<char>(value));
  }
  return bytes;
}

// A loopback server in the test and the component under test, with every event recorded in
// order. By default a data arrival is drained the way the panel does it: reads of the announced
// length plus one, until a read takes nothing.
class QtSocketComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      ++serverConnections_;
      while (server_.hasPendingConnections()) {
        peer_ = server_.nextPendingConnection();
      }
    });
    QObject::connect(&socket_, &QtSocketComponent::Connected, &socket_, [this] {
      events_.push_back({Kind::kConnected, 0});
    });
    QObject::connect(&socket_, &QtSocketComponent::Disconnected, &socket_, [this] {
      events_.push_back({Kind::kDisconnected, 0});
    });
    QObject::connect(&socket_, &QtSocketComponent::DataArrival, &socket_, [this](qint16 total) {
      events_.push_back({Kind::kDataArrival, total});
      if (drainOnArrival_) {
        Drain(total);
      }
    });
  }

  void Drain(int announced) {
    std::vector<char> area(static_cast<size_t>(announced) + 1);
    for (;;) {
      const std::int32_t count = socket_.Read(area.data(), announced + 1);
      if (count < 1) {
        lastReadError_ = socket_.LastError();
        return;
      }
      received_.append(area.data(), static_cast<size_t>(count));
    }
  }

  void AimAtServer() {
    socket_.SetRemoteHost("127.0.0.1");
    socket_.SetRemotePort(server_.serverPort());
  }

  void ConnectToServer() {
    AimAtServer();
    ASSERT_EQ(socket_.Connect(), 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kConnected) == 1; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([this] { return peer_ != nullptr; }, kWaitMs));
  }

  // Lets every event that is already due be handled, without waiting for anything.
  static void HandlePendingEvents() {
    for (int round = 0; round < 20; ++round) {
      QCoreApplication::processEvents();
    }
  }

  int Count(Kind kind) const {
    int count = 0;
    for (const Event& event : events_) {
      count += event.kind == kind ? 1 : 0;
    }
    return count;
  }

  QTcpSocket* InnerSocket() { return socket_.findChild<QTcpSocket*>(); }

  QTcpServer server_;
  QtSocketComponent socket_;
  QTcpSocket* peer_ = nullptr;
  int serverConnections_ = 0;
  std::vector<Event> events_;
  std::string received_;
  bool drainOnArrival_ = true;
  std::int16_t lastReadError_ = 0;
};

TEST_F(QtSocketComponentTest, AnnouncesTheConnectionOnceAndNeverFromInsideConnect) {
  AimAtServer();
  EXPECT_FALSE(socket_.IsConnected());
  ASSERT_EQ(socket_.Connect(), 0);
  EXPECT_TRUE(events_.empty());

  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kConnected) == 1; }, kWaitMs));
  EXPECT_TRUE(socket_.IsConnected());
  ASSERT_EQ(events_.size(), 1u);
}

TEST_F(QtSocketComponentTest, ConnectWhileAnAttemptIsPendingOrConnectedStartsNoOther) {
  AimAtServer();
  int socketErrors = 0;
  QObject::connect(InnerSocket(), &QTcpSocket::errorOccurred, &server_,
                   [&socketErrors] { ++socketErrors; });

  ASSERT_EQ(socket_.Connect(), 0);
  EXPECT_EQ(socket_.Connect(), 0);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kConnected) == 1; }, kWaitMs));

  // The poll timer keeps asking while it has not yet seen the connected event; go on past
  // the pacing interval so a second attempt would have been allowed to start.
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, &ticker, [this, &ticks] {
    ++ticks;
    EXPECT_EQ(socket_.Connect(), 0);
  });
  ticker.start(20);
  QElapsedTimer window;
  window.start();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return ticks >= 10 && window.hasExpired(2 * QtSocketComponent::kConnectPacingMs); },
      kWaitMs));
  ticker.stop();

  // A round trip over the link, so a stray second connection would have reached the server.
  ASSERT_TRUE(QTest::qWaitFor([this] { return peer_ != nullptr; }, kWaitMs));
  ASSERT_EQ(socket_.Write("\xF5", 1), 1);
  ASSERT_TRUE(QTest::qWaitFor([this] { return peer_->bytesAvailable() == 1; }, kWaitMs));
  HandlePendingEvents();

  EXPECT_EQ(serverConnections_, 1);
  EXPECT_EQ(socketErrors, 0);
  EXPECT_EQ(Count(Kind::kConnected), 1);
  EXPECT_EQ(Count(Kind::kDisconnected), 0);
  EXPECT_TRUE(socket_.IsConnected());
}

// A server whose accept queue is full: the kernel drops new handshakes, so a connect attempt
// stays pending as it would on a slow network, until the server accepts again.
class BusyServer {
 public:
  bool Start() {
    server_.setListenBacklogSize(0);
    if (!server_.listen(QHostAddress::LocalHost, 0)) {
      return false;
    }
    server_.pauseAccepting();
    filler_.connectToHost(QHostAddress::LocalHost, server_.serverPort());
    return QTest::qWaitFor([this] { return filler_.state() == QAbstractSocket::ConnectedState; },
                           kWaitMs);
  }
  void AcceptAgain() { server_.resumeAccepting(); }
  quint16 Port() const { return server_.serverPort(); }

 private:
  QTcpServer server_;
  QTcpSocket filler_;
};

TEST_F(QtSocketComponentTest, ASlowHandshakeIsLeftToFinishWhileThePanelKeepsAsking) {
  BusyServer busy;
  ASSERT_TRUE(busy.Start());
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(busy.Port());
  int attempts = 0;
  int socketErrors = 0;
  QObject::connect(InnerSocket(), &QTcpSocket::stateChanged, &server_,
                   [&attempts](QAbstractSocket::SocketState state) {
                     attempts += state == QAbstractSocket::ConnectingState ? 1 : 0;
                   });
  QObject::connect(InnerSocket(), &QTcpSocket::errorOccurred, &server_,
                   [&socketErrors] { ++socketErrors; });

  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, &ticker, [this, &ticks] {
    ++ticks;
    EXPECT_EQ(socket_.Connect(), 0);
  });
  QElapsedTimer window;
  window.start();
  ticker.start(20);
  // Asked on every tick for longer than the pacing interval, the pending attempt goes on.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return ticks >= 10 && window.hasExpired(QtSocketComponent::kConnectPacingMs + 100); },
      kWaitMs));
  EXPECT_EQ(attempts, 1);
  EXPECT_TRUE(events_.empty());

  busy.AcceptAgain();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kConnected) == 1; }, kWaitMs));
  ticker.stop();
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(socketErrors, 0);
  EXPECT_EQ(events_.size(), 1u);
}

TEST_F(QtSocketComponentTest, AnAttemptThatNeverCompletesEndsSilentlyAndCanBeRetried) {
  BusyServer busy;
  ASSERT_TRUE(busy.Start());
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(busy.Port());
  int attempts = 0;
  QObject::connect(InnerSocket(), &QTcpSocket::stateChanged, &server_,
                   [&attempts](QAbstractSocket::SocketState state) {
                     attempts += state == QAbstractSocket::ConnectingState ? 1 : 0;
                   });

  ASSERT_EQ(socket_.Connect(), 0);
  ASSERT_EQ(attempts, 1);
  // Well before Qt's own 30 s, the attempt is given up without any event.
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return InnerSocket()->state() == QAbstractSocket::UnconnectedState; }, 3 * kWaitMs));
  HandlePendingEvents();
  EXPECT_TRUE(events_.empty());

  EXPECT_EQ(socket_.Connect(), 0);
  EXPECT_EQ(attempts, 2);
}

TEST_F(QtSocketComponentTest, RefusedAttemptsAreSilentPacedAndFindTheServerWhenItReturns) {
  const quint16 closedPort = server_.serverPort();
  server_.close();
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(closedPort);

  int attempts = 0;
  QObject::connect(InnerSocket(), &QTcpSocket::stateChanged, &server_,
                   [&attempts](QAbstractSocket::SocketState state) {
                     attempts += state == QAbstractSocket::ConnectingState ? 1 : 0;
                   });

  // The poll timer of a panel with Refresh Rate 1 asks for a connect every 20 ms.
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, &ticker, [this] { EXPECT_EQ(socket_.Connect(), 0); });
  QElapsedTimer window;
  window.start();
  ticker.start(20);
  ASSERT_TRUE(QTest::qWaitFor([&attempts] { return attempts >= 4; }, 4 * kWaitMs));
  const qint64 windowMs = window.elapsed();

  EXPECT_TRUE(events_.empty());
  // Every attempt began inside the window, and attempts are more than the pacing apart.
  EXPECT_LE(attempts, 1 + windowMs / QtSocketComponent::kConnectPacingMs);

  ASSERT_TRUE(server_.listen(QHostAddress::LocalHost, closedPort));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kConnected) == 1; }, kWaitMs));
  ticker.stop();
  EXPECT_TRUE(socket_.IsConnected());
  EXPECT_EQ(events_.size(), 1u);
}

TEST_F(QtSocketComponentTest, RefusesAnAddressOrPortThatCannotBeUsedAtOnce) {
  const struct {
    const char* host;
    std::int32_t port;
  } unusable[] = {
      {"", 1250}, {"127.0.0.1", 0}, {"127.0.0.1", 65536}, {"127.0.0.1", -1}, {"::1", 1250}};
  for (const auto& target : unusable) {
    socket_.SetRemoteHost(target.host);
    socket_.SetRemotePort(target.port);
    EXPECT_NE(socket_.Connect(), 0) << "'" << target.host << "' port " << target.port;
  }
  HandlePendingEvents();
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(serverConnections_, 0);
}

TEST_F(QtSocketComponentTest, CarriesEveryByteValueUnchangedBothWays) {
  ConnectToServer();
  const std::string outgoing = AllByteValues() + std::string(1, '\0');

  ASSERT_EQ(socket_.Write(outgoing.data(), static_cast<std::int32_t>(outgoing.size())),
            static_cast<std::int32_t>(outgoing.size()));
  EXPECT_EQ(socket_.BytesTaken(), static_cast<std::int16_t>(outgoing.size()));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return peer_->bytesAvailable() >= static_cast<qint64>(outgoing.size()); }, kWaitMs));
  EXPECT_EQ(peer_->readAll().toStdString(), outgoing);

  const std::string incoming(outgoing.rbegin(), outgoing.rend());
  peer_->write(incoming.data(), static_cast<qint64>(incoming.size()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return received_.size() >= incoming.size(); }, kWaitMs));
  EXPECT_EQ(received_, incoming);
  // Drained while still connected: the last read says "would block".
  EXPECT_EQ(lastReadError_, SocketComponent::kWouldBlock);
  char area[4];
  EXPECT_EQ(socket_.Read(area, 4), 0);
  EXPECT_EQ(socket_.LastError(), SocketComponent::kWouldBlock);
}

TEST_F(QtSocketComponentTest, ServerCloseHandsOverUnreadBytesThenOneDisconnected) {
  drainOnArrival_ = false;
  ConnectToServer();
  // The panel takes only the first two bytes of the arrival, as if its handler had failed.
  std::string taken;
  QObject::connect(&socket_, &QtSocketComponent::DataArrival, &socket_, [&](qint16) {
    if (taken.empty()) {
      char area[2];
      const std::int32_t count = socket_.Read(area, 2);
      taken.append(area, static_cast<size_t>(std::max(count, 0)));
    }
  });
  const std::string lastMessage("\x81\x00\x64\x64\xFF", 5);
  peer_->write(lastMessage.data(), static_cast<qint64>(lastMessage.size()));
  peer_->disconnectFromHost();

  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kDisconnected) == 1; }, kWaitMs));
  HandlePendingEvents();
  EXPECT_EQ(Count(Kind::kDisconnected), 1);
  ASSERT_GE(events_.size(), 3u);
  EXPECT_EQ(events_.back().kind, Kind::kDisconnected);
  const Event& beforeClose = events_[events_.size() - 2];
  EXPECT_EQ(beforeClose.kind, Kind::kDataArrival);
  EXPECT_EQ(beforeClose.count, 3);

  // The rest is still readable at the disconnected event, and intact.
  EXPECT_FALSE(socket_.IsConnected());
  char area[16];
  ASSERT_EQ(socket_.Read(area, sizeof area), 3);
  EXPECT_EQ(taken + std::string(area, 3), lastMessage);
  // Nothing more will come: not "would block", so the panel stops reading.
  EXPECT_EQ(socket_.Read(area, sizeof area), 0);
  EXPECT_NE(socket_.LastError(), SocketComponent::kWouldBlock);
}

TEST_F(QtSocketComponentTest, AFloodingServerIsReadInFullAsThePanelDrains) {
  ConnectToServer();
  // Several times the component's read bound, so reading must resume after each drain.
  std::string flood(1024 * 1024, '\0');
  for (size_t i = 0; i < flood.size(); ++i) {
    flood[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  }
  peer_->write(flood.data(), static_cast<qint64>(flood.size()));
  peer_->disconnectFromHost();

  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kDisconnected) == 1; }, 4 * kWaitMs));
  HandlePendingEvents();
  EXPECT_EQ(Count(Kind::kDisconnected), 1);
  ASSERT_EQ(received_.size(), flood.size());
  EXPECT_TRUE(received_ == flood);
  for (const Event& event : events_) {
    if (event.kind == Kind::kDataArrival) {
      EXPECT_GE(event.count, 1);
      EXPECT_LE(event.count, 32766);
    }
  }
}

TEST_F(QtSocketComponentTest, ACloseThePanelAskedForRaisesNoEvent) {
  ConnectToServer();
  bool peerGone = false;
  QObject::connect(peer_, &QTcpSocket::disconnected, peer_, [&peerGone] { peerGone = true; });

  // At shutdown the panel sends the close alone, without the disconnect call.
  socket_.Close();
  EXPECT_FALSE(socket_.IsConnected());
  EXPECT_EQ(events_.size(), 1u);

  // The server sees the link end; the panel hears nothing about its own close.
  ASSERT_TRUE(QTest::qWaitFor([&peerGone] { return peerGone; }, kWaitMs));
  HandlePendingEvents();
  EXPECT_EQ(events_.size(), 1u);

  // Closing again is harmless.
  socket_.Close();
  socket_.Disconnect();
  HandlePendingEvents();
  EXPECT_EQ(events_.size(), 1u);
}

TEST_F(QtSocketComponentTest, WithoutALinkWritesAndReadsFailWithoutWouldBlock) {
  EXPECT_EQ(socket_.Write("\xF5", 1), 0);
  EXPECT_NE(socket_.LastError(), 0);
  EXPECT_NE(socket_.LastError(), SocketComponent::kWouldBlock);
  EXPECT_EQ(socket_.BytesTaken(), 0);

  char area[4];
  EXPECT_EQ(socket_.Read(area, 4), 0);
  EXPECT_NE(socket_.LastError(), 0);
  EXPECT_NE(socket_.LastError(), SocketComponent::kWouldBlock);
}

TEST_F(QtSocketComponentTest, WritesWouldBlockOnceAServerThatNeverReadsIsFarBehind) {
  server_.pauseAccepting();  // the kernel completes the connection; nobody ever reads it
  AimAtServer();
  ASSERT_EQ(socket_.Connect(), 0);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Count(Kind::kConnected) == 1; }, kWaitMs));

  const std::string chunk(16000, '\x55');
  const qint64 giveUpAfter = 64LL * 1024 * 1024;  // far beyond any kernel buffering
  qint64 taken = 0;
  std::int32_t result = 0;
  while (taken < giveUpAfter) {
    result = socket_.Write(chunk.data(), static_cast<std::int32_t>(chunk.size()));
    if (result < 1) {
      break;
    }
    EXPECT_EQ(socket_.BytesTaken(), static_cast<std::int16_t>(chunk.size()));
    taken += result;
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(socket_.LastError(), SocketComponent::kWouldBlock);
  EXPECT_EQ(socket_.BytesTaken(), 0);
  EXPECT_TRUE(socket_.IsConnected());
}

TEST(QtSocketComponentSettings, AcceptsOnlyAnIpv4StreamSocket) {
  QtSocketComponent socket;
  EXPECT_NO_THROW(socket.ApplyStartupSettings(SocketStartupSettings{}));

  auto codeOf = [&socket](const SocketStartupSettings& settings) {
    try {
      socket.ApplyStartupSettings(settings);
    } catch (const Failure& failure) {
      return failure.Code();
    }
    return 0;
  };
  SocketStartupSettings ipv6;
  ipv6.addressFamily = 23;
  EXPECT_EQ(codeOf(ipv6), kInvalidArgument);
  SocketStartupSettings datagram;
  datagram.socketType = 2;
  EXPECT_EQ(codeOf(datagram), kInvalidArgument);
}

}  // namespace
