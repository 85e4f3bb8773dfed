// Stand-ins for the faces the scenes name, each able to show Japanese.
#pragma once

#include <QFont>
#include <QStringList>
#include <optional>

#include "model/model.h"

namespace forms::qt {

// The families tried, best first, for a face a scene names.
QStringList substitutesFor(std::string_view face);
// Those of them that are installed, best first, each by the name Qt lists it under,
// which follows the locale's language; where none is, any installed family that
// writes Japanese, so that no text turns into boxes.
QStringList installedSubstitutesFor(std::string_view face);
// The font a control draws with: its own record, or the default 9-point gothic.
QFont fontFor(const std::optional<Font>& font);
// Registers the substitutions with Qt so that the named faces resolve too.
void installFontSubstitutions();

} // namespace forms::qt
