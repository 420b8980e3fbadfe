// How fast the panel answers, end to end: the real main window and socket adapter in this
// process, a small Server Module on loopback in the same event loop, the offscreen platform.
//
//   press-to-wire    QTest::mouseClick on ON until the server has read the command's last byte
//   report-to-paint  the server writes a channel report until the ON button's next paint in
//                    its new colour (checked afterwards on a grab of the button)
//   table-to-lists   the server answers a poll with 0xF4 until both lists hold the tables the
//                    panel then asks for: 16383 inputs of 127 characters, 256 consoles
//   burst            the server writes 1000 channel reports at once (on and off in turn for the
//                    chosen channel, then cue on) until CUE is painted lit: all of them applied
//   freeze           the longest time the event loop could not run a 1 ms timer, during the
//                    tables and during the bursts
//
//   qev-bench-latency [--clicks N] [--reports N] [--tables N] [--bursts N] [--verbose 1]
//
// Everything is observed from outside the panel: the wire, Qt's own events and the widgets'
// models. The server's work shares the one thread with the panel's, so the figures are upper
// bounds of what a panel talking to a separate server sees.

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BenchMessages.h"
#include "app/QtChannelButton.h"
#include "app/frmMain.h"

namespace {

// The face a channel button shows: it changes exactly when a report recolours it.
QColor Face(QPushButton* button) {
  return static_cast<QtChannelButton*>(button)->Face();
}

}  // namespace

namespace {

constexpr int kWaitMs = 5000;   // longest wait for any one event before giving up
constexpr int kBetweenMs = 30;  // the panel idles between samples, as between two presses
constexpr int kChannelCommandLength = static_cast<int>(msg::kChannelCommandLength);

using msg::kCueOff;
using msg::kCueOn;
using msg::kInfoRequest;
using msg::kLinkDown;
using msg::kLinkUp;
using msg::kOff;
using msg::kOn;
using msg::kPoll;
constexpr unsigned char kChannelCommand = msg::kChannel;

// The buttons' faces as the operator sees them.
const QColor kOnLit = FaceFromBgr(kButtonLitCyan);
const QColor kResting = FaceFromBgr(kButtonResting);
const QColor kCueLit = FaceFromBgr(kButtonLitYellow);

constexpr int kBurstMessages = 1000;

QElapsedTimer clockSinceStart;
qint64 NowNs() {
  return clockSinceStart.nsecsElapsed();
}

// Runs the event loop until done() holds, or for timeoutMs. Whatever changes the condition calls
// Poke(), so the loop sleeps in between like the panel's own.
class Waiter {
 public:
  bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(timeoutMs);
    loop_ = &loop;
    done_ = done;
    loop.exec();
    loop_ = nullptr;
    done_ = nullptr;
    return done();
  }
  void Idle(int ms) {
    RunUntil([] { return false; }, ms);
  }
  void Poke() {
    if (loop_ != nullptr && done_ && done_()) loop_->quit();
  }

 private:
  QEventLoop* loop_ = nullptr;
  std::function<bool()> done_;
};

Waiter waiter;

// The Server Module's side of the link: answers polls with the link state it is told to
// report, notes when a channel command has arrived whole, and sends both name tables when
// asked for them.
class Server : public QObject {
 public:
  enum class Answer { Up, Down, UpAtNextPoll };

