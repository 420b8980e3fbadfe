#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <filesystem>
#include <memory>

#include "app/QtLinkLamp.h"
#include "app/frmMain.h"
#include "setup/frmSetup.h"
#include "support/Bytes.h"
#include "support/IniText.h"
#include "support/ModalDriver.h"
#include "support/NameTables.h"
#include "support/PanelTest.h"

namespace {

const QByteArray kFirstRunText =
    "System Not Yet Configured.\rPlease specify the IP Address of the Computer running the "
    "Server Module";

// A configuration the panel reads at start: the Server Module on this machine.
std::string IniFor(quint16 port, const char* stayOnTop = "No", int refreshRate = 1) {
  return IniText(
      {.address = "127.0.0.1", .port = port, .stayOnTop = stayOnTop, .refreshRate = refreshRate});
}

// What a screen reader is told of a control.
QString Spoken(QWidget* control, QAccessible::Text text) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
  return accessible != nullptr ? accessible->text(text) : QStringLiteral("<none>");
}

class MainWindow : public PanelTest {
 protected:
  void ShowAndActivate() {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
};

TEST_F(MainWindow, ClientAreaAndEveryControlSitAtTheirTwipsPositions) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

  QWidget* client = window->centralWidget();
  const QSize clientSize(Px(*window, 2415), Px(*window, 6705, true));
  EXPECT_EQ(client->size(), clientSize);
  EXPECT_EQ(client->y(), window->menuBar()->height());
  EXPECT_EQ(window->size(), clientSize + QSize(0, window->menuBar()->height()));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the panel is not resizable";
  if (window->logicalDpiX() == 96) {
    EXPECT_EQ(client->size(), QSize(161, 447));
  }
  // The link lamp sits at the end of the menu bar, which keeps the height it has without it.
  QMainWindow plain;
  plain.menuBar()->addMenu(QStringLiteral("&File"));
  plain.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain));
  EXPECT_EQ(window->menuBar()->height(), plain.menuBar()->height());
  const QRect bar = window->menuBar()->geometry();
  const QRect lamp = Child<QtLinkLamp>("lblLink")->geometry();
  EXPECT_TRUE(bar.contains(lamp)) << "the lamp sits on the menu bar";
  EXPECT_EQ(lamp.right(), bar.right()) << "at its far end";

  const TwipsPlace places[] = {
      {"lblConsole", 120, 120, 1455, 200}, {"cmbConsole", 120, 480, 2055, 315},
      {"lblSource", 120, 960, 1455, 195},  {"cmbSource", 120, 1320, 2055, 315},
      {"cmdCue", 840, 2400, 735, 615},     {"cmdOn", 600, 3600, 1215, 1095},
      {"cmdOff", 600, 5040, 1215, 1095},
  };
  ExpectPlaces(*window, client, places);
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

TEST_F(MainWindow, ScreenReaderHearsEveryControlAndTheButtonsFollowTheirColours) {
  for (const char* name : {"cmbConsole", "cmbSource", "cmdOn", "cmdOff", "cmdCue", "lblLink"}) {
    EXPECT_FALSE(Spoken(Child<QWidget>(name), QAccessible::Name).isEmpty()) << name;
  }
  for (const char* name : {"txtIPAddr", "txtIPPort", "chkStayOnTop", "cmdCancel", "cmdOk"}) {
    QWidget* control = window->SetupDialog().findChild<QWidget*>(QLatin1String(name));
    EXPECT_FALSE(Spoken(control, QAccessible::Name).isEmpty()) << name;
    EXPECT_FALSE(Spoken(control, QAccessible::Description).isEmpty()) << name;
  }

  const auto descriptions = [&] {
    QStringList said;
    for (const char* name : {"cmdOn", "cmdOff", "cmdCue"}) {
      said << Spoken(Child<QWidget>(name), QAccessible::Description);
    }
    return said;
  };
  EXPECT_EQ(descriptions(),
            QStringList({"Switch the channel on", "Switch the channel off", "Toggle cue"}));
  window->SetButtonColour(ChannelButton::Off, 0xC0FFFF);
  window->SetButtonColour(ChannelButton::Cue, 0xC0FFFF);
  window->SetButtonColour(ChannelButton::On, 0xFFFFC0);
  window->SetButtonColour(ChannelButton::Off, 0xF4FFFE);
  EXPECT_EQ(descriptions(), QStringList({"Switch the channel on (the channel is on)",
                                         "Switch the channel off", "Toggle cue (cue is on)"}));

  // The window stamps the local time as the change reaches it.
  window->ShowLinkState(LinkState::ServerOnly, "192.168.1.20", 1250);
  QWidget* lamp = Child<QWidget>("lblLink");
  EXPECT_TRUE(QRegularExpression("^Server Module connected, switcher not reported up: "
                                 "192\\.168\\.1\\.20:1250, since \\d\\d:\\d\\d:\\d\\d$")
                  .match(Spoken(lamp, QAccessible::Description))
                  .hasMatch())
      << lamp->toolTip().toStdString();
}

