// Trash-can search.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form5() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form5",
      .caption = "Form5",
      .left = 4320,
      .top = 2385,
      .width = 10440,
      .height = 6930,
      .state = WindowState::Maximized,
  };
  return plainEntry(def);
}

} // namespace scenes
