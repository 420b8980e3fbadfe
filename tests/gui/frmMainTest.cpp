#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTcpServer>
#include <QTest>
#include <QWindow>
#include <memory>

#include "app/frmMain.h"
#include "setup/frmSetup.h"
#include "support/GuiHelpers.h"
#include "support/ModalDriver.h"

namespace {

const QByteArray kFirstRunText =
    "System Not Yet Configured.\rPlease specify the IP Address of the Computer running the "
    "Server Module";

// A configuration the panel reads at start: the Server Module on this machine.
QByteArray IniFor(quint16 port, const char* stayOnTop = "No", int refreshRate = 1) {
  return "[CONFIGURATION]\r\nSETUP\r\nIP Address=127.0.0.1\r\nIP Port=" + QByteArray::number(port) +
         "\r\nCONFIG\r\nInput=1\r\nConsole=0\r\nStay On Top=" + QByteArray(stayOnTop) +
         "\r\nRefresh Rate=" + QByteArray::number(refreshRate) +
         "\r\nTime Out=20\r\nSECURITY\r\nUser Name=\r\nPassword=\r\n";
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<frmMain>(folder.Path());
    boxes.watched = window.get();
    window->SetMessageBoxFn(boxes.Fn());
  }

  template <typename T>
  T* Child(const char* name) {
    return window->findChild<T*>(QLatin1String(name));
  }

  int Px(int twips, bool vertical = false) {
    const int dpi = vertical ? window->logicalDpiY() : window->logicalDpiX();
    return qRound(twips * dpi / 1440.0);
  }

  void ShowAndActivate() {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  TestFolder folder;
  BoxRecorder boxes;
  std::unique_ptr<frmMain> window;
};

TEST_F(MainWindow, ClientAreaAndEveryControlSitAtTheirTwipsPositions) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

  QWidget* client = window->centralWidget();
  EXPECT_EQ(client->size(), QSize(Px(2415), Px(6705, true)));
  EXPECT_EQ(client->y(), window->menuBar()->height());
  EXPECT_EQ(window->size(), QSize(Px(2415), window->menuBar()->height() + Px(6705, true)));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the panel is not resizable";
  if (window->logicalDpiX() == 96) {
    EXPECT_EQ(client->size(), QSize(161, 447));
  }

  struct Place {
    const char* name;
    int left, top, width, height;
  };
  const Place places[] = {
      {"lblConsole", 120, 120, 1455, 200}, {"cmbConsole", 120, 480, 2055, 315},
      {"lblSource", 120, 960, 1455, 195},  {"cmbSource", 120, 1320, 2055, 315},
      {"cmdCue", 840, 2400, 735, 615},     {"cmdOn", 600, 3600, 1215, 1095},
      {"cmdOff", 600, 5040, 1215, 1095},
  };
  for (const Place& p : places) {
    QWidget* control = Child<QWidget>(p.name);
    ASSERT_NE(control, nullptr) << p.name;
    EXPECT_EQ(control->parentWidget(), client) << p.name;
    EXPECT_EQ(control->geometry(),
              QRect(Px(p.left), Px(p.top, true), Px(p.width), Px(p.height, true)))
        << p.name;
  }
}

TEST_F(MainWindow, ShowsItsCaptionsMenuAndNoMaximiseButton) {
  EXPECT_EQ(window->windowTitle(), "QEV Zozudo");
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(window->windowIcon().isNull());

  EXPECT_EQ(Child<QLabel>("lblConsole")->text(), "Console");
  EXPECT_EQ(Child<QLabel>("lblSource")->text(), "Source");
  EXPECT_EQ(Child<QPushButton>("cmdCue")->text(), "CUE");
  EXPECT_EQ(Child<QPushButton>("cmdOn")->text(), "ON");
  EXPECT_EQ(Child<QPushButton>("cmdOff")->text(), "OFF");
  for (const char* name : {"cmbConsole", "cmbSource"}) {
    EXPECT_FALSE(Child<QComboBox>(name)->isEditable()) << name;
    EXPECT_EQ(Child<QComboBox>(name)->count(), 0) << name << " starts empty";
  }

  const QList<QAction*> menus = window->menuBar()->actions();
  ASSERT_EQ(menus.size(), 1);
  EXPECT_EQ(menus[0]->text(), "&File");
  const QList<QAction*> items = menus[0]->menu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), "&Setup");
  EXPECT_EQ(items[1]->text(), "E&xit");
}