// The operator tells the states apart by shape as well as colour: a ring, a dot filled in its
// lower half, a full dot. Points of a 20 x 20 lamp: on the ring, inside above and below the
// middle.
TEST(LinkLamp, ThreeFacesDifferInShapeAndSayTheStateInWords) {
  QtLinkLamp lamp;
  lamp.resize(20, 20);
  const struct {
    LinkState state;
    bool upperFilled, lowerFilled;
    const char* words;
  } faces[] = {
      {LinkState::NoConnection, false, false,
       "No connection to the Server Module at 192.168.1.20:1250, since 10:42:05"},
      {LinkState::ServerOnly, false, true,
       "Server Module connected, switcher not reported up: 192.168.1.20:1250, since 10:42:05"},
      {LinkState::SwitcherUp, true, true, "Switcher link up: 192.168.1.20:1250, since 10:42:05"},
  };
  for (const auto& f : faces) {
    lamp.Show(f.state, QStringLiteral("192.168.1.20"), 1250, QTime(10, 42, 5));
    const QImage face = lamp.grab().toImage();
    const QColor colour = QtLinkLamp::Colour(f.state);
    const auto lit = [&](int x, int y) {
      return Near(face.pixelColor(x, y), colour.red(), colour.green(), colour.blue());
    };
    EXPECT_TRUE(lit(10, 2)) << f.words;
    EXPECT_EQ(lit(10, 6), f.upperFilled) << f.words;
    EXPECT_EQ(lit(10, 14), f.lowerFilled) << f.words;
    EXPECT_EQ(Spoken(&lamp, QAccessible::Description), f.words);
    EXPECT_EQ(lamp.toolTip(), f.words);
  }
  lamp.Show(LinkState::NoConnection, QString(), 1250, QTime(10, 42, 5));
  EXPECT_EQ(lamp.toolTip(), "No Server Module address set (File > Setup)");
}

