#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "SimMessages.h"

class QTcpServer;
class QTcpSocket;

// Everything the command line can ask of the simulator.
struct SimOptions {
  QHostAddress listenAddress{QHostAddress::LocalHost};
  quint16 port = 1250;

  // What the switcher looks like.
  int switcherType = 1;
  std::vector<std::string> inputNames;
  std::vector<std::string> consoleNames;
  int nameLength = 13;
  int first = 0;
  bool fullTable = false;  // 16383 inputs of 127 characters: the largest legal table

  // Normal behaviour that can be tuned.
  int pollPanelMs = 2000;  // the server's own polls; 0: never
  int autoChannelMs = 0;   // the switcher changes a channel by itself; 0: never
  bool quiet = false;      // leave polls and poll answers out of the trace
  unsigned seed = 1;

  // Faults.
  bool switcherDown = false;  // answer polls with F1
  bool noPollAnswer = false;
  int closeAfter = 0;  // close the link after this many messages; 0: never
  bool closeMidMessage = false;
  bool garbage = false;         // random bytes before every message
  bool trickle = false;         // every byte in a write of its own
  bool silent = false;          // accept, then say nothing and read nothing
  int floodDataMiB = 0;         // after the greeting, this many MiB of data bytes
  int floodGarbageSeconds = 0;  // after the greeting, random bytes for this long
  int rejectMs = 0;             // drop every connection made in the first milliseconds after start
};

// The Server Module as the panels see it: one listening socket, any number of panels, one
// switcher whose channel states all of them share.
class SimServer : public QObject {
  Q_OBJECT

 public:
  explicit SimServer(SimOptions options, QObject* parent = nullptr);
  ~SimServer() override;

  // Binds exactly the configured address and port; on failure says why in error.
  bool Listen(QString& error);
  // Closes every link (the trace shows it).
  void Stop();

 private:
  struct Panel {
    int id = 0;
    QTcpSocket* socket = nullptr;
    sim::PanelReader reader;
    int messagesSent = 0;
    bool closing = false;  // we are closing the link
    bool silent = false;
    QByteArray trickle;    // bytes still to go out one at a time
    qint64 floodLeft = 0;  // bytes of the data flood still to send
    QElapsedTimer floodClock;
  };

  void OnNewConnection();
  void OnReadyRead(Panel& panel);
  void OnDisconnected(int id);
  void OnBytesWritten(Panel& panel);
  void PollPanels();
  void ChangeChannelByItself();
  void TrickleOneByte();

  void Greet(Panel& panel);
  void Handle(Panel& panel, const sim::PanelMessage& message);
  void ApplyChannelCommand(const msg::ChannelEntry& command);
  void SendTable(Panel& panel, int tableType);

  // Sends one whole message (with noise before it when asked), counts it, and closes the
  // link when the message limit is reached.
  void Send(Panel& panel, const ByteString& message, const std::string& words, bool isPoll = false);
  void Write(Panel& panel, const QByteArray& bytes);
  void Close(Panel& panel, const std::string& why);
  void FloodMore(Panel& panel);
  ByteString Noise();

  // One line of the trace on standard output, time-stamped and flushed at once.
  void Trace(const std::string& line);
  void TracePanel(const Panel& panel, const std::string& line);
  void TraceLine(const Panel* panel, const std::string& line);

  SimOptions options_;
  QTcpServer* server_ = nullptr;
  std::map<int, std::unique_ptr<Panel>> panels_;
  int nextId_ = 1;
  int rejected_ = 0;
  QElapsedTimer uptime_;
  QTimer pollTimer_;
  QTimer autoTimer_;
  QTimer trickleTimer_;
  std::mt19937 random_;

  ByteString inputTable_;
  ByteString consoleTable_;
  ByteString cutTail_;  // the rest of a message cut off by --close-mid-message

  struct ChannelStatus {
    bool on = false;
    bool cue = false;
  };
  std::map<std::pair<int, int>, ChannelStatus> channels_;
  std::optional<msg::ChannelEntry> lastCommanded_;
};