TEST_F(MainWindow, ButtonsUseTimesNewRomanAtTheirSizes) {
  const struct {
    const char* name;
    double points;
  } fonts[] = {{"cmdCue", 9.75}, {"cmdOn", 24.0}, {"cmdOff", 24.0}};
  for (const auto& f : fonts) {
    const QFont font = Child<QPushButton>(f.name)->font();
    EXPECT_EQ(font.family(), "Times New Roman") << f.name;
    EXPECT_DOUBLE_EQ(font.pointSizeF(), f.points) << f.name;
    EXPECT_FALSE(font.bold()) << f.name;
    EXPECT_FALSE(font.italic()) << f.name;
  }
}

TEST_F(MainWindow, OffHasTheFocusAndTabRunsOffOnCueConsoleSource) {
  ShowAndActivate();
  EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>("cmdOff"));

  const char* order[] = {"cmdOff", "cmdOn", "cmdCue", "cmbConsole", "cmbSource"};
  for (int i = 1; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(order[i])) << "after " << order[i - 1];
  }
}

// The channel reports recolour the buttons, so the colour must reach the screen under every
// style, not just sit in a palette.
class ButtonColours : public MainWindow, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    originalStyle = QApplication::style()->name();
    if (*GetParam() != '\0') {
      QStyle* style = QStyleFactory::create(QLatin1String(GetParam()));
      if (style == nullptr) GTEST_SKIP() << "style not available";
      QApplication::setStyle(style);
    }
    MainWindow::SetUp();
  }
  void TearDown() override { QApplication::setStyle(originalStyle); }

  QString originalStyle;
};

TEST_P(ButtonColours, ButtonsShowTheirRestingColourAndTheReportedOne) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  for (const char* name : {"cmdCue", "cmdOn", "cmdOff"}) {
    const QColor face = FaceColour(*Child<QWidget>(name));
    EXPECT_TRUE(Near(face, 254, 255, 244)) << name << " shows " << Describe(face);
  }
  const QColor panel = FaceColour(*window->centralWidget());
  EXPECT_TRUE(Near(panel, 129, 191, 255)) << "panel shows " << Describe(panel);

  window->SetButtonColour(ChannelButton::On, 0xFFFFC0);
  window->SetButtonColour(ChannelButton::Cue, 0xC0FFFF);
  QColor face = FaceColour(*Child<QWidget>("cmdOn"));
  EXPECT_TRUE(Near(face, 192, 255, 255)) << "ON shows " << Describe(face);
  face = FaceColour(*Child<QWidget>("cmdCue"));
  EXPECT_TRUE(Near(face, 255, 255, 192)) << "CUE shows " << Describe(face);
  face = FaceColour(*Child<QWidget>("cmdOff"));
  EXPECT_TRUE(Near(face, 254, 255, 244)) << "OFF keeps its colour, shows " << Describe(face);
}

INSTANTIATE_TEST_SUITE_P(Styles, ButtonColours, ::testing::Values("", "Fusion", "Windows"),
                         [](const auto& info) {
                           return std::string(*info.param ? info.param : "Default");
                         });

TEST_F(MainWindow, FirstRunShowsTheNoticeThenSetupBeforeTheWindowAndCancelStaysUnconnected) {
  bool setupSeen = false;
  bool windowVisibleDuringSetup = true;
  WhenModalOpens([&](QWidget* modal) {
    setupSeen = qobject_cast<frmSetup*>(modal) != nullptr;
    windowVisibleDuringSetup = window->isVisible();
    modal->findChild<QPushButton*>("cmdCancel")->click();
  });

  window->Form_Load();

  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Configuration Error");
  EXPECT_EQ(boxes.boxes[0].text, QString::fromLatin1(kFirstRunText));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Warning);
  EXPECT_FALSE(boxes.boxes[0].windowVisible);
  EXPECT_TRUE(setupSeen);
  EXPECT_FALSE(windowVisibleDuringSetup);

  EXPECT_FALSE(window->pollTimer().isActive());
  EXPECT_EQ(window->vars().SocketConnected, kFalse);
  EXPECT_FALSE(window->socket().IsConnected());
  EXPECT_FALSE(folder.Exists("qevntpnl.ini")) << "Cancel saves nothing";
}

