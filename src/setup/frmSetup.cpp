#include "setup/frmSetup.h"

#include <QCheckBox>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <string>
#include <utility>

#include "app/QtTwips.h"
#include "setup/AddressCheck.h"
#include "setup/NumberText.h"
#include "setup/Procedures.h"
#include "setup/Settings.h"

namespace {

constexpr double kDialogFontPoints = 8.0;

// The settings are 8-bit text, as the configuration file holds them.
std::string ToSetting(const QString& text) {
  return text.toLatin1().toStdString();
}
QString FromSetting(const std::string& text) {
  return QString::fromLatin1(text);
}

}  // namespace

frmSetup::frmSetup(Variables& vars, TCPComm& comm, PanelWindow& window, LinkTimers& timers,
                   ErrorReporter& log, MessageBoxFn messageBox, QWidget* parent)
    : QDialog(parent),
      vars_(vars),
      comm_(comm),
      window_(window),
      timers_(timers),
      log_(log),
      messageBox_(std::move(messageBox)) {
  setObjectName(QStringLiteral("frmSetup"));
  setWindowTitle(QStringLiteral("Setup"));
  setWindowIcon(QIcon(QStringLiteral(":/panel.png")));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  // The fixed layout was drawn for the classic 8-point dialog face; at the larger default
  // sizes of today's desktops the check box caption would be cut off.
  QFont dialogFont = font();
  dialogFont.setPointSizeF(kDialogFontPoints);
  setFont(dialogFont);
  BuildLayout();
}

