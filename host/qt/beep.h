// The platform beep: short, and it returns at once.
#pragma once

namespace forms::qt {

void beep();

} // namespace forms::qt
