#pragma once

#include <QColor>
#include <QPushButton>
#include <cstdint>

#include "app/PanelWindow.h"

// A button colour as the core gives it (0x00BBGGRR), as Qt takes it.
inline QColor FaceFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

// An ON, OFF or CUE button. It paints its own flat face in the colour the switcher reported,
// whatever the Qt style: styles draw push buttons in their own colours and ignore a palette,
// and a style sheet would have to be re-polished on every report. Changing the colour is a
// repaint and nothing more, so a burst of reports never holds up the window.
class QtChannelButton : public QPushButton {
  Q_OBJECT

 public:
  QtChannelButton(const QString& caption, QWidget* parent);

  QColor Face() const { return face_; }
  void SetFace(const QColor& face);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor face_ = FaceFromBgr(kButtonResting);
};
