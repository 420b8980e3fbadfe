#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <string>
#include <vector>

#include "protocol/QtSocketComponent.h"
#include "support/FailureCode.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"

namespace {

enum class Kind { kConnected, kDataArrival, kDisconnected };

struct Event {
  Kind kind;
  int count;
};

// A loopback server and the component under test, with every event recorded in order. By
// default a data arrival is drained the way the panel does it: reads of the announced length
// plus one, until a read takes nothing.
class QtSocketComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Listen());
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
    // Every attempt shows on the inner socket as a move to ConnectingState.
    QObject::connect(InnerSocket(), &QTcpSocket::stateChanged, &socket_,
                     [this](QAbstractSocket::SocketState state) {
                       attempts_ += state == QAbstractSocket::ConnectingState ? 1 : 0;
                     });
    QObject::connect(InnerSocket(), &QTcpSocket::errorOccurred, &socket_,
                     [this] { ++socketErrors_; });
  }

  // Asks for a connect every 20 ms, as the poll timer of a panel at Refresh Rate 1 does.
  void KeepAsking() {
    QObject::connect(&ticker_, &QTimer::timeout, &ticker_, [this] {
      ++ticks_;
      EXPECT_EQ(socket_.Connect(), 0);
    });
    asking_.start();
    ticker_.start(20);
  }
  // Asked at least ten times, over more than `ms`.
  bool AskedFor(qint64 ms) const { return ticks_ >= 10 && asking_.hasExpired(ms); }

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

  void AimAt(const LoopbackServer& server) {
    socket_.SetRemoteHost("127.0.0.1");
    socket_.SetRemotePort(server.Port());
  }

  void ConnectToServer() {
    AimAt(server_);
    ASSERT_EQ(socket_.Connect(), 0);
    ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kConnected) == 1; }));
    ASSERT_TRUE(RunEventLoopUntil([this] { return server_.peer != nullptr; }));
  }

  // Lets what is already on its way arrive: afterwards, nothing more is coming.
  static void HandlePendingEvents() { RunEventLoopFor(50); }

  int Count(Kind kind) const {
    return static_cast<int>(std::count_if(
        events_.begin(), events_.end(), [kind](const Event& event) { return event.kind == kind; }));
  }

  QTcpSocket* InnerSocket() { return socket_.findChild<QTcpSocket*>(); }

  LoopbackServer server_;
  QtSocketComponent socket_;
  std::vector<Event> events_;
  std::string received_;
  bool drainOnArrival_ = true;
  std::int16_t lastReadError_ = 0;
  int attempts_ = 0;
  int socketErrors_ = 0;
  QTimer ticker_;
  QElapsedTimer asking_;
  int ticks_ = 0;
};

TEST_F(QtSocketComponentTest, AnnouncesTheConnectionOnceAndNeverFromInsideConnect) {
  AimAt(server_);
  EXPECT_FALSE(socket_.IsConnected());
  ASSERT_EQ(socket_.Connect(), 0);
  EXPECT_TRUE(events_.empty());

  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kConnected) == 1; }));
  EXPECT_TRUE(socket_.IsConnected());
  ASSERT_EQ(events_.size(), 1u);
}

TEST_F(QtSocketComponentTest, ConnectWhileAnAttemptIsPendingOrConnectedStartsNoOther) {
  AimAt(server_);
  ASSERT_EQ(socket_.Connect(), 0);
  EXPECT_EQ(socket_.Connect(), 0);
  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kConnected) == 1; }));

  // The poll timer keeps asking while it has not yet seen the connected event; go on past
  // the pacing interval so a second attempt would have been allowed to start.
  KeepAsking();
  ASSERT_TRUE(RunEventLoopUntil([&] { return AskedFor(2 * QtSocketComponent::kConnectPacingMs); }));
  ticker_.stop();

  // A round trip over the link, so a stray second connection would have reached the server.
  ASSERT_TRUE(RunEventLoopUntil([this] { return server_.peer != nullptr; }));
  ASSERT_EQ(socket_.Write("\xF5", 1), 1);
  ASSERT_TRUE(RunEventLoopUntil([this] { return server_.received.size() == 1; }));
  HandlePendingEvents();

  EXPECT_EQ(server_.connections, 1);
  EXPECT_EQ(socketErrors_, 0);
  EXPECT_EQ(Count(Kind::kConnected), 1);
  EXPECT_EQ(Count(Kind::kDisconnected), 0);
  EXPECT_TRUE(socket_.IsConnected());
}

TEST_F(QtSocketComponentTest, ASlowHandshakeIsLeftToFinishWhileThePanelKeepsAsking) {
  LoopbackServer busy;
  ASSERT_TRUE(busy.ListenBusy());
  AimAt(busy);
  KeepAsking();
  // Asked on every tick for longer than the pacing interval, the pending attempt goes on.
  ASSERT_TRUE(
      RunEventLoopUntil([&] { return AskedFor(QtSocketComponent::kConnectPacingMs + 100); }));
  EXPECT_EQ(attempts_, 1);
  EXPECT_TRUE(events_.empty());

  busy.AcceptAgain();
  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kConnected) == 1; }));
  ticker_.stop();
  EXPECT_EQ(attempts_, 1);
  EXPECT_EQ(socketErrors_, 0);
  EXPECT_EQ(events_.size(), 1u);
}

