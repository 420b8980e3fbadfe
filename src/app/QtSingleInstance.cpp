#include "app/QtSingleInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

namespace {

// How long a second start keeps trying to reach the first, which may still be starting.
constexpr int kReachMilliseconds = 1500;

// The same folder however it was spelled: a link, a trailing separator, "..".
QString FolderKey(const QString& folder) {
  const QString canonical = QDir(folder).canonicalPath();
  return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

// A name of the folder that fits anywhere a file or pipe name goes.
QString FolderTag(const QString& folder) {
  return QStringLiteral("qevntpnl-") +
         QString::fromLatin1(
             QCryptographicHash::hash(FolderKey(folder).toUtf8(), QCryptographicHash::Sha256)
                 .toHex()
                 .left(24));
}

// The lock lives in the user's own run-time folder, not in the settings folder: a folder copied
// while its panel runs (to make a second console's copy) would carry a lock that looks held.
QString LockPath(const QString& tag) {
  // The session's own run-time folder where there is one; else the temporary folder, which is
  // the user's own on Windows and macOS.
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
  return QDir(folder).filePath(tag + QStringLiteral(".lock"));
}

}  // namespace

QtSingleInstance::QtSingleInstance(const QString& settingsFolder, QObject* parent)
    : QObject(parent),
      lock_(LockPath(FolderTag(settingsFolder))),
      serverName_(FolderTag(settingsFolder)) {
  // However long the panel has run, its lock holds; only a lock whose owner has gone (a
  // crash, a kill) is stale, and QLockFile finds those by the process id it wrote.
  lock_.setStaleLockTime(0);
}

bool QtSingleInstance::Claim() {
  if (!lock_.tryLock(0)) {
    if (lock_.error() != QLockFile::LockFailedError) return true;
    AskRunningPanel();
    return false;
  }
  // The folder is ours, so a server of this name left behind is a crashed panel's.
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(serverName_)) {
    QLocalServer::removeServer(serverName_);
    server_.listen(serverName_);
  }
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* caller = server_.nextPendingConnection()) {
      caller->disconnectFromServer();
      caller->deleteLater();
      emit RaiseRequested();
    }
  });
  return true;
}

void QtSingleInstance::AskRunningPanel() {
  // The running panel may hold the lock but not listen yet; it is asked once it does.
  const QDeadlineTimer deadline(kReachMilliseconds);
  QLocalSocket socket;
  do {
    socket.connectToServer(serverName_);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
      socket.disconnectFromServer();
      return;
    }
    QThread::msleep(50);
  } while (!deadline.hasExpired());
}

void QtSingleInstance::BringToFront(QWidget& window) {
  // While the first-run notice or Setup is open, that is what the operator has to answer.
  QWidget* target = QApplication::activeModalWidget();
  if (target == nullptr) target = &window;
  if (!target->isVisible()) return;
  if (target->isMinimized()) target->showNormal();
  target->raise();
  target->activateWindow();
}
