// The application set-up of app/main.cpp, for the baseline window and the bench
// programs, so that each of them starts the way the game does. Keep the two alike.
#pragma once

#include <QApplication>
#include <QIcon>

#include "qt/fonts.h"

namespace bench {

inline void setUpLikeTheGame() {
  QApplication::setApplicationName(QStringLiteral("botoron"));
  QApplication::setDesktopFileName(QStringLiteral("botoron"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/Form1.ico")));
  QApplication::setQuitOnLastWindowClosed(false);
  forms::qt::installFontSubstitutions();
  QApplication::setFont(forms::qt::fontFor(std::nullopt));
}

} // namespace bench
