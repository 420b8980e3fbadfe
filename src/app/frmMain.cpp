#include "app/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QStringList>
#include <QTime>
#include <QWindow>
#include <utility>

#include "app/ChannelButtons.h"
#include "app/QtChannelButton.h"
#include "app/QtLinkLamp.h"
#include "app/QtSelectorCombo.h"
#include "app/QtSelectorModel.h"
#include "app/QtTwips.h"
#include "setup/Procedures.h"
#include "setup/frmSetup.h"

namespace {

const QColor kPanelBackground(129, 191, 255);

constexpr const char* kButtonFontFamily = "Times New Roman";
constexpr double kCueFontPoints = 9.75;
constexpr double kOnOffFontPoints = 24.0;

// What a press does, and what the switcher reports while the button is lit.
struct ButtonWords {
  const char* press;
  const char* lit;
};
ButtonWords WordsFor(ChannelButton button) {
  switch (button) {
    case ChannelButton::On:
      return {"Switch the channel on", "Switch the channel on (the channel is on)"};
    case ChannelButton::Off:
      return {"Switch the channel off", "Switch the channel off (the channel is off)"};
    case ChannelButton::Cue:
      break;
  }
  return {"Toggle cue", "Toggle cue (cue is on)"};
}

QFont ButtonFont(double points) {
  QFont font{QString::fromLatin1(kButtonFontFamily)};
  font.setPointSizeF(points);
  return font;
}

void PaintBackground(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

// Shows a refilled list with nothing selected and no selection event: the entries come from
// the model as the list needs them, so even a full name table is shown at once.
void ShowEntries(QComboBox& list, QtSelectorModel& model, const SelectorList& entries) {
  const bool wasBlocked = list.blockSignals(true);
  model.Show(entries);
  list.setCurrentIndex(-1);
  list.blockSignals(wasBlocked);
}

}  // namespace

frmMain::frmMain(const std::string& programFolder, const std::string& userSettingsFolder,
                 QWidget* parent)
    : QMainWindow(parent), folders_{programFolder, userSettingsFolder} {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("QEV Zozudo"));
  setWindowIcon(QIcon(QStringLiteral(":/panel.png")));
  // A fixed-size panel: it can be minimised and closed, never maximised.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  BuildLayout();
  BuildMenu();
  DescribeControls();
  ConnectEvents();
}

frmMain::~frmMain() = default;

void frmMain::BuildLayout() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  PaintBackground(*client, kPanelBackground);
  setCentralWidget(client);

  lblConsole = new QLabel(QStringLiteral("Console"), client);
  PlaceAtTwips(*client, lblConsole, "lblConsole", 120, 120, 1455, 200);
  cmbConsole = new QtSelectorCombo(client);
  PlaceAtTwips(*client, cmbConsole, "cmbConsole", 120, 480, 2055, 315);
  lblSource = new QLabel(QStringLiteral("Source"), client);
  PlaceAtTwips(*client, lblSource, "lblSource", 120, 960, 1455, 195);
  cmbSource = new QtSelectorCombo(client);
  PlaceAtTwips(*client, cmbSource, "cmbSource", 120, 1320, 2055, 315);
  cmdCue = new QtChannelButton(QStringLiteral("CUE"), client);
  PlaceAtTwips(*client, cmdCue, "cmdCue", 840, 2400, 735, 615);
  cmdOn = new QtChannelButton(QStringLiteral("ON"), client);
  PlaceAtTwips(*client, cmdOn, "cmdOn", 600, 3600, 1215, 1095);
  cmdOff = new QtChannelButton(QStringLiteral("OFF"), client);
  PlaceAtTwips(*client, cmdOff, "cmdOff", 600, 5040, 1215, 1095);

  for (QLabel* label : {lblConsole, lblSource}) PaintBackground(*label, kPanelBackground);
  // Each label names its list, for a screen reader too (labelled-by).
  lblConsole->setBuddy(cmbConsole);
  lblSource->setBuddy(cmbSource);
  for (QComboBox* list : {cmbConsole, cmbSource}) {
    list->setEditable(false);
    list->setModel(new QtSelectorModel(list));
    // The list's width is fixed: never measure thousands of entries to size it.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The closed list shows the panel's own blue, like the labels above it.
    QPalette palette = list->palette();
    palette.setColor(QPalette::Button, kPanelBackground);
    palette.setColor(QPalette::Base, kPanelBackground);
    list->setPalette(palette);
    // Every entry has the same height; the popup then need not measure thousands of names.
    if (auto* view = qobject_cast<QListView*>(list->view())) view->setUniformItemSizes(true);
  }

  cmdCue->setFont(ButtonFont(kCueFontPoints));
  cmdOn->setFont(ButtonFont(kOnOffFontPoints));
  cmdOff->setFont(ButtonFont(kOnOffFontPoints));
  for (ChannelButton button : {ChannelButton::Cue, ChannelButton::On, ChannelButton::Off}) {
    SetButtonColour(button, kButtonResting);
  }

  // OFF first: the key the operator reaches without looking is the safe one.
  setTabOrder(cmdOff, cmdOn);
  setTabOrder(cmdOn, cmdCue);
  setTabOrder(cmdCue, cmbConsole);
  setTabOrder(cmbConsole, cmbSource);
  cmdOff->setFocus();

  client->setFixedSize(TwipsToPixels(2415, client->logicalDpiX()),
                       TwipsToPixels(6705, client->logicalDpiY()));
}

