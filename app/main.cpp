// The game starts with its title scene; everything after happens in the scenes.
#include <QApplication>
#include <algorithm>

#include "qt/desktop.h"
#include "qt/frontend.h"
#include "scenes/scenes.h"

int main(int argc, char* argv[]) {
  if (!forms::qt::displayAnswers()) {
    return 1;
  }
  forms::qt::prepareDesktop();
  // The game takes no command line, so the toolkit gets none either: its own options
  // (a style sheet file, another platform, a reversed layout) do nothing here. The
  // platform's environment variables still apply, as for any desktop program.
  int programNameOnly = std::min(argc, 1);
  QApplication app(programNameOnly, argv);
  forms::qt::setUpDesktop();

  forms::qt::QtFrontend frontend(scenes::catalog());
  frontend.start();
  return QApplication::exec();
}
