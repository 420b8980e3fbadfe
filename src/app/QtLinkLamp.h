#pragma once

#include <QColor>
#include <QString>
#include <QTime>
#include <QWidget>
#include <cstdint>

#include "app/PanelWindow.h"

// The link lamp at the end of the menu bar: red while there is no connection to the Server
// Module, amber while connected but the switcher is not reported up, green when both are up.
// The shape tells the states apart as well as the colour (a ring, a half-filled dot, a full
// dot), for operators who cannot tell red from green. Its tool tip and accessible description
// say the same in words, with the server and since when. It only repaints when told of a
// change: no timer, no animation.
class QtLinkLamp : public QWidget {
  Q_OBJECT

 public:
  explicit QtLinkLamp(QWidget* parent = nullptr);

  // since: the local time the state began.
  void Show(LinkState state, const QString& address, std::int32_t port, const QTime& since);

  static QColor Colour(LinkState state);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  LinkState state_ = LinkState::NoConnection;
};