TEST_F(MainWindow, WithAConfigurationFileConnectsAndPollsWithoutANotice) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  folder.Write("qevntpnl.ini", IniFor(server.serverPort(), "No", 3));

  window->Form_Load();

  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(window->pollTimer().isActive());
  EXPECT_EQ(window->pollTimer().interval(), 60);
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000));
}

TEST_F(MainWindow, ConfigurationFileAsksForStayOnTop) {
  folder.Write("qevntpnl.ini", IniFor(1, "Yes"));
  window->Form_Load();
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindow, UnreadableConfigurationIsLoggedAndLeavesThePanelUnconnected) {
  ASSERT_TRUE(QDir(folder.dir.path()).mkdir("qevntpnl.ini"));

  window->Form_Load();

  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(window->pollTimer().isActive());
  const QByteArray log = folder.Read("Errorlog.txt");
  EXPECT_TRUE(log.contains("Error Loading Form")) << log.toStdString();
  EXPECT_TRUE(log.contains("Program Error"));
}

TEST_F(MainWindow, ClosingStopsTheTimersAndWritesTheConfigurationFile) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  folder.Write("qevntpnl.ini", IniFor(server.serverPort(), "No", 2));
  window->Form_Load();
  window->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->socket().IsConnected(); }, 5000));
  window->vars().SelectedSource = 7;
  window->vars().SelectedConsole = 12;
  window->EnableDecodeTimer();
  QDialog other;
  other.show();

  window->close();

  EXPECT_FALSE(window->pollTimer().isActive());
  EXPECT_FALSE(window->decodeTimer().isActive());
  EXPECT_FALSE(other.isVisible()) << "every other window closes with the panel";
  EXPECT_FALSE(window->socket().IsConnected()) << "the link closes with the panel";
  EXPECT_EQ(folder.Read("qevntpnl.ini"),
            "[CONFIGURATION]\r\nSETUP\r\nIP Address=127.0.0.1\r\nIP Port=" +
                QByteArray::number(server.serverPort()) +
                "\r\nCONFIG\r\nInput=7\r\nConsole=12\r\nStay On Top=No\r\nRefresh Rate=2\r\n"
                "Time Out=20\r\nSECURITY\r\nUser Name=\r\nPassword=\r\n");
}

TEST_F(MainWindow, FileExitSavesAndCloses) {
  folder.Write("qevntpnl.ini", IniFor(1));
  window->Form_Load();
  window->show();
  window->vars().SelectedSource = 9;
  // The close writes the file too, after closing the other windows: by then Exit's own write
  // must already be on disk.
  QDialog other;
  other.show();
  QByteArray iniBeforeTheClosesWrite;
  QObject::connect(&other, &QDialog::rejected,
                   [&] { iniBeforeTheClosesWrite = folder.Read("qevntpnl.ini"); });

  Child<QAction>("mnuExit")->trigger();

  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(iniBeforeTheClosesWrite.contains("\r\nInput=9\r\n"));
}

TEST_F(MainWindow, SetupTakesThePanelOffTheTopWhileOpenAndRestoresItAfter) {
  folder.Write("qevntpnl.ini", IniFor(1, "Yes"));
  window->Form_Load();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QRect geometry = window->geometry();
  QWindow* nativeWindow = window->windowHandle();

  bool topmostDuringSetup = true;
  WhenModalOpens([&](QWidget* modal) {
    topmostDuringSetup = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    modal->findChild<QPushButton*>("cmdCancel")->click();
  });
  Child<QAction>("mnuSetup")->trigger();

  EXPECT_FALSE(topmostDuringSetup);
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowHandle(), nativeWindow) << "the native window is kept, no flicker";
  EXPECT_EQ(window->geometry(), geometry);

  // Unticking stay-on-top in the dialog leaves the panel an ordinary window.
  WhenModalOpens([&](QWidget* modal) {
    modal->findChild<QCheckBox*>("chkStayOnTop")->setChecked(false);
    modal->findChild<QPushButton*>("cmdOk")->click();
  });
  Child<QAction>("mnuSetup")->trigger();

  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(folder.Read("qevntpnl.ini").contains("\r\nStay On Top=No\r\n"));
}

