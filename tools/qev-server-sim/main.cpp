// qev-server-sim: plays the Server Module for one or more panels over TCP, with a decoded
// trace of every message each way and fault modes for testing and training.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>
#include <functional>
#include <optional>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#endif

#include "SimMessages.h"
#include "SimServer.h"

namespace {

[[noreturn]] void Refuse(const QString& why);

// Ctrl+C (and SIGTERM on Unix) stops the simulator cleanly: its links are closed on the way out.
#if defined(Q_OS_WIN)
std::function<void()> stopRequested;

// Runs on a thread of its own that Windows starts for the event; the stop is queued to the
// event loop's thread.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  QMetaObject::invokeMethod(QCoreApplication::instance(), stopRequested, Qt::QueuedConnection);
  return TRUE;
}

void StopOnInterrupt(std::function<void()> stop) {
  stopRequested = std::move(stop);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
#else
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  // Nothing else is safe in a signal handler; the event loop reads the byte and quits.
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void StopOnInterrupt(std::function<void()> stop) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) Refuse("cannot make a socket pair");
  auto* notifier =
      new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [stop = std::move(stop)] {
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
    stop();
  });
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
}
#endif

[[noreturn]] void Refuse(const QString& why) {
  std::fprintf(stderr, "qev-server-sim: %s\n", qPrintable(why));
  std::exit(2);
}

int NumberOption(const QCommandLineParser& parser, const QString& name, int low, int high) {
  bool ok = false;
  const int value = parser.value(name).toInt(&ok);
  if (!ok || value < low || value > high) {
    Refuse(QString("--%1 wants a whole number from %2 to %3").arg(name).arg(low).arg(high));
  }
  return value;
}

