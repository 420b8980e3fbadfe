#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/frmMain.h"
#include "setup/frmSetup.h"
#include "support/Bytes.h"
#include "support/FaultyFiles.h"
#include "support/ModalDriver.h"
#include "support/PanelTest.h"

namespace {

class SetupDialog : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    Variables& vars = window->vars();
    vars.AppFolder = folder.WithSeparator();
    vars.ServerAddress = "127.0.0.1";
    vars.ServerPort = 1250;
    vars.StayOnTopMode = kTopmost;
    dialog = &window->SetupDialog();
  }

  // Opens the dialog without a modal loop, so each test drives it step by step.
  void Open() {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  }

  QLineEdit* Port() { return Child<QLineEdit>("txtIPPort"); }
  QLineEdit* Address() { return Child<QLineEdit>("txtIPAddr"); }
  void Ok() { Child<QPushButton>("cmdOk")->click(); }

  frmSetup* dialog = nullptr;
};

TEST_F(SetupDialog, LayoutCaptionsAndToolTips) {
  Open();
  EXPECT_EQ(dialog->windowTitle(), "Setup");
  EXPECT_EQ(dialog->size(), QSize(Px(*dialog, 4680), Px(*dialog, 3195, true)));
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
  EXPECT_FALSE(dialog->windowIcon().isNull());

  // Each control's place and, where it has one, its caption, which must not be cut off.
  const struct {
    TwipsPlace place;
    const char* caption;
  } controls[] = {
      {{"lblIpAddr", 120, 240, 975, 255}, "IP Address"},
      {{"txtIPAddr", 1320, 240, 1575, 375}, nullptr},
      {{"lblIPPort", 120, 840, 975, 255}, "IP Port"},
      {{"txtIPPort", 1320, 840, 1575, 375}, nullptr},
      {{"chkStayOnTop", 120, 1560, 2535, 255}, "Keep Control Panel On Top"},
      {{"cmdCancel", 840, 2280, 1215, 372}, "&Cancel"},
      {{"cmdOk", 2280, 2280, 1215, 372}, "&Ok"},
  };
  for (const auto& c : controls) {
    ExpectPlaces(*dialog, dialog, {&c.place, 1});
    if (c.caption == nullptr) continue;
    QWidget* control = Child<QWidget>(c.place.name);
    EXPECT_EQ(control->property("text").toString(), c.caption);
    // A size hint keeps a pixel or two of slack beyond the caption itself.
    EXPECT_LE(control->sizeHint().width(), control->width() + 2) << c.caption << " is cut off";
  }
  EXPECT_EQ(Child<QPushButton>("cmdCancel")->toolTip(), "Abort any changes and exit");
  EXPECT_EQ(Child<QPushButton>("cmdOk")->toolTip(), "Accept current settings");
}

TEST_F(SetupDialog, FocusStartsInThePortBoxAndEnterOrEscapeDoNothing) {
  Open();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  EXPECT_EQ(QApplication::focusWidget(), Port());

  const char* order[] = {"txtIPPort", "txtIPAddr", "cmdCancel", "cmdOk", "chkStayOnTop"};
  for (int i = 1; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(order[i])) << "after " << order[i - 1];
  }

  for (const char* name : {"cmdCancel", "cmdOk"}) {
    EXPECT_FALSE(Child<QPushButton>(name)->isDefault()) << name;
    EXPECT_FALSE(Child<QPushButton>(name)->autoDefault()) << name;
  }
  Port()->setFocus();
  QTest::keyClick(Port(), Qt::Key_Return);
  QTest::keyClick(Port(), Qt::Key_Escape);
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(folder.Exists("qevntpnl.ini"));
}

TEST_F(SetupDialog, PortUnchangedInValueSavesWithoutReconnecting) {
  Open();
  Port()->setText("1250abc");
  Ok();

  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(window->vars().ServerPort, 1250);
  EXPECT_FALSE(window->pollTimer().isActive()) << "no reconnection, so no poll timer started";
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "window order applied";
  EXPECT_TRUE(Contains(folder.Read("qevntpnl.ini"), "\r\nIP Port=1250\r\n"));
}

TEST_F(SetupDialog, PortsOutsideOneTo65535AreRefused) {
  Open();
  for (const char* typed : {"0", "", "65536"}) {
    boxes.boxes.clear();
    Port()->setText(typed);
    Ok();
    ASSERT_EQ(boxes.boxes.size(), 1u) << typed;
    EXPECT_EQ(boxes.boxes[0].title, "Port Error");
    EXPECT_EQ(boxes.boxes[0].text,
              "Invalid IP Port #. Please reenter a number between 1 and 65535");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_TRUE(dialog->isVisible()) << typed;
    EXPECT_EQ(Port()->text(), typed) << "the operator's entry stays for correcting";
    EXPECT_EQ(window->vars().ServerPort, 1250);
  }
  EXPECT_FALSE(folder.Exists("qevntpnl.ini"));
  EXPECT_FALSE(window->pollTimer().isActive());
}