TEST_F(MainWindow, OffHasTheFocusAndTabRunsOffOnCueConsoleSource) {
  ShowAndActivate();
  EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>("cmdOff"));

  // ... and round to OFF again: the link lamp is no stop on the way.
  const char* order[] = {"cmdOff", "cmdOn", "cmdCue", "cmbConsole", "cmbSource", "cmdOff"};
  for (int i = 1; i < 6; ++i) {
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
                         [](const auto& style) {
                           return std::string(*style.param ? style.param : "Default");
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
  folder.Write("qevntpnl.ini", IniFor(server.Port(), "No", 3));

  window->Form_Load();

  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(window->pollTimer().isActive());
  EXPECT_EQ(window->pollTimer().interval(), 60);
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(RunEventLoopUntil([&] { return server.connections > 0; }));
}

TEST_F(MainWindow, ConfigurationFileAsksForStayOnTop) {
  folder.Write("qevntpnl.ini", IniFor(1, "Yes"));
  window->Form_Load();
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindow, UnreadableConfigurationIsLoggedAndLeavesThePanelUnconnected) {
  ASSERT_TRUE(std::filesystem::create_directory(folder.File("qevntpnl.ini")));

  window->Form_Load();

  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(window->pollTimer().isActive());
  const std::string log = folder.Read("Errorlog.txt");
  EXPECT_TRUE(Contains(log, "Error Loading Form")) << log;
  EXPECT_TRUE(Contains(log, "Program Error"));
}

TEST_F(MainWindow, ClosingStopsTheTimersAndWritesTheConfigurationFile) {
  StartPanel(IniFor(server.Port(), "No", 2));
  ASSERT_TRUE(RunEventLoopUntil([&] { return window->socket().IsConnected(); }));
  window->vars().SelectedSource = 7;
  window->vars().SelectedConsole = 12;
  window->link().EnableDecodeTimer();
  QDialog other;
  other.show();

  window->close();

  EXPECT_FALSE(window->pollTimer().isActive());
  EXPECT_FALSE(window->decodeTimer().isActive());
  EXPECT_FALSE(other.isVisible()) << "every other window closes with the panel";
  EXPECT_FALSE(window->socket().IsConnected()) << "the link closes with the panel";
  EXPECT_EQ(folder.Read("qevntpnl.ini"), IniText({.address = "127.0.0.1",
                                                  .port = server.Port(),
                                                  .input = 7,
                                                  .console = 12,
                                                  .stayOnTop = "No",
                                                  .refreshRate = 2}));
}

TEST_F(MainWindow, FileExitSavesAndCloses) {
  StartPanel(IniFor(1));
  window->vars().SelectedSource = 9;
  // The close writes the file too, after closing the other windows: by then Exit's own write
  // must already be on disk.
  QDialog other;
  other.show();
  std::string iniBeforeTheClosesWrite;
  QObject::connect(&other, &QDialog::rejected,
                   [&] { iniBeforeTheClosesWrite = folder.Read("qevntpnl.ini"); });

  Child<QAction>("mnuExit")->trigger();

  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(Contains(iniBeforeTheClosesWrite, "\r\nInput=9\r\n"));
}

TEST_F(MainWindow, SetupTakesThePanelOffTheTopWhileOpenAndRestoresItAfter) {
  StartPanel(IniFor(1, "Yes"));
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
  EXPECT_TRUE(Contains(folder.Read("qevntpnl.ini"), "\r\nStay On Top=No\r\n"));
}

class Selectors : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    window->vars().AppFolder = folder.WithSeparator();
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
  SetInputNames(vars, {"A", "B", "C"});
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
  SetInputNames(vars, {"A", "B", "C"});
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
  SetInputNames(vars, NumberedNames("In", 40));
  vars.SelectedSource = 41;

  window->LoadInputCombo();

  EXPECT_EQ(Child<QComboBox>("cmbSource")->count(), 41);
  EXPECT_EQ(Child<QComboBox>("cmbSource")->currentIndex(), -1);
  EXPECT_EQ(vars.SelectedSource, 41);
  const std::string log = folder.Read("Errorlog.txt");
  EXPECT_TRUE(Contains(log, "Error Loading Source Combo Box")) << log;
  EXPECT_TRUE(Contains(log, "Form Error"));
}

TEST_F(Selectors, ShortConsoleTableKeepsWhatWasBuiltWithNothingSelected) {
  Variables& vars = window->vars();
  vars.ConsoleNames = {"Desk 1", "Desk 2"};
  vars.SelectedConsole = 1;

  window->LoadConsoleCombo();

  EXPECT_EQ(Entries("cmbConsole"), QStringList({"Undefined", "Desk 1 [001]", "Desk 2 [002]"}));
  EXPECT_EQ(Child<QComboBox>("cmbConsole")->currentIndex(), -1);
  EXPECT_EQ(vars.SelectedConsole, 1);
  EXPECT_TRUE(Contains(folder.Read("Errorlog.txt"), "Error Loading Console Combo Box"));
}

// A name too long for the list's fixed width: the closed list shortens the name and still
// draws the whole number, so sources 5 and 6 of the same name look different there.
TEST_F(Selectors, ClosedListKeepsTheNumberOfALongNameWhole) {
  Variables& vars = window->vars();
  const std::string name = "Guest Microphone on the Left Riser";
  SetInputNames(vars, {"A", "B", "C", "D", name, name});
  QComboBox* list = Child<QComboBox>("cmbSource");
  const QSize width = list->size();
  const auto closed = [&](std::int16_t source) {
    vars.SelectedSource = source;
    window->LoadInputCombo();
    return list->grab().toImage();
  };
  const QImage five = closed(5);
  EXPECT_NE(five, closed(6)) << "the number's last digit is cut off";
  EXPECT_EQ(list->size(), width);
  EXPECT_EQ(list->currentText().toStdString(), name + " [0006]") << "the entry is unchanged";
}

// What a channel button shows: "cyan" (ON lit), "yellow" (OFF or CUE lit), "rest", or the colour.
std::string Lit(QWidget* button) {
  const QColor face = FaceColour(*button);
  if (Near(face, 192, 255, 255)) return "cyan";
  if (Near(face, 255, 255, 192)) return "yellow";
  if (Near(face, 254, 255, 244)) return "rest";
  return Describe(face);
}

