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
  QApplication::setApplicationName(QStringLiteral("botoron"));
  // Ties the windows to botoron.desktop, whose icon the desktop shows for them.
  QApplication::setDesktopFileName(QStringLiteral("botoron"));
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
