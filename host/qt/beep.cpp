#include "qt/beep.h"

#include <QApplication>

namespace forms::qt {

void beep() { QApplication::beep(); }

} // namespace forms::qt