class ChosenChannel : public Selectors {
 protected:
  // ON, OFF and CUE as the operator sees them, with the cue toggle.
  std::string Faces() {
    return Lit(Child<QWidget>("cmdOn")) + " " + Lit(Child<QWidget>("cmdOff")) + " " +
           Lit(Child<QWidget>("cmdCue")) + (window->vars().CueActive == kTrue ? " cue" : "");
  }
};

// A refill that changes the stored number (0 from the file becomes "Undefined") repaints too.
TEST_F(ChosenChannel, ARefillThatChangesTheStoredNumberShowsTheNewChannel) {
  Variables& vars = window->vars();
  vars.SelectedSource = 0;
  vars.SelectedConsole = 5;
  vars.SocketConnected = kTrue;
  window->comm().ProcessChannelOnOff(msg::ChannelReport({{UndefinedSelection - 1, 4, msg::kOff}}));
  EXPECT_EQ(Faces(), "rest rest rest");

  SetInputNames(vars, NumberedNames("In", 8));
  window->LoadInputCombo();
  ASSERT_EQ(vars.SelectedSource, UndefinedSelection);
  EXPECT_EQ(Faces(), "rest yellow rest");
}

TEST_F(Selectors, AClosedListWithNothingSelectedShowsTheNumberTheButtonsActOn) {
  IniSettings settings = LoopbackSettings(server.Port());
  settings.input = 41;
  settings.console = UndefinedSelection;
  StartPanel(IniText(settings));
  QComboBox* source = Child<QComboBox>("cmbSource");
  QComboBox* console = Child<QComboBox>("cmbConsole");
  const auto shown = [&](QComboBox* list) {
    EXPECT_EQ(Spoken(list, QAccessible::Value), list->toolTip());
    return list->currentIndex() >= 0 ? list->currentText() : list->placeholderText();
  };
  EXPECT_EQ(shown(source), "[0041]") << "before any name table";
  EXPECT_EQ(shown(console), "Undefined");

  Variables& vars = window->vars();
  SetInputNames(vars, NumberedNames("In", 16));
  window->LoadInputCombo();
  EXPECT_EQ(source->currentIndex(), -1);
  EXPECT_EQ(shown(source), "[0041] not listed");

  // A short console table stops the refill, but the stored console is in what it shows.
  vars.ConsoleNames = {"Desk 1", "Desk 2"};
  vars.SelectedConsole = 2;
  window->LoadConsoleCombo();
  EXPECT_EQ(console->currentIndex(), -1);
  EXPECT_EQ(shown(console), "Desk 2 [002]");

  source->setCurrentIndex(5);
  EXPECT_EQ(shown(source), "In5 [0005]") << "the tip names the chosen entry whole";
}

TEST_F(Selectors, AWheelOverAClosedListChangesNothing) {
  Variables& vars = window->vars();
  SetInputNames(vars, NumberedNames("In", 8));
  vars.SelectedSource = 3;
  window->LoadInputCombo();
  window->show();
  QComboBox* list = Child<QComboBox>("cmbSource");

  for (int notch = 0; notch < 2; ++notch) {  // two notches down
    const QPointF middle(list->width() / 2.0, list->height() / 2.0);
    QWheelEvent wheel(middle, list->mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list, &wheel);
  }

  EXPECT_EQ(list->currentIndex(), 3);
  EXPECT_EQ(vars.SelectedSource, 3);
  EXPECT_EQ(list->focusPolicy(), Qt::StrongFocus) << "a wheel does not take the focus either";
}

TEST_F(MainWindow, DecodeTimerDrainsWaitingMessagesAndThenSleeps) {
  Variables& vars = window->vars();
  vars.AppFolder = folder.WithSeparator();
  vars.ReceiveBuffer.Append(std::string(500, '\xF3'));
  window->link().EnableDecodeTimer();
  EXPECT_TRUE(RunEventLoopUntil(
      [&] { return vars.ReceiveBuffer.empty() && !window->decodeTimer().isActive(); }));

  // Only the front of a message: nothing to do until more bytes come.
  vars.ReceiveBuffer.Append(std::string("\xD6\x01\x02", 3));
  window->link().EnableDecodeTimer();
  EXPECT_TRUE(RunEventLoopUntil([&] { return !window->decodeTimer().isActive(); }));
  EXPECT_EQ(vars.ReceiveBuffer.size(), 3u);
}

}  // namespace
