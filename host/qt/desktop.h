// How the game takes its place on the desktop: screen scaling, its name and icon,
// the faces that stand in for the named ones, and the classic light colours.
#pragma once

namespace forms::qt {

// Before the QApplication exists: on a high-density screen every logical pixel
// becomes a whole number of device pixels, so pictures stay sharp pixel for pixel.
void prepareDesktop();
// Once the QApplication exists.
void setUpDesktop();

} // namespace forms::qt
