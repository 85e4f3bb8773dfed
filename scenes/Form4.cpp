// The wire maze's companion window. It has no code: its hidden text box holds the
// maze's attempt counter, which must outlive every rebuild of Form3.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form4",
      .caption = "Form4",
      .left = 6480,
      .top = 5010,
      .width = 1080,
      .height = 285,
      .state = WindowState::Minimized,
      .controls =
          {
              textBox("Text1", 0, 0, 1095, 270, "0").hidden().tab(0),
          },
  };
  return def;
}

} // namespace

SceneEntry form4() { return plainEntry(definition()); }

} // namespace scenes