void frmMain::BuildMenu() {
  mnuFIle = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFIle->setObjectName(QStringLiteral("mnuFIle"));
  mnuSetup = mnuFIle->addAction(QStringLiteral("&Setup"));
  mnuSetup->setObjectName(QStringLiteral("mnuSetup"));
  mnuExit = mnuFIle->addAction(QStringLiteral("E&xit"));
  mnuExit->setObjectName(QStringLiteral("mnuExit"));

  // The link lamp at the far end of the menu bar, clear of the client area's fixed layout. It
  // is the window's child, drawn over the bar, not the bar's corner widget: a screen reader
  // walks a menu bar's menus only, and would never reach a lamp inside it.
  lblLink = new QtLinkLamp(this);
  lblLink->raise();
  menuBar()->installEventFilter(this);

  // The window is exactly the menu bar over the client area, and stays that size.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMain::PlaceLinkLamp() {
  const QRect bar = menuBar()->geometry();
  const QSize size = lblLink->sizeHint().boundedTo(bar.size());
  lblLink->setGeometry(
      QRect(QPoint(bar.right() + 1 - size.width(), bar.top() + (bar.height() - size.height()) / 2),
            size));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == menuBar() && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
    PlaceLinkLamp();
  }
  return QMainWindow::eventFilter(watched, event);
}

// Names a screen reader speaks; the buttons' descriptions follow their colours.
void frmMain::DescribeControls() {
  cmbConsole->setAccessibleName(QStringLiteral("Console"));
  cmbConsole->setAccessibleDescription(QStringLiteral("The console the buttons act on"));
  cmbSource->setAccessibleName(QStringLiteral("Source"));
  cmbSource->setAccessibleDescription(QStringLiteral("The source the buttons act on"));
  cmdOn->setAccessibleName(QStringLiteral("ON"));
  cmdOff->setAccessibleName(QStringLiteral("OFF"));
  cmdCue->setAccessibleName(QStringLiteral("CUE"));
}

void frmMain::ConnectEvents() {
  connect(mnuSetup, &QAction::triggered, this, [this] { mnuSetup_Click(); });
  connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
  connect(cmbSource, &QComboBox::currentIndexChanged, this, [this] { cmbSource_Click(); });
  connect(cmbConsole, &QComboBox::currentIndexChanged, this, [this] { cmbConsole_Click(); });
  connect(cmdOn, &QPushButton::clicked, this, [this] { cmdOn_Click(); });
  connect(cmdOff, &QPushButton::clicked, this, [this] { cmdOff_Click(); });
  connect(cmdCue, &QPushButton::clicked, this, [this] { cmdCue_Click(); });
  // The socket's events and the timers' ticks are wired to the link by QtServerLink.
}

void frmMain::Form_Load() {
  try {
    ProgramSetup(vars_, link_, log_, folders_);
    scktSwitcher.ApplyStartupSettings(SocketStartupSettings{});
    const bool configured = ReadIniFile(vars_, *this, link_);
    // Until the server's lists arrive, the closed lists show the numbers from the file.
    ShowListFaces();
    if (configured) {
      comm_.ConnectToServer();
      link_.SetPollTimerEnabled(true);
      return;
    }
    // First run: nothing to connect to until the operator names the Server Module.
    messageBox_(this, QStringLiteral("Configuration Error"),
                QStringLiteral("System Not Yet Configured.\rPlease specify the IP Address of the "
                               "Computer running the Server Module"),
                QMessageBox::Warning);
    // A shutdown while the notice was up ends the program; Setup would only hold it open.
    if (!unloaded_) ShowSetupDialog();
  } catch (...) {
    log_.ReportError("Error Loading Form", "Program Error");
  }
}

void frmMain::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void frmMain::Form_Unload() {
  unloaded_ = true;
  tmrDecode.stop();
  tmrPoll.stop();
  scktSwitcher.RequestClose();

  const QWidgetList windows = QApplication::topLevelWidgets();
  for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
    QWidget* window = *it;
    if (window != this && window->isVisible()) window->close();
  }

  WriteIniFile(vars_, log_);
}

void frmMain::mnuSetup_Click() {
  // The dialog must not end up hidden behind a panel that stays on top.
  SetWindowOrder(kNotTopmost);
  ShowSetupDialog();
  SetWindowOrder(vars_.StayOnTopMode);
}

void frmMain::mnuExit_Click() {
  WriteIniFile(vars_, log_);
  close();
}

