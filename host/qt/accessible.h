// How the story reads to a screen reader, through Qt's bridge to the desktop's
// accessibility bus. Each scene window is a frame named by its caption (an
// untitled one by nothing, as its bar shows); a label is a label named by its
// caption, and a picture box an image named by what its picture shows. Buttons and
// text boxes are Qt's own and already say their captions and texts. Only what the
// player can reach is exposed: a hidden control is left out of its container, and
// comes in when it is shown; a control that lies outside the client area stays in
// (the keyboard still reaches it) but is marked as not on screen. Lines and timers
// are not exposed at all. A message box is an alert: named by its title, described
// by its prompt.
#pragma once

#include <QString>
#include <string_view>

#include "runtime/runtime.h"

class QWidget;

namespace forms::qt {

// Once the QApplication exists: from then on Qt asks here for the scene windows,
// labels, picture boxes and message boxes.
void installAccessibility();

// The short description of a picture asset, as the table beside the pictures
// gives it; empty for a box that shows no picture.
QString pictureDescription(std::string_view asset);

// After the runtime changed a control's property: tells a screen reader what it
// needs to know (a name that changed, a control that came or went). `wasHidden` is
// whether the control's widget was hidden before the change.
void announceChange(QWidget& control, Property what, bool wasHidden);

} // namespace forms::qt
