// The wire maze's companion, holding its attempt counter.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form4() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form4",
      .caption = "Form4",
      .left = 6480,
      .top = 5010,
      .width = 1080,
      .height = 285,
      .state = WindowState::Minimized,
  };
  return plainEntry(def);
}

} // namespace scenes
