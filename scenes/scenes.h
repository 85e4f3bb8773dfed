// The sixteen scenes of the story, each with its definition and its handlers.
#pragma once

#include <memory>
#include <vector>

#include "runtime/runtime.h"

namespace scenes {

// Every scene the program knows, Form1 to Form16.
std::vector<forms::SceneEntry> catalog();

template <class S> forms::SceneEntry entryOf(const forms::SceneDef& def) {
  return {&def, [](forms::Runtime& rt) { return std::make_unique<S>(rt); }};
}

// A scene without any code of its own.
forms::SceneEntry plainEntry(const forms::SceneDef& def);

forms::SceneEntry form1();
forms::SceneEntry form2();
forms::SceneEntry form3();
forms::SceneEntry form4();
forms::SceneEntry form5();
forms::SceneEntry form6();
forms::SceneEntry form7();
forms::SceneEntry form8();
forms::SceneEntry form9();
forms::SceneEntry form10();
forms::SceneEntry form11();
forms::SceneEntry form12();
forms::SceneEntry form13();
forms::SceneEntry form14();
forms::SceneEntry form15();
forms::SceneEntry form16();

} // namespace scenes
