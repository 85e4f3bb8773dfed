// How the game takes its place on the desktop: a display that answers, screen
// scaling, its name, the faces that stand in for the named ones, and the classic
// light colours.
#pragma once

namespace forms::qt {

// Before anything of Qt: whether a display the game can open answers, on the
// platform Qt would take. Where none does, it says so on standard error in one
// line that names the display tried, and the game ends with status 1.
bool displayAnswers();
// Before the QApplication exists: on a high-density screen every logical pixel
// becomes a whole number of device pixels, so pictures stay sharp pixel for pixel.
void prepareDesktop();
// Once the QApplication exists.
void setUpDesktop();

} // namespace forms::qt