  Server()
      : inputTable_(
            bench::AlphaTable(bench::kInputTable, bench::kLongestName, bench::kFullTableCount)),
        consoleTable_(bench::AlphaTable(bench::kConsoleTable, 16, bench::kConsoleCount)) {
    connect(&listener_, &QTcpServer::newConnection, this, [this] {
      QTcpSocket* socket = listener_.nextPendingConnection();
      if (socket == nullptr || link_ != nullptr) return;
      link_ = socket;
      // As the Server Module does: without it a report written right after a poll answer
      // waits for the panel's delayed acknowledgement (up to 40 ms here).
      link_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
      connect(link_, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
      waiter.Poke();
    });
  }

  bool Listen() { return listener_.listen(QHostAddress::LocalHost, 0); }
  quint16 Port() const { return listener_.serverPort(); }
  bool Connected() const { return link_ != nullptr; }

  void Send(const ByteString& bytes) {
    link_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    link_->flush();
  }

  Answer answer = Answer::Down;
  qint64 upSentNs = 0;       // when the 0xF4 that brought the link up was written
  qint64 commandReadNs = 0;  // when the last byte of a channel command was read
  int commandsRead = 0;

 private:
  void OnReadyRead() {
    const QByteArray bytes = link_->readAll();
    const qint64 readNs = NowNs();
    received_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    while (!received_.empty()) {
      const auto command = static_cast<unsigned char>(received_[0]);
      if (!msg::IsCommandByte(command)) {  // stray data byte
        received_.erase(0, 1);
        continue;
      }
      if (command == kPoll) {
        received_.erase(0, 1);
        AnswerPoll();
        continue;
      }
      const std::size_t end = received_.find(static_cast<char>(kEOM));
      if (end == std::string::npos) break;
      if (command == kChannelCommand && end + 1 == kChannelCommandLength) {
        commandReadNs = readNs;
        ++commandsRead;
      } else if (command == kInfoRequest) {
        Send(inputTable_);
        Send(consoleTable_);
      }
      received_.erase(0, end + 1);
    }
    waiter.Poke();
  }

  void AnswerPoll() {
    if (answer == Answer::UpAtNextPoll) {
      upSentNs = NowNs();
      answer = Answer::Up;
    }
    Send(ByteString(1, static_cast<char>(answer == Answer::Up ? kLinkUp : kLinkDown)));
  }

  QTcpServer listener_;
  QTcpSocket* link_ = nullptr;
  ByteString received_;
  const ByteString inputTable_;
  const ByteString consoleTable_;
};

// Timestamps the paints of one widget, from Qt's own paint events.
class PaintClock : public QObject {
 public:
  explicit PaintClock(QWidget& widget) { widget.installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && armed && accept()) {
      paintedNs = NowNs();
      armed = false;
      waiter.Poke();
    }
    return false;
  }
  bool armed = false;
  std::function<bool()> accept = [] { return true; };
  qint64 paintedNs = 0;
};

// The longest stretch in which the event loop could not run a 1 ms timer: how long the window
// was frozen (no input, no paint) while the panel worked.
class FreezeProbe : public QObject {
 public:
  FreezeProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1);
    connect(&timer_, &QTimer::timeout, this, [this] {
      const qint64 now = NowNs();
      longestNs = std::max(longestNs, now - lastNs_);
      lastNs_ = now;
    });
  }
  void Start() {
    longestNs = 0;
    lastNs_ = NowNs();
    timer_.start();
  }
  double StopMs() {
    timer_.stop();
    longestNs = std::max(longestNs, NowNs() - lastNs_);
    return static_cast<double>(longestNs) / 1e6;
  }
  qint64 longestNs = 0;

 private:
  QTimer timer_;
  qint64 lastNs_ = 0;
};

struct Stats {
  double median = 0, p90 = 0, max = 0;
  std::size_t count = 0;
};

Stats Summarise(std::vector<double> samples) {
  Stats stats;
  stats.count = samples.size();
  if (samples.empty()) return stats;
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  stats.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  stats.p90 = samples[std::min(n - 1, (n * 9) / 10)];
  stats.max = samples.back();
  return stats;
}

void PrintRow(const char* name, const Stats& stats, const char* target, double limitMs) {
  std::printf("%-38s %6zu %10.3f %10.3f %10.3f  %-10s %s\n", name, stats.count, stats.median,
              stats.p90, stats.max, target,
              limitMs <= 0                                ? ""
              : stats.count > 0 && stats.median < limitMs ? "met"
                                                          : "MISSED");
}

