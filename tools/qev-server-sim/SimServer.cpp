#include "SimServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTime>
#include <cstdio>

namespace {

// A panel that has not read the last table yet gets no further one: with the full-size table
// the queue would otherwise grow by 2 MB at every poll moment of a slow panel.
constexpr qint64 kMaxQueuedBytes = 8 * 1024 * 1024;

// Floods go out in chunks, topped up while the socket's own queue is short.
constexpr qint64 kFloodChunk = 64 * 1024;
constexpr qint64 kFloodQueue = 256 * 1024;

constexpr int kMaxNoiseBytes = 12;

QByteArray ToQt(const ByteString& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string Endpoint(const QTcpSocket& socket) {
  return socket.peerAddress().toString().toStdString() + ":" + std::to_string(socket.peerPort());
}

}  // namespace

SimServer::SimServer(SimOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), random_(options_.seed) {
  const int inputLength = options_.fullTable ? msg::kMaxNameLength : options_.nameLength;
  inputTable_ = msg::AlphaTable(msg::kInputTable, inputLength, options_.inputNames, options_.first);
  consoleTable_ = msg::AlphaTable(msg::kConsoleTable, options_.nameLength, options_.consoleNames,
                                  options_.first);

  server_ = new QTcpServer(this);
  connect(server_, &QTcpServer::newConnection, this, &SimServer::OnNewConnection);

  connect(&pollTimer_, &QTimer::timeout, this, &SimServer::PollPanels);
  connect(&autoTimer_, &QTimer::timeout, this, &SimServer::ChangeChannelByItself);
  trickleTimer_.setInterval(0);
  connect(&trickleTimer_, &QTimer::timeout, this, &SimServer::TrickleOneByte);
}

SimServer::~SimServer() = default;

bool SimServer::Listen(QString& error) {
  if (!server_->listen(options_.listenAddress, options_.port)) {
    error = server_->errorString();
    return false;
  }
  uptime_.start();
  Trace("listening on " + server_->serverAddress().toString().toStdString() + ":" +
        std::to_string(server_->serverPort()) + ", " + std::to_string(options_.inputNames.size()) +
        " inputs, " + std::to_string(options_.consoleNames.size()) + " consoles");
  if (options_.pollPanelMs > 0) pollTimer_.start(options_.pollPanelMs);
  if (options_.autoChannelMs > 0) autoTimer_.start(options_.autoChannelMs);
  return true;
}

void SimServer::Stop() {
  pollTimer_.stop();
  autoTimer_.stop();
  trickleTimer_.stop();
  server_->close();
  for (auto& [id, panel] : panels_) {
    panel->closing = true;
    panel->socket->disconnectFromHost();
  }
  Trace("stopped");
}

void SimServer::OnNewConnection() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    if (options_.rejectMs > 0 && uptime_.elapsed() < options_.rejectMs) {
      ++rejected_;
      Trace("connection attempt " + std::to_string(rejected_) + " from " + Endpoint(*socket) +
            " dropped");
      socket->abort();
      socket->deleteLater();
      continue;
    }

    auto owned = std::make_unique<Panel>();
    Panel& panel = *owned;
    panel.id = nextId_++;
    panel.socket = socket;
    panel.silent = options_.silent;
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    panels_[panel.id] = std::move(owned);

    const int id = panel.id;
    // Queued, so that a link closed in the middle of a send is forgotten only after the send.
    connect(
        socket, &QTcpSocket::disconnected, this, [this, id] { OnDisconnected(id); },
        Qt::QueuedConnection);
    if (panel.silent) {
      // A half-open peer: nothing is read, so the panel's bytes pile up in the kernel.
      socket->setReadBufferSize(1);
      TracePanel(panel, "connected from " + Endpoint(*socket) + " (silent)");
      continue;
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, id] {
      if (auto found = panels_.find(id); found != panels_.end()) OnReadyRead(*found->second);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id] {
      if (auto found = panels_.find(id); found != panels_.end()) OnBytesWritten(*found->second);
    });
    TracePanel(panel, "connected from " + Endpoint(*socket));
    Greet(panel);
  }
}

void SimServer::Greet(Panel& panel) {
  if (!cutTail_.empty()) {
    // The rest of the message that the last link was closed in the middle of.
    TracePanel(panel, "-> rest of the cut message [" + sim::Hex(cutTail_) + "]");
    Write(panel, ToQt(cutTail_));
    cutTail_.clear();
  }
  Send(panel, msg::TypeRequest(), "81 TYPE REQUEST");
  Send(panel, msg::SwitcherType(options_.switcherType),
       "E5 SWITCHER TYPE " + std::to_string(options_.switcherType));

  if (options_.floodDataMiB > 0) {
    panel.floodLeft = static_cast<qint64>(options_.floodDataMiB) * 1024 * 1024;
    TracePanel(panel, "-> " + std::to_string(options_.floodDataMiB) + " MiB of data bytes");
  }
  if (options_.floodGarbageSeconds > 0) {
    panel.floodClock.start();
    TracePanel(panel, "-> random bytes for " + std::to_string(options_.floodGarbageSeconds) + " s");
  }
  FloodMore(panel);
}

