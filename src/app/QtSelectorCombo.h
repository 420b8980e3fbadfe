#pragma once

#include <QComboBox>
#include <QFontMetrics>
#include <QString>

// A Source or Console list. Its width is fixed, and a long name would push the entry's number,
// the one part the operator cannot guess, out of the closed list: there the name is shortened
// with an ellipsis and the " [0005]" after it is always shown whole. The entries themselves,
// and the open list, keep their full text.
//
// With no entry selected, the closed list shows its placeholder text, which the window keeps
// to the number the buttons act on. A screen reader knows the list by its label ("Console",
// "Source") and hears the chosen entry, or that text, as its value.
//
// The channel changes only by a deliberate act: a click, the open list, or the keys while the
// list has the focus, which it shows with a black edge. A mouse wheel turned over the closed
// list, on the way to somewhere else, changes nothing.
class QtSelectorCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit QtSelectorCombo(QWidget* parent = nullptr);

  // The entry as it fits in width pixels: the name elided, the bracketed number kept.
  static QString Fitted(const QString& entry, const QFontMetrics& metrics, int width);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
};
