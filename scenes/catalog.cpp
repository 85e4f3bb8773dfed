#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry plainEntry(const forms::SceneDef& def) {
  return {&def, [&def](forms::Runtime& rt) { return std::make_unique<forms::Scene>(rt, def); }};
}

std::vector<forms::SceneEntry> catalog() {
  return {form1(), form2(),  form3(),  form4(),  form5(),  form6(),  form7(),  form8(),
          form9(), form10(), form11(), form12(), form13(), form14(), form15(), form16()};
}

} // namespace scenes
