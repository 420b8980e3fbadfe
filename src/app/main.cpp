#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QStandardPaths>

#include "app/QtSingleInstance.h"
#include "app/frmMain.h"
#include "setup/Procedures.h"

namespace {

// Set when the panel was closed from outside (a signal, the session ending), perhaps while the
// first-run notice or Setup was still open.
bool terminationRequested = false;

}  // namespace

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {

// A signal handler may do next to nothing: it writes one byte, and the event loop closes
// the window the normal way, so the configuration is saved on the way out.
int terminationPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  if (::write(terminationPipe[1], &byte, 1) < 0) {
    // Nothing can be done from a signal handler; the byte of an earlier signal is waiting.
  }
}

// SIGTERM (the session ending, a service stop) and SIGINT (Ctrl+C) close the panel the same
// way as its close box.
void CloseOnTerminationSignals(frmMain& window) {
  if (::pipe(terminationPipe) != 0) return;
  for (int end : terminationPipe) ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);

  auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    while (::read(terminationPipe[0], &byte, 1) > 0) {
    }
    terminationRequested = true;
    window.close();
  });

  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace
#endif

#if defined(Q_OS_WIN)
namespace {

// Signing out or shutting down Windows closes the panel the way its close box does, so the
// settings are saved before Windows ends the process. Qt announces the end of the session
// (WM_ENDSESSION) with aboutToQuit; its own quit closes windows only once the main event loop
// runs, not while the first-run notice or Setup is open, so the panel closes itself here.
void CloseOnSessionEnd(frmMain& window) {
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &window, [&window] {
    if (window.Unloaded()) return;  // closed the normal way: already saved
    terminationRequested = true;
    window.close();
  });
}

}  // namespace
#endif

namespace {

// Wayland lets no client keep its window above the others, so Qt's Wayland platform drops the
// stay-on-top hint, and Qt picks that platform by itself whenever a Wayland session is found:
// the panel would silently go behind the next window. Where an X display is there as well
// (XWayland, on every current GNOME and KDE session), the panel runs on X, where it stays on
// top. An operator who names a platform (QT_QPA_PLATFORM, -platform) gets that one.
void PreferXWhereStayOnTopWorks([[maybe_unused]] int argc, [[maybe_unused]] char* argv[]) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)  // a Mac with XQuartz has DISPLAY but no xcb
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;
  for (int i = 1; i < argc; ++i) {
    const QByteArray argument(argv[i]);
    if (argument == "-platform" || argument == "--platform") return;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
  qputenv("QT_QPA_PLATFORM", "xcb");
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
  PreferXWhereStayOnTopWorks(argc, argv);
  QApplication app(argc, argv);
  // An installed panel keeps its files in ~/.config/qevntpnl (or under $XDG_CONFIG_HOME),
  // whatever the executable happens to be called.
  QCoreApplication::setOrganizationName(QString());
  QCoreApplication::setApplicationName(QStringLiteral("qevntpnl"));
  // Lets the desktop match the window with its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.quillmoor.QevZozudo"));
  const QString userSettingsFolder =
      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  // The core takes folders as UTF-8 on every platform (never the Windows ANSI code page, which
  // would lose a user's name it cannot spell), in the platform's own spelling.
  const auto coreFolder = [](const QString& folder) {
    return QDir::toNativeSeparators(folder).toUtf8().toStdString();
  };
  const std::string programFolder = coreFolder(QCoreApplication::applicationDirPath());
  const std::string userFolder = coreFolder(userSettingsFolder);
  // A second start on the same settings folder brings the running panel forward and ends
  // here, before it has read or written anything.
  QtSingleInstance onePanel(
      QString::fromStdString(SettingsFolder(ProgramFolders{programFolder, userFolder})));
  if (!onePanel.Claim()) return 0;
  frmMain window(programFolder, userFolder);
  QObject::connect(&onePanel, &QtSingleInstance::RaiseRequested, &window,
                   [&window] { QtSingleInstance::BringToFront(window); });
#if defined(Q_OS_UNIX)
  CloseOnTerminationSignals(window);
#elif defined(Q_OS_WIN)
  CloseOnSessionEnd(window);
#endif
  window.Form_Load();
  // Closed from outside before it was ever shown: the settings are saved, nothing to show.
  if (terminationRequested) return 0;
  window.show();
  return app.exec();
}
