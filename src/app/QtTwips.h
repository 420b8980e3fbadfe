#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>

// The panel's layouts are drawn in twips (1/1440 inch), so the windows keep the same physical
// size on any screen: at 96 dots per inch 15 twips make one pixel.
inline constexpr int kTwipsPerInch = 1440;

inline int TwipsToPixels(int twips, int logicalDpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpi / kTwipsPerInch));
}

// A control's rectangle, given in twips, at the logical DPI of the screen it is shown on.
inline QRect TwipsRect(const QWidget& onScreen, int left, int top, int width, int height) {
  const int dpiX = onScreen.logicalDpiX();
  const int dpiY = onScreen.logicalDpiY();
  return QRect(TwipsToPixels(left, dpiX), TwipsToPixels(top, dpiY), TwipsToPixels(width, dpiX),
               TwipsToPixels(height, dpiY));
}

// Names a control after its place in the layout and puts it at its twips rectangle on `form`.
inline void PlaceAtTwips(const QWidget& form, QWidget* control, const char* name, int left, int top,
                         int width, int height) {
  control->setObjectName(QLatin1String(name));
  control->setGeometry(TwipsRect(form, left, top, width, height));
}