TEST_F(SetupDialog, PortsOneAnd65535AreTakenAndReconnect) {
  for (int port : {1, 65535}) {
    Open();
    Port()->setText(QString::number(port));
    Ok();
    EXPECT_TRUE(boxes.boxes.empty()) << port;
    EXPECT_FALSE(dialog->isVisible()) << port;
    EXPECT_EQ(window->vars().ServerPort, port);
    EXPECT_TRUE(window->pollTimer().isActive());
    EXPECT_TRUE(Contains(folder.Read("qevntpnl.ini"), "\r\nIP Port=" + std::to_string(port)));
  }
}

TEST_F(SetupDialog, OnlyTheAddressChangedReconnectsToTheNewServer) {
  Variables& vars = window->vars();
  vars.ServerAddress = "127.0.0.2";
  vars.ServerPort = server.Port();
  Open();
  Address()->setText("127.0.0.1");
  Ok();

  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(vars.ServerAddress, "127.0.0.1");
  EXPECT_EQ(vars.ServerPort, server.Port());
  EXPECT_TRUE(window->pollTimer().isActive());
  EXPECT_TRUE(RunEventLoopUntil([&] { return server.connections > 0; }));
}

// The repair itself is NormaliseIPAddress's; here, that the dialog takes and shows its result.
TEST_F(SetupDialog, AddressIsRepairedAndShownAsTaken) {
  Open();
  Address()->setText(" 010.001.1.300");
  Ok();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(Address()->text(), "10.1.1.255");
  EXPECT_EQ(window->vars().ServerAddress, "10.1.1.255");
}

TEST_F(SetupDialog, AddressWithoutThreeDotsAndATailIsRefused) {
  Open();
  for (const char* typed : {"192.168.1", "192.168.1."}) {
    boxes.boxes.clear();
    Address()->setText(typed);
    Ok();
    ASSERT_EQ(boxes.boxes.size(), 1u) << typed;
    EXPECT_EQ(boxes.boxes[0].title, "Data Format Error");
    EXPECT_EQ(boxes.boxes[0].text, "Please Enter IP Address In The Following Format: 192.168.1.1");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(Address()->text(), "127.0.0.1") << "the address in force is put back";
    EXPECT_EQ(dialog->focusWidget(), Address());
    EXPECT_TRUE(dialog->isVisible());
  }
  EXPECT_EQ(window->vars().ServerAddress, "127.0.0.1");
  EXPECT_FALSE(folder.Exists("qevntpnl.ini"));
}

TEST_F(SetupDialog, FailedSaveKeepsTheDialogOpenWithTheNewSettingsInForce) {
  // The new file cannot take the settings file's name: another program holds it.
  FaultyFiles files;
  files.held.insert("qevntpnl.ini");
  Open();
  Port()->setText("1251");
  Ok();

  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Error Writing File");
  EXPECT_EQ(boxes.boxes[0].text, "Error Writing Qevntpnl.ini File");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(window->vars().ServerPort, 1251);
  EXPECT_TRUE(window->pollTimer().isActive());
  EXPECT_TRUE(Contains(folder.Read("Errorlog.txt"), "Error Writing ini File"));
}

TEST_F(SetupDialog, CancelAfterAFailedCheckPutsStayOnTopBack) {
  Open();
  Child<QCheckBox>("chkStayOnTop")->setChecked(false);
  Port()->setText("0");
  Ok();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(window->vars().StayOnTopMode, kNotTopmost) << "the choice is taken before the checks";

  Child<QPushButton>("cmdCancel")->click();

  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(window->vars().StayOnTopMode, kTopmost);
  EXPECT_FALSE(folder.Exists("qevntpnl.ini"));

  // The close box abandons the changes the same way.
  Open();
  Child<QCheckBox>("chkStayOnTop")->setChecked(false);
  Port()->setText("0");
  Ok();
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(window->vars().StayOnTopMode, kTopmost);
}

using FirstRun = PanelTest;

TEST_F(FirstRun, OkWithAnAddressConnectsStartsPollingAndWritesTheFile) {
  WhenModalOpens([&](QWidget* modal) {
    auto* address = modal->findChild<QLineEdit*>("txtIPAddr");
    EXPECT_EQ(address->text(), "") << "no address has ever been set";
    address->setText("127.0.0.1");
    modal->findChild<QLineEdit*>("txtIPPort")->setText(QString::number(server.Port()));
    modal->findChild<QPushButton*>("cmdOk")->click();
  });
  window->Form_Load();

  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Configuration Error");
  EXPECT_TRUE(window->pollTimer().isActive());
  EXPECT_TRUE(RunEventLoopUntil([&] { return server.connections > 0; }));
  const std::string ini = folder.Read("qevntpnl.ini");
  EXPECT_TRUE(Contains(ini, "\r\nIP Address=127.0.0.1\r\n")) << ini;
  EXPECT_TRUE(Contains(ini, "\r\nIP Port=" + std::to_string(server.Port()) + "\r\n"));
}

}  // namespace