void frmSetup::BuildLayout() {
  lblIpAddr = new QLabel(QStringLiteral("IP Address"), this);
  PlaceAtTwips(*this, lblIpAddr, "lblIpAddr", 120, 240, 975, 255);
  txtIPAddr = new QLineEdit(QStringLiteral("127.0.0.1"), this);
  PlaceAtTwips(*this, txtIPAddr, "txtIPAddr", 1320, 240, 1575, 375);
  lblIPPort = new QLabel(QStringLiteral("IP Port"), this);
  PlaceAtTwips(*this, lblIPPort, "lblIPPort", 120, 840, 975, 255);
  txtIPPort = new QLineEdit(QStringLiteral("1250"), this);
  PlaceAtTwips(*this, txtIPPort, "txtIPPort", 1320, 840, 1575, 375);
  chkStayOnTop = new QCheckBox(QStringLiteral("Keep Control Panel On Top"), this);
  PlaceAtTwips(*this, chkStayOnTop, "chkStayOnTop", 120, 1560, 2535, 255);
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  PlaceAtTwips(*this, cmdCancel, "cmdCancel", 840, 2280, 1215, 372);
  cmdCancel->setToolTip(QStringLiteral("Abort any changes and exit"));
  cmdOk = new QPushButton(QStringLiteral("&Ok"), this);
  PlaceAtTwips(*this, cmdOk, "cmdOk", 2280, 2280, 1215, 372);
  cmdOk->setToolTip(QStringLiteral("Accept current settings"));

  // What a screen reader says of each box and button.
  txtIPAddr->setAccessibleName(QStringLiteral("IP Address"));
  txtIPAddr->setAccessibleDescription(
      QStringLiteral("The Server Module's address, four numbers with dots, such as 192.168.1.20"));
  txtIPPort->setAccessibleName(QStringLiteral("IP Port"));
  txtIPPort->setAccessibleDescription(QStringLiteral("The Server Module's port, 1 to 65535"));
  chkStayOnTop->setAccessibleName(QStringLiteral("Keep Control Panel On Top"));
  chkStayOnTop->setAccessibleDescription(
      QStringLiteral("Keep the panel in front of other windows"));
  cmdCancel->setAccessibleName(QStringLiteral("Cancel"));
  cmdCancel->setAccessibleDescription(cmdCancel->toolTip());
  cmdOk->setAccessibleName(QStringLiteral("Ok"));
  cmdOk->setAccessibleDescription(cmdOk->toolTip());

  // Enter in a box must not confirm the dialog, and Escape must not abandon it: the operator
  // presses the buttons.
  for (QPushButton* button : {cmdCancel, cmdOk}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  setTabOrder(txtIPPort, txtIPAddr);
  setTabOrder(txtIPAddr, cmdCancel);
  setTabOrder(cmdCancel, cmdOk);
  setTabOrder(cmdOk, chkStayOnTop);

  connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

  const int dpiX = logicalDpiX();
  const int dpiY = logicalDpiY();
  setFixedSize(TwipsToPixels(4680, dpiX), TwipsToPixels(3195, dpiY));
}

void frmSetup::showEvent(QShowEvent* event) {
  // Every showing starts again from the settings in force.
  if (!event->spontaneous()) Form_Load();
  QDialog::showEvent(event);
}

void frmSetup::Form_Load() {
  stayOnTopWhenOpened_ = vars_.StayOnTopMode;
  chkStayOnTop->setChecked(vars_.StayOnTopMode == kTopmost);
  txtIPPort->setText(QString::number(vars_.ServerPort));
  txtIPAddr->setText(FromSetting(vars_.ServerAddress));
  txtIPPort->setFocus();
}

void frmSetup::cmdOk_Click() {
  // The stay-on-top choice is taken first and is kept even when a check below fails.
  vars_.StayOnTopMode = chkStayOnTop->isChecked() ? kTopmost : kNotTopmost;
  bool connectionChanged = false;

  // The port is compared as typed: "1250abc" is still port 1250, and a fraction only counts
  // as a change, it is rounded when taken over.
  const double port = LeadingNumber(ToSetting(txtIPPort->text()));
  if (port != static_cast<double>(vars_.ServerPort)) {
    if (!settings::InRange(settings::kIPPort, port)) {
      messageBox_(this, QStringLiteral("Port Error"),
                  QStringLiteral("Invalid IP Port #. Please reenter a number between 1 and 65535"),
                  QMessageBox::NoIcon);
      return;
    }
    connectionChanged = true;
  }

  if (txtIPAddr->text() != FromSetting(vars_.ServerAddress)) {
    if (!ValidateIPAddress()) {
      messageBox_(this, QStringLiteral("Data Format Error"),
                  QStringLiteral("Please Enter IP Address In The Following Format: 192.168.1.1"),
                  QMessageBox::Critical);
      txtIPAddr->setText(FromSetting(vars_.ServerAddress));
      txtIPAddr->setFocus();
      return;
    }
    connectionChanged = true;
  }

  if (connectionChanged) {
    vars_.ServerPort = static_cast<std::int32_t>(RoundHalfEven(port));
    vars_.ServerAddress = ToSetting(txtIPAddr->text());
    comm_.DisconnectFromServer();
    comm_.ConnectToServer();
    timers_.SetPollTimerEnabled(true);
  }

  window_.SetWindowOrder(vars_.StayOnTopMode);

  if (!WriteIniFile(vars_, log_)) {
    // The new settings are in force but not saved; the operator may try Ok again.
    messageBox_(this, QStringLiteral("Error Writing File"),
                QStringLiteral("Error Writing Qevntpnl.ini File"), QMessageBox::Critical);
    return;
  }
  accept();
}

void frmSetup::cmdCancel_Click() {
  vars_.StayOnTopMode = stayOnTopWhenOpened_;
  done(QDialog::Rejected);
}

void frmSetup::reject() {
  cmdCancel_Click();
}

void frmSetup::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Anything with three dots and something after the third is repaired rather than refused;
// the box then shows the address that will be used.
bool frmSetup::ValidateIPAddress() {
  const auto repaired = NormaliseIPAddress(ToSetting(txtIPAddr->text()));
  if (!repaired) return false;
  txtIPAddr->setText(FromSetting(*repaired));
  return true;
}