void SimServer::OnReadyRead(Panel& panel) {
  const QByteArray bytes = panel.socket->readAll();
  panel.reader.Append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  // Each message takes at least one byte off the reader, so this ends with the bytes read.
  while (auto message = panel.reader.Next()) {
    Handle(panel, *message);
    if (panel.closing) break;
  }
}

void SimServer::Handle(Panel& panel, const sim::PanelMessage& message) {
  using Kind = sim::PanelMessage::Kind;
  const bool isPoll = message.kind == Kind::kPoll || message.kind == Kind::kPollAnswer;
  if (!(isPoll && options_.quiet && message.Valid())) {
    std::string line = "<- " + message.words;
    if (!isPoll || !message.Valid()) line += " [" + sim::Hex(message.bytes) + "]";
    line += message.Valid() ? " VALID" : " INVALID: " + message.problem;
    TracePanel(panel, line);
  }
  if (!message.Valid()) return;

  switch (message.kind) {
    case Kind::kPoll:
      if (options_.noPollAnswer) break;
      if (options_.switcherDown) {
        Send(panel, ByteString(msg::kLinkDownMessage), "F1 LINK DOWN", true);
      } else {
        Send(panel, ByteString(msg::kLinkUpMessage), "F4 LINK UP", true);
      }
      break;
    case Kind::kInfoRequest:
      if (message.flags & msg::kWantInputNames) SendTable(panel, msg::kInputTable);
      if (!panel.closing && (message.flags2 & msg::kWantConsoleNames)) {
        SendTable(panel, msg::kConsoleTable);
      }
      break;
    case Kind::kChannelCommand:
      ApplyChannelCommand(message.channel);
      break;
    default:
      break;
  }
}

void SimServer::SendTable(Panel& panel, int tableType) {
  const bool inputs = tableType == msg::kInputTable;
  const ByteString& table = inputs ? inputTable_ : consoleTable_;
  const int count =
      static_cast<int>(inputs ? options_.inputNames.size() : options_.consoleNames.size());
  const int length = inputs && options_.fullTable ? msg::kMaxNameLength : options_.nameLength;
  const std::string words = std::string("FC ") + (inputs ? "INPUT" : "CONSOLE") + " NAMES length " +
                            std::to_string(length) + " count " + std::to_string(count) + " first " +
                            std::to_string(options_.first);
  if (panel.socket->bytesToWrite() + panel.trickle.size() > kMaxQueuedBytes) {
    TracePanel(panel, "-> " + words + " not sent: the panel has not read the last one yet");
    return;
  }
  Send(panel, table, words);
}

void SimServer::ApplyChannelCommand(const msg::ChannelEntry& command) {
  ChannelStatus& status = channels_[{command.source, command.console}];
  if (command.state == msg::kOn || command.state == msg::kOff) {
    status.on = command.state == msg::kOn;
  } else {
    status.cue = command.state == msg::kCueOn;
  }
  lastCommanded_ = command;

  // The switcher confirms every change to every panel: one entry, the new state.
  const ByteString report = msg::ChannelReport({command});
  const std::string words = "D6 REPORT source " + sim::WireNumberText(command.source) +
                            " console " + sim::WireNumberText(command.console) + " " +
                            sim::StateName(command.state);
  for (auto& [id, panel] : panels_) {
    if (!panel->silent && !panel->closing) Send(*panel, report, words);
  }
}

void SimServer::ChangeChannelByItself() {
  msg::ChannelEntry change;
  // Half the time the channel a panel last used, so that its operator sees the buttons follow.
  if (lastCommanded_ && random_() % 2 == 0) {
    change = *lastCommanded_;
  } else {
    const auto sources = std::max<std::size_t>(options_.inputNames.size(), 1);
    const auto consoles = std::max<std::size_t>(options_.consoleNames.size(), 1);
    change.source = static_cast<int>(random_() % sources);
    change.console = static_cast<int>(random_() % consoles);
  }
  const ChannelStatus status = channels_[{change.source, change.console}];
  if (random_() % 4 == 0) {
    change.state = status.cue ? msg::kCueOff : msg::kCueOn;
  } else {
    change.state = status.on ? msg::kOff : msg::kOn;
  }
  Trace("switcher: source " + sim::WireNumberText(change.source) + " console " +
        sim::WireNumberText(change.console) + " " + sim::StateName(change.state));
  const auto remembered = lastCommanded_;
  ApplyChannelCommand(change);
  lastCommanded_ = remembered;
}

void SimServer::PollPanels() {
  for (auto& [id, panel] : panels_) {
    if (!panel->silent && !panel->closing) {
      Send(*panel, ByteString(msg::kPollMessage), "F5 POLL", true);
    }
  }
}

