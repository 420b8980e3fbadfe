#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// How the windows put a message in front of the operator. Replaceable, so that tests can see
// what would have been shown without a modal box waiting for a click.
using MessageBoxFn = std::function<void(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::Icon icon)>;

// A modal message box with a single OK button.
void ShowMessageBox(QWidget* parent, const QString& title, const QString& text,
                    QMessageBox::Icon icon);
