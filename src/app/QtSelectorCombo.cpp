#include "app/QtSelectorCombo.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QWheelEvent>

namespace {

// The edge of the list that has the keyboard focus: the black the channel buttons use.
const QColor kFocusEdge(0, 0, 0);

// What a screen reader is told of a selector. Qt's own combo box on Linux names the list after
// its chosen entry, so "Console" and "Source" were never heard; here the name is the label's
// (or the accessible name set on the list), and the chosen entry is the value and, for AT-SPI,
// which has no text value, the list's read-only text.
class AccessibleSelector : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit AccessibleSelector(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Shown();
    return QAccessibleWidget::text(t);
  }

  // The chosen entry as text: read only, never selected, no caret.
  QString text(int startOffset, int endOffset) const override {
    return Shown().mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return static_cast<int>(Shown().size()); }
  void selection(int, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
  }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* startOffset, int* endOffset) const override {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
  }

  // The open list, so its entries can be read and chosen.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == list()->view() ? 0 : -1;
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = list()->view()->isVisible();
    s.collapsed = !s.expanded;
    return s;
  }

  QStringList actionNames() const override {
    return QStringList(showMenuAction()) << pressAction() << QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == showMenuAction() || action == pressAction()) {
      if (list()->view()->isVisible()) {
        list()->hidePopup();
      } else {
        list()->showPopup();
      }
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
  // What the closed list shows: the chosen entry, or with none chosen the placeholder.
  QString Shown() const {
    return list()->currentIndex() >= 0 ? list()->currentText() : list()->placeholderText();
  }
};

QAccessibleInterface* SelectorInterface(const QString& className, QObject* object) {
  if (className != QLatin1String(QtSelectorCombo::staticMetaObject.className())) return nullptr;
  return new AccessibleSelector(static_cast<QComboBox*>(object));
}

// Where the entry's number begins: its " [", the last one, since a name may hold brackets.
qsizetype NumberStart(const QString& entry) {
  if (!entry.endsWith(QLatin1Char(']'))) return -1;
  return entry.lastIndexOf(QLatin1String(" ["));
}

}  // namespace

QtSelectorCombo::QtSelectorCombo(QWidget* parent) : QComboBox(parent) {
  static const bool installed = (QAccessible::installFactory(SelectorInterface), true);
  Q_UNUSED(installed);
  // Not focused by a wheel either: the wheel does nothing here.
  setFocusPolicy(Qt::StrongFocus);
}

QString QtSelectorCombo::Fitted(const QString& entry, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(entry) <= width) return entry;
  const qsizetype start = NumberStart(entry);
  if (start < 0) return metrics.elidedText(entry, Qt::ElideRight, width);
  const QString number = entry.mid(start);
  // A switcher pads its names with blanks to a fixed length; short of room, those go first.
  QString name = entry.left(start);
  while (name.endsWith(QLatin1Char(' '))) name.chop(1);
  const int room = width - metrics.horizontalAdvance(number);
  // No room for even an ellipsis: the number alone, whose digits matter most.
  name = room > 0 ? metrics.elidedText(name, Qt::ElideRight, room) : QString();
  return name + number;
}

void QtSelectorCombo::paintEvent(QPaintEvent*) {
  // As QComboBox paints itself, with the chosen entry fitted to the text field.
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  // The styles draw the label a pixel in from each side of the field.
  field.adjust(1, 0, -1, 0);
  if (!option.currentIcon.isNull()) field.setLeft(field.left() + option.iconSize.width() + 4);
  if (currentIndex() < 0) option.currentText = placeholderText();
  option.currentText = Fitted(option.currentText, fontMetrics(), field.width());
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
  if (hasFocus()) {
    painter.setPen(kFocusEdge);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void QtSelectorCombo::wheelEvent(QWheelEvent* event) {
  // Left to the window behind, which has no use for it.
  event->ignore();
}
