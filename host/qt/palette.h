// The look's colours on Qt: its roles as QPalette roles, its classic scheme as the
// application's palette.
#pragma once

#include <QColor>
#include <QPalette>

#include "look/look.h"

namespace forms::qt {

QPalette::ColorRole qtRole(look::Role role);
// A paint drawn with the given palette for the roles.
QColor colourOf(const look::Paint& paint, const QPalette& palette);
// The style's own palette with every role of the look set to the classic scheme,
// for the active and the inactive windows alike.
QPalette classicPalette(QPalette standard);

} // namespace forms::qt
