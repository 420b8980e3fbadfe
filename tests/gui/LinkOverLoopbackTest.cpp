// The real main window and socket against a small Server Module on loopback: what the
// operator and the server see when the link runs for real.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/frmMain.h"
#include "support/Bytes.h"
#include "support/GuiHelpers.h"
#include "support/IniText.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"
#include "support/Wait.h"

namespace {

// An input table of three names of four characters, and a console table of 256.
QByteArray NameTable(int type, int count) {
  QByteArray table;
  table.append(char(0xFC)).append(char(type)).append(char(4));
  table.append(char(count & 0x7F)).append(char(count >> 7)).append(2, '\0');
  for (int i = 1; i <= count; ++i) {
    table.append(QByteArray::number(1000 + i).right(4));
    table.append(char(i & 0x7F)).append(char(i >> 7));
  }
  int sum = 0;
  for (int i = 1; i < table.size(); ++i) sum = (sum + static_cast<unsigned char>(table[i])) & 0x7F;
  return table.append(char(sum)).append(char(0xFF));
}

class LinkOverLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    server.answerPolls = true;
    folder.Write("qevntpnl.ini", IniText({.address = "127.0.0.1",
                                          .port = server.Port(),
                                          .input = 3,
                                          .console = 5,
                                          .stayOnTop = "No"}));
    window = std::make_unique<frmMain>(folder.WithSeparator());
    window->Form_Load();
    window->show();
  }

  TempFolder folder;
  LoopbackServer server;
  std::unique_ptr<frmMain> window;
};

TEST_F(LinkOverLoopback, NameTablesFillTheListsAndOnPutsTheExactCommandOnTheWire) {
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.polls > 0; }));
  // The poll was answered with F4: the panel asks for both name tables.
  const std::string infoRequest = Hex("F2000200000100000000 0003FF");
  ASSERT_TRUE(RunEventLoopUntil([&] { return Contains(server.received, infoRequest); }));

  server.Send((NameTable(10, 3) + NameTable(70, 256)).toStdString());
  auto* sources = window->findChild<QComboBox*>(QStringLiteral("cmbSource"));
  auto* consoles = window->findChild<QComboBox*>(QStringLiteral("cmbConsole"));
  ASSERT_TRUE(RunEventLoopUntil([&] { return sources->count() == 4 && consoles->count() == 257; }));
  EXPECT_EQ(sources->currentText(), QStringLiteral("1003 [0003]"));
  EXPECT_EQ(consoles->currentText(), QStringLiteral("1005 [005]"));

  server.received.clear();
  QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOn")), Qt::LeftButton);
  ASSERT_TRUE(RunEventLoopUntil([&] { return Contains(server.received, "\xD6"); }));
  const std::size_t at = server.received.find('\xD6');
  EXPECT_EQ(server.received.substr(at, 11), Hex("d6 7f 00 01 02 00 04 00 01 07 ff"));
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
  EXPECT_EQ(server.polls, 21);
}

}  // namespace
