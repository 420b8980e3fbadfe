#include "app/QtLinkLamp.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

// Far apart in hue and brightness, and none of them the grey of a menu bar.
const QColor kNoConnection(214, 40, 40);
const QColor kServerOnly(245, 166, 0);
const QColor kSwitcherUp(30, 160, 60);

QString ServerText(const QString& address, std::int32_t port) {
  return address + QLatin1Char(':') + QString::number(port);
}

QString Describe(LinkState state, const QString& address, std::int32_t port, const QTime& since) {
  const QString at = QStringLiteral(", since ") + since.toString(QStringLiteral("HH:mm:ss"));
  switch (state) {
    case LinkState::SwitcherUp:
      return QStringLiteral("Switcher link up: ") + ServerText(address, port) + at;
    case LinkState::ServerOnly:
      return QStringLiteral("Server Module connected, switcher not reported up: ") +
             ServerText(address, port) + at;
    case LinkState::NoConnection:
      break;
  }
  if (address.isEmpty()) return QStringLiteral("No Server Module address set (File > Setup)");
  return QStringLiteral("No connection to the Server Module at ") + ServerText(address, port) + at;
}

// To a screen reader the lamp is the window's status bar, named "Link state", with the link's
// state in words as its description and value; a screen reader's "read the status bar" finds it.
class AccessibleLamp : public QAccessibleWidget {
 public:
  explicit AccessibleLamp(QWidget* lamp) : QAccessibleWidget(lamp, QAccessible::StatusBar) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return widget()->accessibleDescription();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* LampInterface(const QString& className, QObject* object) {
  if (className != QLatin1String(QtLinkLamp::staticMetaObject.className())) return nullptr;
  return new AccessibleLamp(static_cast<QWidget*>(object));
}

}  // namespace

QtLinkLamp::QtLinkLamp(QWidget* parent) : QWidget(parent) {
  static const bool installed = (QAccessible::installFactory(LampInterface), true);
  Q_UNUSED(installed);
  setObjectName(QStringLiteral("lblLink"));
  // A lamp to look at, never a stop on the way through the panel's controls.
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(QStringLiteral("Link state"));
  Show(LinkState::NoConnection, QString(), 0, QTime());
}

QColor QtLinkLamp::Colour(LinkState state) {
  switch (state) {
    case LinkState::SwitcherUp:
      return kSwitcherUp;
    case LinkState::ServerOnly:
      return kServerOnly;
    case LinkState::NoConnection:
      break;
  }
  return kNoConnection;
}

void QtLinkLamp::Show(LinkState state, const QString& address, std::int32_t port,
                      const QTime& since) {
  const QString words = Describe(state, address, port, since);
  setToolTip(words);
  // Raises the description-change event a screen reader announces.
  setAccessibleDescription(words);
  if (state == state_) return;
  state_ = state;
  update();
}

QSize QtLinkLamp::sizeHint() const {
  // One line of the menu's text high, so the menu bar keeps its height; a little wider, to
  // keep the lamp clear of the window's edge.
  const int side = fontMetrics().height();
  return {side + side / 4, side};
}

void QtLinkLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor colour = Colour(state_);
  const qreal side = qMin(width(), height());
  const qreal pen = qMax<qreal>(2.0, side / 7.0);
  // The ring's outer edge sits a pixel inside the widget; its stroke is centred on the path.
  const qreal diameter = side - 2.0 - pen;
  const QRectF dot(QPointF((width() - diameter) / 2.0, (height() - diameter) / 2.0),
                   QSizeF(diameter, diameter));

  if (state_ == LinkState::SwitcherUp) {
    painter.setBrush(colour);
  } else if (state_ == LinkState::ServerOnly) {
    // The lower half filled: halfway there.
    QPainterPath lower;
    lower.moveTo(dot.center());
    lower.arcTo(dot, 180.0, 180.0);
    lower.closeSubpath();
    painter.fillPath(lower, colour);
  }
  painter.setPen(QPen(colour, pen));
  painter.drawEllipse(dot);
}
