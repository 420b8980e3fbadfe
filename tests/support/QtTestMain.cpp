#include <gmock/gmock.h>

#include <QApplication>

// The window and socket tests need a running Qt application; without a display they use Qt's
// offscreen platform unless the caller chose another one.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  ::testing::InitGoogleMock(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
