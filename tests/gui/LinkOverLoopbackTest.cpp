// The real main window and socket against a small Server Module on loopback: what the
// operator and the server see when the link runs for real.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "protocol/Messages.h"
#include "support/GuiHelpers.h"

namespace {

QByteArray Hex(const char* text) {
  return QByteArray::fromHex(text);
}

// A Server Module that answers the panel's polls and remembers what the panel sent.
class LoopbackServer : public QObject {
 public:
  LoopbackServer() {
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* next = server.nextPendingConnection()) {
        ++connections;
        peer = next;
        QObject::connect(next, &QTcpSocket::readyRead, this, [this, next] {
          const QByteArray bytes = next->readAll();
          received += bytes;
          if (answerPolls) {
            for (char byte : bytes) {
              if (byte == '\xF5') next->write(Hex("F4"));
            }
          }
        });
      }
    });
  }
  void Send(const QByteArray& bytes) {
    if (peer) peer->write(bytes);
  }

  QTcpServer server;
  QPointer<QTcpSocket> peer;
  QByteArray received;
  int connections = 0;
  bool answerPolls = true;
};

QByteArray IniFor(quint16 port) {
  return "[CONFIGURATION]\r\nSETUP\r\nIP Address=127.0.0.1\r\nIP Port=" + QByteArray::number(port) +
         "\r\nCONFIG\r\nInput=3\r\nConsole=5\r\nStay On Top=No\r\nRefresh Rate=1\r\nTime "
         "Out=20\r\nSECURITY\r\nUser Name=\r\nPassword=\r\n";
}

// A name table of count names of four characters: 1001, 1002, ...
QByteArray NameTable(unsigned char type, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(std::to_string(1000 + i));
  return QByteArray::fromStdString(msg::AlphaTable(type, 4, names));
}

class LinkOverLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.server.isListening());
    folder.Write("qevntpnl.ini", IniFor(server.server.serverPort()));
    window = std::make_unique<frmMain>(folder.Path());
    window->Form_Load();
    window->show();
  }

  TestFolder folder;
  LoopbackServer server;
  std::unique_ptr<frmMain> window;
};

TEST_F(LinkOverLoopback, NameTablesFillTheListsAndOnPutsTheExactCommandOnTheWire) {
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.received.contains(Hex("F5")); }));
  // The poll was answered with F4: the panel asks for both name tables.
  const QByteArray infoRequest = Hex("F2000200000100000000 0003FF");
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.received.contains(infoRequest); }));

  server.Send(NameTable(msg::kInputTable, 3) + NameTable(msg::kConsoleTable, 256));
  auto* sources = window->findChild<QComboBox*>(QStringLiteral("cmbSource"));
  auto* consoles = window->findChild<QComboBox*>(QStringLiteral("cmbConsole"));
  ASSERT_TRUE(RunEventLoopUntil([&] { return sources->count() == 4 && consoles->count() == 257; }));
  EXPECT_EQ(sources->currentText(), QStringLiteral("1003 [0003]"));
  EXPECT_EQ(consoles->currentText(), QStringLiteral("1005 [005]"));

  server.received.clear();
  QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOn")), Qt::LeftButton);
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.received.contains(Hex("D6")); }));
  const int at = server.received.indexOf(Hex("D6"));
  EXPECT_EQ(server.received.mid(at, 11).toHex(' '), "d6 7f 00 01 02 00 04 00 01 07 ff");
}

TEST_F(LinkOverLoopback, ChannelReportRecoloursTheButtonOnScreen) {
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.peer != nullptr; }));
  auto* on = window->findChild<QPushButton*>(QStringLiteral("cmdOn"));
  // Source 3 on console 5 is on (wire numbers 2 and 4).
  server.Send(Hex("D67F00010200040001 07FF"));
  EXPECT_TRUE(RunEventLoopUntil([&] { return Near(FaceColour(*on), 192, 255, 255); }))
      << Describe(FaceColour(*on));
}

TEST_F(LinkOverLoopback, AServerThatClosesIsFoundAgain) {
  ASSERT_TRUE(RunEventLoopUntil([&] { return window->vars().SocketConnected == kTrue; }));
  server.peer->abort();
  ASSERT_TRUE(RunEventLoopUntil([&] { return window->vars().SocketConnected == kFalse; }));
  EXPECT_TRUE(RunEventLoopUntil([&] { return server.connections == 2; }));
  EXPECT_TRUE(RunEventLoopUntil([&] { return window->vars().SocketConnected == kTrue; }));
}

TEST_F(LinkOverLoopback, UnansweredPollsCloseTheLinkAndItIsOpenedAgain) {
  server.answerPolls = false;
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.connections == 1; }));
  // Refresh Rate 1, Time Out 20: 21 polls 0.4 s apart, then the link is closed and reopened.
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.connections == 2; }, 20000));
  EXPECT_EQ(server.received.count(Hex("F5")), 21);
}

}  // namespace
