#pragma once

#include <QDialog>
#include <cstdint>

#include "app/PanelWindow.h"
#include "app/QtMessageBox.h"
#include "app/Variables.h"
#include "protocol/LinkTimers.h"
#include "protocol/TCPComm.h"
#include "setup/ErrorReporter.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

// The Setup dialog: the Server Module's address and port, and whether the panel stays on top.
// Modal, so while it is open the main window's timers and socket events keep the link running.
class frmSetup : public QDialog {
  Q_OBJECT

 public:
  frmSetup(Variables& vars, TCPComm& comm, PanelWindow& window, LinkTimers& timers,
           ErrorReporter& log, MessageBoxFn messageBox, QWidget* parent = nullptr);

  // Fills the boxes from the settings in force; runs each time the dialog is shown.
  void Form_Load();
  void cmdOk_Click();
  void cmdCancel_Click();

  // The close box abandons the changes, like Cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildLayout();
  bool ValidateIPAddress();

  Variables& vars_;
  TCPComm& comm_;
  PanelWindow& window_;
  LinkTimers& timers_;
  ErrorReporter& log_;
  MessageBoxFn messageBox_;
  // What Cancel puts back: an Ok that failed a check has already taken the stay-on-top choice.
  std::int32_t stayOnTopWhenOpened_ = kTopmost;

  QLabel* lblIpAddr = nullptr;
  QLineEdit* txtIPAddr = nullptr;
  QLabel* lblIPPort = nullptr;
  QLineEdit* txtIPPort = nullptr;
  QCheckBox* chkStayOnTop = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdOk = nullptr;
};
