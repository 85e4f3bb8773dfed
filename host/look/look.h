// How the controls are drawn, as numbers and roles that every drawing front end
// maps onto its own toolkit: the desktop onto QPalette and QFont, the browser onto
// CSS. Plain C++ over the model: no toolkit, no font library, nothing to link.
//
// Colours: a colour of the definitions is either fixed or a system colour; a system
// colour, and every colour a definition leaves out, is a role of the colour scheme.
// The scenes are painted for the classic light scheme, whose values are here too, so
// that a front end draws the same grounds whatever its desktop's or browser's theme.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "model/model.h"

namespace forms::look {

// ---- Colours ------------------------------------------------------------------

enum class Role : std::uint8_t {
  Window,          // a window's own ground
  WindowText,      // text on it
  Base,            // the ground of a text box
  Text,            // text in a text box
  Button,          // a button's face, and the ground of a window, label or picture box left uncoloured
  ButtonText,      // a button's caption
  Light,           // the lit edge of a sunken border
  Dark,            // the shaded edge of a sunken border
  Shadow,          // the deepest edge of a sunken border
  Highlight,       // the ground of selected text
  HighlightedText, // selected text
};
inline constexpr std::array kRoles = {Role::Window, Role::WindowText, Role::Base,           Role::Text,
                                      Role::Button, Role::ButtonText, Role::Light,          Role::Dark,
                                      Role::Shadow, Role::Highlight,  Role::HighlightedText};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

// The classic light scheme: white grounds for text, black text, grey faces and bevels.
constexpr Rgb classic(Role role) {
  switch (role) {
  case Role::Window:
  case Role::Button:
    return {0xEF, 0xEF, 0xEF};
  case Role::WindowText:
  case Role::Text:
  case Role::ButtonText:
    return {0x00, 0x00, 0x00};
  case Role::Base:
  case Role::Light:
  case Role::HighlightedText:
    return {0xFF, 0xFF, 0xFF};
  case Role::Dark:
    return {0x9F, 0x9F, 0x9F};
  case Role::Shadow:
    return {0x76, 0x76, 0x76};
  case Role::Highlight:
    return {0x30, 0x8C, 0xC6};
  }
  return {};
}

// A colour as a front end paints it: a role of its scheme, or a fixed colour.
using Paint = std::variant<Role, Rgb>;

// A colour value of the definitions. System colour 9, the text of a title bar, is
// the white ground the title and its frame are drawn on; 14, selected text, is white
// as well; any other system colour is a window's ground.
constexpr Paint paintOf(Colour c) {
  if (isSystemColour(c)) {
    switch (systemColourIndex(c)) {
    case systemColourIndex(kSysTitleText):
      return Role::Base;
    case systemColourIndex(kSysHighlightText):
      return Role::HighlightedText;
    default:
      return Role::Window;
    }
  }
  return Rgb{static_cast<std::uint8_t>(red(c)), static_cast<std::uint8_t>(green(c)),
             static_cast<std::uint8_t>(blue(c))};
}

// A paint in the classic scheme.
constexpr Rgb classic(const Paint& p) {
  if (const Role* r = std::get_if<Role>(&p)) {
    return classic(*r);
  }
  return std::get<Rgb>(p);
}

// The ground of a control of this kind whose definition gives no colour: a text box
// has the white of a field, everything else a button's grey face.
constexpr Role defaultBack(Kind kind) { return kind == Kind::TextBox ? Role::Base : Role::Button; }
// The ground of a scene whose definition gives no colour.
inline constexpr Role kSceneBack = Role::Button;
// The text of a label whose definition gives no colour.
inline constexpr Role kLabelText = Role::WindowText;

constexpr Paint backOf(const ControlDef& c) {
  return c.backColor ? paintOf(*c.backColor) : Paint{defaultBack(c.kind)};
}
constexpr Paint backOf(const SceneDef& s) { return s.backColor ? paintOf(*s.backColor) : Paint{kSceneBack}; }
constexpr Paint foreOf(const ControlDef& c) {
  return c.foreColor ? paintOf(*c.foreColor) : Paint{kLabelText};
}

// A line: one pixel wide, black.
inline constexpr Rgb kLineColour{0, 0, 0};
inline constexpr int kLinePixels = 1;

// ---- Borders ------------------------------------------------------------------

// A picture box has a sunken border of its own, drawn ring by ring as below; labels
// and lines have none; text boxes and buttons take the toolkit's own field and push
// button frames.
//
// One ring of a sunken border, a pixel wide. The top-left colour takes the top row
// and the left column whole, corners included; the bottom-right one the rest.
struct Ring {
  Role topLeft;
  Role bottomRight;
};
// A picture box's border, outermost ring first.
inline constexpr std::array<Ring, 2> kSunkenRings = {
    {{Role::Dark, Role::Light}, {Role::Shadow, Role::Shadow}}};
// Its depth is the inset the model gives a picture box's client area.
static_assert(static_cast<Twips>(kSunkenRings.size()) * kTwipsPerPixel == kPictureBorder);

// ---- Captions -----------------------------------------------------------------

// A label's lines follow each other one em apart, as the faces the scenes name set
// them; the stand-ins' own line height is far taller (nearly one and a half em for
// the pop face), which would push the title's second line half out of its label.
inline constexpr double kCaptionLinePitchEm = 1.0;
// A line's baseline lies this far below its top at the most, deep enough that the
// tallest kana, voiced marks and all, stay inside the line.
inline constexpr double kCaptionBaselineEm = 0.9;

// ---- Units --------------------------------------------------------------------

// Twips to whole pixels, at 15 twips a pixel, to the nearest.
int pixels(double twips);
// Points to whole pixels at 96 pixels per inch, the ratio that makes 15 twips a pixel.
int pixelsOfPoints(double points);

// ---- Faces --------------------------------------------------------------------

inline constexpr std::string_view kProportionalGothic = "ＭＳ Ｐゴシック";
inline constexpr std::string_view kPop = "HG創英角ﾎﾟｯﾌﾟ体";
// The faces the scenes name, each with stand-ins of its own.
inline constexpr std::array kNamedFaces = {kProportionalGothic, kPop};

// The font of a control whose definition gives none: the 9-point proportional gothic.
inline constexpr Font kDefaultFont{.face = kProportionalGothic, .points = 9, .weight = 400};
constexpr Font fontOf(const std::optional<Font>& f) { return f.value_or(kDefaultFont); }
constexpr bool isBold(const Font& f) { return f.weight >= 700; }

// The installed families that stand in for a named face, best first, each by its
// English family name; every one of them writes Japanese. Any other face gets the
// proportional gothic's.
std::span<const std::string_view> standIns(std::string_view face);

// ---- Assets -------------------------------------------------------------------

// The file of a picture asset among the built-in assets ("Form2.Picture1.bmp").
std::string pictureFile(std::string_view asset);
// The file of an icon asset among the built-in assets ("Form1.ico").
std::string iconFile(std::string_view asset);

} // namespace forms::look
