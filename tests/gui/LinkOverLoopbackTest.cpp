// The real main window and socket against a small Server Module on loopback: what the
// operator and the server see when the link runs for real.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/frmMain.h"
#include "protocol/Messages.h"
#include "support/Bytes.h"
#include "support/GuiHelpers.h"
#include "support/IniText.h"
#include "support/NameTables.h"
#include "support/PanelTest.h"

namespace {

class LinkOverLoopback : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    server.answerPolls = true;
    StartPanel(IniText(LoopbackSettings(server.Port())));
  }
};

TEST_F(LinkOverLoopback, NameTablesFillTheListsAndOnPutsTheExactCommandOnTheWire) {
  ASSERT_TRUE(RunEventLoopUntil([&] { return server.polls > 0; }));
  // The poll was answered with F4: the panel asks for both name tables.
  const std::string infoRequest = Hex("F2000200000100000000 0003FF");
  ASSERT_TRUE(RunEventLoopUntil([&] { return Contains(server.received, infoRequest); }));

  // Names of four characters, 1001, 1002, ...: three inputs and 256 consoles.
  server.Send(NameTable(msg::kInputTable, NumberedNames("", 3, 1001)) +
              NameTable(msg::kConsoleTable, NumberedNames("", 256, 1001)));
  auto* sources = Child<QComboBox>("cmbSource");
  auto* consoles = Child<QComboBox>("cmbConsole");
  ASSERT_TRUE(RunEventLoopUntil([&] { return sources->count() == 4 && consoles->count() == 257; }));
  EXPECT_EQ(sources->currentText(), QStringLiteral("1003 [0003]"));
  EXPECT_EQ(consoles->currentText(), QStringLiteral("1005 [005]"));

  server.received.clear();
  QTest::mouseClick(Child<QPushButton>("cmdOn"), Qt::LeftButton);
  ASSERT_TRUE(RunEventLoopUntil([&] { return Contains(server.received, "\xD6"); }));
  const std::size_t at = server.received.find('\xD6');
  EXPECT_EQ(server.received.substr(at, 11), Hex("d6 7f 00 01 02 00 04 00 01 07 ff"));
}

TEST_F(LinkOverLoopback, ChannelReportRecoloursTheButtonOnScreen) {
  ASSERT_TRUE(LinkUp());
  QPushButton* on = Child<QPushButton>("cmdOn");
  // Source 3 on console 5 is on (wire numbers 2 and 4).
  server.Send(Hex("D67F00010200040001 07FF"));
  EXPECT_TRUE(RunEventLoopUntil([&] { return Near(FaceColour(*on), 192, 255, 255); }))
      << Describe(FaceColour(*on));
}

}  // namespace
