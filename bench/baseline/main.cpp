// The floor the panel is measured against: a Qt Widgets window of the panel's size (a 161 x 447
// client area under a menu bar with one menu) that does nothing at all. No timers, no sockets,
// no files. Its start-up time, memory and idle cost are what any Qt window pays.

#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QWidget>

namespace {

constexpr int kClientWidth = 161;
constexpr int kClientHeight = 447;

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("qev-bench-baseline"));
  auto* client = new QWidget(&window);
  client->setFixedSize(kClientWidth, kClientHeight);
  window.setCentralWidget(client);
  window.menuBar()->addMenu(QStringLiteral("&File"));
  // Exactly the menu bar over the client area, as the panel sizes itself.
  window.layout()->setSizeConstraint(QLayout::SetFixedSize);
  window.show();
  return app.exec();
}
