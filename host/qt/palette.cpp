#include "qt/palette.h"

namespace forms::qt {

QPalette::ColorRole qtRole(look::Role role) {
  switch (role) {
  case look::Role::Window:
    return QPalette::Window;
  case look::Role::WindowText:
    return QPalette::WindowText;
  case look::Role::Base:
    return QPalette::Base;
  case look::Role::Text:
    return QPalette::Text;
  case look::Role::Button:
    return QPalette::Button;
  case look::Role::ButtonText:
    return QPalette::ButtonText;
  case look::Role::Light:
    return QPalette::Light;
  case look::Role::Dark:
    return QPalette::Dark;
  case look::Role::Shadow:
    return QPalette::Shadow;
  case look::Role::Highlight:
    return QPalette::Highlight;
  case look::Role::HighlightedText:
    return QPalette::HighlightedText;
  }
  return QPalette::Window;
}

QColor colourOf(const look::Paint& paint, const QPalette& palette) {
  if (const look::Role* role = std::get_if<look::Role>(&paint)) {
    return palette.color(qtRole(*role));
  }
  const look::Rgb rgb = std::get<look::Rgb>(paint);
  return {rgb.r, rgb.g, rgb.b};
}

QPalette classicPalette(QPalette standard) {
  for (const look::Role role : look::kRoles) {
    const look::Rgb rgb = look::classic(role);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      standard.setColor(group, qtRole(role), QColor(rgb.r, rgb.g, rgb.b));
    }
  }
  return standard;
}

} // namespace forms::qt
