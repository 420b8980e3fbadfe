#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <string>

#include "app/PanelWindow.h"
#include "app/QtMessageBox.h"
#include "app/QtPollTimer.h"
#include "app/QtServerLink.h"
#include "app/SelectorLists.h"
#include "app/Variables.h"
#include "protocol/QtSocketComponent.h"
#include "protocol/TCPComm.h"
#include "setup/ErrorLog.h"
#include "setup/Procedures.h"

class QAction;
class QCloseEvent;
class QComboBox;
class QLabel;
class QMenu;
class QtChannelButton;
class QtLinkLamp;
class QtSelectorCombo;
class frmSetup;

// The operator's panel: the console and source lists, the ON, OFF and CUE buttons, and the link
// to the Server Module with its socket and two timers (hosted by QtServerLink). Closing it ends
// the program.
class frmMain : public QMainWindow, public PanelWindow {
  Q_OBJECT

 public:
  // The configuration file and the error log live in programFolder when the panel may write
  // there, otherwise (an installed copy) in userSettingsFolder.
  explicit frmMain(const std::string& programFolder, const std::string& userSettingsFolder = {},
                   QWidget* parent = nullptr);
  ~frmMain() override;

  // Start-up: defaults, socket settings, the configuration file, then the first connection or
  // the first-run Setup. Runs before the window is shown.
  void Form_Load();

  // Whether the shutdown sequence has run (the window was closed).
  bool Unloaded() const { return unloaded_; }

  void mnuSetup_Click();
  void mnuExit_Click();
  void cmbSource_Click();
  void cmbConsole_Click();
  void cmdOn_Click();
  void cmdOff_Click();
  void cmdCue_Click();

  // What the link and the message handlers ask of the window.
  void LoadInputCombo() override;
  void LoadConsoleCombo() override;
  void SetButtonColour(ChannelButton button, std::uint32_t bgr) override;
  void SetWindowOrder(std::int32_t insertAfter) override;
  void ShowLinkState(LinkState state, const std::string& address, std::int32_t port) override;

  void SetMessageBoxFn(MessageBoxFn messageBox) { messageBox_ = std::move(messageBox); }

  Variables& vars() { return vars_; }
  TCPComm& comm() { return comm_; }
  QtServerLink& link() { return link_; }
  QtSocketComponent& socket() { return scktSwitcher; }
  const QtPollTimer& pollTimer() const { return tmrPoll; }
  const QTimer& decodeTimer() const { return tmrDecode; }
  // The Setup dialog, created on first use and kept for every later showing.
  frmSetup& SetupDialog();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void BuildMenu();
  void PlaceLinkLamp();
  void DescribeControls();
  void ConnectEvents();
  void Form_Unload();
  void ShowSetupDialog();
  void RefillList(QComboBox& list, const SelectorList& entries, const char* failureMessage,
                  void (frmMain::*click)());
  // The closed lists' faces and tool tips while nothing is selected: the numbers the buttons
  // act on.
  void ShowListFaces();
  QtChannelButton* Button(ChannelButton button) const;

  ProgramFolders folders_;
  Variables vars_;
  SystemClock clock_;
  ErrorLog log_{vars_, clock_};
  QtServerLink link_{vars_, *this, log_};
  TCPComm& comm_ = link_.comm();
  // The link's socket and timers, by the names the window has always given them.
  QtSocketComponent& scktSwitcher = link_.socket();
  QTimer& tmrDecode = link_.decodeTimer();
  QtPollTimer& tmrPoll = link_.pollTimer();
  MessageBoxFn messageBox_ = ShowMessageBox;
  QPointer<frmSetup> setup_;
  bool unloaded_ = false;  // the shutdown sequence has run

  QLabel* lblConsole = nullptr;
  QtSelectorCombo* cmbConsole = nullptr;
  QLabel* lblSource = nullptr;
  QtSelectorCombo* cmbSource = nullptr;
  QtChannelButton* cmdCue = nullptr;
  QtChannelButton* cmdOn = nullptr;
  QtChannelButton* cmdOff = nullptr;
  QMenu* mnuFIle = nullptr;
  QAction* mnuSetup = nullptr;
  QAction* mnuExit = nullptr;
  QtLinkLamp* lblLink = nullptr;
};