void SimServer::Send(Panel& panel, const ByteString& message, const std::string& words,
                     bool isPoll) {
  if (panel.closing) return;
  if (options_.garbage) {
    const ByteString noise = Noise();
    TracePanel(panel, "-> noise [" + sim::Hex(noise) + "]");
    Write(panel, ToQt(noise));
  }
  ++panel.messagesSent;
  const bool last = options_.closeAfter > 0 && panel.messagesSent >= options_.closeAfter;

  if (last && options_.closeMidMessage && message.size() > 1) {
    const std::size_t half = message.size() / 2;
    cutTail_ = message.substr(half);
    TracePanel(panel, "-> " + words + ", first " + std::to_string(half) + " of " +
                          std::to_string(message.size()) + " bytes [" +
                          sim::Hex(message.substr(0, half)) + "]");
    Write(panel, ToQt(message.substr(0, half)));
  } else {
    if (!(isPoll && options_.quiet)) {
      std::string line = "-> " + words;
      if (message.size() > 1) line += " [" + sim::Hex(message) + "]";
      TracePanel(panel, line);
    }
    Write(panel, ToQt(message));
  }
  if (last) Close(panel, "after " + std::to_string(panel.messagesSent) + " messages");
}

void SimServer::Write(Panel& panel, const QByteArray& bytes) {
  if (options_.trickle) {
    panel.trickle.append(bytes);
    if (!trickleTimer_.isActive()) trickleTimer_.start();
  } else {
    panel.socket->write(bytes);
  }
}

void SimServer::TrickleOneByte() {
  bool more = false;
  for (auto& [id, panel] : panels_) {
    if (panel->trickle.isEmpty()) continue;
    panel->socket->write(panel->trickle.left(1));
    panel->socket->flush();
    panel->trickle.remove(0, 1);
    if (!panel->trickle.isEmpty()) {
      more = true;
    } else if (panel->closing) {
      panel->socket->disconnectFromHost();
    }
  }
  if (!more) trickleTimer_.stop();
}

void SimServer::Close(Panel& panel, const std::string& why) {
  TracePanel(panel, "closing the link " + why);
  panel.closing = true;
  // What is queued still goes out first; a trickle queue is emptied by its timer.
  if (panel.trickle.isEmpty()) panel.socket->disconnectFromHost();
}

void SimServer::OnBytesWritten(Panel& panel) {
  FloodMore(panel);
}

void SimServer::FloodMore(Panel& panel) {
  bool garbageFlood = false;
  if (panel.floodClock.isValid()) {
    garbageFlood = panel.floodClock.elapsed() < options_.floodGarbageSeconds * 1000LL;
    if (!garbageFlood) {
      panel.floodClock.invalidate();
      TracePanel(panel, "-> random bytes done");
    }
  }
  if (panel.closing || (panel.floodLeft <= 0 && !garbageFlood)) return;
  if (panel.socket->bytesToWrite() >= kFloodQueue) return;

  QByteArray chunk(kFloodChunk, '\0');
  for (char& byte : chunk) {
    if (panel.floodLeft > 0) {
      byte = static_cast<char>(random_() & 0x7F);
    } else {
      // A poll inside the noise would only make the panel answer it; leave polls out.
      unsigned char value = static_cast<unsigned char>(random_());
      if (value == msg::kPoll) value = 0x00;
      byte = static_cast<char>(value);
    }
  }
  if (panel.floodLeft > 0) {
    panel.floodLeft -= kFloodChunk;
    if (panel.floodLeft <= 0) TracePanel(panel, "-> data bytes done");
  }
  panel.socket->write(chunk);
}

ByteString SimServer::Noise() {
  ByteString noise(1 + random_() % kMaxNoiseBytes, '\0');
  for (char& byte : noise) byte = static_cast<char>(random_() & 0xFF);
  // Noise that ends inside an unfinished framed message would hold back the single-byte
  // messages after it until some later FF: close it, so every real message arrives intact.
  for (auto it = noise.rbegin(); it != noise.rend(); ++it) {
    const auto byte = static_cast<unsigned char>(*it);
    if (!msg::IsCommandByte(byte)) continue;
    if (byte != kEOM && !msg::IsSingleByte(byte)) noise.push_back(static_cast<char>(kEOM));
    break;
  }
  return noise;
}

void SimServer::OnDisconnected(int id) {
  auto found = panels_.find(id);
  if (found == panels_.end()) return;
  Panel& panel = *found->second;
  if (panel.closing) {
    TracePanel(panel, "link closed");
  } else {
    TracePanel(panel, "closed by the panel");
  }
  panel.socket->deleteLater();
  panels_.erase(found);
}

void SimServer::Trace(const std::string& line) {
  TraceLine(nullptr, line);
}

void SimServer::TracePanel(const Panel& panel, const std::string& line) {
  TraceLine(&panel, line);
}

void SimServer::TraceLine(const Panel* panel, const std::string& line) {
  const QByteArray stamp = QTime::currentTime().toString("hh:mm:ss.zzz").toLatin1();
  if (panel != nullptr) {
    std::printf("%s #%d %s\n", stamp.constData(), panel->id, line.c_str());
  } else {
    std::printf("%s %s\n", stamp.constData(), line.c_str());
  }
  std::fflush(stdout);
}