int Option(int argc, char* argv[], const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::max(1, std::atoi(argv[i + 1]));
  }
  return fallback;
}

bool WriteIni(const QString& folder, quint16 port) {
  QFile file(folder + QStringLiteral("/qevntpnl.ini"));
  if (!file.open(QIODevice::WriteOnly)) return false;
  const std::string text =
      "[CONFIGURATION]\r\nSETUP\r\nIP Address=127.0.0.1\r\nIP Port=" + std::to_string(port) +
      "\r\nCONFIG\r\nInput=1\r\nConsole=1\r\nStay On Top=No\r\n"
      "Refresh Rate=1\r\nTime Out=20\r\nSECURITY\r\nUser Name=\r\n"
      "Password=\r\n";
  return file.write(text.data(), static_cast<qint64>(text.size())) ==
         static_cast<qint64>(text.size());
}

QColor FaceOf(QPushButton& button) {
  // A corner inside the border, clear of the caption.
  return button.grab().toImage().pixelColor(4, 4);
}

int Fail(const char* what) {
  std::fprintf(stderr, "qev-bench-latency: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  clockSinceStart.start();
  const int clicks = Option(argc, argv, "--clicks", 200);
  const int reports = Option(argc, argv, "--reports", 200);
  const int tables = Option(argc, argv, "--tables", 10);
  const int bursts = Option(argc, argv, "--bursts", 10);
  const bool verbose = Option(argc, argv, "--verbose", 0) != 0;

  Server server;
  if (!server.Listen()) return Fail("cannot listen on loopback");
  QTemporaryDir folder;
  if (!folder.isValid() || !WriteIni(folder.path(), server.Port())) {
    return Fail("cannot write the configuration file");
  }

  frmMain window((folder.path() + QStringLiteral("/")).toUtf8().toStdString());
  window.Form_Load();
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return Fail("the window was never shown");
  auto* cmdOn = window.findChild<QPushButton*>(QStringLiteral("cmdOn"));
  auto* cmdCue = window.findChild<QPushButton*>(QStringLiteral("cmdCue"));
  auto* cmbSource = window.findChild<QComboBox*>(QStringLiteral("cmbSource"));
  auto* cmbConsole = window.findChild<QComboBox*>(QStringLiteral("cmbConsole"));
  if (cmdOn == nullptr || cmdCue == nullptr || cmbSource == nullptr || cmbConsole == nullptr) {
    return Fail("the window has no cmdOn, cmdCue, cmbSource or cmbConsole");
  }
  if (!waiter.RunUntil([&] { return server.Connected(); }, kWaitMs)) {
    return Fail("the panel never connected");
  }

  // --- First 0xF4 to both lists filled. The first sample is the panel's very first poll
  // answer; later ones bring the link down with 0xF1 first, so the next 0xF4 is a first again.
  const int sourceEntries = bench::kFullTableCount + 1;  // "Undefined" and every name
  const int consoleEntries = bench::kConsoleCount + 1;
  qint64 sourceFilledNs = 0;
  qint64 consoleFilledNs = 0;
  // Stamped when the event loop gets control back after the refill, so the list is complete.
  // The Source list's first paint after its refill: the operator sees the new names.
  PaintClock sourcePaint(*cmbSource);
  // Stamped when the event loop gets control back after the refill, so the list is complete.
  const auto watch = [&server](QComboBox* list, int entries, qint64* filledNs, PaintClock* paint) {
    const auto refilled = [&server, list, entries, filledNs, paint] {
      if (server.upSentNs == 0 || list->count() != entries) return;
      QTimer::singleShot(0, list, [filledNs, paint] {
        if (*filledNs != 0) return;
        *filledNs = NowNs();
        if (paint != nullptr) paint->armed = true;
        waiter.Poke();
      });
    };
    // A list refills either entry by entry or by resetting its model in one go.
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, refilled);
    QObject::connect(list->model(), &QAbstractItemModel::modelReset, list, refilled);
  };
  watch(cmbSource, sourceEntries, &sourceFilledNs, &sourcePaint);
  watch(cmbConsole, consoleEntries, &consoleFilledNs, nullptr);

  std::vector<double> tableMs;
  std::vector<double> tableShownMs;
  std::vector<double> tableFreezeMs;
  FreezeProbe freeze;
  for (int i = 0; i < tables; ++i) {
    if (i > 0) {
      server.answer = Server::Answer::Down;
      server.Send(ByteString(1, static_cast<char>(kLinkDown)));
      waiter.Idle(kBetweenMs);
    }
    server.upSentNs = 0;
    sourceFilledNs = consoleFilledNs = 0;
    sourcePaint.paintedNs = 0;
    server.answer = Server::Answer::UpAtNextPoll;
    freeze.Start();
    if (!waiter.RunUntil([&] { return sourceFilledNs != 0 && consoleFilledNs != 0; }, kWaitMs)) {
      return Fail("the name tables never reached both lists");
    }
    waiter.RunUntil([&] { return sourcePaint.paintedNs != 0; }, kWaitMs);
    sourcePaint.armed = false;
    tableFreezeMs.push_back(freeze.StopMs());
    const qint64 filled = std::max(sourceFilledNs, consoleFilledNs);
    tableMs.push_back(static_cast<double>(filled - server.upSentNs) / 1e6);
    if (sourcePaint.paintedNs != 0) {
      tableShownMs.push_back(static_cast<double>(sourcePaint.paintedNs - server.upSentNs) / 1e6);
    }
  }
  server.answer = Server::Answer::Up;
  waiter.Idle(200);

  // --- Press on ON to the command's last byte on the server.
  std::vector<double> pressMs;
  for (int i = 0; i < clicks; ++i) {
    const int before = server.commandsRead;
    const qint64 pressedNs = NowNs();
    QTest::mouseClick(cmdOn, Qt::LeftButton);
    if (!waiter.RunUntil([&] { return server.commandsRead > before; }, kWaitMs)) {
      return Fail("a press on ON never reached the server");
    }
    pressMs.push_back(static_cast<double>(server.commandReadNs - pressedNs) / 1e6);
    waiter.Idle(kBetweenMs);
  }

  // --- Channel report to the ON button's next paint in its new colour. Reports alternate on
  // and off for the chosen channel (source 1, console 1: 0 and 0 on the wire), so every one
  // changes the button's face. Only a paint after the button's look has changed counts.
  PaintClock onPaint(*cmdOn);
  QColor styleBefore;
  onPaint.accept = [&] { return Face(cmdOn) != styleBefore; };
  std::vector<double> reportMs;
  int wrongFaces = 0;
  for (int i = 0; i < reports; ++i) {
    const bool on = i % 2 == 0;
    styleBefore = Face(cmdOn);
    onPaint.paintedNs = 0;
    onPaint.armed = true;
    const qint64 sentNs = NowNs();
    server.Send(bench::ChannelReport(0, 0, on ? kOn : kOff));
    if (!waiter.RunUntil([&] { return onPaint.paintedNs != 0; }, kWaitMs)) {
      return Fail("a channel report never repainted the ON button");
    }
    onPaint.armed = false;
    reportMs.push_back(static_cast<double>(onPaint.paintedNs - sentNs) / 1e6);
    if (FaceOf(*cmdOn) != (on ? kOnLit : kResting)) ++wrongFaces;
    waiter.Idle(kBetweenMs);
  }

  // --- Bursts of channel reports queued at once, the last one lighting CUE. Reports on the
  // chosen channel switch ON on and off in turn (each one restyles the button); reports on other
  // channels leave the window alone, so they show the decoding by itself.
  PaintClock cuePaint(*cmdCue);
  QColor cueStyleBefore;
  cuePaint.accept = [&] { return Face(cmdCue) != cueStyleBefore; };
  const auto makeBurst = [](bool chosenChannel) {
    ByteString burst;
    for (int k = 0; k + 1 < kBurstMessages; ++k) {
      const std::int32_t source = chosenChannel ? 0 : 1 + k % 100;
      burst += bench::ChannelReport(source, 0, k % 2 == 0 ? kOn : kOff);
    }
    burst += bench::ChannelReport(0, 0, kCueOn);
    return burst;
  };
  // Returns false when the last report never showed.
  const auto runBursts = [&](const ByteString& burst, std::vector<double>& applied,
                             std::vector<double>& frozen) {
    for (int i = 0; i < bursts; ++i) {
      server.Send(bench::ChannelReport(0, 0, kCueOff));
      waiter.Idle(kBetweenMs);
      cueStyleBefore = Face(cmdCue);
      cuePaint.paintedNs = 0;
      cuePaint.armed = true;
      freeze.Start();
      const qint64 sentNs = NowNs();
      server.Send(burst);
      if (!waiter.RunUntil([&] { return cuePaint.paintedNs != 0; }, kWaitMs)) return false;
      frozen.push_back(freeze.StopMs());
      cuePaint.armed = false;
      applied.push_back(static_cast<double>(cuePaint.paintedNs - sentNs) / 1e6);
      if (FaceOf(*cmdCue) != kCueLit) ++wrongFaces;
      waiter.Idle(kBetweenMs);
    }
    return true;
  };
  std::vector<double> burstMs, burstFreezeMs, otherBurstMs, otherBurstFreezeMs;
  if (!runBursts(makeBurst(true), burstMs, burstFreezeMs) ||
      !runBursts(makeBurst(false), otherBurstMs, otherBurstFreezeMs)) {
    return Fail("a burst of reports never reached its last one");
  }

  if (verbose) {
    const auto dump = [](const char* name, const std::vector<double>& samples) {
      std::printf("%s:", name);
      for (double ms : samples) std::printf(" %.3f", ms);
      std::printf("\n");
    };
    dump("press", pressMs);
    dump("report", reportMs);
    dump("table", tableMs);
    dump("table shown", tableShownMs);
    dump("table freeze", tableFreezeMs);
    dump("burst", burstMs);
    dump("burst freeze", burstFreezeMs);
    dump("other burst", otherBurstMs);
    dump("other burst freeze", otherBurstFreezeMs);
  }
  std::printf("%-38s %6s %10s %10s %10s  %-10s\n", "latency (ms)", "n", "median", "p90", "max",
              "target");
  PrintRow("press ON to last byte on server", Summarise(pressMs), "< 1 ms", 1.0);
  PrintRow("report to ON painted in new colour", Summarise(reportMs), "< 16 ms", 16.0);
  PrintRow("first F4 to both lists filled", Summarise(tableMs), "< 200 ms", 200.0);
  PrintRow("first F4 to Source list painted", Summarise(tableShownMs), "< 200 ms", 200.0);
  PrintRow("longest freeze during the tables", Summarise(tableFreezeMs), "", 0.0);
  PrintRow("1000 reports, chosen channel: applied", Summarise(burstMs), "< 100 ms", 100.0);
  PrintRow("  longest freeze meanwhile", Summarise(burstFreezeMs), "< 16 ms", 16.0);
  PrintRow("1000 reports, other channels: applied", Summarise(otherBurstMs), "< 100 ms", 100.0);
  PrintRow("  longest freeze meanwhile", Summarise(otherBurstFreezeMs), "< 16 ms", 16.0);
  if (wrongFaces > 0) {
    std::printf("%d buttons were painted in a colour other than the reported one\n", wrongFaces);
  }

  QFile errors(folder.path() + QStringLiteral("/Errorlog.txt"));
  if (errors.exists() && errors.size() > 0 && errors.open(QIODevice::ReadOnly)) {
    std::printf("the panel logged failures:\n%s\n", errors.readAll().constData());
  }
  window.close();
  return wrongFaces == 0 ? 0 : 1;
}
