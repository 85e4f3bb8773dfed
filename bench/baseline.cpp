// The yardstick for the game's start-up and memory: a bare Qt window with one
// label, set up like the game and as large as its title window, under the same
// title so that the same watcher sees it mapped. With --maximized it fills the
// screen, as the trash-can search does.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "qt/desktop.h"
#include "runtime/runtime.h"

int main(int argc, char* argv[]) {
  // Set up exactly as the game sets itself up, so the figures compare like with like.
  forms::qt::prepareDesktop();
  QApplication app(argc, argv);
  forms::qt::setUpDesktop();

  QWidget window;
  window.setWindowTitle(QStringLiteral("Form1"));
  window.resize(312, 213); // the title's client area, 4680 x 3195 twips
  const std::string_view title = forms::Runtime::kTitle;
  QLabel label(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())), &window);
  label.setGeometry(24, 24, 257, 105); // where the title's own label lies
  if (argc > 1 && std::string_view(argv[1]) == "--maximized") {
    window.showMaximized(); // as large as the trash-can search
  } else {
    window.show();
  }
  return QApplication::exec();
}
