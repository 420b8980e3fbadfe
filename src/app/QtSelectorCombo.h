#pragma once

#include <QComboBox>
#include <QFontMetrics>
#include <QString>

// A Source or Console list. Its width is fixed, and a long name would push the entry's number,
// the one part the operator cannot guess, out of the closed list: there the name is shortened
// with an ellipsis and the " [0005]" after it is always shown whole. The entries themselves,
// and the open list, keep their full text.
//
// A screen reader knows the list by its label ("Console", "Source") and hears the chosen entry
// as its value.
class QtSelectorCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit QtSelectorCombo(QWidget* parent = nullptr);

  // The entry as it fits in width pixels: the name elided, the bracketed number kept.
  static QString Fitted(const QString& entry, const QFontMetrics& metrics, int width);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