std::vector<std::string> NamesOption(const QCommandLineParser& parser, const QString& fileOption,
                                     const QString& countOption,
                                     std::vector<std::string> (*generate)(int)) {
  if (parser.isSet(fileOption)) {
    const auto names = sim::ReadNameFile(parser.value(fileOption).toStdString());
    if (!names) Refuse("cannot read " + parser.value(fileOption));
    return *names;
  }
  return generate(NumberOption(parser, countOption, 0, msg::kMaxTableCount));
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("qev-server-sim");

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Plays the Server Module for QEV Zozudo soft panels on a TCP port.\n"
      "Greets each panel with a type request and the switcher type, answers its polls,\n"
      "sends the input and console name tables it asks for, applies its channel commands\n"
      "and reports every change to all connected panels. Prints a timestamped trace of\n"
      "every message each way (<- from a panel, -> to it) and marks what a panel sends\n"
      "VALID or INVALID. Stops cleanly on Ctrl+C (and on SIGTERM).");
  parser.addHelpOption();
  const QList<QCommandLineOption> options = {
      {"listen", "Address to listen on, exactly as given (default 127.0.0.1).", "address",
       "127.0.0.1"},
      {"port", "TCP port (default 1250; 0 picks a free one, shown in the first line).", "port",
       "1250"},
      {"switcher-type", "Switcher type reported to the panels (default 1).", "n", "1"},
      {"inputs", "Input names, one per line (instead of generated ones).", "file"},
      {"consoles", "Console names, one per line (instead of generated ones).", "file"},
      {"input-count", "Number of generated input names (default 16).", "n", "16"},
      {"console-count", "Number of generated console names (default 256).", "n", "256"},
      {"name-length", "Length of every name in the tables, 0 to 127 (default 13).", "L", "13"},
      {"first", "Index of the first record the panel takes from a table (default 0).", "k", "0"},
      {"full-table",
       "Send the largest legal input table: 16383 names of 127 characters, 2,113,416 bytes."},
      {"poll-panel-ms", "Poll each panel this often (default 2000; 0: never).", "ms", "2000"},
      {"auto-channel-ms",
       "Let the switcher change a channel by itself this often and report it (0: never).", "ms",
       "0"},
      {"quiet", "Leave polls and poll answers out of the trace."},
      {"seed", "Seed for the noise and the switcher's own changes (default 1).", "n", "1"},
      {"switcher-down", "Fault: answer polls with F1 (switcher link down)."},
      {"no-poll-answer", "Fault: never answer the panel's polls."},
      {"close-after", "Fault: close a link after sending it this many messages.", "n", "0"},
      {"close-mid-message",
       "Fault, with --close-after: cut the last message in half; its rest opens the next link."},
      {"garbage", "Fault: random bytes before every message."},
      {"trickle", "Fault: send every byte in a write of its own."},
      {"silent", "Fault: accept connections, then send nothing and read nothing."},
      {"flood-data", "Fault: after the greeting, send this many MiB of data bytes.", "MiB", "0"},
      {"flood-garbage", "Fault: after the greeting, send random bytes for this many seconds.", "s",
       "0"},
      {"reject-ms", "Fault: drop every connection made this soon after start.", "ms", "0"},
      {"control",
       "Read live faults from this file whenever it changes: the words switcher-down,\n"
       "no-poll-answer, garbage, trickle and silent (new links only); they replace the\n"
       "live faults given above, and an empty or removed file clears them.",
       "file"},
  };
  parser.addOptions(options);
  parser.process(app);

  SimOptions settings;
  if (!settings.listenAddress.setAddress(parser.value("listen"))) {
    Refuse("--listen wants an IP address, not " + parser.value("listen"));
  }
  settings.port = static_cast<quint16>(NumberOption(parser, "port", 0, 65535));
  settings.switcherType = NumberOption(parser, "switcher-type", 0, msg::kMaxTableCount);
  settings.nameLength = NumberOption(parser, "name-length", 0, msg::kMaxNameLength);
  settings.first = NumberOption(parser, "first", 0, msg::kMaxTableCount);
  settings.fullTable = parser.isSet("full-table");
  settings.inputNames =
      settings.fullTable ? sim::GeneratedInputNames(msg::kMaxTableCount)
                         : NamesOption(parser, "inputs", "input-count", sim::GeneratedInputNames);
  settings.consoleNames =
      NamesOption(parser, "consoles", "console-count", sim::GeneratedConsoleNames);
  settings.pollPanelMs = NumberOption(parser, "poll-panel-ms", 0, 3600000);
  settings.autoChannelMs = NumberOption(parser, "auto-channel-ms", 0, 3600000);
  settings.quiet = parser.isSet("quiet");
  settings.seed = static_cast<unsigned>(NumberOption(parser, "seed", 0, 2147483647));
  settings.switcherDown = parser.isSet("switcher-down");
  settings.noPollAnswer = parser.isSet("no-poll-answer");
  settings.closeAfter = NumberOption(parser, "close-after", 0, 2147483647);
  settings.closeMidMessage = parser.isSet("close-mid-message");
  settings.garbage = parser.isSet("garbage");
  settings.trickle = parser.isSet("trickle");
  settings.silent = parser.isSet("silent");
  settings.floodDataMiB = NumberOption(parser, "flood-data", 0, 4096);
  settings.floodGarbageSeconds = NumberOption(parser, "flood-garbage", 0, 3600);
  settings.rejectMs = NumberOption(parser, "reject-ms", 0, 3600000);

  SimServer server(std::move(settings));
  // Before listening: whoever has seen the "listening on" line may stop the simulator cleanly.
  StopOnInterrupt([&server] {
    server.Stop();
    QCoreApplication::quit();
  });
  QString error;
  if (!server.Listen(error)) {
    std::fprintf(stderr, "qev-server-sim: cannot listen on %s port %s: %s\n",
                 qPrintable(parser.value("listen")), qPrintable(parser.value("port")),
                 qPrintable(error));
    return 1;
  }
  std::optional<SimControl> control;
  if (parser.isSet("control")) control.emplace(parser.value("control"), server);
  return QCoreApplication::exec();
}
