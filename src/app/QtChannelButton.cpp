#include "app/QtChannelButton.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace {

const QColor kLightEdge(160, 160, 160);
const QColor kDarkEdge(64, 64, 64);
const QColor kFocusEdge(0, 0, 0);

}  // namespace

QtChannelButton::QtChannelButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void QtChannelButton::SetFace(const QColor& face) {
  if (face == face_) return;  // reports often repeat the state already shown
  face_ = face;
  update();
}

void QtChannelButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, face_);

  // A raised edge, sunk while pressed, black while the button has the keyboard focus.
  const bool sunk = isDown();
  const QColor topLeft = hasFocus() ? kFocusEdge : (sunk ? kDarkEdge : kLightEdge);
  const QColor bottomRight = hasFocus() ? kFocusEdge : (sunk ? kLightEdge : kDarkEdge);
  const int right = area.right();
  const int bottom = area.bottom();
  painter.setPen(topLeft);
  painter.drawLine(0, 0, right, 0);
  painter.drawLine(0, 0, 0, bottom);
  painter.setPen(bottomRight);
  painter.drawLine(0, bottom, right, bottom);
  painter.drawLine(right, 0, right, bottom);
  painter.drawLine(1, bottom - 1, right - 1, bottom - 1);
  painter.drawLine(right - 1, 1, right - 1, bottom - 1);

  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.setFont(font());
  painter.drawText(sunk ? area.translated(1, 1) : area, Qt::AlignCenter | Qt::TextShowMnemonic,
                   text());
}
