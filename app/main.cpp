// The game starts with its title scene; everything after happens in the scenes.
#include <QApplication>
#include <QIcon>

#include "qt/fonts.h"
#include "qt/frontend.h"
#include "scenes/scenes.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("botoron"));
  QApplication::setDesktopFileName(QStringLiteral("botoron"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/Form1.ico")));
  // Only the scenes end the program: an unload that leaves no window on screen
  // (while a message box stands alone, say) must not quit it.
  QApplication::setQuitOnLastWindowClosed(false);
  forms::qt::installFontSubstitutions();
  QApplication::setFont(forms::qt::fontFor(std::nullopt));

  forms::qt::QtFrontend frontend(scenes::catalog());
  frontend.start();
  return QApplication::exec();
}
