#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QHash>
#include <QImage>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "app/QtMessageBox.h"

// Records every message box instead of showing it, with whether the main window was on
// screen at that moment.
struct BoxRecorder {
  struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    bool windowVisible;
  };
  std::vector<Box> boxes;
  const QWidget* watched = nullptr;

  MessageBoxFn Fn() {
    return [this](QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon) {
      boxes.push_back({title, text, icon, watched != nullptr && watched->isVisible()});
    };
  }
};

// Twips, the unit the panel's forms are laid out in, as pixels at the widget's own resolution.
inline int Px(const QWidget& widget, int twips, bool vertical = false) {
  const int dpi = vertical ? widget.logicalDpiY() : widget.logicalDpiX();
  return qRound(twips * dpi / 1440.0);
}

// Where a control of a form stands, in twips.
struct TwipsPlace {
  const char* name;
  int left, top, width, height;
};

// Each named control of the form sits on `parent` at its place.
inline void ExpectPlaces(const QWidget& form, const QWidget* parent,
                         std::span<const TwipsPlace> places) {
  for (const TwipsPlace& p : places) {
    const auto* control = form.findChild<const QWidget*>(QLatin1String(p.name));
    ASSERT_NE(control, nullptr) << p.name;
    EXPECT_EQ(control->parentWidget(), parent) << p.name;
    EXPECT_EQ(control->geometry(), QRect(Px(form, p.left), Px(form, p.top, true), Px(form, p.width),
                                         Px(form, p.height, true)))
        << p.name;
  }
}

// The colour most of a widget's middle shows: its face, whatever text is drawn on it.
inline QColor FaceColour(QWidget& widget) {
  const QImage image = widget.grab().toImage();
  QHash<QRgb, int> counts;
  for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y) {
    for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x) ++counts[image.pixel(x, y)];
  }
  QRgb best = 0;
  int bestCount = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > bestCount) {
      best = it.key();
      bestCount = it.value();
    }
  }
  return QColor(best);
}

inline bool Near(const QColor& actual, int red, int green, int blue, int tolerance = 4) {
  return std::abs(actual.red() - red) <= tolerance &&
         std::abs(actual.green() - green) <= tolerance &&
         std::abs(actual.blue() - blue) <= tolerance;
}

inline std::string Describe(const QColor& colour) {
  return "RGB(" + std::to_string(colour.red()) + "," + std::to_string(colour.green()) + "," +
         std::to_string(colour.blue()) + ")";
}
