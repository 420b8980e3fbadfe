#include "app/QtMessageBox.h"

void ShowMessageBox(QWidget* parent, const QString& title, const QString& text,
                    QMessageBox::Icon icon) {
  // The panel's messages break their lines with a bare carriage return; Qt's labels only
  // break at a line feed, so the operator would otherwise see one run-on line.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(icon, title, shown, QMessageBox::Ok, parent);
  box.exec();
}
