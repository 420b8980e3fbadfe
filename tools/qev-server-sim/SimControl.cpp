#include "SimControl.h"

#include <QFile>
#include <QFileInfo>
#include <sstream>

#include "SimServer.h"

namespace {

// Often enough that a fault starts within a poll period of the panel.
constexpr int kCheckMs = 50;

}  // namespace

bool ParseLiveFaults(const std::string& text, LiveFaults& faults, std::string& error) {
  LiveFaults parsed;
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    if (word == "switcher-down") {
      parsed.switcherDown = true;
    } else if (word == "no-poll-answer") {
      parsed.noPollAnswer = true;
    } else if (word == "garbage") {
      parsed.garbage = true;
    } else if (word == "trickle") {
      parsed.trickle = true;
    } else if (word == "silent") {
      parsed.silent = true;
    } else {
      error = word;
      return false;
    }
  }
  faults = parsed;
  return true;
}

SimControl::SimControl(QString path, SimServer& server, QObject* parent)
    : QObject(parent), path_(std::move(path)), server_(server) {
  connect(&timer_, &QTimer::timeout, this, &SimControl::Check);
  timer_.start(kCheckMs);
  Check();
}

void SimControl::Check() {
  const QFileInfo info(path_);
  const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
  const qint64 size = info.exists() ? info.size() : -1;
  if (modified == lastModified_ && size == lastSize_) return;
  lastModified_ = modified;
  lastSize_ = size;

  QByteArray text;
  QFile file(path_);
  if (file.open(QIODevice::ReadOnly)) text = file.readAll();
  LiveFaults faults;
  std::string unknown;
  if (!ParseLiveFaults(text.toStdString(), faults, unknown)) {
    server_.Note("control file: no live fault named " + unknown + "; faults unchanged");
    return;
  }
  server_.SetLiveFaults(faults);
}
