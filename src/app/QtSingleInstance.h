#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class QWidget;

// One panel per settings folder. Two panels on one qevntpnl.ini would both drive the console,
// one exactly over the other, and the one closed last would save over what the other chose.
// The first panel to start holds a lock named after the folder and listens for later starts;
// a later start asks it to come to the front and ends without touching the folder.
class QtSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit QtSingleInstance(const QString& settingsFolder, QObject* parent = nullptr);

  // True when this is the folder's one panel; false when another panel runs there, which has
  // been asked to come to the front. A lock that cannot be made at all gives true: a panel
  // that cannot lock still runs.
  bool Claim();

  // The main window to the front, or whatever modal window it is waiting on.
  static void BringToFront(QWidget& window);

 signals:
  // Another start on the same folder asked for this panel.
  void RaiseRequested();

 private:
  void AskRunningPanel();

  QLockFile lock_;
  QString serverName_;
  QLocalServer server_;
};
