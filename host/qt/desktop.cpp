#include "qt/desktop.h"

#include <QApplication>
#include <QStyle>

#include "qt/accessible.h"
#include "qt/fonts.h"
#include "qt/palette.h"

namespace forms::qt {

void prepareDesktop() {
  // 150 % draws at 2 and 125 % at 1: a picture pixel is always a square of whole
  // device pixels, never smeared across a fractional boundary.
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

void setUpDesktop() {
  // The game's one id on the desktop: its menu entry is org.botoron.botoron.desktop,
  // its icon and AppStream entry carry the same name. The application name becomes
  // the class of the X11 WM_CLASS (which the entry's StartupWMClass names) and the
  // desktop file name the Wayland app_id, so a dock finds the entry and its icon.
  const QString id = QStringLiteral("org.botoron.botoron");
  QApplication::setApplicationName(id);
  QApplication::setDesktopFileName(id);
  // Only the scenes end the program: an unload that leaves no window on screen
  // (while a message box stands alone, say) must not quit it.
  QApplication::setQuitOnLastWindowClosed(false);
  // The scenes are painted for the classic light colours (white grounds, black
  // text); a dark desktop theme would turn their labels into dark patches.
  QApplication::setPalette(classicPalette(QApplication::style()->standardPalette()));
  installFontSubstitutions();
  // Labels and pictures are painted by the game; this tells a screen reader what they say.
  installAccessibility();
  QApplication::setFont(fontFor(std::nullopt));
}

} // namespace forms::qt
