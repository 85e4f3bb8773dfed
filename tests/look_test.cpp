// The look every drawing front end shares: the colours of the definitions as the
// scheme's roles or fixed colours, the faces they name, their assets and units.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "look/look.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

std::string describe(const look::Paint& p) {
  if (const auto* role = std::get_if<look::Role>(&p)) {
    return "role " + std::to_string(static_cast<int>(*role));
  }
  const look::Rgb c = std::get<look::Rgb>(p);
  return "rgb " + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

} // namespace

TEST(Look, ColourValuesBecomeFixedColoursOrRolesOfTheScheme) {
  const struct {
    Colour value;
    look::Paint paint;
  } cases[] = {
      {0x000000FF, look::Rgb{255, 0, 0}},
      {0x00FF0000, look::Rgb{0, 0, 255}},
      {0x0080FFC0, look::Rgb{0xC0, 0xFF, 0x80}},
      {kSysTitleText, look::Role::Base},
      {kSysHighlightText, look::Role::HighlightedText},
      {0x80000005, look::Role::Window},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(describe(look::paintOf(c.value)), describe(c.paint)) << std::hex << c.value;
  }
  // The two system colours the scenes use are white in the classic scheme.
  for (const Colour c : {kSysTitleText, kSysHighlightText}) {
    EXPECT_TRUE(look::classic(look::paintOf(c)) == (look::Rgb{255, 255, 255})) << std::hex << c;
  }
}

// Every face a definition names has stand-ins chosen for it, not the fallback
// of a face nobody named.
TEST(Look, EveryNamedFaceHasStandInsOfItsOwn) {
  std::set<std::string_view> faces = {look::kDefaultFont.face};
  for (const SceneEntry& e : scenes::catalog()) {
    for (const ControlDef& c : e.def->controls) {
      if (c.font) {
        faces.insert(c.font->face);
      }
    }
  }
  for (const std::string_view face : faces) {
    EXPECT_NE(std::find(look::kNamedFaces.begin(), look::kNamedFaces.end(), face), look::kNamedFaces.end())
        << face;
    EXPECT_FALSE(look::standIns(face).empty()) << face;
  }
  EXPECT_NE(look::standIns(look::kPop).front(), look::standIns(look::kProportionalGothic).front());
}

// Every picture and icon a definition names is a file the build embeds.
TEST(Look, EveryAssetOfTheDefinitionsIsABuiltInFile) {
  const std::filesystem::path assets = std::filesystem::path(BOTORON_SOURCE_DIR) / "assets";
  std::ifstream list(assets / "list.txt");
  ASSERT_TRUE(list) << "no list of the built-in assets";
  std::set<std::string> listed;
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.front() != '#') {
      listed.insert(line.substr(0, line.find(' ')));
    }
  }
  std::set<std::string> named;
  for (const SceneEntry& e : scenes::catalog()) {
    if (!e.def->picture.empty()) {
      named.insert(look::pictureFile(e.def->picture));
    }
    if (!e.def->icon.empty()) {
      named.insert(look::iconFile(e.def->icon));
    }
    for (const ControlDef& c : e.def->controls) {
      if (!c.picture.empty()) {
        named.insert(look::pictureFile(c.picture));
      }
    }
  }
  EXPECT_EQ(named.size(), 20U) << "nineteen pictures, the window picture among them, and the icon";
  for (const std::string& file : named) {
    EXPECT_TRUE(listed.count(file) == 1 && std::filesystem::is_regular_file(assets / file)) << file;
  }
}

TEST(Look, TwipsAndPointsToWholePixels) {
  const struct {
    double twips;
    int pixels;
  } lengths[] = {{0, 0}, {7, 0}, {7.5, 1}, {15, 1}, {4680, 312}, {2318.57, 155}, {-300, -20}};
  for (const auto& l : lengths) {
    EXPECT_EQ(look::pixels(l.twips), l.pixels) << l.twips;
  }
  const struct {
    double points;
    int pixels;
  } sizes[] = {{9, 12}, {21.75, 29}, {36, 48}};
  for (const auto& s : sizes) {
    EXPECT_EQ(look::pixelsOfPoints(s.points), s.pixels) << s.points;
  }
}