TEST_F(QtSocketComponentTest, AnAttemptThatNeverCompletesEndsSilentlyAndCanBeRetried) {
  LoopbackServer busy;
  ASSERT_TRUE(busy.ListenBusy());
  AimAt(busy);
  ASSERT_EQ(socket_.Connect(), 0);
  ASSERT_EQ(attempts_, 1);
  // Well before Qt's own 30 s, the attempt is given up without any event.
  ASSERT_TRUE(RunEventLoopUntil(
      [this] { return InnerSocket()->state() == QAbstractSocket::UnconnectedState; }, 15000));
  HandlePendingEvents();
  EXPECT_TRUE(events_.empty());

  EXPECT_EQ(socket_.Connect(), 0);
  EXPECT_EQ(attempts_, 2);
}

TEST_F(QtSocketComponentTest, RefusedAttemptsAreSilentPacedAndFindTheServerWhenItReturns) {
  const quint16 closedPort = server_.Port();
  AimAt(server_);
  server_.GoDown();

  KeepAsking();
  ASSERT_TRUE(RunEventLoopUntil([this] { return attempts_ >= 4; }, 20000));
  const qint64 windowMs = asking_.elapsed();

  EXPECT_TRUE(events_.empty());
  // Every attempt began inside the window, and attempts are more than the pacing apart.
  EXPECT_LE(attempts_, 1 + windowMs / QtSocketComponent::kConnectPacingMs);

  ASSERT_TRUE(server_.Listen(closedPort));
  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kConnected) == 1; }));
  ticker_.stop();
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
  EXPECT_EQ(server_.connections, 0);
}

TEST_F(QtSocketComponentTest, CarriesEveryByteValueUnchangedBothWays) {
  ConnectToServer();
  std::string outgoing(257, '\0');  // every byte value, then a zero byte more
  for (int value = 0; value < 256; ++value) outgoing[value] = static_cast<char>(value);

  ASSERT_EQ(socket_.Write(outgoing.data(), static_cast<std::int32_t>(outgoing.size())),
            static_cast<std::int32_t>(outgoing.size()));
  EXPECT_EQ(socket_.BytesTaken(), static_cast<std::int16_t>(outgoing.size()));
  ASSERT_TRUE(RunEventLoopUntil([&] { return server_.received.size() >= outgoing.size(); }));
  EXPECT_EQ(server_.received, outgoing);

  const std::string incoming(outgoing.rbegin(), outgoing.rend());
  server_.Send(incoming);
  ASSERT_TRUE(RunEventLoopUntil([&] { return received_.size() >= incoming.size(); }));
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
  server_.Send(lastMessage);
  server_.peer->disconnectFromHost();

  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kDisconnected) == 1; }));
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
  server_.Send(flood);
  server_.peer->disconnectFromHost();

  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kDisconnected) == 1; }, 20000));
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

TEST_F(QtSocketComponentTest, BytesLeftUnreadAreAnnouncedAgainOnResumeNotFromInsideIt) {
  drainOnArrival_ = false;
  ConnectToServer();
  server_.Send(std::string(1000, '\xF5'));
  ASSERT_TRUE(RunEventLoopUntil([this] { return InnerSocket()->bytesAvailable() == 1000; }));
  HandlePendingEvents();  // the panel took nothing: Qt has nothing new to say
  const int announced = Count(Kind::kDataArrival);

  socket_.ResumeDataArrival();
  EXPECT_EQ(Count(Kind::kDataArrival), announced);
  ASSERT_TRUE(RunEventLoopUntil([&] { return Count(Kind::kDataArrival) == announced + 1; }));
  EXPECT_EQ(events_.back().count, 1000);

  Drain(1000);  // nothing left: a resume raises nothing
  socket_.ResumeDataArrival();
  HandlePendingEvents();
  EXPECT_EQ(Count(Kind::kDataArrival), announced + 1);
}

TEST_F(QtSocketComponentTest, ACloseThePanelAskedForRaisesNoEvent) {
  ConnectToServer();
  bool peerGone = false;
  QObject::connect(server_.peer, &QTcpSocket::disconnected, server_.peer,
                   [&peerGone] { peerGone = true; });

  // At shutdown the panel sends the close alone, without the disconnect call.
  socket_.RequestClose();
  EXPECT_FALSE(socket_.IsConnected());
  EXPECT_EQ(events_.size(), 1u);

  // The server sees the link end; the panel hears nothing about its own close.
  ASSERT_TRUE(RunEventLoopUntil([&peerGone] { return peerGone; }));
  HandlePendingEvents();
  EXPECT_EQ(events_.size(), 1u);

  // Closing again is harmless.
  socket_.RequestClose();
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
  server_.server.pauseAccepting();  // the kernel completes the connection; nobody reads it
  AimAt(server_);
  ASSERT_EQ(socket_.Connect(), 0);
  ASSERT_TRUE(RunEventLoopUntil([this] { return Count(Kind::kConnected) == 1; }));

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

  SocketStartupSettings ipv6;
  ipv6.addressFamily = 23;
  EXPECT_EQ(FailureCodeOf([&] { socket.ApplyStartupSettings(ipv6); }), kInvalidArgument);
  SocketStartupSettings datagram;
  datagram.socketType = 2;
  EXPECT_EQ(FailureCodeOf([&] { socket.ApplyStartupSettings(datagram); }), kInvalidArgument);
}

}  // namespace