frmSetup& frmMain::SetupDialog() {
  if (!setup_) {
    // Boxes go through whatever message-box function is in force when they are shown.
    auto messageBox = [this](QWidget* parent, const QString& title, const QString& text,
                             QMessageBox::Icon icon) { messageBox_(parent, title, text, icon); };
    setup_ = new frmSetup(vars_, comm_, *this, link_, log_, messageBox, this);
  }
  return *setup_;
}

void frmMain::ShowSetupDialog() {
  SetupDialog().exec();
}

void frmMain::cmbSource_Click() {
  const int position = cmbSource->currentIndex();
  if (position >= 0) comm_.ChooseChannel(SelectionFromPosition(position), vars_.SelectedConsole);
  ShowListFaces();
}

void frmMain::cmbConsole_Click() {
  const int position = cmbConsole->currentIndex();
  if (position >= 0) comm_.ChooseChannel(vars_.SelectedSource, SelectionFromPosition(position));
  ShowListFaces();
}

void frmMain::cmdOn_Click() {
  ::cmdOn_Click(vars_, comm_);
}
void frmMain::cmdOff_Click() {
  ::cmdOff_Click(vars_, comm_);
}
void frmMain::cmdCue_Click() {
  ::cmdCue_Click(vars_, comm_);
}

void frmMain::LoadInputCombo() {
  RefillList(*cmbSource, SelectorList::Source(vars_), "Error Loading Source Combo Box",
             &frmMain::cmbSource_Click);
}

void frmMain::LoadConsoleCombo() {
  RefillList(*cmbConsole, SelectorList::Console(vars_), "Error Loading Console Combo Box",
             &frmMain::cmbConsole_Click);
}

void frmMain::RefillList(QComboBox& list, const SelectorList& entries, const char* failureMessage,
                         void (frmMain::*click)()) {
  QtSelectorModel& model = *static_cast<QtSelectorModel*>(list.model());
  try {
    // The entries up to a missing name are shown even when the list then fails.
    ShowEntries(list, model, entries);
    const int position = entries.Position();
    // Selecting the stored number counts as the operator's choice: it stores the number
    // again, so a stored 0 becomes "Undefined".
    const int before = list.currentIndex();
    list.setCurrentIndex(position);
    if (list.currentIndex() == before) (this->*click)();
  } catch (...) {
    log_.ReportError(failureMessage, "Form Error");
    // Nothing selected, and the stored number untouched.
    const bool wasBlocked = list.blockSignals(true);
    list.setCurrentIndex(-1);
    list.blockSignals(wasBlocked);
  }
  ShowListFaces();
}

void frmMain::ShowListFaces() {
  const std::pair<QComboBox*, SelectorList> lists[] = {{cmbConsole, SelectorList::Console(vars_)},
                                                       {cmbSource, SelectorList::Source(vars_)}};
  for (const auto& [list, entries] : lists) {
    const QString face = QString::fromLatin1(entries.UnselectedFace(list->count()));
    if (list->placeholderText() != face) list->setPlaceholderText(face);
    // A name shortened to fit can look like its neighbour's: the tip has it whole.
    const QString tip = list->currentIndex() >= 0 ? list->currentText() : face;
    if (list->toolTip() != tip) list->setToolTip(tip);
  }
}

QtChannelButton* frmMain::Button(ChannelButton button) const {
  switch (button) {
    case ChannelButton::On:
      return cmdOn;
    case ChannelButton::Off:
      return cmdOff;
    case ChannelButton::Cue:
      return cmdCue;
  }
  return nullptr;
}

void frmMain::SetButtonColour(ChannelButton button, std::uint32_t bgr) {
  QtChannelButton* target = Button(button);
  if (target == nullptr) return;
  target->SetFace(FaceFromBgr(bgr));
  // Lit is any face but the resting one: what the switcher reports, in words.
  // Reports often repeat what is shown; a screen reader hears only a change.
  const ButtonWords words = WordsFor(button);
  const QString description = QString::fromLatin1(bgr == kButtonResting ? words.press : words.lit);
  if (target->accessibleDescription() != description) {
    target->setAccessibleDescription(description);
  }
}

void frmMain::ShowLinkState(LinkState state, const std::string& address, std::int32_t port) {
  // Stamped here, as the change reaches the window: the core keeps no clock of its own.
  lblLink->Show(state, QString::fromLatin1(address), port, QTime::currentTime());
}

void frmMain::SetWindowOrder(std::int32_t insertAfter) {
  const bool topmost = insertAfter == kTopmost;
  Qt::WindowFlags flags = windowFlags();
  if (flags.testFlag(Qt::WindowStaysOnTopHint) == topmost) return;
  flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
  if (QWindow* handle = windowHandle()) {
    // Change the hint on the existing native window: re-creating it, as setWindowFlags does,
    // would make the panel vanish and reappear in front of the operator.
    overrideWindowFlags(flags);
    handle->setFlags(flags);
  } else {
    setWindowFlags(flags);
  }
}
