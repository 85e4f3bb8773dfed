// Dry-ice crushing.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form7() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form7",
      .caption = "Form7",
      .left = 4995,
      .top = 2970,
      .width = 5265,
      .height = 4710,
  };
  return plainEntry(def);
}

} // namespace scenes
