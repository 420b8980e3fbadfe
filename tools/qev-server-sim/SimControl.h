#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

class SimServer;

// The faults that can be switched while panels are connected.
struct LiveFaults {
  bool switcherDown = false;  // answer polls with F1
  bool noPollAnswer = false;  // never answer the panel's polls
  bool garbage = false;       // random bytes before every message
  bool trickle = false;       // every byte in a write of its own
  bool silent = false;        // links made from now on get nothing and are not read

  bool operator==(const LiveFaults&) const = default;
};

// Reads LiveFaults from the words of a text ("no-poll-answer garbage"); an empty text clears
// them all. False, with the unknown word in error, when a word names no live fault.
bool ParseLiveFaults(const std::string& text, LiveFaults& faults, std::string& error);

// Watches a control file and hands the server the faults it names whenever it changes, so a
// test can switch faults on and off without restarting the simulator and dropping its links.
class SimControl : public QObject {
  Q_OBJECT

 public:
  SimControl(QString path, SimServer& server, QObject* parent = nullptr);

 private:
  void Check();

  QString path_;
  SimServer& server_;
  QTimer timer_;
  QDateTime lastModified_;
  qint64 lastSize_ = -1;
};
