// The game starts with its title scene; everything after happens in the scenes.
#include <QApplication>

#include "qt/desktop.h"
#include "qt/frontend.h"
#include "scenes/scenes.h"

int main(int argc, char* argv[]) {
  if (!forms::qt::displayAnswers()) {
    return 1;
  }
  forms::qt::prepareDesktop();
  QApplication app(argc, argv);
  forms::qt::setUpDesktop();

  forms::qt::QtFrontend frontend(scenes::catalog());
  frontend.start();
  return QApplication::exec();
}