class Selectors : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    window->vars().AppFolder = folder.Path();
  }
  QStringList Entries(const char* name) {
    QStringList entries;
    QComboBox* list = Child<QComboBox>(name);
    for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
    return entries;
  }
};

TEST_F(Selectors, SourceListShowsTheNamesAndReselectsTheStoredSource) {
  Variables& vars = window->vars();
  vars.InputNames = {"A", "B", "C"};
  vars.InputCount = 3;
  vars.SelectedSource = 2;

  window->LoadInputCombo();

  EXPECT_EQ(Entries("cmbSource"), QStringList({"Undefined", "A [0001]", "B [0002]", "C [0003]"}));
  EXPECT_EQ(Child<QComboBox>("cmbSource")->currentIndex(), 2);
  EXPECT_EQ(vars.SelectedSource, 2);

  // The operator's choice is stored; "Undefined" as 16383.
  Child<QComboBox>("cmbSource")->setCurrentIndex(3);
  EXPECT_EQ(vars.SelectedSource, 3);
  Child<QComboBox>("cmbSource")->setCurrentIndex(0);
  EXPECT_EQ(vars.SelectedSource, UndefinedSelection);
}

TEST_F(Selectors, RefillWithTheSamePositionStillStoresTheChoice) {
  Variables& vars = window->vars();
  vars.InputNames = {"A", "B", "C"};
  vars.InputCount = 3;
  vars.SelectedSource = 0;
  window->LoadInputCombo();
  EXPECT_EQ(Child<QComboBox>("cmbSource")->currentIndex(), 0);
  EXPECT_EQ(vars.SelectedSource, UndefinedSelection) << "a stored 0 becomes 16383";

  vars.SelectedSource = 0;
  window->LoadInputCombo();
  EXPECT_EQ(vars.SelectedSource, UndefinedSelection);
}

TEST_F(Selectors, StoredSourceBeyondTheListIsLoggedWithNothingSelected) {
  Variables& vars = window->vars();
  vars.InputNames.clear();
  for (int i = 1; i <= 40; ++i) vars.InputNames.push_back("In" + std::to_string(i));
  vars.InputCount = 40;
  vars.SelectedSource = 41;

  window->LoadInputCombo();

  EXPECT_EQ(Child<QComboBox>("cmbSource")->count(), 41);
  EXPECT_EQ(Child<QComboBox>("cmbSource")->currentIndex(), -1);
  EXPECT_EQ(vars.SelectedSource, 41);
  const QByteArray log = folder.Read("Errorlog.txt");
  EXPECT_TRUE(log.contains("Error Loading Source Combo Box")) << log.toStdString();
  EXPECT_TRUE(log.contains("Form Error"));
}

TEST_F(Selectors, ShortConsoleTableKeepsWhatWasBuiltWithNothingSelected) {
  Variables& vars = window->vars();
  vars.ConsoleNames = {"Desk 1", "Desk 2"};
  vars.SelectedConsole = 1;

  window->LoadConsoleCombo();

  EXPECT_EQ(Entries("cmbConsole"), QStringList({"Undefined", "Desk 1 [001]", "Desk 2 [002]"}));
  EXPECT_EQ(Child<QComboBox>("cmbConsole")->currentIndex(), -1);
  EXPECT_EQ(vars.SelectedConsole, 1);
  EXPECT_TRUE(folder.Read("Errorlog.txt").contains("Error Loading Console Combo Box"));
}

TEST_F(MainWindow, DecodeTimerDrainsWaitingMessagesAndThenSleeps) {
  Variables& vars = window->vars();
  vars.AppFolder = folder.Path();
  vars.ReceiveBuffer.Append(std::string(500, '\xF3'));
  window->EnableDecodeTimer();
  EXPECT_TRUE(RunEventLoopUntil(
      [&] { return vars.ReceiveBuffer.empty() && !window->decodeTimer().isActive(); }));

  // Only the front of a message: nothing to do until more bytes come.
  vars.ReceiveBuffer.Append(std::string("\xD6\x01\x02", 3));
  window->EnableDecodeTimer();
  EXPECT_TRUE(RunEventLoopUntil([&] { return !window->decodeTimer().isActive(); }));
  EXPECT_EQ(vars.ReceiveBuffer.size(), 3u);
}

}  // namespace
