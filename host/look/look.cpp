#include "look/look.h"

#include <cmath>

namespace forms::look {

namespace {

// A heavy, rounded, playful pop face, then heavy rounded gothics.
constexpr std::array<std::string_view, 4> kPopStandIns = {"RocknRoll One", "M PLUS 2", "IPAPGothic",
                                                          "Noto Sans CJK JP"};
// IPA P Gothic is drawn to the metrics of the proportional gothic the scenes name.
constexpr std::array<std::string_view, 4> kGothicStandIns = {"IPAPGothic", "VL PGothic", "Noto Sans CJK JP",
                                                             "IPAGothic"};

} // namespace

int pixels(double twips) { return static_cast<int>(std::floor(twips / kTwipsPerPixel + 0.5)); }

int pixelsOfPoints(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

std::span<const std::string_view> standIns(std::string_view face) {
  if (face == kPop) {
    return kPopStandIns;
  }
  return kGothicStandIns;
}

std::string pictureFile(std::string_view asset) { return std::string(asset) + ".bmp"; }

std::string iconFile(std::string_view asset) { return std::string(asset) + ".ico"; }

} // namespace forms::look
